// The coder settings: reading NAME=VALUE, the names of what differs, each
// setting's effect on the coder (and the defaults' none), and checkpoint
// stores and background passes that belong to one set of settings.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <numbers>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "coder/CoderSettings.h"
#include "coder/FramePass.h"
#include "coder/HighPass.h"
#include "coder/Lsf.h"
#include "coder/SpeechCoder.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

CoderSettings with(std::initializer_list<const char*> assignments) {
    CoderSettings settings;
    for (const char* assignment : assignments) {
        const auto problem = applySetting(settings, assignment);
        EXPECT_FALSE(problem) << assignment;
    }
    return settings;
}

TEST(CoderSettings, ReadsNamesAndValuesAndRefusesWhatIsOutOfRange) {
    const CoderSettings s =
        with({"gamma1=0.9", "gamma2=0.5", "postfilter-num=0.65", "postfilter-den=0.8",
              "postfilter-tilt=0", "enhancement=off", "lag-window=off", "adaptive-codebook=off"});
    EXPECT_EQ(s.gamma1, 0.9);
    EXPECT_EQ(s.gamma2, 0.5);
    EXPECT_EQ(s.postfilterNum, 0.65);
    EXPECT_EQ(s.postfilterDen, 0.8);
    EXPECT_EQ(s.postfilterTilt, 0.0);
    EXPECT_FALSE(s.enhancement);
    EXPECT_FALSE(s.lagWindow);
    EXPECT_FALSE(s.adaptiveCodebook);
    EXPECT_TRUE(CoderSettings{}.isDefault());
    EXPECT_FALSE(s.isDefault());

    using Kind = SettingProblemKind;
    struct Refusal {
        const char* assignment;
        Kind kind;
        const char* name;   // the setting at fault
        const char* value;  // its value as given or held
        const char* otherValue = "";
    };
    const Refusal refused[] = {
        {"gamma1", Kind::notAssignment, "", "gamma1"},
        {"gamma3=0.5", Kind::unknownName, "gamma3", "0.5"},
        {"gamma1=abc", Kind::notAValue, "gamma1", "abc"},
        {"gamma1=nan", Kind::notAValue, "gamma1", "nan"},
        {"gamma1=inf", Kind::notAValue, "gamma1", "inf"},
        {"enhancement=yes", Kind::notAValue, "enhancement", "yes"},
        {"gamma2=0.94", Kind::notBelow, "gamma2", "0.94", "0.94"},
        {"gamma1=1.2", Kind::outOfRange, "gamma1", "1.2"},
        {"gamma1=0.5", Kind::notBelow, "gamma2", "0.6", "0.5"},
        {"gamma2=0", Kind::outOfRange, "gamma2", "0"},
        {"postfilter-tilt=1.5", Kind::outOfRange, "postfilter-tilt", "1.5"},
        {"postfilter-num=-0.01", Kind::outOfRange, "postfilter-num", "-0.01"},
        {"pitch-resolution=1/4", Kind::notAValue, "pitch-resolution", "1/4"},
        {"lp-interpolation=on", Kind::notAValue, "lp-interpolation", "on"},
        {"high-pass=on", Kind::notAValue, "high-pass", "on"},
        {"high-pass=40", Kind::outOfRange, "high-pass", "40"},
        {"high-pass=300.5", Kind::outOfRange, "high-pass", "300.5"},
    };
    for (const Refusal& r : refused) {
        CoderSettings settings;
        const auto problem = applySetting(settings, r.assignment);
        ASSERT_TRUE(problem) << r.assignment;
        EXPECT_EQ(problem->kind, r.kind) << r.assignment;
        EXPECT_EQ(problem->name, r.name) << r.assignment;
        EXPECT_EQ(problem->value, r.value) << r.assignment;
        EXPECT_EQ(problem->otherValue, r.otherValue) << r.assignment;
        // The descriptor of the setting at fault comes with it, when there is one.
        EXPECT_EQ(problem->setting, findSetting(problem->name)) << r.assignment;
        EXPECT_TRUE(settings.isDefault()) << r.assignment << " changed the settings";
    }
    // The ends of each range: in at a closed end, out at an open one.
    for (const char* accepted : {"gamma1=1", "postfilter-tilt=0", "postfilter-den=1",
                                 "high-pass=50", "high-pass=300", "gamma2=0.0001"}) {
        CoderSettings settings;
        EXPECT_FALSE(applySetting(settings, accepted)) << accepted;
    }
    try {
        SpeechCoder(test::samplePath(), CoderMode::rate12_2, CoderSettings{.gamma2 = 0.99});
        ADD_FAILURE() << "gamma2 above gamma1 was taken";
    } catch (const InvalidSettings& error) {
        EXPECT_EQ(error.problem().kind, SettingProblemKind::notBelow);
        EXPECT_EQ(error.problem().value, "0.99");
    }
}

