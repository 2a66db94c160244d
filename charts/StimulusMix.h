// The stimuli of a listening-test trial (the open reference and the lettered
// conditions) played as one stream: the listener switches between them at
// the same sample position, each switch crossfaded linearly over
// kCrossfadeSamples as A/B listening does (charts/ABListening.h), and a chosen
// span plays once or loops, faded in and out over kCrossfadeSamples at its
// ends so that the jump back does not click. Loudness is matched by RMS: every
// stimulus is scaled so that its RMS over the whole item equals that of the
// first one (the reference). Samples become PCM by the output files' rule.
#pragma once

#include <QIODevice>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zorvel {

class StimulusMix {
  public:
    // The stimuli have the same length (the shortest sets it); plays the
    // first one, over the whole length, once.
    explicit StimulusMix(std::vector<std::vector<double>> stimuli);

    // Any thread may call these while another reads.
    void select(int stimulus) { target_.store(stimulus, std::memory_order_relaxed); }
    int selected() const { return target_.load(std::memory_order_relaxed); }
    // The span [begin, end) in samples, clamped to the length; the position
    // moves into it when outside.
    void setSpan(std::size_t begin, std::size_t end);
    void setLooping(bool looping) { looping_.store(looping, std::memory_order_relaxed); }
    // Back to the span's start.
    void rewind() { restart_.store(true, std::memory_order_relaxed); }

    // The next samples as 16-bit PCM values; the count written, 0 at the end
    // of the span when not looping.
    std::size_t read(std::span<std::int16_t> out);

    std::size_t length() const { return length_; }
    std::size_t position() const { return position_.load(std::memory_order_relaxed); }
    std::size_t spanBegin() const { return begin_.load(std::memory_order_relaxed); }
    std::size_t spanEnd() const { return end_.load(std::memory_order_relaxed); }
    bool looping() const { return looping_.load(std::memory_order_relaxed); }
    int stimuli() const { return static_cast<int>(stimuli_.size()); }
    // What stimulus i is multiplied by.
    double gain(int stimulus) const { return gains_[static_cast<std::size_t>(stimulus)]; }

  private:
    std::vector<std::vector<double>> stimuli_;
    std::vector<double> gains_;
    std::size_t length_ = 0;
    std::vector<int> weights_;  // in 1/kCrossfadeSamples; the selected one rises, the others fall
    std::atomic<int> target_{0};
    std::atomic<std::size_t> begin_{0};
    std::atomic<std::size_t> end_{0};
    std::atomic<bool> looping_{false};
    std::atomic<bool> restart_{false};
    std::atomic<std::size_t> position_{0};
};

// The mix as a sequential device of 8 kHz 16-bit mono PCM, little-endian, for
// an audio sink to pull.
class StimulusStream final : public QIODevice {
  public:
    explicit StimulusStream(std::shared_ptr<StimulusMix> mix, QObject* parent = nullptr);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    std::shared_ptr<StimulusMix> mix_;
};

}  // namespace zorvel
