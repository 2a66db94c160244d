// The input side of the system's sound files: frames of 160 signed 16-bit
// little-endian samples from byte 60 on, whatever the bytes before them hold.
// A SpeechInput reads them from a regular file or from any seekable stream
// (an in-memory one, say). It refuses anything else at once (a directory, a
// device, a FIFO, a socket), so that a coder never blocks on opening its input
// and never reads an endless one. readFileSamples reads a whole file the same
// way, with the same refusals, for playback.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

#include "sound/Wave.h"

namespace zorvel {

inline constexpr int kFrameSamples = 160;  // 20 ms at 8000 Hz
inline constexpr int kFrameBytes = 2 * kFrameSamples;

// Whole frames in a file of `bytes` bytes (samples from byte 60); a trailing
// part frame does not count.
std::int64_t framesInBytes(std::int64_t bytes);

// Whole frames of a file by its size; 0 when its size cannot be read.
std::int64_t framesInFile(const std::filesystem::path& file);

// True when both paths name one existing file, by any path or link.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// How reading a whole file ended.
enum class ReadOutcome {
    read,            // every sample was read
    notFound,        // no file by that name
    notRegularFile,  // a directory, a device, a FIFO or a socket (links followed)
    unreadable,      // it could not be opened or read
    stopped,         // a stop was requested before the end
};

struct FileSamples {
    ReadOutcome outcome = ReadOutcome::read;
    std::vector<double> samples;  // every sample when read, else empty
    std::string problem;          // as SpeechInput::problem(); empty when read
};

// Every 16-bit sample of `file` from byte 60 on, each as the double of its
// integer value; an odd last byte is not a sample. What is not a regular file
// is refused before anything could wait on it. `stop` is looked at between
// blocks of the file.
FileSamples readFileSamples(const std::filesystem::path& file, std::stop_token stop = {});

class SpeechInput {
  public:
    // Opens `file` for reading without ever waiting on it. The input is usable
    // only when it is a regular file that opened and whose first read at byte
    // 60 did not fail; problem() says why not.
    explicit SpeechInput(const std::filesystem::path& file);
    // Reads from `stream`, which must be able to seek (an std::istringstream).
    explicit SpeechInput(std::unique_ptr<std::istream> stream);
    ~SpeechInput();
    SpeechInput(SpeechInput&&) noexcept;
    SpeechInput& operator=(SpeechInput&&) noexcept;

    bool usable() const { return stream_ != nullptr && problem_.empty(); }
    // Why the input cannot be used, as a message that completes
    // "<input>: ...", e.g. "input file not found"; empty when it can.
    const std::string& problem() const { return problem_; }

    // Clears the error state and goes back to byte 60.
    void rewind();

    // The byte the next read starts at, and a return there (clearing the
    // error state), for coders that resume from a snapshot.
    std::int64_t position();
    void seek(std::int64_t position);

    // The whole frames between the read position and the end of the input as
    // it stands now (a trailing part frame does not count); 0 when the input
    // cannot be used or its position or size cannot be told.
    std::int64_t framesLeft();

    // Reads the next 160 samples, each as the double of its integer value.
    // True when a whole frame was read; false at the end of the input or on
    // a read error, the elements not read set to 0.
    [[nodiscard]] bool readSamples(std::span<double, kFrameSamples> speech);

    // True when reading ended in an error rather than at the end of the input.
    bool failed() const;
    // The system's error number behind failed() (EIO when the system gave
    // none); 0 when reading has not failed.
    int readError() const;

    // True when `other` names the file this input reads (never for a stream).
    bool isFile(const std::filesystem::path& other) const;

    void close();

  private:
    std::unique_ptr<std::istream> stream_;
    std::string problem_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool fromFile_ = false;
};

}  // namespace zorvel
