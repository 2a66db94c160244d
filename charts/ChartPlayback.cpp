#include "charts/ChartPlayback.h"

#include <QMetaObject>
#include <QPointer>

#include "coder/SpeechCoder.h"

namespace zorvel {
namespace {

const Signal& signalOf(const FrameRecord& record, PlaybackSignal signal) {
    switch (signal) {
        case PlaybackSignal::Speech:
            return record.speech;
        case PlaybackSignal::PostProcessed:
            return record.postProcessedSpeech;
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
    SpeechCoder coder(request.input, request.mode);
    coder.noAdaptiveCodebook = request.noAdaptiveCodebook;
    std::vector<double> samples;
    const auto cancelled = [cancel] { return cancel != nullptr && cancel->load(); };
    while (!cancelled()) {
        if (coder.nextFrame() == FrameStep::endOfInput) return samples;
        if (coder.frameCount() >= request.firstFrame)
            append(samples, signalOf(coder.currentFrame(), signal));
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
    ++request_;
    endWorker();
    sink_->stop();
    if (wasActive) emit activeChanged(false);
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

void ChartPlayback::toggleRestOfFile(const RestOfFile& request, PlaybackSignal signal) {
    if (active()) {
        stop();
        return;
    }
    endWorker();  // a finished worker still to be joined
    const unsigned long number = ++request_;
    workerDone_ = false;
    emit activeChanged(true);
    worker_ = std::jthread([this, request, signal, number] {
        const auto samples = restOfFileSamples(request, signal, &cancel_);
        if (!samples) return;
        const QByteArray pcm = playbackPcm(*samples);
        // Played on the window's thread; a stopped or newer request drops it.
        QMetaObject::invokeMethod(
            this,
            [this, pcm, number] {
                if (number != request_) return;
                workerDone_ = true;
                start(pcm);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace zorvel
