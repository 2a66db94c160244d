// The pitch lags one subframe's code can send, and their indices. Lags are
// counted in sixths of a sample (a lag of 57 2/6 is 344), the finest step
// of the interpolation filter; the closed-loop search, whole lags
// L0-3..L0+3 for an open-loop lag L0 of 18..143, reaches 15..146 and their
// fractions.
//
// An absolute code (subframes 0 and 2) covers the fractions of the pitch
// resolution from the lowest lag up to a whole lag W0, then the whole lags
// from W0 to 146; W0 is the highest for which the codes fit in the bits
// (all whole lags at resolution 1, which need 132 codes).
//
// A relative code (subframes 1 and 3, and 2 where the mode says so) covers
// 2^bits lags on one grid, centred on the previous subframe's lag rounded
// to a whole sample and moved inside the lags the search can reach. Its
// grid is the finest of 1/6, 1/3 and 1 that the pitch resolution allows and
// that still spans kRelativeSpanLags whole lags: a relative lag follows the
// previous one by up to six samples (two searches of +-3 around the same
// open-loop lag), and a step finer than that span allows would cut off the
// lags the search finds most often.
#pragma once

#include "coder/CoderSettings.h"

namespace zorvel {

inline constexpr int kLagSixths = 6;          // steps of a lag code per sample
inline constexpr int kLowestCodedLag = 15;    // the closed-loop search's whole lags
inline constexpr int kHighestCodedLag = 146;  // 18 - 3 .. 143 + 3
inline constexpr int kRelativeSpanLags = 10;

class LagCodebook {
  public:
    // The code of subframes 0 and 2: `bits` of them at `resolution`.
    static LagCodebook absolute(int bits, PitchResolution resolution);
    // The code relative to the previous subframe's lag (sixths).
    static LagCodebook relative(int bits, PitchResolution resolution, int previousLag6);

    int bits() const { return bits_; }
    // Whether the code can send the lag (sixths).
    bool holds(int lag6) const;
    // The index of a lag the code holds.
    int indexOf(int lag6) const;
    // The lag of an index; an index of more bits, or one that names no lag,
    // throws std::invalid_argument.
    int lagOf(int index) const;
    // The whole lags the code holds lie in lowestWhole..highestWhole.
    int lowestWhole() const;
    int highestWhole() const;

  private:
    LagCodebook() = default;
    int bits_ = 0;
    // Sixths fineFirst, fineFirst + fineStep, .. fineLast, then the whole
    // lags wholeFirst..wholeLast (none when wholeFirst > wholeLast).
    int fineFirst_ = 0;
    int fineLast_ = 0;
    int fineStep_ = kLagSixths;
    int wholeFirst_ = 1;
    int wholeLast_ = 0;
};

// The canonical whole lag of a lag in sixths, the centre of the next
// relative code: rounded to the nearest sample, halves upward.
int wholeLagOf(int lag6);

}  // namespace zorvel