// Settings given together are checked together: the order of the
// assignments never decides whether they are taken.
TEST(CoderSettings, AssignmentsGivenTogetherAreCheckedTogether) {
    using Assignments = std::vector<std::string>;
    for (const Assignments& pair :
         {Assignments{"gamma1=0.5", "gamma2=0.4"}, Assignments{"gamma2=0.4", "gamma1=0.5"}}) {
        CoderSettings settings;
        EXPECT_FALSE(applySettings(settings, pair)) << pair[0];
        EXPECT_EQ(settings.gamma1, 0.5);
        EXPECT_EQ(settings.gamma2, 0.4);
    }
    // The later of one setting counts; a pair wrong together is refused
    // either way round, naming gamma2 against gamma1, and changes nothing.
    CoderSettings settings;
    EXPECT_FALSE(applySettings(settings, Assignments{"gamma2=0.99", "gamma2=0.3"}));
    EXPECT_EQ(settings.gamma2, 0.3);
    for (const Assignments& pair :
         {Assignments{"gamma1=0.5", "gamma2=0.55"}, Assignments{"gamma2=0.55", "gamma1=0.5"}}) {
        CoderSettings kept;
        const auto problem = applySettings(kept, pair);
        ASSERT_TRUE(problem) << pair[0];
        EXPECT_EQ(problem->kind, SettingProblemKind::notBelow);
        EXPECT_EQ(problem->name, "gamma2");
        EXPECT_EQ(problem->value, "0.55");
        EXPECT_EQ(problem->otherValue, "0.5");
        EXPECT_TRUE(kept.isDefault());
    }
    // An assignment's own problem comes first, even before a pair's.
    CoderSettings kept;
    const auto problem = applySettings(kept, Assignments{"gamma2=0.99", "gamma1=1.5"});
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->kind, SettingProblemKind::outOfRange);
    EXPECT_EQ(problem->name, "gamma1");
    EXPECT_TRUE(kept.isDefault());
}

