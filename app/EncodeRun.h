// What the main window hands to the coder for one encoding run, what the run
// reports back, and the run itself. The window takes the run as a function so
// that tests can put a failing or observing run in its place.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <stop_token>

#include "coder/SpeechCoder.h"

namespace zorvel {

struct EncodeRequest {
    std::filesystem::path inputName;
    std::filesystem::path outputName;
    CoderMode mode = CoderMode::rate12_2;
    // "Ustawienia kodera", with the adaptive codebook as "Opcje dodatkowe" say.
    CoderSettings settings{};
    SaveOption saveOption = SaveOption::synthesized;
};

// How a run ended and what it measured.
struct EncodeOutcome {
    RunResult result = RunResult::failed;
    int frames = 0;  // frames coded
    double frameSnr = 0.0;
    double segmentalSnr = 0.0;
    double overallSnr = 0.0;
    int error = 0;      // the system's error number behind a failure, 0 when none is known
    int readError = 0;  // that of a failed read of the input, 0 when it was read to its end
};

// Shared by the window's thread and the run: how far the run is, and the
// window's wish to stop it.
struct RunControl {
    std::atomic<std::int64_t> framesWritten{0};
    std::stop_source stop;
};

// The window calls it on a thread of its own, never on the window's thread.
using EncodeRun = std::function<EncodeOutcome(const EncodeRequest&, RunControl&)>;

// Builds a SpeechCoder for the input, mode and settings, sets its
// adaptive-codebook flag and runs encodeFile, telling `control` of every frame written and
// stopping when asked; the coder (and with it both files) is gone when this
// returns, also when it throws.
EncodeOutcome runSpeechCoder(const EncodeRequest& request, RunControl& control);

}  // namespace zorvel
