// What a sound file is, as libsndfile sees it, and whether the coder can take
// it as it stands. The coder reads 16-bit samples from byte 60 of any file:
// that is right for the files libsndfile does not recognise (raw samples, the
// files with 60 bytes of anything before them) and for 8000 Hz mono 16-bit PCM
// WAV; any other recording (another rate, more channels, other samples, another
// container) would be misread, and must be converted first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zorvel {

enum class RecordingKind {
    unrecognised,  // not a sound file libsndfile knows: coded from byte 60
    coderFormat,   // 8000 Hz mono 16-bit PCM WAV: coded from byte 60
    otherFormat,   // anything else libsndfile reads: to be converted
};

// How the samples of a recording are stored.
enum class SampleType {
    unknown,
    pcm8,
    pcm16,
    pcm24,
    pcm32,
    float32,
    float64,
    uLaw,
    aLaw,
    other,  // a coding of its own (Vorbis, Opus, MPEG, ADPCM, ...)
};

struct RecordingFormat {
    RecordingKind kind = RecordingKind::unrecognised;
    int sampleRate = 0;       // Hz; 0 when unrecognised
    int channels = 0;         // 0 when unrecognised
    std::int64_t frames = 0;  // samples per channel
    SampleType sampleType = SampleType::unknown;
    std::string sampleName;  // "24-bit", "float", or libsndfile's name of the coding
    std::string container;   // "FLAC", "Ogg", ...; empty for WAV, when not worth naming
    // E.g. "48000 Hz, 2 channels, 24-bit" or "44100 Hz, 1 channel, float,
    // FLAC" (the container is named when it is not WAV); empty when
    // unrecognised.
    std::string description;
};

// Opens `file` with libsndfile without ever waiting on it: what is not a
// regular file (a FIFO, a device), and what cannot be opened, is unrecognised,
// so that the coder's own input gives its refusal.
RecordingFormat describeRecording(const std::filesystem::path& file);

// The file name extensions of the recordings libsndfile reads here, and of
// the raw files the coder reads from byte 60 (.raw, .pcm, .w60); lower case,
// sorted, each once.
std::vector<std::string> readableExtensions();

// The refusal of a recording of another format: "<description>; the coder
// takes 8000 Hz mono 16-bit".
std::string otherFormatProblem(const RecordingFormat& format);

}  // namespace zorvel
