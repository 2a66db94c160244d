// zorvel-cli plot: the chart window's two pictures of one frame, drawn
// offscreen by the window's own drawing code and saved as PNG files.
#pragma once

#include <string>
#include <vector>

#include "cli/Arguments.h"

namespace zorvel::cli {

// The short names of the window's check boxes, in the window's order:
// time traces s, s', sp, sw, sw', v, gpy, gcc, u, resLP, resLTP;
// spectra S, S', Sp, Sw, aI, aII, ResLP, ResLTP.
const std::vector<std::string>& traceNames();
const std::vector<std::string>& spectrumNames();

int runPlot(const PlotArguments& arguments);

}  // namespace zorvel::cli
