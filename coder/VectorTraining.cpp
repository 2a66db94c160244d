#include "coder/VectorTraining.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

namespace zorvel {
namespace {

constexpr int kMaxBits = 16;

// d(x, c) summed until it reaches `bound`: then some value >= bound.
double partialDistance(const double* x, const double* c, const double* w, int dimension,
                       double bound) {
    double d = 0.0;
    for (int i = 0; i < dimension; ++i) {
        const double e = x[i] - c[i];
        d += w[i] * e * e;
        if (d >= bound) break;
    }
    return d;
}

// The codewords in the order of one component s, so that a search can
// start where x_s lies and go outwards: once w_s (x_s - c_s)^2 alone reaches
// the best distance so far, no codeword further out on that side is nearer.
class SortedCodebook {
  public:
    SortedCodebook(const Codebook& codebook, int component)
        : codebook_(codebook), component_(component), order_(codebook.size()) {
        for (int k = 0; k < codebook.size(); ++k) order_[k] = k;
        std::sort(order_.begin(), order_.end(), [&](int a, int b) {
            const double ca = codebook[a][component];
            const double cb = codebook[b][component];
            return ca < cb || (ca == cb && a < b);
        });
        keys_.resize(order_.size());
        for (std::size_t j = 0; j < order_.size(); ++j) keys_[j] = codebook[order_[j]][component];
    }

    // A nearest codeword to x, starting from `guess`; its distance.
    int nearest(std::span<const double> x, std::span<const double> w, int guess,
                double& distance) const {
        const int dimension = codebook_.dimension;
        const double* values = codebook_.values.data();
        double best = weightedDistance(x, codebook_[guess], w);
        int bestIndex = guess;
        const double xs = x[component_];
        const double ws = w[component_];
        const auto size = static_cast<std::ptrdiff_t>(keys_.size());
        std::ptrdiff_t up = std::lower_bound(keys_.begin(), keys_.end(), xs) - keys_.begin();
        std::ptrdiff_t down = up - 1;
        bool upOpen = up < size;
        bool downOpen = down >= 0;
        while (upOpen || downOpen) {
            for (int side = 0; side < 2; ++side) {
                std::ptrdiff_t& j = side == 0 ? up : down;
                bool& open = side == 0 ? upOpen : downOpen;
                if (!open) continue;
                const double e = keys_[j] - xs;
                if (ws * e * e >= best) {
                    open = false;
                    continue;
                }
                const int k = order_[j];
                if (k != guess) {
                    const double d =
                        partialDistance(x.data(), values + static_cast<std::size_t>(k) * dimension,
                                        w.data(), dimension, best);
                    if (d < best) {
                        best = d;
                        bestIndex = k;
                    }
                }
                j += side == 0 ? 1 : -1;
                open = side == 0 ? j < size : j >= 0;
            }
        }
        distance = best;
        return bestIndex;
    }

