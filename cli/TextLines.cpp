#include "cli/TextLines.h"

#include <ios>

namespace zorvel::cli {

LineRead readLine(std::istream& in, std::string& line, char delimiter) {
    using Traits = std::istream::traits_type;
    line.clear();
    std::streambuf* buffer = in.rdbuf();
    const Traits::int_type end = Traits::to_int_type(delimiter);
    try {
        for (;;) {
            const Traits::int_type c = buffer->sbumpc();
            if (Traits::eq_int_type(c, Traits::eof())) {
                in.setstate(std::ios::eofbit);
                return line.empty() ? LineRead::end : LineRead::line;
            }
            if (Traits::eq_int_type(c, end)) return LineRead::line;
            if (line.size() == kLongestLine) return LineRead::tooLong;
            line.push_back(Traits::to_char_type(c));
        }
    } catch (const std::ios::failure&) {
        // How a stream buffer says that reading failed, not that the input ended.
        in.setstate(std::ios::badbit);
        return LineRead::end;
    }
}

std::string lineName(std::size_t number, char delimiter) {
    return (delimiter == '\0' ? "path " : "line ") + std::to_string(number);
}

std::string tooLongText() {
    return "longer than " + std::to_string(kLongestLine) + " bytes, the most a line may hold";
}

}  // namespace zorvel::cli
