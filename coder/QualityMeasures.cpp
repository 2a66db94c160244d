// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

double computeSnr(std::span<const double>, std::span<const double>) { return 0.0; }
void SpeechCoder::updateQualityMeasures() {}

}  // namespace zorvel