TEST(CoderSettings, NamesWhatDiffersFromTheDefaults) {
    EXPECT_EQ(settingsSuffix(CoderSettings{}), "");
    EXPECT_EQ(settingsSummary(CoderSettings{}), "");
    const CoderSettings s = with({"gamma1=0.9", "enhancement=off", "lag-window=off"});
    EXPECT_EQ(settingsSuffix(s), "_g1-0.9_noenh_nolagw");
    EXPECT_EQ(settingsSummary(s), "gamma1=0.9, enhancement=off, lag-window=off");
    EXPECT_EQ(settingsSuffix(with({"pitch-resolution=1/6", "gamma2=0.5"})), "_frac6_g2-0.5");
    EXPECT_EQ(settingsSummary(with({"pitch-resolution=1/3"})), "pitch-resolution=1/3");
    const CoderSettings tools =
        with({"lp-interpolation=lsf", "high-pass=80", "pitch-resolution=1/6"});
    EXPECT_EQ(settingsSuffix(tools), "_frac6_lsf_hp80");
    EXPECT_EQ(settingsSummary(tools), "pitch-resolution=1/6, lp-interpolation=lsf, high-pass=80");
    // Against other settings than the defaults: what differs, either way.
    EXPECT_EQ(settingsSummary(CoderSettings{}, tools),
              "pitch-resolution=1, lp-interpolation=off, high-pass=off");
    EXPECT_EQ(settingsSummary(with({"pitch-resolution=1/6", "gamma1=0.9"}), tools),
              "lp-interpolation=off, high-pass=off, gamma1=0.9");
    EXPECT_TRUE(
        with({"high-pass=120", "high-pass=off", "lp-interpolation=lsf", "lp-interpolation=off"})
            .isDefault());
    EXPECT_EQ(withSettingsSuffix("/d/mowa.wav_12.20_sout.wav", s),
              "/d/mowa.wav_12.20_sout_g1-0.9_noenh_nolagw.wav");
    EXPECT_EQ(withSettingsSuffix("/d.x/plik", s), "/d.x/plik_g1-0.9_noenh_nolagw");
    EXPECT_EQ(withSettingsSuffix("/d/mowa.wav", CoderSettings{}), "/d/mowa.wav");
    // The adaptive codebook's "_noadapt" leads the other settings' pieces.
    EXPECT_EQ(settingsSuffix(with({"adaptive-codebook=off"})), "_noadapt");
    EXPECT_EQ(settingsSuffix(with({"gamma1=0.9", "adaptive-codebook=off", "lag-window=off"})),
              "_noadapt_g1-0.9_nolagw");
    EXPECT_EQ(settingsSummary(with({"adaptive-codebook=off"})), "adaptive-codebook=off");
    std::vector<std::string> names;
    for (const SettingDescriptor& setting : settingDescriptors()) names.emplace_back(setting.name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "pitch-resolution", "lp-interpolation", "high-pass", "gamma1", "gamma2",
                         "postfilter-num", "postfilter-den", "postfilter-tilt", "enhancement",
                         "lag-window", "adaptive-codebook", "quantisation", "quantiser-tables"}));
}

// The table itself: each setting lives in the one member its kind names, its
// default reads back as itself, its other values each change it alone and
// are named by the summary and, where it has one, by its own suffix piece.
TEST(SettingDescriptors, EachSettingIsWhollyDescribedOnce) {
    std::set<std::string_view> names;
    std::set<std::string> suffixes;
    const CoderSettings defaults;
    for (const SettingDescriptor& setting : settingDescriptors()) {
        SCOPED_TRACE(std::string(setting.name));
        EXPECT_TRUE(names.insert(setting.name).second) << "named twice";
        EXPECT_EQ(findSetting(setting.name), &setting);
        const int members = (setting.number != nullptr) + (setting.offOrNumber != nullptr) +
                            (setting.onOff != nullptr) + (setting.choose != nullptr) +
                            (setting.file != nullptr);
        EXPECT_EQ(members, 1);
        EXPECT_EQ(setting.number != nullptr, setting.kind == SettingKind::number);
        EXPECT_EQ(setting.offOrNumber != nullptr, setting.kind == SettingKind::offOrNumber);
        EXPECT_EQ(setting.onOff != nullptr, setting.kind == SettingKind::onOff);
        EXPECT_EQ(setting.file != nullptr, setting.kind == SettingKind::file);
        EXPECT_EQ(
            setting.choose != nullptr && setting.choiceIn != nullptr && !setting.choices.empty(),
            setting.kind == SettingKind::choice);
        EXPECT_FALSE(setting.label.empty());
        EXPECT_FALSE(setting.shortLabel.empty());
        for (const SettingDescriptor& other : settingDescriptors())
            EXPECT_TRUE(&other == &setting || other.shortLabel != setting.shortLabel)
                << setting.name << " " << other.name;
        for (const SettingChoice& choice : setting.choices) EXPECT_FALSE(choice.label.empty());
        EXPECT_FALSE(setting.tip.empty());
        EXPECT_FALSE(setting.meaning.empty());

        // The default, written out and read back, is the default.
        const std::string defaultText = settingText(setting, defaults);
        CoderSettings same;
        EXPECT_FALSE(applySetting(same, std::string(setting.name) + "=" + defaultText));
        EXPECT_TRUE(same.isDefault()) << defaultText;
        if (setting.kind == SettingKind::number) {
            EXPECT_TRUE(setting.range.holds(defaults.*setting.number));
        }

        // Values other than the default: the ablation's, each choice, a
        // number inside the range.
        const std::vector<std::string> ablation = ablationValues(setting);
        std::set<std::string> others(ablation.begin(), ablation.end());
        for (const SettingChoice& choice : setting.choices)
            if (choice.text != defaultText) others.emplace(choice.text);
        if (setting.kind == SettingKind::number)
            others.insert(numberText(defaults.*setting.number * 0.99));
        if (setting.kind == SettingKind::file) others.insert("/d/tablice.zvqt");
        ASSERT_FALSE(others.empty()) << "a setting that cannot be changed";
        for (const std::string& value : others) {
            CoderSettings changed;
            const std::string assignment = std::string(setting.name) + "=" + value;
            ASSERT_FALSE(applySetting(changed, assignment)) << assignment;
            EXPECT_EQ(settingText(setting, changed), value);
            EXPECT_EQ(settingsSummary(changed), assignment) << "it changed more than itself";
            const std::string suffix = settingsSuffix(changed);
            EXPECT_FALSE(suffix.empty()) << assignment << " has no file-name piece";
            EXPECT_TRUE(suffixes.insert(suffix).second) << suffix << " names two settings";
        }
    }
    EXPECT_EQ(names.size(), settingDescriptors().size());
}

