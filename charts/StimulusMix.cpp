#include "charts/StimulusMix.h"

#include <algorithm>
#include <cmath>

#include "charts/ABListening.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

double rms(std::span<const double> x) {
    double energy = 0.0;
    for (double v : x) energy += v * v;
    return x.empty() ? 0.0 : std::sqrt(energy / static_cast<double>(x.size()));
}

}  // namespace

StimulusMix::StimulusMix(std::vector<std::vector<double>> stimuli) : stimuli_(std::move(stimuli)) {
    if (stimuli_.empty()) return;
    length_ = stimuli_.front().size();
    for (const auto& s : stimuli_) length_ = std::min(length_, s.size());
    const double referenceRms = rms(std::span(stimuli_.front()).first(length_));
    for (auto& s : stimuli_) {
        s.resize(length_);
        const double r = rms(s);
        gains_.push_back(r > 0.0 ? referenceRms / r : 1.0);
    }
    weights_.assign(stimuli_.size(), 0);
    weights_.front() = kCrossfadeSamples;
    end_ = length_;
}

void StimulusMix::setSpan(std::size_t begin, std::size_t end) {
    end = std::min(end, length_);
    begin = std::min(begin, end);
    begin_.store(begin, std::memory_order_relaxed);
    end_.store(end, std::memory_order_relaxed);
}

std::size_t StimulusMix::read(std::span<std::int16_t> out) {
    if (stimuli_.empty()) return 0;
    const std::size_t begin = spanBegin(), end = spanEnd();
    if (begin >= end) return 0;
    const int target = std::clamp(selected(), 0, stimuli() - 1);
    const bool loop = looping();
    std::size_t position = position_.load(std::memory_order_relaxed);
    if (restart_.exchange(false, std::memory_order_relaxed) || position < begin || position > end)
        position = begin;
    std::size_t written = 0;
    while (written < out.size()) {
        if (position >= end) {
            if (!loop) break;
            position = begin;
        }
        int total = 0;
        double sum = 0.0;
        for (std::size_t i = 0; i < stimuli_.size(); ++i) {
            int& w = weights_[i];
            w += static_cast<int>(i) == target ? (w < kCrossfadeSamples ? 1 : 0) : (w > 0 ? -1 : 0);
            total += w;
            if (w > 0) sum += w * gains_[i] * stimuli_[i][position];
        }
        double value = total > 0 ? sum / total : 0.0;
        if (loop) {  // faded in and out at the span's ends
            const std::size_t fromStart = position - begin + 1, toEnd = end - position;
            const std::size_t edge = std::min(fromStart, toEnd);
            if (edge < static_cast<std::size_t>(kCrossfadeSamples))
                value *= static_cast<double>(edge) / kCrossfadeSamples;
        }
        out[written++] = toSample(value);
        ++position;
    }
    position_.store(position, std::memory_order_relaxed);
    return written;
}

StimulusStream::StimulusStream(std::shared_ptr<StimulusMix> mix, QObject* parent)
    : QIODevice(parent), mix_(std::move(mix)) {
    // Unbuffered: a switch is heard as soon as the sink asks for more.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 StimulusStream::bytesAvailable() const {
    if (mix_->looping())
        return 2 * static_cast<qint64>(mix_->length()) + QIODevice::bytesAvailable();
    const std::size_t end = mix_->spanEnd(), position = mix_->position();
    return 2 * static_cast<qint64>(end > position ? end - position : 0) +
           QIODevice::bytesAvailable();
}

qint64 StimulusStream::readData(char* data, qint64 maxSize) {
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
