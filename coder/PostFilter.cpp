// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

void SpeechCoder::postFilterSubframe(int) {}

}  // namespace zorvel
