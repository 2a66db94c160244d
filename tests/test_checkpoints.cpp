// Checkpoints: random jumps in both directions, over checkpoint edges, to
// frame 0, the last frame and past it, give exactly the records, SNRs, sums
// and return values of a plain sequential pass, in every mode; a shared store
// serves a second coder; a store or a history of another adaptive-codebook
// setting is never used.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "coder/SpeechCoder.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

namespace fs = std::filesystem;

constexpr int kCopies = 3;          // of the sample: 849 frames, checkpoints 200 .. 800
constexpr int kTailBytes = 2 * 57;  // a partial frame after the last whole one
// Fewer in the sanitizer build: the checkpoint edges stay, the random walk is shorter.
constexpr int kJumps = test::kSanitizedBuild ? 80 : 240;

// Frames of the bundled sample repeated kCopies times, then kTailBytes more.
fs::path longInput(const test::TempDir& dir) {
    const std::vector<std::uint8_t> sample = test::readBytes(test::samplePath());
    const std::size_t bodyBytes = sample.size() - kSampleDataOffset;
    std::vector<std::uint8_t> bytes(kSampleDataOffset + kCopies * bodyBytes + kTailBytes);
    std::copy_n(sample.begin(), kSampleDataOffset, bytes.begin());
    for (std::size_t i = kSampleDataOffset; i < bytes.size(); ++i)
        bytes[i] = sample[kSampleDataOffset + (i - kSampleDataOffset) % bodyBytes];
    const fs::path file = dir / "long.wav";
    test::writeBytes(file, bytes);
    return file;
}

int wholeFrames(const fs::path& file) {
    return static_cast<int>((fs::file_size(file) - kSampleDataOffset) / (2 * kFrameSamples));
}

// Where two records first differ, or "" when every byte is equal.
std::string firstDifference(const FrameRecord& expected, const FrameRecord& actual) {
    const auto* e = reinterpret_cast<const unsigned char*>(&expected);
    const auto* a = reinterpret_cast<const unsigned char*>(&actual);
    if (std::memcmp(e, a, sizeof(FrameRecord)) == 0) return "";
    const auto at = std::mismatch(e, e + sizeof(FrameRecord), a).first - e;
    std::ostringstream text;
    text << "records differ from byte " << at << " of " << sizeof(FrameRecord);
    return text.str();
}

// What the coder shows after reaching a frame.
struct CoderState {
    FrameRecord previous{};
    FrameRecord current{};
    int frameCount = 0;
    double frameSnr = 0.0;
    double segmentalSnr = 0.0;
    double overallSnr = 0.0;
    double signalEnergySum = 0.0;
    double noiseEnergySum = 0.0;
};

CoderState stateOf(const SpeechCoder& coder) {
    return {coder.previousFrame(),   coder.currentFrame(),  coder.frameCount(),
            coder.frameSnr(),        coder.segmentalSnr(),  coder.overallSnr(),
            coder.signalEnergySum(), coder.noiseEnergySum()};
}

void expectSameState(const CoderState& expected, const SpeechCoder& coder,
                     const std::string& where) {
    EXPECT_EQ(coder.frameCount(), expected.frameCount) << where;
    EXPECT_EQ(firstDifference(expected.previous, coder.previousFrame()), "")
        << where << " previous";
    EXPECT_EQ(firstDifference(expected.current, coder.currentFrame()), "") << where << " current";
    EXPECT_EQ(coder.frameSnr(), expected.frameSnr) << where;
    EXPECT_EQ(coder.segmentalSnr(), expected.segmentalSnr) << where;
    EXPECT_EQ(coder.overallSnr(), expected.overallSnr) << where;
    EXPECT_EQ(coder.signalEnergySum(), expected.signalEnergySum) << where;
    EXPECT_EQ(coder.noiseEnergySum(), expected.noiseEnergySum) << where;
}

// A plain sequential pass (no checkpoints) that keeps the state at each wanted frame.
std::map<int, CoderState> sequentialStates(const fs::path& file, int mode,
                                           const CoderSettings& settings,
                                           const std::set<int>& wanted) {
    std::map<int, CoderState> states;
    SpeechCoder plain(file, test::modeNumbered(mode), settings);
    plain.setCheckpoints(nullptr);
    states.emplace(0, stateOf(plain));
    while (plain.nextFrame() == FrameStep::coded) {
        if (wanted.contains(plain.frameCount())) states.emplace(plain.frameCount(), stateOf(plain));
    }
    states.emplace(plain.frameCount(), stateOf(plain));  // the last frame
    return states;
}

