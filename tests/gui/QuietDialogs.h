// A dialog seam for window suites that ask nothing of the user: every
// question is answered at once (no file chosen, a recording of another format
// not coded, a confirmation as `confirmAnswer` says) and what the program
// would have said is recorded in `said`.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "app/UserDialogs.h"

namespace zorvel::test {

class QuietDialogs final : public UserDialogs {
  public:
    explicit QuietDialogs(bool confirmAnswer) : confirmAnswer_(confirmAnswer) {}

    void information(QWidget*, const QString& text) override { said.push_back(text); }
    bool confirm(QWidget*, const QString&) override { return confirmAnswer_; }
    void showError(QWidget*, const QString& text) override { said.push_back(text); }
    std::optional<QString> openFileName(QWidget*, const OpenDialogSettings&) override {
        return std::nullopt;
    }
    RecordingUse askRecordingUse(QWidget*, const QString&) override { return RecordingUse::cancel; }
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString&,
                                        const SaveDialogTypes&) override {
        return std::nullopt;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}

    std::vector<QString> said;

  private:
    bool confirmAnswer_;
};

}  // namespace zorvel::test
