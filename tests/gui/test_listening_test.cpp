// The listening test in the desktop program, offscreen, through a recording
// sink: the set-up dialog's checks; each trial's letters in the order the
// seed gives it, with the hidden reference and both anchors among them; the
// stream switched at the same sample position, the hidden reference heard as
// the open reference and every stimulus at the reference's RMS; nothing in
// the ratings file until a trial is complete, the finished trials kept when a
// test is left; and the results of three listeners, one screened out, with
// means and intervals computed by hand, on the test's last page, in the
// results window of the "Plik" menu and in the ratings file.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <cmath>
#include <map>

#include "app/FileMenuActions.h"
#include "app/ListeningResultsView.h"
#include "app/ListeningSetupDialog.h"
#include "app/ListeningTestWindow.h"
#include "charts/ABListening.h"
#include "charts/AudioOutput.h"
#include "charts/StimulusMix.h"
#include "listening/ListeningResults.h"
#include "listening/Ratings.h"
#include "listening/TrialOrder.h"
#include "sound/SpeechInput.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

struct SinkLog {
    std::unique_ptr<QIODevice> source;
    bool playing = false;
    int stops = 0;
};

class RecordingSink final : public AudioSink {
  public:
    explicit RecordingSink(std::shared_ptr<SinkLog> log) : log_(std::move(log)) {}
    bool play(const QByteArray&, std::function<void()>) override { return false; }
    bool playSource(std::unique_ptr<QIODevice> source, std::function<void()>) override {
        log_->source = std::move(source);
        log_->playing = true;
        return true;
    }
    void stop() override {
        log_->playing = false;
        log_->source.reset();
        ++log_->stops;
    }
    bool playing() const override { return log_->playing; }

  private:
    std::shared_ptr<SinkLog> log_;
};

std::vector<std::int16_t> readPcm(QIODevice& source, int samples) {
    const QByteArray pcm = source.read(2 * samples);
    std::vector<std::int16_t> out(static_cast<std::size_t>(pcm.size() / 2));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[2 * i]) |
                                           (static_cast<std::uint8_t>(pcm[2 * i + 1]) << 8));
    return out;
}

// The scores a listener gives, by condition.
using Scores = std::map<std::string, int>;

const std::string kQ10 = anchorCondition(kLowAnchorQ);
const std::string kQ25 = anchorCondition(kHighAnchorQ);

class ListeningTestWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Two items of 1.6 s: the sample's first and second 80 frames.
        const std::vector<std::int16_t> all = test::sampleSamples();
        for (int item = 0; item < 2; ++item) {
            const auto first = all.begin() + item * 80 * kFrameSamples;
            inputs_.push_back(dir_ / ("item" + std::to_string(item + 1) + ".wav"));
            test::writeSamples(inputs_.back(), {first, first + 80 * kFrameSamples});
        }
    }

    ListeningTestPlan plan(const QString& listener) const {
        return {.listener = listener,
                .inputs = inputs_,
                .conditions = {{CoderMode::rate12_2, ""},
                               {CoderMode::rate4_75, "adaptive-codebook=off"}},
                .results = results_,
                .seed = kSeed};
    }

    std::unique_ptr<ListeningTestWindow> window(const QString& listener) {
        log_ = std::make_shared<SinkLog>();
        auto w = std::make_unique<ListeningTestWindow>(
            plan(listener), std::make_unique<RecordingSink>(log_),
            [this](const QString& text) { said_.push_back(text); });
        w->show();
        return w;
    }

    // Sets every slider of the trial by its condition's score.
    static void rate(ListeningTestWindow& w, const Scores& scores) {
        const std::vector<Stimulus> shown = w.presented();
        for (std::size_t p = 0; p < shown.size(); ++p)
            w.slider(static_cast<int>(p)).setValue(scores.at(shown[p].condition));
    }

    std::size_t lines() const {
        return std::filesystem::exists(results_) ? readRatings(results_).ratings.size() : 0;
    }

    static constexpr std::uint64_t kSeed = 4321;
    test::TempDir dir_;
    std::vector<std::filesystem::path> inputs_;
    std::filesystem::path results_ = dir_ / "wyniki.jsonl";
    std::shared_ptr<SinkLog> log_;
    std::vector<QString> said_;
};

