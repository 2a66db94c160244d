#include "coder/LagCodes.h"

#include <algorithm>
#include <stdexcept>

namespace zorvel {
namespace {

// Sixths between two lags of the grid of `steps` per sample.
int gridStep(int steps) { return kLagSixths / steps; }

// The lowest and highest lag of a grid within the search's reach: the whole
// lags' fractions down to 14 1/6 (grid 1/6) and up to 146 5/6.
int lowestOnGrid(int step) { return kLowestCodedLag * kLagSixths - (kLagSixths - step); }
int highestOnGrid(int step) { return kHighestCodedLag * kLagSixths + (kLagSixths - step); }

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int ceilDiv(int a, int b) { return -floorDiv(-a, b); }

}  // namespace

LagCodebook LagCodebook::absolute(int bits, PitchResolution resolution) {
    LagCodebook code;
    code.bits_ = bits;
    const int codes = 1 << bits;
    const int step = gridStep(stepsPerSample(resolution));
    code.fineStep_ = step;
    code.fineFirst_ = lowestOnGrid(step);
    // The highest W0 for which the fine lags below it and the whole lags
    // from it fit in the codes.
    int W0 = kHighestCodedLag + 1;
    const auto codesWith = [&](int w) {
        return (w * kLagSixths - code.fineFirst_) / step + (kHighestCodedLag - w + 1);
    };
    while (W0 > kLowestCodedLag && codesWith(W0) > codes) --W0;
    if (codesWith(W0) > codes) throw std::invalid_argument("too few bits for a lag code");
    code.fineLast_ = std::min(W0 * kLagSixths - step, highestOnGrid(step));
    code.wholeFirst_ = W0;
    code.wholeLast_ = kHighestCodedLag;
    return code;
}

LagCodebook LagCodebook::relative(int bits, PitchResolution resolution, int previousLag6) {
    LagCodebook code;
    code.bits_ = bits;
    const int codes = 1 << bits;
    int steps = stepsPerSample(resolution);
    while (steps > 1 && codes / steps < kRelativeSpanLags) steps = steps == 6 ? 3 : 1;
    const int step = gridStep(steps);
    const int centre = wholeLagOf(previousLag6) * kLagSixths;
    const int span = (codes - 1) * step;
    const int first =
        std::clamp(centre - codes / 2 * step, lowestOnGrid(step), highestOnGrid(step) - span);
    code.fineStep_ = step;
    code.fineFirst_ = first;
    code.fineLast_ = first + span;
    return code;  // no whole-lag part
}

bool LagCodebook::holds(int lag6) const {
    if (lag6 >= fineFirst_ && lag6 <= fineLast_) return (lag6 - fineFirst_) % fineStep_ == 0;
    return lag6 % kLagSixths == 0 && lag6 / kLagSixths >= wholeFirst_ &&
           lag6 / kLagSixths <= wholeLast_;
}

int LagCodebook::indexOf(int lag6) const {
    if (!holds(lag6)) throw std::invalid_argument("the lag code cannot send this lag");
    const int fineCount = (fineLast_ - fineFirst_) / fineStep_ + 1;
    if (lag6 <= fineLast_) return (lag6 - fineFirst_) / fineStep_;
    return fineCount + lag6 / kLagSixths - wholeFirst_;
}

int LagCodebook::lagOf(int index) const {
    const int fineCount = (fineLast_ - fineFirst_) / fineStep_ + 1;
    const int wholeCount = std::max(0, wholeLast_ - wholeFirst_ + 1);
    if (index < 0 || index >= fineCount + wholeCount || index >= (1 << bits_))
        throw std::invalid_argument("lag index names no lag");
    if (index < fineCount) return fineFirst_ + index * fineStep_;
    return (wholeFirst_ + index - fineCount) * kLagSixths;
}

int LagCodebook::lowestWhole() const { return ceilDiv(fineFirst_, kLagSixths); }

int LagCodebook::highestWhole() const {
    return wholeFirst_ <= wholeLast_ ? wholeLast_ : floorDiv(fineLast_, kLagSixths);
}

int wholeLagOf(int lag6) { return floorDiv(lag6 + kLagSixths / 2, kLagSixths); }

}  // namespace zorvel
