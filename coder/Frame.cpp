// Frame record clearing and the frame reader.
// readFrame takes the next 160 samples of the coder's input (the file layout
// is the sound input's business) into record.speech and notes whether they
// are all zero; a frame that cannot be read whole is dropped.
#include "coder/Frame.h"

#include <algorithm>

namespace zorvel {

void clearFrameRecord(FrameRecord& record) {
    record = FrameRecord{};  // value-initialisation zeroes every field
    record.pulsePositions.fill(kNoPulse);
}

bool readFrame(FrameRecord& record, SpeechInput& input) {
    clearFrameRecord(record);
    const bool read = input.readSamples(record.speech);
    record.inputSilent =
        std::all_of(record.speech.begin(), record.speech.end(), [](double s) { return s == 0.0; });
    return read;
}

}  // namespace zorvel
