// The coder object: construction, reset and movement through the input.
// The order of the stages is in FrameSchedule.cpp; each stage lives in its
// own file.
#include "coder/SpeechCoder.h"

#include <stdexcept>
#include <utility>

#include "coder/LsfQuantiser.h"
#include "sound/Wave.h"

namespace zorvel {

std::shared_ptr<const QuantiserTables> quantiserTablesOf(const CoderSettings& settings) {
    // The built-in tables live as long as the program.
    if (settings.quantiserTables.empty())
        return std::shared_ptr<const QuantiserTables>(&defaultQuantiserTables(),
                                                      [](const QuantiserTables*) {});
    auto tables =
        std::make_shared<const QuantiserTables>(readQuantiserTables(settings.quantiserTables));
    checkLsfTables(*tables);
    for (const CoderMode mode : kAllCoderModes) GainQuantiser(*tables, mode);
    return tables;
}

std::optional<std::string> quantiserTablesProblem(const CoderSettings& settings) {
    if (!settings.quantisation || settings.quantiserTables.empty()) return std::nullopt;
    try {
        quantiserTablesOf(settings);
    } catch (const FileError& error) {
        return settings.quantiserTables + ": " + error.what();
    }
    return std::nullopt;
}

SpeechCoder::SpeechCoder(const std::filesystem::path& inputName, CoderMode mode,
                         const CoderSettings& settings)
    : SpeechCoder(SpeechInput(inputName), mode, settings) {}

SpeechCoder::SpeechCoder(SpeechInput input, CoderMode mode, const CoderSettings& settings,
                         std::shared_ptr<const QuantiserTables> tables)
    : input(std::move(input)),
      mode_(mode),
      settings_(settings),
      weighting_(filterFactors(settings.gamma1, settings.gamma2)),
      postFilter_(filterFactors(settings.postfilterNum, settings.postfilterDen)) {
    if (auto problem = settingsProblem(settings)) throw InvalidSettings(std::move(*problem));
    if (settings.highPass) highPass_ = butterworthHighPass(*settings.highPass);
    if (settings.quantisation)
        useQuantiserTables(tables ? std::move(tables) : quantiserTablesOf(settings));
    buildLpWindows(mode_, lpWindowI_, lpWindowII_);
    interpolationTable6_ = buildInterpolationTable6();
    previousFrame_ = std::make_unique<FrameRecord>();
    currentFrame_ = std::make_unique<FrameRecord>();
    spareFrame_ = std::make_unique<FrameRecord>();
    clearFrameRecord(*previousFrame_);
    clearFrameRecord(*currentFrame_);
    reset();
}

SpeechCoder::~SpeechCoder() = default;

void SpeechCoder::useQuantiserTables(std::shared_ptr<const QuantiserTables> tables) {
    checkLsfTables(*tables);
    gainQuantiser_ = std::make_unique<GainQuantiser>(*tables, mode_);
    quantiserTables_ = std::move(tables);
}

void SpeechCoder::reset() {
    clearFrameRecord(*previousFrame_);
    clearFrameRecord(*currentFrame_);
    frameCount_ = 0;
    frameSnr_ = segmentalSnr_ = overallSnr_ = 0.0;
    signalEnergySum_ = noiseEnergySum_ = 0.0;
    zeroSignal_.fill(0.0);
    unitImpulse_.fill(0.0);
    unitImpulse_[0] = 1.0;
    input.rewind();
}

FrameStep SpeechCoder::nextFrame() {
    // The record two frames back is no longer read: it takes the new frame,
    // so that coding allocates nothing frame by frame.
    if (!readFrame(*spareFrame_, input)) return FrameStep::endOfInput;
    std::swap(previousFrame_, currentFrame_);
    std::swap(currentFrame_, spareFrame_);
    ++frameCount_;
    codeFrame();
    if (frameCount_ % kCheckpointInterval == 0) keepCheckpoint();
    return FrameStep::coded;
}

FrameStep SpeechCoder::goToFrame(int n) {
    if (n != frameCount_) restoreNearestCheckpoint(n);
    if (n < frameCount_) reset();
    while (frameCount_ < n) {
        if (nextFrame() == FrameStep::endOfInput) return FrameStep::endOfInput;
    }
    return FrameStep::coded;
}

}  // namespace zorvel
