// WAV header bytes (and the reason a header written after a failed write
// reports), the output sample conversion, and an encoding run read back by
// libsndfile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <limits>
#include <sstream>

#include "coder/SpeechCoder.h"
#include "sound/DescriptorStream.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

std::uint32_t le32(const std::string& b, int at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b[at + i]);
    return v;
}

TEST(WaveHeader, ExactBytesAndWritePositionKept) {
    std::stringstream stream(std::string(100, '\x55'));
    stream.seekp(77);
    writeWaveHeader(stream, 320 * 5);
    EXPECT_EQ(stream.tellp(), 77);
    const std::string b = stream.str();
    const unsigned char expected[44] = {'R',  'I',  'F', 'F', 0x64, 0x06, 0, 0, 'W', 'A', 'V', 'E',
                                        'f',  'm',  't', ' ', 16,   0,    0, 0, 1,   0,   1,   0,
                                        0x40, 0x1F, 0,   0,   0x80, 0x3E, 0, 0, 2,   0,   16,  0,
                                        'd',  'a',  't', 'a', 0x40, 0x06, 0, 0};
    for (int i = 0; i < 44; ++i)
        EXPECT_EQ(static_cast<unsigned char>(b[i]), expected[i]) << "byte " << i;
    for (int i = 44; i < 100; ++i)
        EXPECT_EQ(b[i], '\x55') << "byte " << i << " must stay untouched";
    EXPECT_EQ(le32(b, 4), 1600u + 36u);
    EXPECT_EQ(le32(b, 28), 16000u);
}

// The header comes last, when the samples may still wait in the buffer. If
// they cannot be written, the stream fails with the write's reason. (On
// /dev/full the header fails as well; a size limit lets it fit.) In a child,
// which alone has a file size limit of 100 bytes.
TEST(WaveHeader, AfterAFailedWriteTheStreamKeepsItsReason) {
    const test::TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        DescriptorStream stream(
            Descriptor(open((dir / "out.wav").c_str(), O_RDWR | O_CREAT, 0644)));
        stream.seekp(kSampleDataOffset);
        stream.write(std::string(200, 'x').data(), 200);
        writeWaveHeader(stream, 200);
        stream.flush();
        _exit(stream.fail() ? stream.firstError() : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), EFBIG) << "EINVAL would come from a seek made after it";
}

TEST(SampleConversion, TruncatesAndClipsSymmetrically) {
    const std::pair<double, int> cases[] = {
        {32766.9, 32766},   {32767.2, 32767},   {40000.0, 32767},  {1.0e12, 32767},
        {-32767.5, -32767}, {-32768.0, -32767}, {-1.0e12, -32767}, {-1.9, -1},
        {1.9, 1},           {0.999, 0},         {-0.999, 0},       {0.0, 0},
        {-32766.9, -32766}, {1234.5, 1234}};
    for (auto [x, expected] : cases) EXPECT_EQ(toSample(x), expected) << "x=" << x;
}

TEST(SampleConversion, NanAndInfinities) {
    EXPECT_EQ(toSample(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(toSample(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(toSample(-std::numeric_limits<double>::infinity()), -32767);
}

// libsndfile follows the header: the data chunk starts at byte 44, so it
// meets the 8 zero samples of bytes 44..59 first and stops 8 samples short.
TEST(EncodingRun, ReadBackByLibsndfile) {
    test::TempDir dir;
    const auto out = dir / "out.wav";
    std::vector<double> expected;
    {
        SpeechCoder reference(test::samplePath(), CoderMode::rate7_95);
        while (reference.nextFrame() == FrameStep::coded)
            for (double v : reference.currentFrame().synthesizedSpeech)
                expected.push_back(toSample(v));
    }
    SpeechCoder coder(test::samplePath(), CoderMode::rate7_95);
    ASSERT_EQ(coder.encodeFile(out, SaveOption::synthesized), RunResult::completed);

    SF_INFO info{};
    SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, 8000);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(info.frames, static_cast<sf_count_t>(expected.size()));
    std::vector<short> samples(info.frames);
    ASSERT_EQ(sf_read_short(file, samples.data(), info.frames), info.frames);
    sf_close(file);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(samples[i], 0) << i;
    for (std::size_t i = 8; i < samples.size(); ++i)
        ASSERT_EQ(samples[i], expected[i - 8]) << "sample " << i - 8;
}

}  // namespace
}  // namespace zorvel
