// A quantised frame's bytes: the mode's layout is what the coder writes,
// frame by frame; every frame packs into exactly its bytes and unpacks to
// the same code; the bits are placed most significant first, in order; any
// bytes unpack to indices that fit their widths; a code that does not follow
// the layout is refused.
#include <gtest/gtest.h>

#include <random>

#include "coder/Bitstream.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

TEST(Bitstream, EveryQuantisedFramePacksIntoItsBytesAndBack) {
    for (const CoderMode mode : kAllCoderModes) {
        const FrameCode layout = frameLayout(mode);
        EXPECT_EQ(layout.bits(), rulesOf(mode).frameBits) << rulesOf(mode).rate;
        EXPECT_EQ(layout.count, codesPerFrame(mode));
        SpeechCoder coder(test::samplePath(), mode, {.quantisation = true});
        coder.setCheckpoints(nullptr);
        while (coder.nextFrame() == FrameStep::coded) {
            const FrameCode& code = coder.currentFrame().code;
            ASSERT_EQ(code.count, layout.count);
            for (int k = 0; k < code.count; ++k) {
                ASSERT_EQ(code.codes[k].parameter, layout.codes[k].parameter) << k;
                ASSERT_EQ(code.codes[k].subframe, layout.codes[k].subframe) << k;
                ASSERT_EQ(code.codes[k].bits, layout.codes[k].bits) << k;
            }
            const std::vector<std::uint8_t> bytes = packFrame(mode, code);
            ASSERT_EQ(bytes.size(), static_cast<std::size_t>((rulesOf(mode).frameBits + 7) / 8));
            // The last byte's unused bits are zero.
            const int unused = 8 * static_cast<int>(bytes.size()) - rulesOf(mode).frameBits;
            EXPECT_EQ(bytes.back() & ((1 << unused) - 1), 0);
            const FrameCode back = unpackFrame(mode, bytes);
            ASSERT_EQ(back.count, code.count);
            for (int k = 0; k < code.count; ++k)
                ASSERT_EQ(back.codes[k].index, code.codes[k].index) << k;
        }
    }
}

// The bits of every index in turn, most significant first, written here
// bit by bit as a string of '0' and '1'.
TEST(Bitstream, IndicesFollowOneAnotherMostSignificantBitFirst) {
    std::mt19937_64 random(test::testSeed());
    for (const CoderMode mode : kAllCoderModes) {
        FrameCode code = frameLayout(mode);
        std::string expected;
        for (int k = 0; k < code.count; ++k) {
            ParameterCode& c = code.codes[k];
            c.index = random() & ((std::uint64_t{1} << c.bits) - 1);
            for (int b = c.bits - 1; b >= 0; --b) expected += ((c.index >> b) & 1u) ? '1' : '0';
        }
        std::string written;
        for (const std::uint8_t byte : packFrame(mode, code))
            for (int b = 7; b >= 0; --b) written += ((byte >> b) & 1u) ? '1' : '0';
        EXPECT_EQ(written.substr(0, expected.size()), expected) << rulesOf(mode).rate;
        EXPECT_EQ(written.find('1', expected.size()), std::string::npos);
    }
}

TEST(Bitstream, AnyBytesGiveIndicesOfTheirWidthsAndAWrongCodeIsRefused) {
    std::mt19937 random(test::testSeed());
    for (const CoderMode mode : kAllCoderModes) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frameBytes(mode)));
        for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
        const FrameCode code = unpackFrame(mode, bytes);
        for (int k = 0; k < code.count; ++k)
            EXPECT_EQ(code.codes[k].index >> code.codes[k].bits, 0u);
        bytes.pop_back();
        EXPECT_THROW(unpackFrame(mode, bytes), std::invalid_argument);

        FrameCode tooWide = frameLayout(mode);
        tooWide.codes[0].index = std::uint64_t{1} << tooWide.codes[0].bits;
        EXPECT_THROW(packFrame(mode, tooWide), std::invalid_argument);
        FrameCode other =
            frameLayout(mode == CoderMode::rate12_2 ? CoderMode::rate4_75 : CoderMode::rate12_2);
        EXPECT_THROW(packFrame(mode, other), std::invalid_argument);
    }
}

}  // namespace
}  // namespace zorvel