TEST_F(ListeningTestWindowTest, EachTrialInTheSeedsOrderWithReferenceAndAnchors) {
    auto w = window("ala");
    ASSERT_TRUE(w->start()) << (said_.empty() ? "" : said_.front().toStdString());
    const std::vector<Stimulus> stimuli = testStimuli(plan("ala").conditions);
    ASSERT_EQ(stimuli.size(), 5u);
    std::vector<std::vector<std::string>> orders;
    for (int trial = 1; trial <= 2; ++trial) {
        ASSERT_EQ(w->trial(), trial);
        const std::vector<int> order = trialOrder(5, kSeed, trial);
        const std::vector<Stimulus> shown = w->presented();
        ASSERT_EQ(shown.size(), 5u);
        std::vector<std::string> conditions;
        for (std::size_t p = 0; p < shown.size(); ++p) {
            EXPECT_EQ(shown[p].condition, stimuli[static_cast<std::size_t>(order[p])].condition);
            conditions.push_back(shown[p].condition);
            EXPECT_EQ(w->letterButton(static_cast<int>(p)).text().toStdString(),
                      neutralLetter(static_cast<int>(p)));
        }
        for (const std::string& c : {std::string(kHiddenReferenceCondition), kQ10, kQ25,
                                     std::string("12.2 kb/s"), std::string("4.75 kb/s")})
            EXPECT_EQ(std::count(conditions.begin(), conditions.end(), c), 1) << c;
        orders.push_back(conditions);
        rate(*w, {{kHiddenReferenceCondition, 100},
                  {"12.2 kb/s", 80},
                  {"4.75 kb/s", 50},
                  {kQ25, 40},
                  {kQ10, 10}});
        QTest::mouseClick(&w->nextButton(), Qt::LeftButton);
    }
    EXPECT_NE(orders[0], orders[1]);
    EXPECT_TRUE(w->showingResults());
    // The settings are recorded as the settings' summary words them.
    const RatingsFile read = readRatings(results_);
    ASSERT_EQ(read.ratings.size(), 10u);
    for (const Rating& r : read.ratings)
        EXPECT_EQ(r.settings, r.condition == "4.75 kb/s" ? "adaptive-codebook=off" : "")
            << r.condition;
    EXPECT_EQ(read.ratings[0].input, "item1.wav");
    EXPECT_EQ(read.ratings[5].input, "item2.wav");
}

