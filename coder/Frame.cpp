// Frame record clearing and the frame reader.
// readFrame takes the next 160 samples of the coder's input (the file layout
// is the sound input's business) into record.speech; a frame that cannot be
// read whole is dropped.
#include "coder/Frame.h"

namespace zorvel {

void clearFrameRecord(FrameRecord& record) {
    record = FrameRecord{};  // value-initialisation zeroes every field
    record.pulsePositions.fill(kNoPulse);
}

bool readFrame(FrameRecord& record, SpeechInput& input) {
    clearFrameRecord(record);
    return input.readSamples(record.speech);
}

}  // namespace zorvel
