// A/B listening: the input speech s(n) and a coded output of the same span,
// played as one stream that the user switches between at the same sample
// position. A switch crossfades linearly over kCrossfadeSamples (5 ms), so it
// does not click. The two sides play at the same loudness: the coded side is
// scaled by the ratio of the two RMS values over the whole span, so that both
// have the RMS of s(n). Samples become PCM by the output files' rule (toSample).
#pragma once

#include <QIODevice>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace zorvel {

enum class ListeningSide {
    original,  // A: s(n)
    coded,     // B: the coder's output
};

inline constexpr int kCrossfadeSamples = 40;  // 5 ms at 8000 Hz

class ABMix {
  public:
    // The sides have the same length (the shorter one sets it). Starts on A.
    ABMix(std::vector<double> original, std::vector<double> coded);

    // Switches to `side` from the next sample on, through the crossfade; any
    // thread may call it while another reads.
    void setSide(ListeningSide side) { target_.store(side, std::memory_order_relaxed); }
    ListeningSide side() const { return target_.load(std::memory_order_relaxed); }

    // The next samples as 16-bit PCM values; the count written, 0 at the end.
    std::size_t read(std::span<std::int16_t> out);

    std::size_t length() const { return original_.size(); }
    std::size_t position() const { return position_; }
    // What the coded side is multiplied by.
    double codedGain() const { return codedGain_; }

  private:
    std::vector<double> original_;
    std::vector<double> coded_;
    double codedGain_ = 1.0;
    std::atomic<ListeningSide> target_{ListeningSide::original};
    int ramp_ = 0;  // the coded side's weight in 1/kCrossfadeSamples: 0 on A, all of them on B
    std::size_t position_ = 0;
};

// The mix as a sequential device of 8 kHz 16-bit mono PCM, little-endian, for
// an audio sink to pull.
class ABStream final : public QIODevice {
  public:
    explicit ABStream(std::shared_ptr<ABMix> mix, QObject* parent = nullptr);
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    std::shared_ptr<ABMix> mix_;
};

}  // namespace zorvel
