// The audio output of the chart window and the main window: PCM made from
// coder signals by the output files' sample rule, and the seam through which
// it reaches a sound device. The program plays through Qt Multimedia
// (QtAudioSink); tests put a recording sink in its place.
#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class QAudioSink;
class QIODevice;

namespace zorvel {

// What the user is told when no sound device can play.
inline const QString kNoSoundDevice =
    QStringLiteral("Brak urządzenia dźwiękowego: nie można odtworzyć dźwięku.");

// 8 kHz 16-bit mono PCM, little-endian: each value converted as the output
// files convert it (toSample: truncated, clipped to +/-32767, NaN as 0).
QByteArray playbackPcm(std::span<const double> samples);

class AudioSink {
  public:
    virtual ~AudioSink() = default;
    // Starts playing 8 kHz 16-bit mono PCM, ending anything playing. False
    // when no device can play it; nothing plays then. `finished` runs on the
    // caller's thread when playing ends by itself or by a device error, never
    // after stop().
    virtual bool play(const QByteArray& pcm, std::function<void()> finished) = 0;
    // The same for PCM pulled from `source` as it plays (an A/B stream),
    // which ends where it gives no more bytes.
    virtual bool playSource(std::unique_ptr<QIODevice> source, std::function<void()> finished) = 0;
    virtual void stop() = 0;
    virtual bool playing() const = 0;
    // Whether a device could play now: asked before long work is done for
    // playing (coding the rest of a file), so that a missing device is told
    // at once. A sink that cannot tell says yes; play still says no.
    virtual bool available() const { return true; }
};

// The default audio output of Qt Multimedia (the first output when there is
// no default). The list of outputs is asked for at every play; an empty list,
// a device that cannot take the format or a sink that fails to start means
// no device.
class QtAudioSink final : public AudioSink {
  public:
    using OutputList = std::function<QList<QAudioDevice>()>;
    explicit QtAudioSink(OutputList outputs = defaultOutputs());
    ~QtAudioSink() override;

    bool play(const QByteArray& pcm, std::function<void()> finished) override;
    bool playSource(std::unique_ptr<QIODevice> source, std::function<void()> finished) override;
    void stop() override;
    bool playing() const override;
    bool available() const override;

    static OutputList defaultOutputs();

  private:
    void finish();
    // The device that plays: the default output, or the first one; nothing
    // when there is none or it cannot take 8 kHz 16-bit mono.
    std::optional<QAudioDevice> device() const;

    OutputList outputs_;
    std::unique_ptr<QObject> context_;  // receives the sink's signals; lives as long as this
    std::unique_ptr<QIODevice> source_;
    std::unique_ptr<QAudioSink> sink_;
    std::function<void()> finished_;
    unsigned long playback_ = 0;  // counts the playbacks started and stopped
};

}  // namespace zorvel
