// The dialog that sets up a listening test ("Test odsłuchowy..." of the
// "Plik" menu): the listener's name, the ratings file the trials are appended
// to, the seed of the random orders and anchors, the input files (one trial
// each) and at most eight conditions, each a coder mode with its settings as
// text (NAME=VALUE, as the command line's --set takes them). Every trial adds
// the hidden reference and the two anchors. "Rozpocznij test" is enabled only
// while the test can run; the dialog says why not in Polish.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "listening/TestPlan.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace zorvel {

struct ListeningTestPlan {
    QString listener;
    std::vector<std::filesystem::path> inputs;
    std::vector<TestCondition> conditions;
    std::filesystem::path results;  // the ratings file (JSONL), appended to
    std::uint64_t seed = 1;
};

// Why a plan cannot run, in Polish; nothing when it can.
std::optional<QString> planProblem(const ListeningTestPlan& plan);

class ListeningSetupDialog : public QDialog {
    Q_OBJECT
  public:
    explicit ListeningSetupDialog(QWidget* parent = nullptr);

    ListeningTestPlan plan() const;

    // What the controls do, for the tests and the buttons.
    void setListener(const QString& name);
    void setResultsFile(const QString& name);
    void setSeed(int seed);
    void addInput(const QString& name);
    void addCondition(CoderMode mode, const QString& settings);
    void removeSelectedCondition();
    int conditionCount() const;
    QPushButton& startButton() const { return *start_; }
    QPushButton& addConditionButton() const { return *addCondition_; }
    const QLabel& problemLabel() const { return *problem_; }

  private:
    void chooseInputs();
    void chooseResultsFile();
    void check();

    QLineEdit* listener_;
    QLineEdit* results_;
    QSpinBox* seed_;
    QListWidget* inputs_;
    QTableWidget* conditions_;
    QPushButton* addCondition_;
    QLabel* problem_;
    QPushButton* start_;
};

}  // namespace zorvel