// The whole sample coded: the bytes of the chosen signal of every frame.
std::string coded(const CoderSettings& settings, SaveOption option, CoderMode mode) {
    SpeechCoder coder(test::samplePath(), mode, settings);
    std::stringstream bytes(std::string(60, '\0'), std::ios::in | std::ios::out | std::ios::binary);
    EXPECT_EQ(coder.encodeFile(bytes, option), RunResult::completed);
    return bytes.str();
}

// Explicit defaults are no settings at all; each setting alone changes what
// it should change, in every mode.
TEST(CoderSettings, EachSettingChangesTheOutputAndTheDefaultsNothing) {
    for (const CoderMode mode : {CoderMode::rate12_2, CoderMode::rate4_75}) {
        SCOPED_TRACE(std::string(rulesOf(mode).rate));
        const std::string plain = coded(CoderSettings{}, SaveOption::synthesized, mode);
        const std::string plainPost = coded(CoderSettings{}, SaveOption::postProcessed, mode);
        EXPECT_EQ(
            coded(with({"gamma1=0.94", "gamma2=0.6", "postfilter-tilt=0.8", "enhancement=on"}),
                  SaveOption::synthesized, mode),
            plain);
        for (const char* setting :
             {"pitch-resolution=1/3", "pitch-resolution=1/6", "lp-interpolation=lsf",
              "high-pass=80", "gamma1=0.9", "gamma2=0.5", "enhancement=off", "lag-window=off",
              "adaptive-codebook=off"})
            EXPECT_NE(coded(with({setting}), SaveOption::synthesized, mode), plain) << setting;
        // The post-filter's factors change sp(n) only.
        for (const char* setting :
             {"postfilter-num=0.6", "postfilter-den=0.85", "postfilter-tilt=0.4"}) {
            EXPECT_EQ(coded(with({setting}), SaveOption::synthesized, mode), plain) << setting;
            EXPECT_NE(coded(with({setting}), SaveOption::postProcessed, mode), plainPost)
                << setting;
        }
    }
}

