// Start-up of the desktop program: the main window MMenu, the chart window
// TestForm and the progress notice InfoForm, created in this order and kept
// until the event loop ends with the closing of the main window.
#include <exception>

#include "app/MainWindow.h"
#include "app/ProgressNotice.h"
#include "app/UserDialogs.h"
#include "app/ZorvelApplication.h"
#include "charts/ChartWindow.h"

namespace {

int runWindows(zorvel::UserDialogs& dialogs) {
    zorvel::MainWindow MMenu(dialogs);
    zorvel::ChartWindow TestForm;
    zorvel::ProgressNotice InfoForm;
    MMenu.setForms(&TestForm, &InfoForm);
    MMenu.show();
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    zorvel::QtUserDialogs dialogs;
    zorvel::ZorvelApplication application(argc, argv, dialogs);
    try {
        return runWindows(dialogs);
    } catch (const std::exception& error) {
        application.showException(error);
        return 1;
    }
}
