// The application object: runs the event loop and shows, in an error box, the
// message of any exception that escapes an event handler, so that a failing
// action never ends the program.
#pragma once

#include <QApplication>
#include <exception>

#include "app/UserDialogs.h"

namespace zorvel {

class ZorvelApplication : public QApplication {
  public:
    ZorvelApplication(int& argc, char** argv, UserDialogs& dialogs);

    bool notify(QObject* receiver, QEvent* event) override;

    // The application's exception handler: shows the exception's message.
    void showException(const std::exception& error);

    void setDialogs(UserDialogs& dialogs) { dialogs_ = &dialogs; }

  private:
    UserDialogs* dialogs_;
};

// Hands an exception caught at the edge of an event handler to the running
// ZorvelApplication; without one it is shown in a plain error box.
void reportEscapedException(const std::exception& error);

}  // namespace zorvel
