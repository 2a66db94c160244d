// The eight bit-rate modes (CoderMode 1..8): the rate each stands for and
// how an encoding run's output file name states it.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zorvel {

inline constexpr int kModeCount = 8;

struct CoderModeName {
    std::string_view rate;        // kbit/s as the windows show it: "12.2", "7.40"
    std::string_view fileSuffix;  // the mode's part of an output name: "_12.20", "_07.40"
};

inline constexpr std::array<CoderModeName, kModeCount> kCoderModeNames{{
    {"12.2", "_12.20"},
    {"10.2", "_10.20"},
    {"7.95", "_07.95"},
    {"7.40", "_07.40"},
    {"6.70", "_06.70"},
    {"5.90", "_05.90"},
    {"5.15", "_05.15"},
    {"4.75", "_04.75"},
}};

// The entry of a mode; any value outside 1..8 names mode 1, as the coder takes it.
const CoderModeName& coderModeName(int mode);

// What an output file's name adds to the input path: the mode suffix, "_sout"
// (before post-processing) or "_spout" (after it), "_noadapt" when the
// adaptive codebook is off, and ".wav". /dane/mowa.wav in mode 1 with the
// defaults gives /dane/mowa.wav_12.20_sout.wav.
std::string outputNameSuffix(int mode, bool postProcessed, bool noAdaptiveCodebook);

}  // namespace zorvel
