// Recognising a recording with libsndfile.
#include "sound/Recording.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <set>

#include "files/Descriptor.h"
#include "sound/SoundFile.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

SampleType sampleType(int subtype) {
    switch (subtype) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return SampleType::pcm8;
        case SF_FORMAT_PCM_16:
            return SampleType::pcm16;
        case SF_FORMAT_PCM_24:
            return SampleType::pcm24;
        case SF_FORMAT_PCM_32:
            return SampleType::pcm32;
        case SF_FORMAT_FLOAT:
            return SampleType::float32;
        case SF_FORMAT_DOUBLE:
            return SampleType::float64;
        case SF_FORMAT_ULAW:
            return SampleType::uLaw;
        case SF_FORMAT_ALAW:
            return SampleType::aLaw;
        default:
            return SampleType::other;
    }
}

std::string sampleName(int subtype) {
    constexpr std::array<const char*, 8> kNames{"8-bit", "16-bit", "24-bit", "32-bit",
                                                "float", "double", "u-law",  "A-law"};
    static_assert(kNames.size() == static_cast<std::size_t>(SampleType::aLaw) -
                                       static_cast<std::size_t>(SampleType::pcm8) + 1);
    const SampleType type = sampleType(subtype);
    if (type >= SampleType::pcm8 && type <= SampleType::aLaw)
        return kNames[static_cast<std::size_t>(type) - static_cast<std::size_t>(SampleType::pcm8)];
    SF_FORMAT_INFO info{};
    info.format = subtype;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name)
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
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.extension)
        return info.extension;
    return "unknown container";
}

}  // namespace

RecordingFormat describeRecording(const std::filesystem::path& file) {
    RecordingFormat format;
    const Descriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return format;
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) return format;
    SF_INFO info{};
    if (!openSoundFile(fd.get(), info)) return format;

    const int major = info.format & SF_FORMAT_TYPEMASK;
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    format.sampleRate = info.samplerate;
    format.channels = info.channels;
    format.frames = info.frames;
    const bool coderSamples =
        subtype == SF_FORMAT_PCM_16 && info.channels == 1 && info.samplerate == kSampleRate;
    const bool coderFormat = coderSamples && major == SF_FORMAT_WAV;
    format.kind = coderFormat ? RecordingKind::coderFormat : RecordingKind::otherFormat;
    format.sampleType = sampleType(subtype);
    format.sampleName = sampleName(subtype);
    // A WAV file with an extensible header (as many recorders write more than
    // two bytes a sample or more than one channel) is named only where its
    // header alone keeps it from the coder.
    // MPEG audio is named by its layer alone ("MPEG Layer III").
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_MPEG &&
        (major != SF_FORMAT_WAVEX || coderSamples))
        format.container = containerName(major);
    format.description = std::to_string(info.samplerate) + " Hz, " + std::to_string(info.channels) +
                         (info.channels == 1 ? " channel, " : " channels, ") + format.sampleName;
    if (!format.container.empty()) format.description += ", " + format.container;
    return format;
}

std::vector<std::string> readableExtensions() {
    // Other names in common use for the containers libsndfile lists, and the
    // raw files.
    std::set<std::string> extensions{"aif", "mp2", "mp3", "ogg", "opus", "pcm", "raw", "w60"};
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof count);
    for (int k = 0; k < count; ++k) {
        SF_FORMAT_INFO info{};
        info.format = k;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof info) != 0) continue;
        if (info.extension == nullptr) continue;
        std::string extension = info.extension;
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (!extension.empty()) extensions.insert(extension);
    }
    return {extensions.begin(), extensions.end()};
}

std::string otherFormatProblem(const RecordingFormat& format) {
    return format.description + "; the coder takes " + std::to_string(kSampleRate) +
           " Hz mono 16-bit";
}

}  // namespace zorvel
