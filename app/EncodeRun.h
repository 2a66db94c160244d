// What the main window hands to the coder for one encoding run, and the run
// itself. The window takes the run as a function so that tests can put a
// failing or observing run in its place.
#pragma once

#include <filesystem>
#include <functional>

#include "coder/SpeechCoder.h"

namespace zorvel {

struct EncodeRequest {
    std::filesystem::path inputName;
    std::filesystem::path outputName;
    CoderMode mode = CoderMode::rate12_2;
    bool noAdaptiveCodebook = false;  // "NIE używaj słownika adaptacyjnego"
    SaveOption saveOption = SaveOption::synthesized;
};

// Returns what SpeechCoder::encodeFile returns. The window calls it on a
// thread of its own, never on the window's thread.
using EncodeRun = std::function<RunResult(const EncodeRequest&)>;

// Builds a SpeechCoder for the input and mode, sets its adaptive-codebook
// flag and runs encodeFile; the coder (and with it both files) is gone when
// this returns, also when it throws.
RunResult runSpeechCoder(const EncodeRequest& request);

}  // namespace zorvel