TEST_F(ListeningTestWindowTest, SwitchingKeepsThePositionAtTheReferencesLoudness) {
    auto w = window("ala");
    ASSERT_TRUE(w->start());
    const std::vector<Stimulus> shown = w->presented();
    const auto position = [&](const std::string& condition) {
        for (std::size_t p = 0; p < shown.size(); ++p)
            if (shown[p].condition == condition) return static_cast<int>(p);
        return -1;
    };
    const int hidden = position(kHiddenReferenceCondition);
    const int coded = position("12.2 kb/s");
    w->loopBox().setChecked(false);

    QTest::mouseClick(&w->referenceButton(), Qt::LeftButton);
    ASSERT_TRUE(log_->playing);
    ASSERT_TRUE(log_->source);
    const std::vector<std::int16_t> open = readPcm(*log_->source, 4000);
    // The hidden reference goes on where the open one was, and is the same sound.
    QTest::mouseClick(&w->letterButton(hidden), Qt::LeftButton);
    EXPECT_EQ(w->mix()->selected(), hidden + 1);
    EXPECT_EQ(w->mix()->position(), 4000u);
    const std::vector<std::int16_t> same = readPcm(*log_->source, 4000);
    const std::vector<double> item = readFileSamples(inputs_[0]).samples;
    for (std::size_t n = 0; n < 4000; ++n) {
        ASSERT_EQ(open[n], toSample(item[n])) << n;
        ASSERT_EQ(same[n], toSample(item[4000 + n])) << n;
    }
    // Every stimulus plays at the open reference's RMS.
    StimulusMix& mix = *w->mix();
    EXPECT_EQ(mix.gain(0), 1.0);
    EXPECT_EQ(mix.gain(hidden + 1), 1.0);
    EXPECT_NE(mix.gain(coded + 1), 1.0);
    // A switch to the coded condition, then a loop of the span 0.5..1 s.
    QTest::mouseClick(&w->letterButton(coded), Qt::LeftButton);
    EXPECT_EQ(readPcm(*log_->source, 100).size(), 100u);
    EXPECT_EQ(mix.position(), 8100u);
    w->spanFrom().setValue(0.5);
    w->spanTo().setValue(1.0);
    w->loopBox().setChecked(true);
    EXPECT_EQ(mix.spanBegin(), 4000u);
    EXPECT_EQ(mix.spanEnd(), 8000u);
    EXPECT_EQ(readPcm(*log_->source, 10000).size(), 10000u);  // looping: no end
    EXPECT_GE(mix.position(), 4000u);
    EXPECT_LT(mix.position(), 8000u);
    QTest::mouseClick(&w->playButton(), Qt::LeftButton);
    EXPECT_FALSE(log_->playing);
}

