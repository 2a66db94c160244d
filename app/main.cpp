// Start-up of the desktop program: its windows (app/ProgramWindows.h), kept
// until the event loop ends with the closing of the main window.
#include <exception>

#include "app/ProgramWindows.h"
#include "app/UserDialogs.h"
#include "app/ZorvelApplication.h"

int main(int argc, char** argv) {
    zorvel::QtUserDialogs dialogs;
    zorvel::ZorvelApplication application(argc, argv, dialogs);
    try {
        const zorvel::ProgramWindows windows(dialogs,
                                             zorvel::inputArgument(QApplication::arguments()));
        return QApplication::exec();
    } catch (const std::exception& error) {
        application.showException(error);
        return 1;
    }
}
