#include "charts/AudioOutput.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QMetaObject>

#include "sound/Wave.h"

namespace zorvel {

QByteArray playbackPcm(std::span<const double> samples) {
    QByteArray pcm(static_cast<qsizetype>(2 * samples.size()), '\0');
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto sample = static_cast<std::uint16_t>(toSample(samples[i]));
        pcm[static_cast<qsizetype>(2 * i)] = static_cast<char>(sample & 0xFF);
        pcm[static_cast<qsizetype>(2 * i + 1)] = static_cast<char>(sample >> 8);
    }
    return pcm;
}

QtAudioSink::OutputList QtAudioSink::defaultOutputs() {
    return [] { return QMediaDevices::audioOutputs(); };
}

QtAudioSink::QtAudioSink(OutputList outputs)
    : outputs_(std::move(outputs)), context_(std::make_unique<QObject>()) {}

QtAudioSink::~QtAudioSink() { stop(); }

bool QtAudioSink::play(const QByteArray& pcm, std::function<void()> finished) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(pcm);
    buffer->open(QIODevice::ReadOnly);
    return playSource(std::move(buffer), std::move(finished));
}

namespace {

QAudioFormat playbackFormat() {
    QAudioFormat format;
    format.setSampleRate(kSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

}  // namespace

std::optional<QAudioDevice> QtAudioSink::device() const {
    const QList<QAudioDevice> devices = outputs_();
    if (devices.isEmpty()) return std::nullopt;
    QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !devices.contains(device)) device = devices.front();
    if (!device.isFormatSupported(playbackFormat())) return std::nullopt;
    return device;
}

bool QtAudioSink::available() const { return device().has_value(); }

bool QtAudioSink::playSource(std::unique_ptr<QIODevice> source, std::function<void()> finished) {
    stop();
    const std::optional<QAudioDevice> device = this->device();
    if (!device) return false;

    source_ = std::move(source);
    sink_ = std::make_unique<QAudioSink>(*device, playbackFormat());
    QObject::connect(sink_.get(), &QAudioSink::stateChanged, context_.get(),
                     [this, playback = playback_](QAudio::State state) {
                         const bool ended =
                             state == QAudio::IdleState ||
                             (state == QAudio::StoppedState && sink_->error() != QAudio::NoError);
                         // The sink is not ended from inside its own signal.
                         if (ended)
                             QMetaObject::invokeMethod(
                                 context_.get(),
                                 [this, playback] {
                                     if (playback == playback_) finish();
                                 },
                                 Qt::QueuedConnection);
                     });
    sink_->start(source_.get());
    if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
        stop();
        return false;
    }
    finished_ = std::move(finished);
    return true;
}

void QtAudioSink::finish() {
    auto finished = std::move(finished_);
    stop();
    if (finished) finished();
}

void QtAudioSink::stop() {
    finished_ = nullptr;
    ++playback_;  // a queued end of the stopped playback finds another number
    if (sink_) {
        sink_->disconnect();
        sink_->stop();
    }
    sink_.reset();
    source_.reset();
}

bool QtAudioSink::playing() const { return sink_ != nullptr; }

}  // namespace zorvel
