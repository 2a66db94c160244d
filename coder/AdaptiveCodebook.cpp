// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

void SpeechCoder::searchAdaptiveCodebook(int) {}

}  // namespace zorvel
