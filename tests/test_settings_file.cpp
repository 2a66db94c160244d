// Settings files: what is written reads back as the same settings, every
// malformed line is named with its line and reason, and the settings are
// judged together only once the whole file is read.
#include <gtest/gtest.h>

#include <random>

#include "coder/SettingsFile.h"
#include "files/FileError.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

// Settings with every value drawn from its descriptor's: choices, switches,
// numbers within their ranges (gamma2 kept below gamma1).
CoderSettings randomSettings(std::mt19937& random) {
    CoderSettings settings;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const SettingDescriptor& setting : settingDescriptors()) {
        switch (setting.kind) {
            case SettingKind::choice:
                setting.choose(settings,
                               std::uniform_int_distribution<int>(
                                   0, static_cast<int>(setting.choices.size()) - 1)(random));
                break;
            case SettingKind::onOff:
                settings.*setting.onOff = unit(random) < 0.5;
                break;
            case SettingKind::file:  // a path with spaces and an '=' in it, or none
                settings.*setting.file =
                    unit(random) < 0.5 ? "" : "/tmp/moje tablice/a=b " + std::to_string(random());
                break;
            case SettingKind::number:
            case SettingKind::offOrNumber: {
                const double value =
                    setting.range.lowest +
                    (setting.range.highest - setting.range.lowest) * (0.05 + 0.9 * unit(random));
                if (setting.kind == SettingKind::number)
                    settings.*setting.number = value;
                else
                    settings.*setting.offOrNumber =
                        unit(random) < 0.3 ? std::nullopt : std::optional(value);
                break;
            }
        }
    }
    if (settings.gamma2 >= settings.gamma1) std::swap(settings.gamma1, settings.gamma2);
    return settings;
}

TEST(SettingsFile, WhatIsWrittenReadsBackAsTheSameSettings) {
    std::mt19937 random(test::testSeed());
    for (int trial = 0; trial < 200; ++trial) {
        const CoderSettings settings = randomSettings(random);
        ASSERT_FALSE(settingsProblem(settings).has_value()) << "trial " << trial;
        const std::string text = settingsFileText(settings);
        // Read onto other settings: the file states the whole configuration.
        const SettingsFileContents read = readSettingsText(text, randomSettings(random));
        ASSERT_TRUE(read.problems.empty()) << text;
        ASSERT_EQ(read.settings, settings) << "trial " << trial << "\n" << text;
        EXPECT_EQ(settingsFileText(read.settings), text);
    }
    // Through a file as well.
    const test::TempDir dir;
    CoderSettings settings;
    settings.gamma1 = 0.9123456789012345;
    settings.highPass = 87.5;
    test::writeBytes(dir / "s.txt", [&] {
        const std::string text = settingsFileText(settings);
        return std::vector<std::uint8_t>(text.begin(), text.end());
    }());
    EXPECT_EQ(readSettingsFile(dir / "s.txt").settings, settings);
}

TEST(SettingsFile, CommentsBlankLinesAndSpacesAreIgnored) {
    const SettingsFileContents read = readSettingsText(
        "# my configuration\n\n   gamma1 = 0.9   # a comment\r\n\tenhancement=off\n# gamma2=0.1\n"
        "pitch-resolution=1/3");  // no newline at the end
    ASSERT_TRUE(read.problems.empty());
    CoderSettings expected;
    expected.gamma1 = 0.9;
    expected.enhancement = false;
    expected.pitchResolution = PitchResolution::third;
    EXPECT_EQ(read.settings, expected);
}

TEST(SettingsFile, EveryMalformedLineIsNamedWithItsLineAndReason) {
    const SettingsFileContents read = readSettingsText(
        "gamma1=0.9\n"          // 1: good
        "gamma1=0.8\n"          // 2: set again
        "high-pass=20\n"        // 3: out of range
        "colour=red\n"          // 4: no such setting
        "enhancement\n"         // 5: no '='
        "lag-window=maybe\n"    // 6: not a value
        "postfilter-num=1.5\n"  // 7: out of range
        "\n"
        "postfilter-tilt=0.5\n");  // 9: good
    using Kind = SettingProblemKind;
    ASSERT_EQ(read.problems.size(), 6u);
    const auto expect = [&](std::size_t k, int line, SettingsLineProblemKind kind,
                            SettingProblemKind problem) {
        SCOPED_TRACE(testing::Message() << "problem " << k);
        EXPECT_EQ(read.problems[k].line, line);
        EXPECT_EQ(read.problems[k].kind, kind);
        if (kind == SettingsLineProblemKind::setting) {
            EXPECT_EQ(read.problems[k].problem.kind, problem);
        }
    };
    expect(0, 2, SettingsLineProblemKind::repeated, Kind::notAssignment);
    EXPECT_EQ(read.problems[0].firstLine, 1);
    EXPECT_EQ(read.problems[0].problem.name, "gamma1");
    expect(1, 3, SettingsLineProblemKind::setting, Kind::outOfRange);
    expect(2, 4, SettingsLineProblemKind::setting, Kind::unknownName);
    expect(3, 5, SettingsLineProblemKind::setting, Kind::notAssignment);
    expect(4, 6, SettingsLineProblemKind::setting, Kind::notAValue);
    expect(5, 7, SettingsLineProblemKind::setting, Kind::outOfRange);
    // The good lines are applied, the others left out.
    CoderSettings expected;
    expected.gamma1 = 0.9;
    expected.postfilterTilt = 0.5;
    EXPECT_EQ(read.settings, expected);
}

TEST(SettingsFile, ThePairIsJudgedOnceTheFileIsRead) {
    // gamma1 first, then gamma2 below it: each alone would clash with the
    // other's default, together they agree.
    EXPECT_TRUE(readSettingsText("gamma1=0.5\ngamma2=0.4\n").problems.empty());
    EXPECT_TRUE(readSettingsText("gamma2=0.4\ngamma1=0.5\n").problems.empty());
    const SettingsFileContents clash = readSettingsText("enhancement=off\ngamma2=0.95\n");
    ASSERT_EQ(clash.problems.size(), 1u);
    EXPECT_EQ(clash.problems[0].kind, SettingsLineProblemKind::together);
    EXPECT_EQ(clash.problems[0].line, 2);  // the lower of the pair, as set in the file
    EXPECT_EQ(clash.problems[0].problem.kind, SettingProblemKind::notBelow);
    // Only the higher one in the file: its line.
    const SettingsFileContents upper = readSettingsText("\ngamma1=0.5\n");
    ASSERT_EQ(upper.problems.size(), 1u);
    EXPECT_EQ(upper.problems[0].line, 2);
}

TEST(SettingsFile, WhatIsNoSettingsFileIsRefusedWithItsReason) {
    const test::TempDir dir;
    EXPECT_THROW((void)readSettingsFile(dir / "missing.txt"), FileError);
    test::writeBytes(dir / "binary", {'g', 'a', 0, '=', '1'});
    try {
        (void)readSettingsFile(dir / "binary");
        ADD_FAILURE() << "a NUL byte was taken";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "is no settings file: it holds a NUL byte");
    }
    test::writeBytes(dir / "large", std::vector<std::uint8_t>(kMaxSettingsFileBytes + 1, '#'));
    EXPECT_THROW((void)readSettingsFile(dir / "large"), FileError);
    EXPECT_THROW((void)readSettingsFile(dir.path()), FileError);  // a directory
}

}  // namespace
}  // namespace zorvel
