// The progress notice InfoForm (class ProgressNotice): a frameless window centred
// on the screen with one bold line of text, shown while an encoding run
// goes on. For a long run it also shows a bar of the run's progress and the
// button "Przerwij" under the text, inside the notice's own size.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QProgressBar;
class QPushButton;

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

    // Shows the bar at 0 % and the button, which (as Escape does while the
    // notice is active) calls `stop`; hideProgress takes both away.
    void showProgress(std::function<void()> stop);
    void setProgress(int percent);
    void hideProgress();
    QProgressBar& progressBar() { return *bar_; }
    QPushButton& stopButton() { return *stopButton_; }

  private:
    void centreOnScreen();

    std::unique_ptr<Ui::ProgressNotice> ui;
    QProgressBar* bar_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    std::function<void()> stop_;
};

}  // namespace zorvel
