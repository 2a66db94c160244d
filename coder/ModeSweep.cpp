// The mode sweep: one coder per (file, mode) pair, moved frame by frame to
// the end of its input exactly as the encoding run moves it (keeping no
// checkpoints, so that its memory does not grow with the input), and the
// totals over files made from the energy sums and frame counts.
#include "coder/ModeSweep.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "coder/SpeechCoder.h"
#include "coder/WorkPool.h"

namespace zorvel {
namespace {

// dB, as the coder gives it when S or N is not positive or S / N not finite
constexpr double kUndefinedSnr = 0.0;

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

}  // namespace

ModeFigures figuresOf(const SpeechCoder& coder) {
    return ModeFigures{coder.mode(),       coder.frameCount(),      coder.segmentalSnr(),
                       coder.overallSnr(), coder.signalEnergySum(), coder.noiseEnergySum(),
                       std::nullopt};
}

double modeBitRate(CoderMode mode) {
    const std::string_view rate = rulesOf(mode).rate;
    double value = 0.0;
    std::from_chars(rate.data(), rate.data() + rate.size(), value);
    return value;
}

std::optional<ModeFigures> codeInMode(SpeechInput input, CoderMode mode,
                                      const ModeRunOptions& options) {
    SpeechCoder coder(std::move(input), mode, options.settings);
    coder.setCheckpoints(nullptr);  // straight through: memory stays that of one frame
    std::optional<RunMeasures> measures;
    if (options.measured) measures.emplace(*options.measured);
    while (!cancelled(options.cancel)) {
        if (coder.nextFrame() == FrameStep::endOfInput) {
            if (const int error = coder.inputReadError(); error != 0)
                throw FileError(
                    "the input could not be read: " + std::generic_category().message(error),
                    error);
            ModeFigures figures = figuresOf(coder);
            if (measures) figures.measures = measures->finish();
            return figures;
        }
        if (measures) measures->add(coder.currentFrame());
        if (options.onFrame) options.onFrame();
    }
    return std::nullopt;
}

ModeFigures totalFigures(std::span<const ModeFigures> files) {
    ModeFigures total;
    if (files.empty()) return total;
    total.mode = files.front().mode;
    double frameSnrSum = 0.0;
    for (const ModeFigures& file : files) {
        total.frames += file.frames;
        total.signalEnergy += file.signalEnergy;
        total.noiseEnergy += file.noiseEnergy;
        frameSnrSum += file.segmentalSnr * file.frames;
        if (file.measures) {
            if (!total.measures) total.measures.emplace();
            total.measures->merge(*file.measures);
        }
    }
    if (total.frames > 0) total.segmentalSnr = frameSnrSum / total.frames;
    const double ratio = total.signalEnergy / total.noiseEnergy;
    total.overallSnr = total.signalEnergy > 0.0 && total.noiseEnergy > 0.0 && std::isfinite(ratio)
                           ? 10.0 * std::log10(ratio)
                           : kUndefinedSnr;
    return total;
}

std::optional<SweepResult> sweepModes(const SweepRun& run) {
    SweepResult result;
    result.files.resize(run.inputs.size());
    const bool completed =
        runOnPool(run.inputs.size() * kModeCount, run.threads, [&](std::size_t job) {
            const std::size_t file = job / kModeCount;
            const std::size_t m = job % kModeCount;
            ModeRunOptions options{run.settings, run.cancel, {}, run.measured};
            if (run.onFrame) options.onFrame = [&run, file] { run.onFrame(file); };
            std::optional<ModeFigures> figures;
            try {
                SpeechInput input = run.open ? run.open(file) : SpeechInput(run.inputs[file]);
                figures = codeInMode(std::move(input), kAllCoderModes[m], options);
            } catch (const FileError& error) {
                throw SweepFileError(file, error);
            }
            if (!figures) return false;
            result.files[file][m] = *figures;
            if (run.onRun) run.onRun(file, *figures);
            return true;
        });
    if (!completed || cancelled(run.cancel)) return std::nullopt;
    for (int m = 0; m < kModeCount; ++m) {
        std::vector<ModeFigures> column;
        for (const SweepRow& row : result.files) column.push_back(row[m]);
        result.total[m] = totalFigures(column);
        result.total[m].mode = kAllCoderModes[m];
    }
    return result;
}

}  // namespace zorvel
