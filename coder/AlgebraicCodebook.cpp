// (to be written)
#include "coder/Zorvellib.h"

namespace zorvel {

void SpeechCoder::searchAlgebraicCodebook(int) {}

}  // namespace zorvel
