// Numbers and fields as text for scripts: the shortest decimal that reads
// back to the same double, and CSV fields quoted where they must be.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zorvel::cli {

// Shortest round-trip text ("0.1", "1e-05", "-32767"); "nan", "inf", "-inf".
std::string numberText(double value);
std::string numberText(std::int64_t value);

// A CSV field: as it is, or in double quotes (inner quotes doubled) when it
// holds a comma, a quote or a line break.
std::string csvField(std::string_view text);

}  // namespace zorvel::cli
