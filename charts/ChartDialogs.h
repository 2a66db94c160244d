// What the chart window asks of the desktop besides drawing: information
// boxes, a yes-or-no question and the busy (hourglass) cursor. The program uses QtChartDialogs;
// tests put a recording implementation in its place.
#pragma once

#include <QString>

class QWidget;

namespace zorvel {

// The title of every message box: the program's name alone (the windows'
// captions begin with it).
QString messageBoxTitle();

class ChartDialogs {
  public:
    virtual ~ChartDialogs() = default;
    // Information box with one OK button.
    virtual void information(QWidget* parent, const QString& text) = 0;
    // Confirmation box with Yes and No buttons; false only when the answer is No.
    virtual bool confirm(QWidget* parent, const QString& text) = 0;
    // Saves the screen cursor and shows the hourglass; restoreCursor undoes it.
    virtual void setBusyCursor() = 0;
    virtual void restoreCursor() = 0;
};

// The real Qt information box and override cursor, for every window's dialogs.
void showInformationBox(QWidget* parent, const QString& text);
bool askYesOrNo(QWidget* parent, const QString& text);
void showBusyCursor();
void restoreBusyCursor();

class QtChartDialogs final : public ChartDialogs {
  public:
    void information(QWidget* parent, const QString& text) override {
        showInformationBox(parent, text);
    }
    bool confirm(QWidget* parent, const QString& text) override { return askYesOrNo(parent, text); }
    void setBusyCursor() override { showBusyCursor(); }
    void restoreCursor() override { restoreBusyCursor(); }
};

// The hourglass for the life of the object; restored however the scope ends.
class BusyCursor {
  public:
    explicit BusyCursor(ChartDialogs& dialogs) : dialogs_(dialogs) { dialogs_.setBusyCursor(); }
    ~BusyCursor() { dialogs_.restoreCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

  private:
    ChartDialogs& dialogs_;
};

}  // namespace zorvel
