// The eight modes side by side: every input coded in every mode, with the
// figures an encoding run reports (segmental and overall SNR of s'(n) against
// s(n)), per file and in total over all files. Nothing is written; the
// coder's run is the encoding run's, frame for frame.
//
// In total over all files: the overall SNR is 10 log10 of the summed signal
// energies over the summed noise energies of all files, and the segmental SNR
// is the mean of the frame SNRs of all frames of all files (each file's mean
// weighted by its frame count).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "coder/FrameDistances.h"
#include "files/FileError.h"
#include "sound/SpeechInput.h"

namespace zorvel {

class SpeechCoder;

// What one encoding run of one file in one mode reports.
struct ModeFigures {
    CoderMode mode = CoderMode::rate12_2;
    int frames = 0;             // frames coded
    double segmentalSnr = 0.0;  // dB, mean of the frame SNRs
    double overallSnr = 0.0;    // dB, from the energy totals
    double signalEnergy = 0.0;  // sum of s^2
    double noiseEnergy = 0.0;   // sum of (s - s')^2
    // The spectral distances of the frames, when the run was asked for them.
    std::optional<MeasureMeans> measures;
};

using SweepRow = std::array<ModeFigures, kModeCount>;  // in the order of the mode table

// The figures of the frames a coder has coded so far.
ModeFigures figuresOf(const SpeechCoder& coder);

// The rate of a mode in kbit/s (12.2, ..., 4.75).
double modeBitRate(CoderMode mode);

// How one input is coded in one mode: the settings, and what watches the run.
struct ModeRunOptions {
    CoderSettings settings{};
    const std::atomic<bool>* cancel = nullptr;  // looked at between frames
    std::function<void()> onFrame{};            // after every coded frame
    // With an output named, the figures carry the spectral distances of every
    // frame against it as an encoding run writes it, and the file figures:
    // the distances over 30 ms frames, STOI and ESTOI (RunMeasures).
    std::optional<SaveOption> measured{};
};

// A file of a run over many that could not be read to its end: which one
// (the index of its input), and the system's reason.
class SweepFileError : public FileError {
  public:
    SweepFileError(std::size_t file, const FileError& error)
        : FileError(error.what(), error.error()), file_(file) {}
    std::size_t file() const { return file_; }

  private:
    std::size_t file_;
};

// Codes the whole input in `mode` as an encoding run does, without writing.
// Nothing is returned once `cancel` is set; an input whose reading fails
// before its end throws FileError with the system's reason, never figures of
// the frames before it as if they were the file's.
std::optional<ModeFigures> codeInMode(SpeechInput input, CoderMode mode,
                                      const ModeRunOptions& options = {});

// Opens the input of one run from the index of its file; when empty, every
// run opens the file by its path.
using SweepInputOpener = std::function<SpeechInput(std::size_t file)>;

// The figures of several files in one mode, in total (see above). The result
// carries the mode of the first entry; an empty list gives zero figures. The
// distances, when the files have them, are means over all their frames.
ModeFigures totalFigures(std::span<const ModeFigures> files);

struct SweepResult {
    std::vector<SweepRow> files;  // in the order of the inputs
    SweepRow total{};
};

// Called once a file is coded in one mode, from the thread that coded it.
using SweepRunDone = std::function<void(std::size_t file, const ModeFigures& figures)>;

// What a mode sweep codes, and how.
struct SweepRun {
    std::vector<std::filesystem::path> inputs;
    SweepInputOpener open{};  // opens a run's input by file index; empty: by its path
    unsigned threads = 1;     // at least one is used
    CoderSettings settings{};
    const std::atomic<bool>* cancel = nullptr;        // looked at between frames
    std::function<void(std::size_t file)> onFrame{};  // after every coded frame of that file
    SweepRunDone onRun{};                             // after each (file, mode) run
    std::optional<SaveOption> measured{};             // as ModeRunOptions's
};

// Codes every input in all eight modes on the pool, each thread taking the
// next (file, mode) pair. `onFrame` and `onRun` may be called from any
// thread; the thread that opens a run's input codes it. Nothing is returned
// when the run was cancelled; a file that cannot be read to its end stops the
// run with a SweepFileError.
std::optional<SweepResult> sweepModes(const SweepRun& run);

}  // namespace zorvel