// Targets: every checkpoint edge, frame 0 and below, the last frame and past
// it, then a random walk of single steps, steps of ten and long jumps.
std::vector<int> jumpTargets(int frames, std::uint32_t seed) {
    std::vector<int> targets = {0, 1, frames, frames + 4, -3, 2};
    for (int c = kCheckpointInterval; c <= frames; c += kCheckpointInterval) {
        for (int t : {c, c - 1, c + 1, c + 2, c - 1, c}) targets.push_back(t);
    }
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> anywhere(-2, frames + 3);
    int at = targets.back();
    while (static_cast<int>(targets.size()) < kJumps) {
        const int k = kind(rng);
        if (k < 3)
            at += (k == 0 ? 1 : -1);
        else if (k < 5)
            at += (k == 3 ? 10 : -10);
        else
            at = anywhere(rng);
        at = std::clamp(at, -2, frames + 3);
        targets.push_back(at);
    }
    targets.push_back(frames);
    targets.push_back(frames - 1);
    targets.push_back(0);
    return targets;
}

// Mode and whether the coder quantises (its predictors' memories live in
// the record, so the jumps hold with them too).
class Checkpoints : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(Checkpoints, RandomJumpsEqualASequentialPass) {
    const auto [mode, quantised] = GetParam();
    const CoderSettings settings{.quantisation = quantised};
    test::TempDir dir;
    const fs::path file = longInput(dir);
    const int frames = wholeFrames(file);
    ASSERT_EQ(frames, kCopies * 283);
    const std::vector<int> targets = jumpTargets(frames, test::testSeed() + mode);
    const std::set<int> wanted(targets.begin(), targets.end());
    const std::map<int, CoderState> expected = sequentialStates(file, mode, settings, wanted);
    ASSERT_EQ(expected.rbegin()->first, frames);

    SpeechCoder coder(file, test::modeNumbered(mode), settings);
    int backward = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const int n = targets[i];
        backward += n < coder.frameCount() ? 1 : 0;
        const int reached = std::clamp(n, 0, frames);
        std::ostringstream where;
        where << "jump " << i << " from " << coder.frameCount() << " to " << n;
        EXPECT_EQ(coder.goToFrame(n), n > frames ? FrameStep::endOfInput : FrameStep::coded)
            << where.str();
        expectSameState(expected.at(reached), coder, where.str());
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(backward, kJumps / 4);
    EXPECT_EQ(coder.checkpoints()->count(), static_cast<std::size_t>(frames / kCheckpointInterval));
}

INSTANTIATE_TEST_SUITE_P(Modes, Checkpoints,
                         ::testing::Combine(::testing::Range(1, kModeCount + 1),
                                            ::testing::Bool()));

TEST(CheckpointStore, KeepsOneSnapshotPerIntervalAndFindsTheLatest) {
    CheckpointStore store(CoderMode::rate7_95);
    EXPECT_EQ(store.latestAtOrBefore(10 * kCheckpointInterval), nullptr);
    for (int c : {kCheckpointInterval, 3 * kCheckpointInterval, kCheckpointInterval + 1}) {
        auto snapshot = std::make_shared<CoderSnapshot>();
        snapshot->frameCount = c;
        store.add(std::move(snapshot));
    }
    auto second = std::make_shared<CoderSnapshot>();
    second->frameCount = kCheckpointInterval;
    second->frameSnr = 99.0;
    store.add(second);  // the first one stays
    EXPECT_EQ(store.count(), 2u);
    EXPECT_TRUE(store.has(3 * kCheckpointInterval));
    EXPECT_FALSE(store.has(2 * kCheckpointInterval));
    EXPECT_FALSE(store.has(kCheckpointInterval + 1));
    EXPECT_EQ(store.latestAtOrBefore(kCheckpointInterval - 1), nullptr);
    EXPECT_EQ(store.latestAtOrBefore(kCheckpointInterval)->frameCount, kCheckpointInterval);
    EXPECT_EQ(store.latestAtOrBefore(kCheckpointInterval)->frameSnr, 0.0);
    EXPECT_EQ(store.latestAtOrBefore(3 * kCheckpointInterval - 1)->frameCount, kCheckpointInterval);
    EXPECT_EQ(store.latestAtOrBefore(100 * kCheckpointInterval)->frameCount,
              3 * kCheckpointInterval);
    EXPECT_GE(store.memoryBytes(), 2 * sizeof(CoderSnapshot));
}

// A store holding the snapshots of the given frames.
void fillStore(CheckpointStore& store, std::initializer_list<int> frames) {
    for (int c : frames) {
        auto snapshot = std::make_shared<CoderSnapshot>();
        snapshot->frameCount = c;
        store.add(std::move(snapshot));
    }
}

