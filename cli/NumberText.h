// Numbers and fields as text for scripts: the shortest decimal that reads
// back to the same double, and CSV fields quoted where they must be; and
// names made safe for the aligned tables people read.
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

// A name for an aligned table: every control character written as an escape
// (\n, \r, \t, else \xHH), so that each row stays one line; other bytes
// (also UTF-8) as they are. The CSV tables carry the name itself.
std::string tableText(std::string_view text);

}  // namespace zorvel::cli