TEST_F(ListeningTestWindowTest, ResultsOfWholeTrialsScreenedAndAveraged) {
    {
        // bartek finishes the first trial and leaves in the second.
        auto w = window("bartek");
        ASSERT_TRUE(w->start());
        EXPECT_FALSE(w->nextButton().isEnabled());
        rate(*w, {{kHiddenReferenceCondition, 90},
                  {"12.2 kb/s", 90},
                  {"4.75 kb/s", 40},
                  {kQ25, 35},
                  {kQ10, 15}});
        EXPECT_TRUE(w->nextButton().isEnabled());
        EXPECT_EQ(lines(), 0u);  // nothing before the trial is complete
        QTest::mouseClick(&w->nextButton(), Qt::LeftButton);
        EXPECT_EQ(lines(), 5u);
        ASSERT_EQ(w->trial(), 2);
        w->slider(0).setValue(33);
        w->slider(1).setValue(44);
        w->close();
        EXPECT_EQ(lines(), 5u);
    }
    {
        // celina hears the hidden reference as poor in one trial of two.
        auto w = window("celina");
        ASSERT_TRUE(w->start());
        rate(*w, {{kHiddenReferenceCondition, 60},
                  {"12.2 kb/s", 20},
                  {"4.75 kb/s", 5},
                  {kQ25, 70},
                  {kQ10, 80}});
        QTest::mouseClick(&w->nextButton(), Qt::LeftButton);
        rate(*w, {{kHiddenReferenceCondition, 100},
                  {"12.2 kb/s", 20},
                  {"4.75 kb/s", 5},
                  {kQ25, 70},
                  {kQ10, 80}});
        QTest::mouseClick(&w->nextButton(), Qt::LeftButton);
        EXPECT_EQ(lines(), 15u);
    }
    auto w = window("ala");
    ASSERT_TRUE(w->start());
    rate(*w, {{kHiddenReferenceCondition, 100},
              {"12.2 kb/s", 80},
              {"4.75 kb/s", 50},
              {kQ25, 40},
              {kQ10, 10}});
    QTest::mouseClick(&w->nextButton(), Qt::LeftButton);
    rate(*w, {{kHiddenReferenceCondition, 95},
              {"12.2 kb/s", 70},
              {"4.75 kb/s", 60},
              {kQ25, 30},
              {kQ10, 20}});
    QTest::mouseClick(&w->nextButton(), Qt::LeftButton);
    ASSERT_TRUE(w->showingResults());
    EXPECT_EQ(lines(), 25u);

    // By hand, over ala's two trials and bartek's one (n = 3, t(2) = 4.30265):
    //   reference 100, 95, 90: mean 95, s 5;   12.2: 80, 70, 90: mean 80, s 10;
    //   4.75: 50, 60, 40: mean 50, s 10;      Q=25: 40, 30, 35: mean 35, s 5;
    //   Q=10: 10, 20, 15: mean 15, s 5;       half interval t s / sqrt(3).
    const ListeningResults results = aggregateRatings(readRatings(results_).ratings);
    const std::vector<std::tuple<std::string, double, double>> expected{
        {kHiddenReferenceCondition, 95, 5},
        {"12.2 kb/s", 80, 10},
        {"4.75 kb/s", 50, 10},
        {kQ25, 35, 5},
        {kQ10, 15, 5}};
    ASSERT_EQ(results.conditions.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [condition, mean, s] = expected[i];
        const ConditionResult& c = results.conditions[i];
        EXPECT_EQ(c.condition, condition);
        EXPECT_EQ(c.count, 3);
        EXPECT_DOUBLE_EQ(c.mean, mean);
        ASSERT_TRUE(c.halfInterval);
        EXPECT_NEAR(*c.halfInterval, 4.30265 * s / std::sqrt(3.0), 1e-4) << condition;
    }
    ASSERT_EQ(results.listeners.size(), 3u);
    EXPECT_TRUE(results.listeners[2].excluded);  // celina

    // The last page shows them: a row per condition, celina named.
    const QTableWidget& table = w->results().table();
    ASSERT_EQ(table.rowCount(), 5);
    EXPECT_EQ(table.item(0, 0)->text(), QStringLiteral("ukryty wzorzec"));
    EXPECT_EQ(table.item(1, 3)->text(), QStringLiteral("80.0"));
    EXPECT_EQ(table.item(1, 4)->text(), QStringLiteral("± 24.8 (55.2 – 104.8)"));
    EXPECT_TRUE(w->results().screening().text().contains(
        QStringLiteral("celina: wzorzec poniżej 90 w 1 z 2 prób")));
    EXPECT_FALSE(w->results().chart().pixmap().isNull());

    // The "Plik" menu offers the test and the results of any ratings files.
    QWidget main;
    QMenu menu;
    QAction* exit = menu.addAction(QStringLiteral("Koniec"));
    FileMenuActions actions(main, menu, exit, {}, [this](const QString& t) { said_.push_back(t); });
    const QList<QAction*> entries = menu.actions();
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const QAction* a) {
        return a->text() == QStringLiteral("Test odsłuchowy...");
    }));
    ASSERT_TRUE(actions.showListeningResults({QString::fromStdString(results_.string())}));
    ASSERT_NE(actions.listeningResultsWindow(), nullptr);
    EXPECT_EQ(actions.listeningResultsWindow()->table().rowCount(), 5);
    const std::size_t told = said_.size();
    EXPECT_FALSE(
        actions.showListeningResults({QString::fromStdString((dir_ / "brak.jsonl").string())}));
    EXPECT_EQ(said_.size(), told + 1);
}