int startFrame(const CheckpointStore& store, int from, int to) {
    const auto snapshot = store.startOfJump(from, to);
    return snapshot ? snapshot->frameCount : -1;
}

TEST(CheckpointStore, AJumpStartsAtTheLatestSnapshotThatSavesCoding) {
    constexpr int I = kCheckpointInterval;
    CheckpointStore store(CoderMode::rate5_15);
    fillStore(store, {I, 2 * I, 4 * I});  // 3 * I missing
    // Forward: a snapshot past the current frame, below the target.
    EXPECT_EQ(startFrame(store, 0, I / 2), -1);
    EXPECT_EQ(startFrame(store, 0, I), -1);  // frame I itself is coded: from frame 1
    EXPECT_EQ(startFrame(store, 0, I + 1), I);
    EXPECT_EQ(startFrame(store, I / 2, 2 * I - 1), I);
    EXPECT_EQ(startFrame(store, I, I + 5), -1);  // already there
    EXPECT_EQ(startFrame(store, I + 3, 2 * I), -1);
    EXPECT_EQ(startFrame(store, I + 3, 2 * I + 1), 2 * I);
    EXPECT_EQ(startFrame(store, 0, 4 * I), 2 * I);  // 3 * I is missing
    EXPECT_EQ(startFrame(store, 0, 50 * I), 4 * I);
    EXPECT_EQ(startFrame(store, 4 * I, 50 * I), -1);
    // Back: any snapshot below the target, else a reset.
    EXPECT_EQ(startFrame(store, 5 * I, 4 * I + 1), 4 * I);
    EXPECT_EQ(startFrame(store, 5 * I, 4 * I), 2 * I);
    EXPECT_EQ(startFrame(store, 2 * I + 7, 2 * I + 1), 2 * I);
    EXPECT_EQ(startFrame(store, 5 * I, I + 1), I);
    EXPECT_EQ(startFrame(store, 5 * I, I), -1);
    EXPECT_EQ(startFrame(store, 5 * I, 1), -1);
}

TEST(CheckpointStore, AShortJumpNeedsTheLastSnapshotBelowItsTarget) {
    constexpr int I = kCheckpointInterval;
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(0, I), 0);
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(0, I + 1), I);
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(0, 2 * I), I);
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(0, 2 * I + 1), 2 * I);
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(I / 2, I / 2 + I), 0);
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(I / 2, I / 2 + I + 1), I);
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(9 * I, 3), 0);  // back
    EXPECT_EQ(CheckpointStore::snapshotForShortJump(9 * I, 9 * I), 0);

    CheckpointStore store(CoderMode::rate5_15);
    fillStore(store, {I, 2 * I, 4 * I});
    EXPECT_TRUE(store.codesAtMostInterval(0, 3 * I));
    EXPECT_FALSE(store.codesAtMostInterval(0, 3 * I + 1));
    EXPECT_FALSE(store.codesAtMostInterval(0, 4 * I));
    EXPECT_TRUE(store.codesAtMostInterval(3 * I - 1, 4 * I - 1));
    EXPECT_TRUE(store.codesAtMostInterval(0, 5 * I));
    EXPECT_FALSE(store.codesAtMostInterval(0, 5 * I + 1));
    EXPECT_TRUE(store.codesAtMostInterval(9 * I, 2));
}

// With the snapshots a pass fills in order, a forward jump is short exactly
// when the snapshot it starts at (or the current frame) lies at most one
// interval below its target.
TEST(CheckpointStore, AShortJumpIsOneThatStartsWithinAnIntervalOfItsTarget) {
    constexpr int I = kCheckpointInterval;
    CheckpointStore store(CoderMode::rate12_2);
    fillStore(store, {I, 2 * I, 3 * I});
    int shortJumps = 0;
    for (int from = 0; from <= 5 * I; from += 7) {
        for (int to = from + 1; to <= 6 * I; to += 11) {
            const int start = std::max(startFrame(store, from, to), from);
            const bool coded = to - start <= I;
            ASSERT_EQ(store.codesAtMostInterval(from, to), coded)
                << "from " << from << " to " << to << ", start " << start;
            shortJumps += coded ? 1 : 0;
        }
    }
    EXPECT_GT(shortJumps, 100);
}

TEST(CheckpointStore, AnHourOfFramesFitsIn64Megabytes) {
    constexpr std::size_t kHourFrames = 180'000;
    constexpr std::size_t kBudget = 64u << 20;
    const std::size_t snapshots = kHourFrames / kCheckpointInterval;
    EXPECT_LE(snapshots * (sizeof(CoderSnapshot) + sizeof(std::shared_ptr<CoderSnapshot>)) +
                  snapshots * 64,  // allocation overhead of each shared snapshot
              kBudget);
}