// What the settings mean, checked on the records: no enhancement leaves
// u'(n) = u(n); no tilt leaves sp(n) = f(n); sw(n) is s(n) through
// A(z/gamma1)/A(z/gamma2), computed here from its difference equation.
TEST(CoderSettings, TheRecordsShowWhatEachSettingDoes) {
    const CoderSettings s =
        with({"enhancement=off", "postfilter-tilt=0", "gamma1=0.9", "gamma2=0.45"});
    SpeechCoder coder(test::samplePath(), CoderMode::rate7_95, s);
    std::vector<double> speech, weighted;
    int frames = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        const FrameRecord& f = coder.currentFrame();
        ASSERT_EQ(
            std::memcmp(f.enhancedExcitation.data(), f.excitation.data(), sizeof f.excitation), 0);
        ASSERT_EQ(std::memcmp(f.postProcessedSpeech.data(), f.formantPostFiltered.data(),
                              sizeof f.formantPostFiltered),
                  0);
        const std::size_t start = speech.size();
        speech.insert(speech.end(), f.speech.begin(), f.speech.end());
        weighted.insert(weighted.end(), f.weightedSpeech.begin(), f.weightedSpeech.end());
        for (int n = 0; n < kFrameSamples; ++n) {
            const std::size_t i = start + n;
            long double value = speech[i];
            for (int j = 1; j <= kLpOrder; ++j) {
                if (i < static_cast<std::size_t>(j)) break;
                const long double a = f.lpCoeffsI[j];
                value += std::pow(0.9L, j) * a * speech[i - j];
                value -= std::pow(0.45L, j) * a * weighted[i - j];
            }
            ASSERT_NEAR(static_cast<double>(value), weighted[i],
                        1e-9 * (1.0 + std::fabs(weighted[i])))
                << "frame " << coder.frameCount() << " sample " << n;
        }
        ++frames;
    }
    EXPECT_GT(frames, 200);
}

// A band-limited excitation, known at any time t (in samples).
double excitationAt(double t) {
    constexpr double kFrequencies[] = {210,  330,  470,  610,  790,  950,
                                       1130, 1370, 1620, 1890, 2230, 2710};
    double value = 0.0;
    for (std::size_t i = 0; i < std::size(kFrequencies); ++i)
        value += 1000.0 * std::sin(2 * std::numbers::pi * kFrequencies[i] * t / 8000.0 + 0.7 * i);
    return value;
}

// The target is the past excitation delayed by exactly 57 + 2/6 samples
// (computed from the excitation's own formula, not interpolated); with a flat
// LP filter and h = delta the search finds lag 57 and, at a resolution of
// 1/3 or 1/6, its fraction.
TEST(FractionalPitch, ATargetDelayedBy57AndTwoSixthsIsFoundThere) {
    const std::pair<const char*, double> cases[] = {
        {"pitch-resolution=1", 57.0},
        {"pitch-resolution=1/3", 57.0 + 2.0 / 6.0},
        {"pitch-resolution=1/6", 57.0 + 2.0 / 6.0},
    };
    for (const auto& [setting, fine] : cases) {
        SCOPED_TRACE(setting);
        SpeechCoder coder(test::samplePath(), CoderMode::rate12_2, with({setting}));
        FrameRecord& previous = coder.previousFrame();
        FrameRecord& current = coder.currentFrame();
        clearFrameRecord(previous);
        clearFrameRecord(current);
        for (int k = 0; k < kFrameSamples; ++k) previous.excitation[k] = excitationAt(k - 160.0);
        for (LpCoeffs* a : {&current.lpCoeffsI, &current.lpCoeffsII}) {
            a->fill(0.0);
            (*a)[0] = 1.0;
        }
        current.impulseResponseI[0] = 1.0;
        current.impulseResponseII[0] = 1.0;
        current.openLoopLagI = 57;
        current.openLoopLagII = 57;
        for (int n = 0; n < 40; ++n)
            current.weightedSpeech[n] = excitationAt(n - (57.0 + 2.0 / 6.0));
        coder.searchAdaptiveCodebook(0);
        EXPECT_EQ(current.pitchLag[0], 57);
        EXPECT_EQ(current.pitchLagFine[0], fine);
        // At the fraction found the adaptive vector follows the delayed excitation closely.
        if (fine != 57.0) {
            double error = 0.0, energy = 0.0;
            for (int n = 0; n < 40; ++n) {
                const double v = current.adaptiveExcitation[n] / current.pitchGainApplied[0];
                error += (v - current.weightedSpeech[n]) * (v - current.weightedSpeech[n]);
                energy += current.weightedSpeech[n] * current.weightedSpeech[n];
            }
            EXPECT_LT(error / energy, 1e-3);
        }
    }
}

