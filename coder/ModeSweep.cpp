// The mode sweep: one coder per (file, mode) pair, moved frame by frame to
// the end of its input exactly as the encoding run moves it (keeping no
// checkpoints, so that its memory does not grow with the input), and the
// totals over files made from the energy sums and frame counts.
#include "coder/ModeSweep.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <thread>

#include "coder/SpeechCoder.h"

namespace zorvel {
namespace {

constexpr double kUndefinedSnr = 0.0;  // dB, as the coder gives it when S or N is not positive

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

std::optional<ModeFigures> codeInMode(const std::filesystem::path& input, CoderMode mode,
                                      bool noAdaptiveCodebook, const std::atomic<bool>* cancel,
                                      const std::function<void()>& onFrame,
                                      std::optional<SaveOption> measured) {
    return codeInMode(SpeechInput(input), mode, noAdaptiveCodebook, cancel, onFrame, measured);
}

std::optional<ModeFigures> codeInMode(SpeechInput input, CoderMode mode, bool noAdaptiveCodebook,
                                      const std::atomic<bool>* cancel,
                                      const std::function<void()>& onFrame,
                                      std::optional<SaveOption> measured,
                                      const CoderSettings& tools) {
    SpeechCoder coder(std::move(input), mode, tools);
    coder.noAdaptiveCodebook = noAdaptiveCodebook;
    coder.setCheckpoints(nullptr);  // straight through: memory stays that of one frame
    MeasureMeans means;
    while (!cancelled(cancel)) {
        if (coder.nextFrame() == FrameStep::endOfInput) {
            ModeFigures figures = figuresOf(coder);
            if (measured) figures.measures = means;
            return figures;
        }
        if (measured) means.add(measureRecord(coder.currentFrame(), *measured));
        if (onFrame) onFrame();
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
    total.overallSnr = total.signalEnergy > 0.0 && total.noiseEnergy > 0.0
                           ? 10.0 * std::log10(total.signalEnergy / total.noiseEnergy)
                           : kUndefinedSnr;
    return total;
}

std::optional<SweepResult> sweepModes(const std::vector<std::filesystem::path>& inputs,
                                      bool noAdaptiveCodebook, unsigned threads,
                                      const std::atomic<bool>* cancel,
                                      const std::function<void()>& onFrame,
                                      const SweepInputOpener& open, const SweepRunDone& onRun,
                                      std::optional<SaveOption> measured,
                                      const CoderSettings& tools) {
    SweepResult result;
    result.files.resize(inputs.size());
    const std::size_t jobs = inputs.size() * kModeCount;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    auto worker = [&] {
        for (std::size_t job = next++; job < jobs; job = next++) {
            const std::size_t file = job / kModeCount;
            const std::size_t m = job % kModeCount;
            SpeechInput input = open ? open(file) : SpeechInput(inputs[file]);
            const auto figures = codeInMode(std::move(input), kAllCoderModes[m], noAdaptiveCodebook,
                                            cancel, onFrame, measured, tools);
            if (!figures) {
                stopped = true;
                return;
            }
            result.files[file][m] = *figures;
            if (onRun) onRun(file, *figures);
        }
    };
    {
        const auto count = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(jobs, 1));
        std::vector<std::jthread> pool;
        for (std::size_t t = 0; t < count; ++t) pool.emplace_back(worker);
    }
    if (stopped || cancelled(cancel)) return std::nullopt;
    for (int m = 0; m < kModeCount; ++m) {
        std::vector<ModeFigures> column;
        for (const SweepRow& row : result.files) column.push_back(row[m]);
        result.total[m] = totalFigures(column);
        result.total[m].mode = kAllCoderModes[m];
    }
    return result;
}

}  // namespace zorvel
