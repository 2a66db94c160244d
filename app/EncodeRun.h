// What the main window hands to the coder for one encoding run, and the run
// itself. The window takes the run as a function so that tests can put a
// failing or observing run in its place.
#pragma once

#include <filesystem>
#include <functional>

namespace zorvel {

struct EncodeRequest {
    std::filesystem::path inputName;
    std::filesystem::path outputName;
    int mode = 1;                     // CoderMode 1..8
    bool noAdaptiveCodebook = false;  // "NIE używaj słownika adaptacyjnego"
    int saveOption = 1;               // 1 = before, 2 = after post-processing
};

// Returns what SpeechCoder::encodeFile returns: 0 on success, 1 on failure.
using EncodeRun = std::function<int(const EncodeRequest&)>;

// Builds a SpeechCoder for the input and mode, sets its adaptive-codebook
// flag and runs encodeFile; the coder (and with it both files) is gone when
// this returns, also when it throws.
int runSpeechCoder(const EncodeRequest& request);

}  // namespace zorvel
