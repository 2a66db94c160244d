// The progress notice InfoForm (class ProgressNotice): a frameless window centred
// on the screen with one bold line of text, shown while an encoding run
// goes on.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>

namespace Ui {
class ProgressNotice;
}

namespace zorvel {

class ProgressNotice : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressNotice(QWidget* parent = nullptr);
    ~ProgressNotice() override;

    // Shows the notice, then sets the caption of its label to `text`.
    void showNotice(const QString& text);
    // Paints the notice now, before control returns to the event loop.
    void paintNow();

    QString text() const;

  private:
    void centreOnScreen();

    std::unique_ptr<Ui::ProgressNotice> ui;
};

}  // namespace zorvel