// At whole-sample resolution the fine lag is the lag, frame after frame; at
// 1/6 it lies within a sample of it, on a sixth.
TEST(FractionalPitch, TheFineLagIsTheLagAtWholeSamples) {
    SpeechCoder whole(test::samplePath(), CoderMode::rate10_2);
    SpeechCoder sixth(test::samplePath(), CoderMode::rate10_2, with({"pitch-resolution=1/6"}));
    int fractional = 0;
    while (whole.nextFrame() == FrameStep::coded && sixth.nextFrame() == FrameStep::coded) {
        for (int a = 0; a < kSubframes; ++a) {
            ASSERT_EQ(whole.currentFrame().pitchLagFine[a], whole.currentFrame().pitchLag[a]);
            const double fine = sixth.currentFrame().pitchLagFine[a];
            ASSERT_LT(std::fabs(fine - sixth.currentFrame().pitchLag[a]), 1.0);
            ASSERT_EQ(std::round(fine * 6), fine * 6);
            fractional += fine != std::round(fine);
        }
    }
    EXPECT_GT(fractional, 100);  // most subframes take a fraction
}

// The input as read, frame by frame.
std::vector<double> sampleAsRead() {
    SpeechInput input(test::samplePath());
    std::vector<double> samples;
    Signal frame{};
    while (input.readSamples(frame)) samples.insert(samples.end(), frame.begin(), frame.end());
    return samples;
}

// With a high-pass, s(n) is the whole input through the filter, frame
// boundaries and all.
TEST(InputHighPass, TheSpeechIsTheWholeInputFiltered) {
    const std::vector<double> raw = sampleAsRead();
    std::vector<double> filtered(raw.size());
    HighPassFilter whole(120.0);
    whole.filter(raw, filtered);
    SpeechCoder coder(test::samplePath(), CoderMode::rate5_90, with({"high-pass=120"}));
    std::size_t at = 0;
    while (coder.nextFrame() == FrameStep::coded) {
        const Signal& s = coder.currentFrame().speech;
        ASSERT_TRUE(std::equal(s.begin(), s.end(), filtered.begin() + at)) << at;
        at += kFrameSamples;
    }
    EXPECT_EQ(at, raw.size());
}

