// zorvel-cli quantisers: what the bits of an LSF quantiser buy. Trains a
// one-set quantiser of every budget asked for (coder/LsfQuantiser.h,
// lsfBudgetDesign) and the designs of the modes on the training speech, the
// same way `train` trains its tables, measures each on held-out speech
// (frames, mean SD, the shares of 2-4 dB and of over 4 dB, the largest SD)
// and prints the table (as text, CSV or JSON), with --plot the chart of
// plots/QuantiserChart.h. Writes no tables.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "cli/Arguments.h"

namespace zorvel::cli {

// The budgets of --bits "FROM:TO[:STEP]" (whole numbers, STEP 1 when left
// out, kLeastLsfBudgetBits <= FROM <= TO <= kMostLsfBudgetBits, STEP >= 1):
// FROM, FROM + STEP, ... up to TO. Nothing for any other text.
std::optional<std::vector<int>> budgetsFromText(std::string_view text);

int runQuantisers(const QuantisersArguments& arguments);

}  // namespace zorvel::cli
