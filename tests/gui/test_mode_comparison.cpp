// The main window's "Plik" entries beyond open and exit: the window
// "Porównanie trybów" (the input in all eight modes, computed in the
// background, its table and chart equal to the sweep's figures; closing it
// cancels), and playback of the input and output files through a recording
// sink.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSvgRenderer>
#include <QTableWidget>
#include <QTest>

#include "app/MainWindow.h"
#include "app/MainWindowTools.h"
#include "app/ModeComparisonWindow.h"
#include "app/UserDialogs.h"
#include "coder/ModeSweep.h"
#include "plots/SweepChart.h"
#include "sound/Wave.h"
#include "tests/TestSupport.h"

namespace zorvel {
namespace {

class RecordingDialogs final : public UserDialogs {
  public:
    std::vector<QString> informations;
    std::optional<QString> openAnswer;

    void information(QWidget*, const QString& text) override { informations.push_back(text); }
    bool confirm(QWidget*, const QString&) override { return true; }
    void showError(QWidget*, const QString& text) override { informations.push_back(text); }
    std::optional<QString> openFileName(QWidget*, const OpenDialogSettings&) override {
        return openAnswer;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}
};

struct SinkLog {
    std::vector<QByteArray> played;
    bool playing = false;
};

class RecordingSink final : public AudioSink {
  public:
    explicit RecordingSink(std::shared_ptr<SinkLog> log) : log_(std::move(log)) {}
    bool play(const QByteArray& pcm, std::function<void()>) override {
        log_->played.push_back(pcm);
        log_->playing = true;
        return true;
    }
    void stop() override { log_->playing = false; }
    bool playing() const override { return log_->playing; }

  private:
    std::shared_ptr<SinkLog> log_;
};

QString sampleName() { return QString::fromStdString(test::samplePath().string()); }

QByteArray bytesFrom60(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = test::readBytes(file);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()) + kSampleDataOffset,
                      static_cast<qsizetype>(bytes.size() - kSampleDataOffset));
}

class MainWindowToolsTest : public ::testing::Test {
  protected:
    MainWindowToolsTest() : window(dialogs) {
        window.tools().playback().setSink(std::make_unique<RecordingSink>(sink));
    }
    void chooseInput(const QString& name) {
        dialogs.openAnswer = name;
        window.Open1Click();
    }

    RecordingDialogs dialogs;
    MainWindow window;
    std::shared_ptr<SinkLog> sink = std::make_shared<SinkLog>();
};

