// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

void SpeechCoder::synthesizeSubframe(int) {}

}  // namespace zorvel
