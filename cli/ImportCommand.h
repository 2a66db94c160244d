// zorvel-cli import: recordings of any format libsndfile reads written as the
// coder takes them (8000 Hz, mono, 16-bit, samples from byte 60), with the
// output rules of encode: staged, never over an existing file without -y,
// never over an input.
#pragma once

#include <filesystem>

#include "cli/Arguments.h"

namespace zorvel::cli {

int runImport(const ImportArguments& arguments);

}  // namespace zorvel::cli