  private:
    const Codebook& codebook_;
    int component_;
    std::vector<int> order_;
    std::vector<double> keys_;  // c_s in that order
};

// The component whose weighted spread sum w_i (x_i - mean_i)^2 is largest
// (the first of equals): the one that tells codewords apart best.
int widestComponent(const TrainingVectors& training) {
    const int dimension = training.dimension();
    std::vector<double> mean(dimension, 0.0);
    for (std::size_t n = 0; n < training.count(); ++n)
        for (int i = 0; i < dimension; ++i) mean[i] += training.vector(n)[i];
    for (double& m : mean) m /= static_cast<double>(training.count());
    std::vector<double> spread(dimension, 0.0);
    for (std::size_t n = 0; n < training.count(); ++n)
        for (int i = 0; i < dimension; ++i) {
            const double e = training.vector(n)[i] - mean[i];
            spread[i] += training.weights(n)[i] * e * e;
        }
    return static_cast<int>(std::max_element(spread.begin(), spread.end()) - spread.begin());
}

// The assignment of every vector to its nearest codeword; D.
double assign(const TrainingVectors& training, const Codebook& codebook, int component,
              std::vector<int>& cell, std::vector<double>& distance) {
    const SortedCodebook sorted(codebook, component);
    double sum = 0.0;
    for (std::size_t n = 0; n < training.count(); ++n) {
        cell[n] = sorted.nearest(training.vector(n), training.weights(n), cell[n], distance[n]);
        sum += distance[n];
    }
    return sum / static_cast<double>(training.count());
}

// Every codeword moved to the weighted centroid of its cell; an empty cell's
// codeword to the vector farthest from its own codeword (which then counts
// as taken).
void moveToCentroids(const TrainingVectors& training, const std::vector<int>& cell,
                     std::vector<double>& distance, Codebook& codebook) {
    const int dimension = codebook.dimension;
    const std::size_t size = static_cast<std::size_t>(codebook.size());
    std::vector<double> weightedSum(size * dimension, 0.0);
    std::vector<double> weightSum(size * dimension, 0.0);
    for (std::size_t n = 0; n < training.count(); ++n) {
        const std::span<const double> x = training.vector(n);
        const std::span<const double> w = training.weights(n);
        const std::size_t base = static_cast<std::size_t>(cell[n]) * dimension;
        for (int i = 0; i < dimension; ++i) {
            weightedSum[base + i] += w[i] * x[i];
            weightSum[base + i] += w[i];
        }
    }
    for (std::size_t k = 0; k < size; ++k) {
        bool empty = true;
        for (int i = 0; i < dimension; ++i) {
            const std::size_t j = k * dimension + i;
            if (weightSum[j] > 0.0) {
                codebook.values[j] = weightedSum[j] / weightSum[j];
                empty = false;
            }
        }
        if (!empty) continue;
        std::size_t farthest = 0;
        for (std::size_t n = 1; n < training.count(); ++n)
            if (distance[n] > distance[farthest]) farthest = n;
        const std::span<const double> x = training.vector(farthest);
        for (int i = 0; i < dimension; ++i) codebook.values[k * dimension + i] = x[i];
        distance[farthest] = 0.0;
    }
}

// delta: kSplitOffset times the spread of each component.
std::vector<double> splitOffsets(const TrainingVectors& training) {
    const int dimension = training.dimension();
    std::vector<double> mean(dimension, 0.0);
    std::vector<double> square(dimension, 0.0);
    for (std::size_t n = 0; n < training.count(); ++n) {
        const std::span<const double> x = training.vector(n);
        for (int i = 0; i < dimension; ++i) {
            mean[i] += x[i];
            square[i] += x[i] * x[i];
        }
    }
    const double count = static_cast<double>(training.count());
    std::vector<double> delta(dimension);
    for (int i = 0; i < dimension; ++i) {
        const double m = mean[i] / count;
        const double variance = square[i] / count - m * m;
        delta[i] = kSplitOffset * std::sqrt(variance > 0.0 ? variance : 0.0);
    }
    return delta;
}

}  // namespace

void TrainingVectors::add(std::span<const double> x, std::span<const double> w) {
    if (static_cast<int>(x.size()) != dimension_ || static_cast<int>(w.size()) != dimension_)
        throw std::invalid_argument("a training vector or its weights are not of the dimension");
    values_.insert(values_.end(), x.begin(), x.end());
    weights_.insert(weights_.end(), w.begin(), w.end());
}

double weightedDistance(std::span<const double> x, std::span<const double> c,
                        std::span<const double> w) {
    double d = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double e = x[i] - c[i];
        d += w[i] * e * e;
    }
    return d;
}

int nearestCodeword(const Codebook& codebook, std::span<const double> x,
                    std::span<const double> w) {
    const int dimension = codebook.dimension;
    double best = weightedDistance(x, codebook[0], w);
    int bestIndex = 0;
    for (int k = 1; k < codebook.size(); ++k) {
        const double d = partialDistance(
            x.data(), codebook.values.data() + static_cast<std::size_t>(k) * dimension, w.data(),
            dimension, best);
        if (d < best) {
            best = d;
            bestIndex = k;
        }
    }
    return bestIndex;
}

LbgResult trainLbg(const TrainingVectors& training, int bits) {
    if (bits < 0 || bits > kMaxBits)
        throw std::invalid_argument("a codebook is trained with 0 to 16 bits");
    if (training.count() == 0) throw std::invalid_argument("no training vectors");
    const int dimension = training.dimension();
    const std::size_t count = training.count();
    std::vector<int> cell(count, 0);
    std::vector<double> distance(count, 0.0);
    const std::vector<double> delta = splitOffsets(training);
    const int component = widestComponent(training);

    LbgResult result;
    Codebook codebook{dimension, std::vector<double>(dimension, 0.0)};
    for (int size = 1;; size *= 2) {
        double previous = std::numeric_limits<double>::infinity();
        for (int iteration = 0;; ++iteration) {
            const double D = assign(training, codebook, component, cell, distance);
            result.steps.push_back({size, D});
            if (iteration > 0 && previous - D <= kStopRatio * previous) break;
            if (iteration + 1 == kMaxIterations) break;
            previous = D;
            moveToCentroids(training, cell, distance, codebook);
        }
        result.codebooks.push_back(codebook);
        if (size == (1 << bits)) break;
        // Doubled: codeword k stays k, and k + size is k moved by delta; every
        // vector stays in its cell until the next assignment.
        codebook.values.resize(codebook.values.size() * 2);
        for (int k = 0; k < size; ++k)
            for (int i = 0; i < dimension; ++i)
                codebook.values[static_cast<std::size_t>(k + size) * dimension + i] =
                    codebook.values[static_cast<std::size_t>(k) * dimension + i] + delta[i];
    }
    return result;
}

}  // namespace zorvel
