// What the sweep and its ablation write besides the table: the chart's file
// format by its name, and the check that neither the table's standard output
// nor the chart is one of the inputs.
#pragma once

#include <optional>
#include <string>

#include "cli/Arguments.h"

namespace zorvel::cli {

enum class ChartFormat { None, Png, Svg };

// The chart's format by the name's extension (None for no name); nothing for
// any other name.
std::optional<ChartFormat> chartFormat(const std::string& name);

// The table goes to standard output and the chart to its file: neither may
// be an input, and the chart may replace a file only with -y. Checked before
// any input is read, so that a refusal writes nothing at all; the refusal is
// reported on standard error.
bool outputsAccepted(const SweepArguments& arguments, bool chart);

}  // namespace zorvel::cli
