#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <numbers>
#include <stdexcept>

#include "sound/Wave.h"

namespace zorvel::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "zorvel-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path samplePath() {
    if (const char* env = std::getenv("ZORVEL_SAMPLE")) return env;
#ifdef ZORVEL_SAMPLE
    return ZORVEL_SAMPLE;
#else
    return "samples/mowa.wav";
#endif
}

std::filesystem::path repeatedSample(const TempDir& dir, int copies) {
    const std::vector<std::uint8_t> sample = readBytes(samplePath());
    const auto* bytes = reinterpret_cast<const char*>(sample.data());
    const auto body = static_cast<std::streamsize>(sample.size() - kSampleDataOffset);
    const std::filesystem::path file = dir / ("repeated" + std::to_string(copies) + ".wav");
    // Written copy by copy, so that a long input never sits in memory.
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes, kSampleDataOffset);
    for (int copy = 0; copy < copies; ++copy) out.write(bytes + kSampleDataOffset, body);
    if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
    return file;
}

std::vector<std::uint8_t> readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

void writeSamples(const std::filesystem::path& file, const std::vector<std::int16_t>& samples,
                  int headerBytes) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(headerBytes), 0xAB);
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    writeBytes(file, bytes);
}

void stableCoefficients(std::mt19937& rng, LpCoeffs& a) {
    std::uniform_real_distribution<double> u(-0.3, 0.3);
    a[0] = 1.0;
    for (int j = 1; j < kLpCoeffs; ++j) a[j] = u(rng) / j;
}

std::uint32_t testSeed(std::uint32_t fallback) {
    std::uint32_t seed = fallback;
    if (const char* env = std::getenv("ZORVEL_SEED"))
        seed = static_cast<std::uint32_t>(std::strtoul(env, nullptr, 10));
    std::cout << "[ seed ] ZORVEL_SEED=" << seed << "\n";
    return seed;
}

std::vector<std::string> directoryNames(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

FileSizeLimit::FileSizeLimit(std::uint64_t bytes) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previousAction_);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limited = previous_;
    limited.rlim_cur = std::min<rlim_t>(bytes, previous_.rlim_max);
    if (setrlimit(RLIMIT_FSIZE, &limited) != 0) throw std::runtime_error("setrlimit failed");
}

FileSizeLimit::~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    sigaction(SIGXFSZ, &previousAction_, nullptr);
}

void writeTone(const std::filesystem::path& file, int format, int rate, double hz, double a,
               std::int64_t frames, std::vector<double> signs) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = static_cast<int>(signs.size());
    info.format = format;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sound, nullptr) << sf_strerror(nullptr);
    sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_FALSE);
    std::vector<double> data(static_cast<std::size_t>(frames) * signs.size());
    for (sf_count_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < signs.size(); ++c)
            data[i * signs.size() + c] =
                signs[c] * a * std::sin(2 * std::numbers::pi * hz * i / rate);
    ASSERT_EQ(sf_writef_double(sound, data.data(), frames), frames) << sf_strerror(sound);
    sf_close(sound);
}

std::vector<std::int16_t> sampleSamples() {
    const std::vector<std::uint8_t> bytes = readBytes(samplePath());
    std::vector<std::int16_t> samples;
    for (std::size_t i = kSampleDataOffset; i + 1 < bytes.size(); i += 2)
        samples.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return samples;
}

void writeSampleAt48kStereo(const std::filesystem::path& file, std::int64_t samples) {
    using SoundFile = std::unique_ptr<SNDFILE, int (*)(SNDFILE*)>;
    SF_INFO sampleInfo{};
    const SoundFile sample(sf_open(samplePath().c_str(), SFM_READ, &sampleInfo), sf_close);
    ASSERT_NE(sample, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sampleInfo.channels, 1);
    std::vector<short> speech(static_cast<std::size_t>(sampleInfo.frames));
    ASSERT_EQ(sf_readf_short(sample.get(), speech.data(), sampleInfo.frames), sampleInfo.frames);
    if (samples >= 0 && samples < static_cast<std::int64_t>(speech.size()))
        speech.resize(static_cast<std::size_t>(samples));
    constexpr int kHold = 6;  // 48000 / 8000
    SF_INFO info{};
    info.samplerate = sampleInfo.samplerate * kHold;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const SoundFile sound(sf_open(file.c_str(), SFM_WRITE, &info), sf_close);
    ASSERT_NE(sound, nullptr) << sf_strerror(nullptr);
    std::vector<short> data;
    for (const short x : speech) data.insert(data.end(), 2 * kHold, x);
    const auto frames = static_cast<sf_count_t>(data.size() / 2);
    ASSERT_EQ(sf_writef_short(sound.get(), data.data(), frames), frames)
        << sf_strerror(sound.get());
}

}  // namespace zorvel::test
