#include "listening/TrialOrder.h"

#include <numeric>
#include <random>
#include <stdexcept>

namespace zorvel {
namespace {

// Uniform in 0..bound-1 without the bias of a plain remainder: words from the
// incomplete last run of `bound` are drawn again.
std::uint64_t uniformBelow(std::mt19937_64& words, std::uint64_t bound) {
    const std::uint64_t limit = std::mt19937_64::max() - std::mt19937_64::max() % bound;
    for (;;) {
        const std::uint64_t word = words();
        if (word < limit) return word % bound;
    }
}

}  // namespace

std::vector<int> trialOrder(int count, std::uint64_t seed, int trial) {
    if (count < 0) throw std::invalid_argument("trialOrder: a negative count");
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32),
                           static_cast<std::uint32_t>(trial)};
    std::mt19937_64 words(sequence);
    std::vector<int> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    for (std::size_t i = order.size(); i > 1; --i)
        std::swap(order[i - 1], order[uniformBelow(words, i)]);
    return order;
}

std::string neutralLetter(int position) {
    if (position < 0 || position >= 26) throw std::out_of_range("neutralLetter: no such position");
    return std::string(1, static_cast<char>('A' + position));
}

}  // namespace zorvel