// The LP set of a subframe filters as its own: the LP residual, the weighted
// speech, the weighted synthesis filter's impulse response and s'(n) from
// u'(n), each computed here from its difference equation.
void expectSubframeFiltersUse(const FrameRecord& f, const FrameRecord& past, int a) {
    const LpCoeffs& lp = f.lpCoeffsInterpolated[a];
    const auto at = [a](const Signal& now, const Signal& before, int n) {
        const int i = a * kSubframeSamples + n;
        return i >= 0 ? now[i] : before[kFrameSamples + i];
    };
    for (int n = 0; n < kSubframeSamples; ++n) {
        long double residual = at(f.speech, past.speech, n);
        long double weighted = residual;
        long double synthesized = at(f.enhancedExcitation, past.enhancedExcitation, n);
        for (int j = 1; j <= kLpOrder; ++j) {
            const long double aj = lp[j];
            residual += aj * at(f.speech, past.speech, n - j);
            weighted += std::pow(0.94L, j) * aj * at(f.speech, past.speech, n - j) -
                        std::pow(0.6L, j) * aj * at(f.weightedSpeech, past.weightedSpeech, n - j);
            synthesized -= aj * at(f.synthesizedSpeech, past.synthesizedSpeech, n - j);
        }
        const int i = a * kSubframeSamples + n;
        ASSERT_NEAR(residual, f.lpResidual[i], 1e-9 * (1 + std::fabs(f.lpResidual[i])));
        ASSERT_NEAR(weighted, f.weightedSpeech[i], 1e-9 * (1 + std::fabs(f.weightedSpeech[i])));
        ASSERT_NEAR(synthesized, f.synthesizedSpeech[i],
                    1e-9 * (1 + std::fabs(f.synthesizedSpeech[i])));
    }
    // h(n): the impulse through A(z/0.94)/A(z/0.6), then 1/A(z).
    std::array<long double, kImpulseResponseSamples> p{}, h{};
    for (int n = 0; n < kImpulseResponseSamples; ++n) {
        long double pn = n == 0 ? 1.0L : 0.0L;
        if (n >= 1 && n <= kLpOrder) pn += std::pow(0.94L, n) * lp[n];
        for (int j = 1; j <= kLpOrder && j <= n; ++j) pn -= std::pow(0.6L, j) * lp[j] * p[n - j];
        p[n] = pn;
        long double hn = pn;
        for (int j = 1; j <= kLpOrder && j <= n; ++j) hn -= lp[j] * h[n - j];
        h[n] = hn;
        ASSERT_NEAR(hn, f.impulseResponseInterpolated[a][n], 1e-9) << "h(" << n << ")";
    }
}

// Each subframe's set lies where it should in line spectral frequencies:
// two sets a frame, half-way from the last frame's set II to set I, set I,
// half-way from I to II, set II; one set, 1/4, 1/2, 3/4 and all of the way
// from the last frame's set. Before the first frame the past is A(z) = 1.
TEST(LpInterpolation, EachSubframeHasItsSetAndEveryFilterUsesIt) {
    for (const CoderMode mode : {CoderMode::rate12_2, CoderMode::rate4_75}) {
        SCOPED_TRACE(std::string(rulesOf(mode).rate));
        const bool twoSets = rulesOf(mode).twoLpAnalyses;
        SpeechCoder coder(test::samplePath(), mode, with({"lp-interpolation=lsf"}));
        LineSpectralFrequencies past{};
        for (int k = 0; k < kLpOrder; ++k) past[k] = (k + 1) * std::numbers::pi / (kLpOrder + 1);
        int frames = 0;
        while (coder.nextFrame() == FrameStep::coded) {
            const FrameRecord& f = coder.currentFrame();
            SCOPED_TRACE("frame " + std::to_string(coder.frameCount()));
            ASSERT_TRUE(f.lpInterpolated);
            const auto first = lpToLsf(f.lpCoeffsI);
            const auto second = lpToLsf(f.lpCoeffsII);
            ASSERT_TRUE(first && second);
            std::array<LineSpectralFrequencies, kSubframes> expected;
            for (int a = 0; a < kSubframes; ++a) {
                for (int k = 0; k < kLpOrder; ++k) {
                    expected[a][k] = twoSets ? (a == 0   ? ((*first)[k] + past[k]) / 2
                                                : a == 1 ? (*first)[k]
                                                : a == 2 ? ((*first)[k] + (*second)[k]) / 2
                                                         : (*second)[k])
                                             : ((3 - a) * past[k] + (a + 1) * (*second)[k]) / 4;
                }
            }
            for (int a = 0; a < kSubframes; ++a) {
                const auto w = lpToLsf(f.lpCoeffsInterpolated[a]);
                ASSERT_TRUE(w) << "subframe " << a << " is not minimum phase";
                for (int k = 0; k < kLpOrder; ++k)
                    ASSERT_NEAR((*w)[k], expected[a][k], 1e-9) << "subframe " << a << " k " << k;
                if (frames > 0) {
                    ASSERT_NO_FATAL_FAILURE(expectSubframeFiltersUse(f, coder.previousFrame(), a));
                }
            }
            // A set wholly one analysed set is that set as analysed.
            if (twoSets) {
                EXPECT_EQ(f.lpCoeffsInterpolated[1], f.lpCoeffsI);
            }
            EXPECT_EQ(f.lpCoeffsInterpolated[3], f.lpCoeffsII);
            past = *second;
            ++frames;
        }
        EXPECT_EQ(frames, test::kSampleFrames);
    }
}

