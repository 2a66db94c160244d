// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

void SpeechCoder::computeLtpResidual(int) {}

}  // namespace zorvel
