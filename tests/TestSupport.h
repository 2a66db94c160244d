// Shared helpers of the test suites: temporary files, sound files made in the
// test, the bundled sample, seeded random numbers.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/Frame.h"

namespace zorvel::test {

// A fresh directory under the system's temporary directory, removed with the object.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::filesystem::path samplePath();        // the bundled speech sample
inline constexpr int kSampleFrames = 283;  // its whole frames

// The bundled sample's frames repeated `copies` times after its first 60
// bytes, as the file "repeated<copies>.wav" in `dir`.
std::filesystem::path repeatedSample(const TempDir& dir, int copies);

// The sanitizer build runs the long randomised loops at a tenth of their
// length: it looks for memory and undefined-behaviour faults, which the
// first thousand cases meet as well as the ten thousandth, while the release
// build runs them whole for the values.
#if defined(ZORVEL_SANITIZED_BUILD)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
constexpr int loopLength(int releaseLength) {
    return kSanitizedBuild ? releaseLength / 10 : releaseLength;
}

// The mode the command line and the exported files number `number` (1..8),
// for suites parameterised over those numbers.
inline CoderMode modeNumbered(int number) { return kAllCoderModes.at(number - 1); }

// A path with no file behind it: a coder built on it has no frames, and its
// stages can be driven on records filled by the test.
inline constexpr const char* kNoInput = "/nonexistent/zorvel/none.wav";

// Random LP coefficients a0 = 1, |a_j| < 0.3/j: a stable, smooth A(z).
void stableCoefficients(std::mt19937& rng, LpCoeffs& a);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file);
// The names in a directory, sorted.
std::vector<std::string> directoryNames(const std::filesystem::path& directory);

// While alive, no file of this process grows past `bytes`: a write beyond it
// fails (EFBIG, with SIGXFSZ ignored meanwhile), as on a disk that fills up.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(std::uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit previous_{};
    struct sigaction previousAction_ {};
};
void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

// A file in the system's layout: `headerBytes` bytes of anything, then the
// samples as 16-bit little-endian values (the coder reads from byte 60).
void writeSamples(const std::filesystem::path& file, const std::vector<std::int16_t>& samples,
                  int headerBytes = 60);

// Writes, with libsndfile, `frames` frames of a sine of `hz` at amplitude `a`
// (full scale 1) to `file` in libsndfile's `format` (SF_FORMAT_WAV |
// SF_FORMAT_PCM_24, say) at `rate` Hz, one channel per entry of `signs`, the
// sine multiplied by it.
void writeTone(const std::filesystem::path& file, int format, int rate, double hz, double a,
               std::int64_t frames, std::vector<double> signs = {1.0});

// The bundled sample's samples, from byte 60 as the coder reads them.
std::vector<std::int16_t> sampleSamples();

// The bundled sample as a recording the coder refuses as it stands: every
// sample of its data chunk held for six samples at 48 kHz, the same on both
// of two channels, 16-bit WAV. Its conversion has the sample's 283 frames;
// with `samples` (0 or more) only the sample's first that many are written.
void writeSampleAt48kStereo(const std::filesystem::path& file, std::int64_t samples = -1);

// Seed for random tests: ZORVEL_SEED from the environment, else `fallback`;
// printed so a failure can be repeated.
std::uint32_t testSeed(std::uint32_t fallback = 20261207u);

}  // namespace zorvel::test
