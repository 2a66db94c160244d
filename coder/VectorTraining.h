// Vector quantiser training: the generalised Lloyd algorithm with splitting
// (Linde, Buzo and Gray), under a weighted squared distance
//   d(x, c) = sum_i w_i (x_i - c_i)^2,
// each training vector x carrying its own weights w. Symbols: N training
// vectors, K codewords, D the mean of d over the training vectors.
//
// From the weighted centroid of all vectors (K = 1), each size K is trained
// to convergence and then doubled: every codeword c is kept and joined by
// c + delta, delta_i = kSplitOffset sigma_i (sigma_i the spread of component
// i over the training vectors). At each size an iteration assigns every
// vector to its nearest codeword and moves every codeword to the weighted
// centroid of its cell, c_i = sum w_i x_i / sum w_i; a codeword left without
// vectors takes the vector that lies farthest from its own codeword. Both
// moves lower D or keep it, and keeping every codeword when doubling keeps
// it too, so D never grows over a whole run. A size ends with an assignment:
// the first that lowers D by no more than kStopRatio of its value, or the
// kMaxIterations-th; the codebook kept is the one that assignment measured.
// The training's nearest-codeword search starts at the vector's codeword of
// the last iteration and goes outwards in the order of the component of
// the widest weighted spread, stopping on each side once that component's
// term alone reaches the best distance: the codeword it finds is a nearest
// one, as a full search would find.
// Everything runs in one fixed order: the same vectors in the same order
// give the same codebooks bit for bit.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace zorvel {

// `size` codewords of `dimension` values each, one after another.
struct Codebook {
    int dimension = 0;
    std::vector<double> values;

    int size() const { return dimension > 0 ? static_cast<int>(values.size()) / dimension : 0; }
    std::span<const double> operator[](int k) const {
        return std::span<const double>(values).subspan(static_cast<std::size_t>(k) * dimension,
                                                       dimension);
    }
    bool operator==(const Codebook&) const = default;
};

// Training vectors and their weights, one after another.
class TrainingVectors {
  public:
    explicit TrainingVectors(int dimension) : dimension_(dimension) {}

    // Throws std::invalid_argument when x or w is not of the dimension.
    void add(std::span<const double> x, std::span<const double> w);

    int dimension() const { return dimension_; }
    std::size_t count() const { return values_.size() / static_cast<std::size_t>(dimension_); }
    std::span<const double> vector(std::size_t n) const {
        return std::span<const double>(values_).subspan(n * dimension_, dimension_);
    }
    std::span<const double> weights(std::size_t n) const {
        return std::span<const double>(weights_).subspan(n * dimension_, dimension_);
    }

  private:
    int dimension_;
    std::vector<double> values_;
    std::vector<double> weights_;
};

// d(x, c) with the weights w.
double weightedDistance(std::span<const double> x, std::span<const double> c,
                        std::span<const double> w);

// The index of the codeword nearest to x (the first of equals), by a full
// search whose sums stop once they pass the best so far (partial distances).
int nearestCodeword(const Codebook& codebook, std::span<const double> x, std::span<const double> w);

inline constexpr double kSplitOffset = 0.01;
inline constexpr double kStopRatio = 1e-3;
inline constexpr int kMaxIterations = 40;

// One iteration of a run: the codebook's size and D of its assignment.
struct LbgStep {
    int size;
    double distortion;
};

struct LbgResult {
    std::vector<Codebook> codebooks;  // of sizes 1, 2, 4, ..., 2^bits, each as trained
    std::vector<LbgStep> steps;       // every iteration, in order
};

// Trains codebooks of up to 2^bits codewords (bits 0..16) on `training`,
// which must hold at least one vector; throws std::invalid_argument if not.
LbgResult trainLbg(const TrainingVectors& training, int bits);

}  // namespace zorvel
