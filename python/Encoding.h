// Coding a recording held in memory, as the Python module's Coder does it:
// one pass of the coder over the samples, gathering what the encoding run
// writes (both outputs, as 16-bit samples and as doubles), the frames
// export's fields of every frame and, when asked, the spectral distances and
// STOI and ESTOI. Nothing here touches Python, so that it runs with the
// interpreter's lock released while other threads code.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "coder/FrameDistances.h"
#include "coder/FrameTransforms.h"
#include "coder/SpeechCoder.h"

namespace zorvel::python {

// The bytes of an input file holding `samples`: the coder reads from byte
// 60, whatever comes before (zeros here).
std::string inputBytes(std::span<const std::int16_t> samples);

// A coder's input reading `bytes` (as inputBytes makes them) from memory.
SpeechInput memoryInput(std::string bytes);

// One field of the frames export over all frames, frame after frame: a
// number per frame (width 0), or a list of `width` numbers per frame.
struct FieldColumn {
    std::string name;
    std::size_t width = 0;
    std::variant<std::vector<std::int32_t>, std::vector<double>> values;
};

struct EncodeOptions {
    // The frames' spectral distances as the frames export computes them, and
    // their file means with STOI and ESTOI as an encoding run with measures
    // reports them, against `measured`.
    bool measures = false;
    SaveOption measured = SaveOption::synthesized;
};

struct EncodeResult {
    // What the encoding run writes of s'(n) and of sp(n): 16-bit samples.
    std::vector<std::int16_t> synthesis;
    std::vector<std::int16_t> post;
    // The same signals as the coder computed them.
    std::vector<double> synthesisFloat;
    std::vector<double> postFloat;
    // The frames export's fields in its order; with measures, the six
    // distances follow (NaN where a frame has none).
    std::vector<FieldColumn> frames;
    std::optional<MeasureMeans> measures;
    int frameCount = 0;
    double segmentalSnr = 0.0;
    double overallSnr = 0.0;
    // The coder of the run, with the checkpoints it kept: frameSignals codes
    // a frame again from the nearest one. Held by one thread at a time.
    std::unique_ptr<SpeechCoder> coder;
    std::mutex coderInUse;
};

// Codes all of `bytes` (see inputBytes) in `mode` with `settings`, which
// must be valid (InvalidSettings otherwise).
std::unique_ptr<EncodeResult> encodeBytes(std::string bytes, CoderMode mode,
                                          const CoderSettings& settings,
                                          const EncodeOptions& options = {});

// The 44-byte header, zeros up to byte 60 and `samples`: the file the
// encoding run writes.
std::string waveFileBytes(std::span<const std::int16_t> samples);

// What the chart window shows of one frame: the 160-sample arrays of the
// frames export's signals, in its order, and the spectra.
struct FrameSignals {
    std::vector<std::pair<std::string, std::vector<double>>> signals;
    FrameSpectrumLevels spectra{};
};

// Frame `frame` (1 .. frameCount) of a result, coded again from its nearest
// checkpoint. Throws std::out_of_range for a frame the run did not code.
FrameSignals frameSignals(EncodeResult& result, int frame);

}  // namespace zorvel::python