TEST_F(MainWindowToolsTest, ComparisonWindowShowsTheSweepFiguresOfTheInput) {
    chooseInput(sampleName());
    window.tools().comparisonAction().trigger();
    ModeComparisonWindow* comparison = window.tools().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    EXPECT_TRUE(comparison->isVisible());
    EXPECT_EQ(comparison->windowTitle(), "Porównanie trybów");
    QTRY_VERIFY_WITH_TIMEOUT(comparison->figures().has_value(), 60000);
    EXPECT_FALSE(comparison->running());
    EXPECT_EQ(comparison->progress().value(), comparison->progress().maximum());

    QTableWidget& table = comparison->table();
    ASSERT_EQ(table.rowCount(), 8);
    ASSERT_EQ(table.columnCount(), 5);
    EXPECT_EQ(table.horizontalHeaderItem(1)->text(), "Przepływność [kbit/s]");
    SweepRow expected{};
    for (int mode = 1; mode <= 8; ++mode) {
        const std::optional<ModeFigures> f =
            codeInMode(test::samplePath(), test::modeNumbered(mode), false);
        ASSERT_TRUE(f);
        expected[mode - 1] = *f;
        const ModeFigures& shown = (*comparison->figures())[mode - 1];
        EXPECT_EQ(shown.segmentalSnr, f->segmentalSnr) << "mode " << mode;
        EXPECT_EQ(shown.overallSnr, f->overallSnr) << "mode " << mode;
        EXPECT_EQ(table.item(mode - 1, 0)->text(), QString::number(mode));
        EXPECT_EQ(table.item(mode - 1, 1)->text().toStdString(),
                  rulesOf(test::modeNumbered(mode)).rate);
        EXPECT_EQ(table.item(mode - 1, 2)->text(), QString::number(f->frames));
        EXPECT_EQ(table.item(mode - 1, 3)->text(), QString::number(f->segmentalSnr, 'f', 2));
        EXPECT_EQ(table.item(mode - 1, 4)->text(), QString::number(f->overallSnr, 'f', 2));
    }
    EXPECT_EQ(comparison->chartImage(),
              pictureImage(describeSweepChart(expected, QStringLiteral("mowa.wav"))));
    EXPECT_TRUE(dialogs.informations.empty());

    // The chart for reports, from the chart's context menu.
    const test::TempDir dir;
    QString answer;
    comparison->setSaveFileName(
        [&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
    answer = QString::fromStdString((dir / "snr.png").string());
    comparison->chartMenu().actions()[0]->trigger();
    QImage png;
    ASSERT_TRUE(png.load(answer, "PNG"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), comparison->chartImage());
    answer = QString::fromStdString((dir / "snr.svg").string());
    comparison->chartMenu().actions()[2]->trigger();
    const std::vector<std::uint8_t> svg = test::readBytes(dir / "snr.svg");
    EXPECT_TRUE(QSvgRenderer(QByteArray(reinterpret_cast<const char*>(svg.data()),
                                        static_cast<qsizetype>(svg.size())))
                    .isValid());
}

TEST_F(MainWindowToolsTest, ClosingTheComparisonWindowCancelsTheComputation) {
    // A long input: the sample eight times over.
    const test::TempDir dir;
    std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    const std::vector<std::uint8_t> samples(bytes.begin() + kSampleDataOffset, bytes.end());
    for (int i = 0; i < 7; ++i) bytes.insert(bytes.end(), samples.begin(), samples.end());
    test::writeBytes(dir / "dluga.wav", bytes);
    chooseInput(QString::fromStdString((dir / "dluga.wav").string()));

    window.tools().comparisonAction().trigger();
    ModeComparisonWindow* comparison = window.tools().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    EXPECT_TRUE(comparison->running());
    QTest::qWait(150);
    comparison->close();
    EXPECT_FALSE(comparison->running());
    EXPECT_LT(comparison->progress().value(), comparison->progress().maximum());
    QTest::qWait(200);  // a result of the cancelled run would arrive here
    EXPECT_FALSE(comparison->figures().has_value());
}

TEST_F(MainWindowToolsTest, ComparisonWithoutAnInputTellsTheUser) {
    window.tools().comparisonAction().trigger();
    EXPECT_EQ(window.tools().comparisonWindow(), nullptr);
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"Plik wejsciowy nie istnieje!"});
}

TEST_F(MainWindowToolsTest, PlaysTheInputAndTheOutputOfARun) {
    const test::TempDir dir;
    const std::filesystem::path input = dir / "mowa.wav";
    std::filesystem::copy_file(test::samplePath(), input);
    chooseInput(QString::fromStdString(input.string()));

    window.tools().playOutputAction().trigger();
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"Plik wyjściowy nie istnieje."});
    EXPECT_TRUE(sink->played.empty());

    window.tools().playInputAction().trigger();
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(sink->played[0], bytesFrom60(input));
    window.tools().stopAction().trigger();
    EXPECT_FALSE(sink->playing);

    window.BT_KodowanieClick();
    const std::filesystem::path output =
        window.findChild<QLineEdit*>("Edit2")->text().toStdString();
    ASSERT_TRUE(std::filesystem::exists(output));
    window.tools().playOutputAction().trigger();
    ASSERT_EQ(sink->played.size(), 2u);
    EXPECT_EQ(sink->played[1], bytesFrom60(output));
    EXPECT_EQ(sink->played[1].size(), 283 * 320);

    // A second press stops.
    window.tools().playOutputAction().trigger();
    EXPECT_EQ(sink->played.size(), 2u);
    EXPECT_FALSE(sink->playing);
}

TEST(FileSamples, AreTheSixteenBitValuesFromByte60) {
    const test::TempDir dir;
    test::writeSamples(dir / "x.wav", {0, 1, -1, 32767, -32768, 256});
    const auto samples = fileSamples(dir / "x.wav");
    ASSERT_TRUE(samples);
    EXPECT_EQ(*samples, (std::vector<double>{0, 1, -1, 32767, -32768, 256}));
    EXPECT_FALSE(fileSamples(dir / "none.wav"));
}

}  // namespace
}  // namespace zorvel
