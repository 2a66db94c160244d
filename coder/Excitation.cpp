// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

void SpeechCoder::buildExcitation(int) {}

}  // namespace zorvel