// The stream itself: the switch crossfades linearly over kCrossfadeSamples
// from where it was, each stimulus at the reference's RMS, and a looped span
// faded in and out at its ends.
TEST(StimulusMix, CrossfadeLoudnessAndLoopEdges) {
    constexpr std::size_t kLength = 8000;
    std::vector<double> reference(kLength), half(kLength), silent(kLength, 0.0);
    for (std::size_t n = 0; n < kLength; ++n) {
        reference[n] = 8000.0 * std::sin(0.05 * static_cast<double>(n)) + 1000.0;
        half[n] = 0.5 * (3000.0 * std::cos(0.3 * static_cast<double>(n)));
    }
    StimulusMix mix({reference, half, silent});
    EXPECT_EQ(mix.gain(0), 1.0);
    double energy = 0, halfEnergy = 0;
    for (std::size_t n = 0; n < kLength; ++n) {
        energy += reference[n] * reference[n];
        halfEnergy += half[n] * half[n];
    }
    EXPECT_NEAR(mix.gain(1), std::sqrt(energy / halfEnergy), 1e-12);
    EXPECT_EQ(mix.gain(2), 1.0);  // silence is left as it is

    std::vector<std::int16_t> out(100);
    ASSERT_EQ(mix.read(out), 100u);
    for (std::size_t n = 0; n < 100; ++n) ASSERT_EQ(out[n], toSample(reference[n])) << n;
    mix.select(1);
    ASSERT_EQ(mix.read(out), 100u);
    for (std::size_t i = 0; i < 100; ++i) {
        const std::size_t n = 100 + i;
        const double w = std::min<double>(static_cast<double>(i + 1) / kCrossfadeSamples, 1.0);
        const double a = reference[n], b = mix.gain(1) * half[n];
        ASSERT_EQ(out[i], toSample(a + w * (b - a))) << i;
    }
    // A span of 1000 samples in a loop: 0 at its ends' edges, whole inside.
    mix.select(0);
    mix.setSpan(2000, 3000);
    mix.setLooping(true);
    std::vector<std::int16_t> loop(2500);
    ASSERT_EQ(mix.read(loop), 2500u);
    EXPECT_EQ(mix.position(), 2500u);
    for (std::size_t i = 0; i < 2500; ++i) {
        const std::size_t n = 2000 + i % 1000;
        const std::size_t edge = std::min(n - 2000 + 1, 3000 - n);
        const double fade = std::min<double>(static_cast<double>(edge) / kCrossfadeSamples, 1.0);
        if (i >= static_cast<std::size_t>(kCrossfadeSamples)) {  // the crossfade back is over
            ASSERT_EQ(loop[i], toSample(fade * reference[n])) << i;
        }
    }
    // Not looping: the span ends the stream.
    mix.setLooping(false);
    EXPECT_EQ(mix.read(loop), 500u);
    EXPECT_EQ(mix.read(loop), 0u);
}

TEST_F(ListeningTestWindowTest, SetupRefusesWhatCannotRun) {
    ListeningSetupDialog dialog;
    EXPECT_FALSE(dialog.startButton().isEnabled());
    dialog.setListener("ala");
    dialog.setResultsFile(QString::fromStdString(results_.string()));
    dialog.addInput(QString::fromStdString(inputs_[0].string()));
    EXPECT_FALSE(dialog.startButton().isEnabled());  // no condition yet
    dialog.addCondition(CoderMode::rate7_95, "gamma1=0.9");
    EXPECT_TRUE(dialog.startButton().isEnabled()) << dialog.problemLabel().text().toStdString();
    dialog.addCondition(CoderMode::rate5_90, "no-such-setting=1");
    EXPECT_FALSE(dialog.startButton().isEnabled());
    EXPECT_TRUE(dialog.problemLabel().text().contains(QStringLiteral("Warunek 2")));
    dialog.removeSelectedCondition();  // no row chosen: nothing removed
    for (int i = dialog.conditionCount(); i < kMostTestConditions + 2; ++i)
        dialog.addCondition(CoderMode::rate12_2, "");
    EXPECT_EQ(dialog.conditionCount(), kMostTestConditions);
    EXPECT_FALSE(dialog.addConditionButton().isEnabled());
    const ListeningTestPlan plan = dialog.plan();
    EXPECT_EQ(plan.conditions[0], (TestCondition{CoderMode::rate7_95, "gamma1=0.9"}));
    EXPECT_EQ(plan.inputs, std::vector<std::filesystem::path>{inputs_[0]});
}

}  // namespace
}  // namespace zorvel
