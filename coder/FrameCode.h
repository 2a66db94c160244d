// The code of a quantised frame: every index a decoder reads, in the order
// it reads them, with its width. The LSF indices come first, then
// subframe by subframe the pitch lag, the pulses and the gains (with the
// pair coding of gains, a pair's after its second subframe).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "coder/CoderMode.h"

namespace zorvel {

// Which parameter an index sends.
enum class CodedParameter : std::int32_t {
    lsf,         // a split of the line spectral frequencies
    pitchLag,    // a subframe's lag, absolute or relative
    pulses,      // a subframe's pulse positions and signs
    pitchGain,   // gp alone (scalar gain coding)
    correction,  // gc's correction factor alone (scalar gain coding)
    gains,       // (gp, correction) of a subframe, or of a pair of subframes
};

// Without padding, so that records compare byte for byte.
struct ParameterCode {
    std::uint64_t index;
    CodedParameter parameter;
    std::int16_t subframe;  // for the LSF, the split; for a pair of gains, its first subframe
    std::int16_t bits;
};
static_assert(sizeof(ParameterCode) == 16);

// 5 LSF splits, and per subframe a lag, the pulses and two gain indices.
inline constexpr int kMaxFrameCodes = 5 + 4 * 4;

// Plain data, like the frame record that holds it: zero when cleared.
struct FrameCode {
    std::array<ParameterCode, kMaxFrameCodes> codes;
    std::int32_t count;

    void add(CodedParameter parameter, int subframe, std::uint64_t index, int bits) {
        ParameterCode& code = codes[count++];
        code.index = index;
        code.parameter = parameter;
        code.subframe = static_cast<std::int16_t>(subframe);
        code.bits = static_cast<std::int16_t>(bits);
    }
    int bits() const {
        int total = 0;
        for (int k = 0; k < count; ++k) total += codes[k].bits;
        return total;
    }
    // The bits of one kind of parameter (both gain codings count as gains).
    int bitsOf(CodedParameter parameter) const {
        int total = 0;
        for (int k = 0; k < count; ++k)
            total += codes[k].parameter == parameter ? codes[k].bits : 0;
        return total;
    }
};

// The parameter's name in exports: "lsf", "pitchLag", "pulses", "pitchGain",
// "correction", "gains".
std::string_view codedParameterName(CodedParameter parameter);

// The indices of every quantised frame of the mode: its LSF splits, four
// lags, four pulse indices and its gain indices.
int codesPerFrame(CoderMode mode);

}  // namespace zorvel
