#include "charts/ChartPlayback.h"

#include <QMetaObject>
#include <QPointer>

#include "coder/SpeechCoder.h"
#include "plots/Plots.h"

namespace zorvel {
namespace {

Signal signalOf(const FrameRecord& record, PlaybackSignal signal) {
    switch (signal) {
        case PlaybackSignal::Speech:
            return record.speech;
        case PlaybackSignal::PostProcessed:
            return record.postProcessedSpeech;
        case PlaybackSignal::Error:
            return codingError(record, &FrameRecord::synthesizedSpeech);
        case PlaybackSignal::Synthesized:
            break;
    }
    return record.synthesizedSpeech;
}

void append(std::vector<double>& samples, const Signal& values) {
    samples.insert(samples.end(), values.begin(), values.end());
}

}  // namespace

std::vector<double> shownSamples(const FrameRecord& previous, const FrameRecord& current,
                                 PlaybackSignal signal, bool twoFrames) {
    std::vector<double> samples;
    if (twoFrames) append(samples, signalOf(previous, signal));
    append(samples, signalOf(current, signal));
    return samples;
}

std::optional<std::vector<double>> restOfFileSamples(const RestOfFile& request,
                                                     PlaybackSignal signal,
                                                     const std::atomic<bool>* cancel) {
    auto result = restOfFileSignals(request, std::span(&signal, 1), cancel);
    if (!result) return std::nullopt;
    return std::move(result->front());
}

std::optional<std::vector<std::vector<double>>> restOfFileSignals(
    const RestOfFile& request, std::span<const PlaybackSignal> wanted,
    const std::atomic<bool>* cancel) {
    SpeechCoder coder(request.input, request.mode, request.settings);
    std::vector<std::vector<double>> samples(wanted.size());
    const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
    while (!cancelled()) {
        if (coder.nextFrame() == FrameStep::endOfInput) return samples;
        if (coder.frameCount() < request.firstFrame) continue;
        for (std::size_t k = 0; k < wanted.size(); ++k)
            append(samples[k], signalOf(coder.currentFrame(), wanted[k]));
    }
    return std::nullopt;
}

ChartPlayback::ChartPlayback(std::unique_ptr<AudioSink> sink,
                             std::function<void(const QString&)> inform, QObject* parent)
    : QObject(parent), sink_(std::move(sink)), inform_(std::move(inform)) {}

ChartPlayback::~ChartPlayback() {
    endWorker();
    sink_->stop();
}

void ChartPlayback::setSink(std::unique_ptr<AudioSink> sink) {
    stop();
    sink_ = std::move(sink);
}

void ChartPlayback::endWorker() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
    cancel_ = false;
    workerDone_ = true;
}

void ChartPlayback::stop() {
    const bool wasActive = active();
    const bool wasComparing = mix_ != nullptr;
    ++request_;
    endWorker();
    sink_->stop();
    mix_.reset();
    if (wasActive) emit activeChanged(false);
    if (wasComparing) emit sideChanged();
}

void ChartPlayback::start(const QByteArray& pcm) {
    const bool started = sink_->play(pcm, [this] { emit activeChanged(false); });
    emit activeChanged(started);
    if (!started) inform_(kNoSoundDevice);
}

void ChartPlayback::toggleSamples(const std::vector<double>& samples) {
    if (active()) {
        stop();
        return;
    }
    start(playbackPcm(samples));
}

template <typename Result>
void ChartPlayback::prepareThenPlay(std::function<std::optional<Result>()> prepare,
                                    std::function<void(Result)> play) {
    endWorker();  // a finished worker still to be joined
    const unsigned long number = ++request_;
    workerDone_ = false;
    emit activeChanged(true);
    worker_ = std::jthread([this, prepare = std::move(prepare), play = std::move(play), number] {
        auto result = prepare();
        if (!result) return;
        // Played on the window's thread; a stopped or newer request drops it.
        QMetaObject::invokeMethod(
            this,
            [this, play, result = std::move(*result), number]() mutable {
                if (number != request_) return;
                workerDone_ = true;
                play(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

bool ChartPlayback::deviceToldMissing() {
    if (sink_->available()) return false;
    inform_(kNoSoundDevice);
    return true;
}

void ChartPlayback::toggleRestOfFile(const RestOfFile& request, PlaybackSignal signal) {
    if (active()) {
        stop();
        return;
    }
    if (deviceToldMissing()) return;  // before the rest of the file is coded
    prepareThenPlay<QByteArray>(
        [this, request, signal]() -> std::optional<QByteArray> {
            const auto samples = restOfFileSamples(request, signal, &cancel_);
            if (!samples) return std::nullopt;
            return playbackPcm(*samples);
        },
        [this](QByteArray pcm) { start(pcm); });
}

void ChartPlayback::startComparison(std::vector<double> original, std::vector<double> coded) {
    auto mix = std::make_shared<ABMix>(std::move(original), std::move(coded));
    const unsigned long number = request_;
    const bool started = sink_->playSource(std::make_unique<ABStream>(mix), [this, number] {
        if (number == request_) mix_.reset();
        emit activeChanged(false);
        emit sideChanged();
    });
    if (started) mix_ = std::move(mix);
    emit activeChanged(started);
    emit sideChanged();
    if (!started) inform_(kNoSoundDevice);
}

void ChartPlayback::toggleComparison(std::vector<double> original, std::vector<double> coded) {
    if (active()) {
        stop();
        return;
    }
    startComparison(std::move(original), std::move(coded));
}

void ChartPlayback::toggleRestOfFileComparison(const RestOfFile& request, PlaybackSignal coded) {
    if (active()) {
        stop();
        return;
    }
    if (deviceToldMissing()) return;  // before both signals of the rest are made
    using Pair = std::vector<std::vector<double>>;
    prepareThenPlay<Pair>(
        [this, request, coded] {
            const PlaybackSignal sides[] = {PlaybackSignal::Speech, coded};
            return restOfFileSignals(request, sides, &cancel_);
        },
        [this](Pair sides) { startComparison(std::move(sides[0]), std::move(sides[1])); });
}

bool ChartPlayback::switchSide() {
    if (!mix_) return false;
    mix_->setSide(mix_->side() == ListeningSide::original ? ListeningSide::coded
                                                          : ListeningSide::original);
    emit sideChanged();
    return true;
}

std::optional<ListeningSide> ChartPlayback::side() const {
    if (!mix_) return std::nullopt;
    return mix_->side();
}

}  // namespace zorvel