// Jumps with the input's tools on reach the frames a sequential pass codes:
// what carries them from frame to frame (the high-pass's memory, the last
// frame's frequencies) is in the record a checkpoint keeps.
TEST(CoderSettings, JumpsEqualASequentialPassWithEveryTool) {
    const CoderSettings tools =
        with({"lp-interpolation=lsf", "high-pass=80", "pitch-resolution=1/6"});
    for (const CoderMode mode : {CoderMode::rate12_2, CoderMode::rate5_15}) {
        SpeechCoder sequential(test::samplePath(), mode, tools);
        sequential.setCheckpoints(nullptr);
        ASSERT_EQ(sequential.goToFrame(kCheckpointInterval + 30), FrameStep::coded);
        SpeechCoder jumping(test::samplePath(), mode, tools);
        ASSERT_EQ(jumping.goToFrame(test::kSampleFrames), FrameStep::coded);
        ASSERT_GT(jumping.checkpoints()->count(), 0u);  // back from a snapshot, not a reset
        ASSERT_EQ(jumping.goToFrame(kCheckpointInterval + 30), FrameStep::coded);
        const FrameRecord& x = sequential.currentFrame();
        const FrameRecord& y = jumping.currentFrame();
        EXPECT_EQ(x.speech, y.speech);
        EXPECT_EQ(x.lpCoeffsInterpolated, y.lpCoeffsInterpolated);
        EXPECT_EQ(x.pitchLagFine, y.pitchLagFine);
        EXPECT_EQ(x.synthesizedSpeech, y.synthesizedSpeech);
        EXPECT_EQ(x.postProcessedSpeech, y.postProcessedSpeech);
        EXPECT_EQ(sequential.overallSnr(), jumping.overallSnr());
    }
}

// A checkpoint store or a background pass belongs to one set of settings: a
// coder of other settings replaces the store it is given, and a pass of
// other settings does not match.
TEST(CoderSettings, StoresAndPassesOfOtherSettingsAreRefused) {
    const CoderSettings other = with({"gamma1=0.9"});
    auto store = std::make_shared<CheckpointStore>(CoderMode::rate12_2);
    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2, other);
    coder.setCheckpoints(store);
    ASSERT_EQ(coder.goToFrame(kCheckpointInterval + 10), FrameStep::coded);
    EXPECT_EQ(store->count(), 0u);
    ASSERT_NE(coder.checkpoints(), nullptr);
    EXPECT_NE(coder.checkpoints().get(), store.get());
    EXPECT_EQ(coder.checkpoints()->settings(), other);
    EXPECT_GT(coder.checkpoints()->count(), 0u);

    // A store of the same settings is kept and filled.
    SpeechCoder same(test::samplePath(), CoderMode::rate12_2, other);
    auto shared = std::make_shared<CheckpointStore>(CoderMode::rate12_2, other);
    same.setCheckpoints(shared);
    ASSERT_EQ(same.goToFrame(kCheckpointInterval + 10), FrameStep::coded);
    EXPECT_EQ(same.checkpoints().get(), shared.get());
    EXPECT_GT(shared->count(), 0u);

    const FramePass pass(test::samplePath(), CoderMode::rate12_2, other);
    EXPECT_TRUE(pass.matches(test::samplePath(), CoderMode::rate12_2, other));
    EXPECT_FALSE(pass.matches(test::samplePath(), CoderMode::rate12_2));
    EXPECT_FALSE(pass.matches(test::samplePath(), CoderMode::rate12_2,
                              with({"gamma1=0.9", "lag-window=off"})));
}

}  // namespace
}  // namespace zorvel
