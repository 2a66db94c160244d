// The frame record: every signal and parameter the coder computes for one
// 20 ms frame, and the frame reader that fills a fresh record from the input.
//
// The record is the coder's only signal memory: a stage that needs the past
// reads the same array of the previous frame's record (index 160 + n for a
// sample n < 0 of the current frame).
#pragma once

#include <array>
#include <cstdint>

#include "coder/FrameCode.h"
#include "coder/Lengths.h"
#include "sound/SpeechInput.h"

namespace zorvel {

static_assert(kSubframes * kSubframeSamples == kFrameSamples);
inline constexpr int kHalfFrameSamples = kFrameSamples / 2;
inline constexpr int kLpOrder = 10;
inline constexpr int kLpCoeffs = kLpOrder + 1;  // a0..a10, a0 = 1
inline constexpr int kImpulseResponseSamples = 80;

using Signal = std::array<double, kFrameSamples>;
using LpCoeffs = std::array<double, kLpCoeffs>;
using ImpulseResponse = std::array<double, kImpulseResponseSamples>;

struct FrameRecord {
    Signal speech;                    // s(n), the input samples as read (high-passed when asked)
    std::array<double, 2> inputTail;  // samples 158 and 159 as read, before any high-pass
    // The 160 samples as read are all zero: the frame is silent to every
    // measure, whatever filter follows (a high-pass never returns to zero).
    bool inputSilent;
    Signal weightedSpeech;              // sw(n)
    Signal formantPostFiltered;         // synthesized speech after the formant post-filter
    Signal postProcessedSpeech;         // sp(n), output of SaveOption 2
    LpCoeffs lpCoeffsI;                 // set I, samples 0..79
    double lpErrorI;                    // final prediction error E10 of set I
    LpCoeffs lpCoeffsII;                // set II, samples 80..159
    double lpErrorII;                   // final prediction error E10 of set II
    ImpulseResponse impulseResponseI;   // W(z)/A(z), set I
    ImpulseResponse impulseResponseII;  // W(z)/A(z), set II
    // With LP interpolation, each subframe's filters use its own set, and the
    // weighted synthesis filter its own response; otherwise subframes 0 and 1
    // use set I and 2 and 3 set II.
    bool lpInterpolated;
    std::array<LpCoeffs, kSubframes> lpCoeffsInterpolated;
    std::array<ImpulseResponse, kSubframes> impulseResponseInterpolated;
    // The line spectral frequencies of set II (radians) when LP interpolation
    // found them, for the next frame to start from; zero when it did not.
    std::array<double, kLpOrder> lsfII;
    Signal postFilterImpulseResponse;  // 40 samples of the formant post-filter per subframe
    std::int32_t openLoopLagI;         // 18..143
    std::int32_t openLoopLagII;        // 18..143
    Signal openLoopCorrI;              // lags 0..159, first half
    Signal openLoopCorrII;             // lags 0..159, second half
    Signal lpResidual;                 // short-term prediction residual ("resLP")
    Signal ltpResidual;                // long-term prediction residual ("resLTP")
    std::array<std::int32_t, kSubframes> pitchLag;
    // The lag with its fraction where the pitch resolution is finer than a
    // sample (57.5, say); pitchLag itself where it is not.
    std::array<double, kSubframes> pitchLagFine;
    Signal targetSignal;  // x(n)
    Signal zeroInputResponse;
    Signal adaptiveWeightedSynthesis;                 // gp*y(n)
    Signal adaptiveSynthesis;                         // 1/A(z) applied to gp*v(n)
    Signal adaptiveExcitation;                        // v(n), scaled in place to gp*v(n)
    Signal excitation;                                // u(n) = gp*v(n) + gc*c(n)
    std::array<double, kSubframes> pitchGain;         // gp
    std::array<double, kSubframes> pitchGainApplied;  // the gain applied to v(n), y(n)
    Signal codebookTarget;                            // x2(n)
    Signal backwardFilteredTarget;                    // d(n), times the pulse sign
    std::array<double, kSubframeSamples * kSubframeSamples> impulseCorrelation;  // phi, row-major
    Signal signSelector;                                                         // b(n)
    Signal pulseSign;                                                            // s(n) = +1 or -1
    std::array<std::int32_t, kSubframes * kPulsesPerSubframe> pulsePositions;    // -1 = none
    Signal algebraicExcitation;                          // c(n), scaled in place to gc*c(n)
    std::array<double, kSubframes> codebookGain;         // gc
    Signal enhancedExcitation;                           // u'(n)
    Signal synthesizedSpeech;                            // s'(n), output of SaveOption 1
    Signal weightedSynthesizedSpeech;                    // sw'(n)
    std::array<double, kSubframes> codebookGainApplied;  // the gain applied to c(n)

    // The quantised coder's (quantisation on); zero otherwise. The synthesis
    // filter 1/A(z) of every subframe is then the quantised set's, the
    // weighting filter keeps the analysed one; `pitchGain` and `codebookGain`
    // stay the optimal gains, the applied ones are the quantised.
    bool lpQuantised;
    std::array<double, kLpOrder> lsfQuantisedI;   // radians; one set: the frame's set again
    std::array<double, kLpOrder> lsfQuantisedII;  // the next frame interpolates from it
    LpCoeffs lpCoeffsQuantisedI;
    LpCoeffs lpCoeffsQuantisedII;
    // With LP interpolation: each subframe's quantised set.
    bool lpQuantisedInterpolated;
    std::array<LpCoeffs, kSubframes> lpCoeffsQuantisedInterpolated;
    // The predictors' memories after this frame: the LSF quantiser's residual
    // and the gain quantiser's prediction errors (dB, the latest first).
    std::array<double, kLpOrder> lsfPredictorResidual;
    std::array<double, 4> gainPredictorErrors;
    FrameCode code;  // every index, exactly the mode's bits
};

// Zeroes every field and sets every pulse position to kNoPulse. (The fields
// that each stage writes before anything reads them are zeroed as well.)
void clearFrameRecord(FrameRecord& record);

// Clears the record and fills it with the next 160 samples of the coder's
// input. True when a whole frame was read, false at the end of the input.
[[nodiscard]] bool readFrame(FrameRecord& record, SpeechInput& input);

}  // namespace zorvel
