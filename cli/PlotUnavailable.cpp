// zorvel-cli plot in a build without the chart drawing (no Qt).
#include <iostream>

#include "cli/PlotCommand.h"

namespace zorvel::cli {

int runPlot(const PlotArguments&) {
    std::cerr << "zorvel-cli plot: this zorvel-cli was built without the chart drawing "
                 "(configure with -DZORVEL_BUILD_GUI=ON and Qt 6)\n";
    return kExitFailed;
}

}  // namespace zorvel::cli
