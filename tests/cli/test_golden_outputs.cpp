// Golden outputs: the SHA-256 of every file the coder writes for three inputs
// (the bundled sample and two signals made here) in all eight modes, both save
// options and the adaptive codebook on and off, and of the frames export. The
// digests were taken once from a build whose output agreed with the reference;
// every build configuration must reproduce them exactly. A change that moves
// one of them changed what the coder computes: find the cause, never the table.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;
using test::runCli;
using test::TempDir;

// A small integer generator, so the signals do not depend on a library's
// floating-point functions or distributions.
struct Lcg {
    std::uint32_t state;
    std::int32_t next(std::int32_t range) {  // uniform in [-range, range)
        state = state * 1664525u + 1013904223u;
        return static_cast<std::int32_t>((state >> 8) % static_cast<std::uint32_t>(2 * range)) -
               range;
    }
};

std::int16_t clip16(std::int64_t v) {
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(v, -32768, 32767));
}

// Voiced-like: a pulse train whose period glides between 36 and 140 samples,
// through an integer two-pole resonator, with a slow envelope and some noise.
std::vector<std::int16_t> voicedSignal() {
    std::vector<std::int16_t> s;
    Lcg rng{12345u};
    std::int64_t y1 = 0, y2 = 0;
    int period = 36, phase = 0;
    for (int n = 0; n < 3 * 8000; ++n) {
        if (++phase >= period) {
            phase = 0;
            period = 36 + (n / 97) % 105;
        }
        const std::int64_t pulse = phase == 0 ? 9000 : 0;
        // y = x + 1.6 y1 - 0.81 y2, in Q10
        const std::int64_t y = pulse + (1638 * y1 - 829 * y2) / 1024 + rng.next(200);
        y2 = y1;
        y1 = y;
        const int envelope = 1 + (n / 400) % 8;  // 1..8, steps every 50 ms
        s.push_back(clip16(y * envelope / 8));
    }
    return s;
}

// Hard cases: silence, full-scale clipped noise, a lone impulse, a square wave.
std::vector<std::int16_t> roughSignal() {
    std::vector<std::int16_t> s(2000, 0);
    Lcg rng{777u};
    for (int n = 0; n < 2400; ++n)
        s.push_back(clip16(3 * static_cast<std::int64_t>(rng.next(30000))));
    s.push_back(32767);
    s.insert(s.end(), 1599, 0);
    for (int n = 0; n < 2000; ++n) s.push_back((n / 25) % 2 == 0 ? 20000 : -20000);
    for (int n = 0; n < 1201; ++n) s.push_back(static_cast<std::int16_t>(rng.next(300)));
    return s;  // 9200 samples: 57 whole frames and a partial one
}

std::string sha256(const fs::path& file) {
    const std::vector<std::uint8_t> bytes = test::readBytes(file);
    return QCryptographicHash::hash(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

const char* const kModes[] = {"12.2", "10.2", "7.95", "7.40", "6.70", "5.90", "5.15", "4.75"};

class GoldenOutputs : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        test::writeSamples(*dir_ / "voiced.wav", voicedSignal());
        test::writeSamples(*dir_ / "rough.wav", roughSignal());
        fs::copy_file(test::samplePath(), *dir_ / "mowa.wav");
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static TempDir* dir_;
};
TempDir* GoldenOutputs::dir_ = nullptr;

// Digest of every output file, keyed "input mode options".
const std::map<std::string, std::string> kEncodeDigests = {
#include "tests/cli/golden_encode.inc"
};

const std::map<std::string, std::string> kFramesDigests = {
#include "tests/cli/golden_frames.inc"
};

TEST_F(GoldenOutputs, EncodedFilesOfEveryModeAndOption) {
    const char* const inputs[] = {"mowa.wav", "voiced.wav", "rough.wav"};
    std::map<std::string, std::string> actual;
    for (int m = 0; m < 8; ++m) {
        for (const bool post : {false, true}) {
            for (const bool noAdaptive : {false, true}) {
                const fs::path out = *dir_ / ("out-" + std::to_string(m));
                fs::create_directories(out);
                std::vector<std::string> args{"encode", "-m", kModes[m], "-d",
                                              arg(out), "-y", "-j",      "2"};
                if (post) args.push_back("--post");
                if (noAdaptive) args.push_back("--no-adaptive");
                for (const char* input : inputs) args.push_back(arg(*dir_ / input));
                const test::CliResult r = runCli(args);
                ASSERT_EQ(r.exitCode, 0) << r.err;
                for (const auto& entry : fs::directory_iterator(out)) {
                    const std::string name = entry.path().filename().string();
                    actual[name] = sha256(entry.path());
                    fs::remove(entry.path());
                }
            }
        }
    }
    EXPECT_EQ(actual.size(), 3u * 8 * 2 * 2);
    for (const auto& [name, digest] : actual) {
        const auto expected = kEncodeDigests.find(name);
        if (expected == kEncodeDigests.end())
            ADD_FAILURE() << "no golden digest for {\"" << name << "\", \"" << digest << "\"},";
        else
            EXPECT_EQ(digest, expected->second) << name;
    }
}

TEST_F(GoldenOutputs, FramesExportOfEveryMode) {
    std::map<std::string, std::string> actual;
    for (int m = 0; m < 8; ++m) {
        for (const bool noAdaptive : {false, true}) {
            const std::string key =
                std::string("mowa ") + kModes[m] + (noAdaptive ? " noadapt" : "");
            const fs::path out = *dir_ / "frames.json";
            std::vector<std::string> args{
                "frames", arg(*dir_ / "mowa.wav"), "-m", kModes[m], "--format", "json", "-o",
                arg(out)};
            if (noAdaptive) args.push_back("--no-adaptive");
            test::CliResult r = runCli(args);
            ASSERT_EQ(r.exitCode, 0) << r.err;
            actual[key] = sha256(out);
            fs::remove(out);
        }
        // Every internal signal of every frame, on the short rough signal.
        const std::string key = std::string("rough ") + kModes[m] + " signals";
        const fs::path out = *dir_ / "signals.json";
        const test::CliResult r = runCli({"frames", arg(*dir_ / "rough.wav"), "-m", kModes[m],
                                          "--format", "json", "--signals", "-o", arg(out)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        actual[key] = sha256(out);
        fs::remove(out);
    }
    EXPECT_EQ(actual.size(), 8u * 3);
    for (const auto& [key, digest] : actual) {
        const auto expected = kFramesDigests.find(key);
        if (expected == kFramesDigests.end())
            ADD_FAILURE() << "no golden digest for {\"" << key << "\", \"" << digest << "\"},";
        else
            EXPECT_EQ(digest, expected->second) << key;
    }
}

}  // namespace
}  // namespace zorvel
