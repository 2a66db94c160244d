// The desktop program's windows as start-up makes them: the main window
// MMenu, the chart window TestForm and the progress notice InfoForm, created
// in this order and joined; the main window shown, with the file named on the
// command line ("zorvel FILE", as a file manager starts it) as its input (a
// name that is missing or a folder is told, and the window has no input).
#pragma once

#include <QString>
#include <QStringList>

#include "app/MainWindow.h"
#include "app/ProgressNotice.h"
#include "charts/ChartWindow.h"

namespace zorvel {

class UserDialogs;

// The input file among the program's arguments (the program's name first),
// or an empty text; --help prints the usage and ends the program.
QString inputArgument(const QStringList& arguments);

class ProgramWindows {
  public:
    // `dialogs` must outlive the windows; `input` may be empty.
    ProgramWindows(UserDialogs& dialogs, const QString& input);

    MainWindow MMenu;
    ChartWindow TestForm;
    ProgressNotice InfoForm;
};

}  // namespace zorvel
