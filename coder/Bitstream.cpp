#include "coder/Bitstream.h"

#include <stdexcept>

#include "coder/GainQuantiser.h"
#include "coder/LsfQuantiser.h"
#include "coder/PulseCodes.h"

namespace zorvel {

FrameCode frameLayout(CoderMode mode) {
    const CoderModeRules& rules = rulesOf(mode);
    FrameCode layout{};
    const LsfQuantiserDesign& lsf = lsfDesignOf(mode);
    for (int k = 0; k < lsf.splitCount; ++k)
        layout.add(CodedParameter::lsf, k, 0, lsf.splits[k].bits);
    for (int a = 0; a < kSubframes; ++a) {
        layout.add(CodedParameter::pitchLag, a, 0, rules.lagCodes[a].bits);
        layout.add(CodedParameter::pulses, a, 0, pulseCodeBits(mode));
        switch (rules.gainCoding) {
            case GainCoding::scalar:
                layout.add(CodedParameter::pitchGain, a, 0, kScalarPitchGainBits);
                layout.add(CodedParameter::correction, a, 0, kScalarCorrectionBits);
                break;
            case GainCoding::joint:
                layout.add(CodedParameter::gains, a, 0, rules.gainBits);
                break;
            case GainCoding::jointPair:
                if (a % 2 == 1) layout.add(CodedParameter::gains, a - 1, 0, rules.gainBits);
                break;
        }
    }
    return layout;
}

int frameBytes(CoderMode mode) { return (rulesOf(mode).frameBits + 7) / 8; }

std::vector<std::uint8_t> packFrame(CoderMode mode, const FrameCode& code) {
    const FrameCode layout = frameLayout(mode);
    if (code.count != layout.count)
        throw std::invalid_argument("the frame's code does not follow the mode's layout");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frameBytes(mode)), 0);
    std::size_t bit = 0;
    for (int k = 0; k < code.count; ++k) {
        const ParameterCode& c = code.codes[k];
        const ParameterCode& expected = layout.codes[k];
        if (c.parameter != expected.parameter || c.subframe != expected.subframe ||
            c.bits != expected.bits || (c.bits < 64 && (c.index >> c.bits) != 0))
            throw std::invalid_argument("the frame's code does not follow the mode's layout");
        for (int b = c.bits - 1; b >= 0; --b, ++bit)
            if ((c.index >> b) & 1u)
                bytes[bit / 8] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
    }
    return bytes;
}

FrameCode unpackFrame(CoderMode mode, std::span<const std::uint8_t> bytes) {
    if (bytes.size() != static_cast<std::size_t>(frameBytes(mode)))
        throw std::invalid_argument("a frame of this mode is " + std::to_string(frameBytes(mode)) +
                                    " bytes");
    FrameCode code = frameLayout(mode);
    std::size_t bit = 0;
    for (int k = 0; k < code.count; ++k) {
        ParameterCode& c = code.codes[k];
        std::uint64_t index = 0;
        for (int b = 0; b < c.bits; ++b, ++bit)
            index = (index << 1) | ((bytes[bit / 8] >> (7 - bit % 8)) & 1u);
        c.index = index;
    }
    return code;
}

}  // namespace zorvel
