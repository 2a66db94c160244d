#include "charts/ABListening.h"

#include <algorithm>
#include <cmath>

#include "sound/Wave.h"

namespace zorvel {
namespace {

double rms(const std::vector<double>& x) {
    double energy = 0.0;
    for (double v : x) energy += v * v;
    return x.empty() ? 0.0 : std::sqrt(energy / static_cast<double>(x.size()));
}

}  // namespace

ABMix::ABMix(std::vector<double> original, std::vector<double> coded)
    : original_(std::move(original)), coded_(std::move(coded)) {
    const std::size_t length = std::min(original_.size(), coded_.size());
    original_.resize(length);
    coded_.resize(length);
    const double codedRms = rms(coded_);
    if (codedRms > 0.0) codedGain_ = rms(original_) / codedRms;
}

std::size_t ABMix::read(std::span<std::int16_t> out) {
    const int goal = side() == ListeningSide::coded ? kCrossfadeSamples : 0;
    std::size_t written = 0;
    for (; written < out.size() && position_ < original_.size(); ++written, ++position_) {
        ramp_ += goal > ramp_ ? 1 : (goal < ramp_ ? -1 : 0);
        const double weight = static_cast<double>(ramp_) / kCrossfadeSamples;
        const double a = original_[position_];
        const double b = codedGain_ * coded_[position_];
        out[written] = toSample(a + weight * (b - a));
    }
    return written;
}

ABStream::ABStream(std::shared_ptr<ABMix> mix, QObject* parent)
    : QIODevice(parent), mix_(std::move(mix)) {
    // Unbuffered: a switch is heard as soon as the sink asks for more.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 ABStream::bytesAvailable() const {
    return 2 * static_cast<qint64>(mix_->length() - mix_->position()) + QIODevice::bytesAvailable();
}

qint64 ABStream::readData(char* data, qint64 maxSize) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(maxSize / 2));
    const std::size_t count = mix_->read(samples);
    for (std::size_t i = 0; i < count; ++i) {
        const auto value = static_cast<std::uint16_t>(samples[i]);
        data[2 * i] = static_cast<char>(value & 0xFF);
        data[2 * i + 1] = static_cast<char>(value >> 8);
    }
    return static_cast<qint64>(2 * count);
}

}  // namespace zorvel
