// Recognising a recording with libsndfile.
#include "sound/Recording.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include "sound/Wave.h"

namespace zorvel {
namespace {

std::string sampleName(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return "8-bit";
        case SF_FORMAT_PCM_16:
            return "16-bit";
        case SF_FORMAT_PCM_24:
            return "24-bit";
        case SF_FORMAT_PCM_32:
            return "32-bit";
        case SF_FORMAT_FLOAT:
            return "float";
        case SF_FORMAT_DOUBLE:
            return "double";
        case SF_FORMAT_ULAW:
            return "u-law";
        case SF_FORMAT_ALAW:
            return "A-law";
        default:
            break;
    }
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(nullptr, SFC_GET_FORMAT_SUBTYPE, &info, sizeof info) == 0 && info.name)
        return info.name;
    return "unknown samples";
}

std::string containerName(int major) {
    switch (major) {
        case SF_FORMAT_FLAC:
            return "FLAC";
        case SF_FORMAT_OGG:
            return "Ogg";
        case SF_FORMAT_AIFF:
            return "AIFF";
        case SF_FORMAT_WAVEX:
            return "WAVE_FORMAT_EXTENSIBLE";
        default:
            break;
    }
    SF_FORMAT_INFO info{};
    info.format = major;
    if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) == 0 && info.extension)
        return info.extension;
    return "unknown container";
}

}  // namespace

RecordingFormat describeRecording(const std::filesystem::path& file) {
    RecordingFormat format;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return format;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return format;
    }
    SF_INFO info{};
    SNDFILE* sound = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (sound != nullptr) sf_close(sound);
    ::close(fd);
    if (sound == nullptr) return format;

    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    format.sampleRate = info.samplerate;
    format.channels = info.channels;
    format.frames = info.frames;
    const bool coderSamples =
        subtype == SF_FORMAT_PCM_16 && info.channels == 1 && info.samplerate == kSampleRate;
    const bool coderFormat = coderSamples && major == SF_FORMAT_WAV;
    format.kind = coderFormat ? RecordingKind::coderFormat : RecordingKind::otherFormat;
    format.description = std::to_string(info.samplerate) + " Hz, " + std::to_string(info.channels) +
                         (info.channels == 1 ? " channel, " : " channels, ") + sampleName(subtype);
    // A WAV file with an extensible header (as many recorders write more than
    // two bytes a sample or more than one channel) is named only where its
    // header alone keeps it from the coder.
    if (major != SF_FORMAT_WAV && (major != SF_FORMAT_WAVEX || coderSamples))
        format.description += ", " + containerName(major);
    return format;
}

std::string otherFormatProblem(const RecordingFormat& format) {
    return format.description + "; the coder takes 8000 Hz mono 16-bit";
}

}  // namespace zorvel