TEST(Checkpoints, ASharedStoreServesAnotherCoder) {
    test::TempDir dir;
    const fs::path file = longInput(dir);
    const std::set<int> wanted = {520, 750, 751};
    const auto expected = sequentialStates(file, 2, CoderSettings{}, wanted);

    SpeechCoder filler(file, CoderMode::rate10_2);
    while (filler.nextFrame() == FrameStep::coded) {
    }
    SpeechCoder user(file, CoderMode::rate10_2);
    user.setCheckpoints(filler.checkpoints());
    ASSERT_EQ(user.goToFrame(751), FrameStep::coded);
    expectSameState(expected.at(751), user, "751");
    ASSERT_EQ(user.goToFrame(520), FrameStep::coded);
    expectSameState(expected.at(520), user, "520");
    EXPECT_EQ(user.checkpoints(), filler.checkpoints());
}

// A coder given the store of the sample on a file whose first frames are
// silent reaches the sample's own records wherever a snapshot lies between
// the silence and the frame: it coded from the snapshot, not from frame 1.
TEST(Checkpoints, AJumpCodesOnlyFromTheNearestSnapshot) {
    test::TempDir dir;
    const fs::path file = longInput(dir);
    const auto expected = sequentialStates(file, 5, CoderSettings{}, {600, 700});
    SpeechCoder filler(file, CoderMode::rate6_70);
    ASSERT_EQ(filler.goToFrame(700), FrameStep::coded);

    std::vector<std::uint8_t> bytes = test::readBytes(file);
    constexpr int kSilentFrames = 400;
    std::fill_n(bytes.begin() + kSampleDataOffset, kSilentFrames * 2 * kFrameSamples, 0);
    const fs::path silentStart = dir / "silent-start.wav";
    test::writeBytes(silentStart, bytes);
    const auto silentExpected = sequentialStates(silentStart, 5, CoderSettings{}, {700});
    ASSERT_NE(silentExpected.at(700).overallSnr, expected.at(700).overallSnr);

    SpeechCoder coder(silentStart, CoderMode::rate6_70);
    coder.setCheckpoints(filler.checkpoints());
    ASSERT_EQ(coder.goToFrame(700), FrameStep::coded);
    expectSameState(expected.at(700), coder, "forward to 700");
    ASSERT_EQ(coder.goToFrame(600), FrameStep::coded);
    expectSameState(expected.at(600), coder, "back to 600");
}

TEST(Checkpoints, AnotherAdaptiveCodebookSettingIsNeverUsed) {
    test::TempDir dir;
    const fs::path file = longInput(dir);
    SpeechCoder noAdaptive(file, CoderMode::rate7_40, {.adaptiveCodebook = false});
    while (noAdaptive.nextFrame() == FrameStep::coded) {
    }
    ASSERT_EQ(noAdaptive.checkpoints()->count(), 4u);

    // A store of the other setting is put aside for one of the coder's own.
    const auto expected = sequentialStates(file, 4, CoderSettings{}, {600});
    SpeechCoder adaptive(file, CoderMode::rate7_40);
    adaptive.setCheckpoints(noAdaptive.checkpoints());
    ASSERT_EQ(adaptive.goToFrame(600), FrameStep::coded);
    expectSameState(expected.at(600), adaptive, "600 with the adaptive codebook");
    EXPECT_NE(adaptive.checkpoints(), noAdaptive.checkpoints());
    EXPECT_TRUE(adaptive.checkpoints()->settings().adaptiveCodebook);

    // A coder without it reaches a frame through the store of its own setting
    // exactly as a sequential pass does.
    const auto expectedWithout =
        sequentialStates(file, 4, CoderSettings{.adaptiveCodebook = false}, {599});
    SpeechCoder without(file, CoderMode::rate7_40, {.adaptiveCodebook = false});
    without.setCheckpoints(noAdaptive.checkpoints());
    ASSERT_EQ(without.goToFrame(599), FrameStep::coded);
    expectSameState(expectedWithout.at(599), without, "599 without the adaptive codebook");
    EXPECT_EQ(without.checkpoints(), noAdaptive.checkpoints());
}

TEST(Checkpoints, TheEncodingRunKeepsNone) {
    test::TempDir dir;
    const fs::path file = longInput(dir);
    SpeechCoder coder(file, CoderMode::rate12_2);
    ASSERT_EQ(coder.encodeFile(dir / "out.wav", SaveOption::synthesized), RunResult::completed);
    EXPECT_EQ(coder.checkpoints(), nullptr);
}

}  // namespace
}  // namespace zorvel
