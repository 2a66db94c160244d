// The main window's "Plik" entries beyond open and exit: the window
// "Porównanie trybów" (the input in all eight modes, computed in the
// background, its table and chart equal to the sweep's figures; closing it
// cancels), and playback of the input and output files through a recording
// sink, the files read on a worker: a later press replaces a read still
// going, stopping drops it, and closing waits for it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <condition_variable>
#include <mutex>
#include <stop_token>

#include "app/AblationPanel.h"
#include "app/FileMenuActions.h"
#include "app/MainWindow.h"
#include "app/ModeComparisonWindow.h"
#include "app/UserDialogs.h"
#include "charts/ABListening.h"
#include "coder/Ablation.h"
#include "coder/ModeSweep.h"
#include "plots/AblationChart.h"
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
    RecordingUse askRecordingUse(QWidget*, const QString&) override { return RecordingUse::cancel; }
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString&,
                                        const SaveDialogTypes&) override {
        return std::nullopt;
    }
    void setBusyCursor() override {}
    void restoreCursor() override {}
};

struct SinkLog {
    std::vector<QByteArray> played;
    std::unique_ptr<QIODevice> source;  // the stream of an A/B playback, read by the test
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
    bool playSource(std::unique_ptr<QIODevice> source, std::function<void()>) override {
        log_->source = std::move(source);
        log_->playing = true;
        return true;
    }
    void stop() override {
        log_->playing = false;
        log_->source.reset();
    }
    bool playing() const override { return log_->playing; }

  private:
    std::shared_ptr<SinkLog> log_;
};

// A bound for a read of the sample on a loaded machine, not a measure of speed.
constexpr int kReadWaitMs = 10000;

QString sampleName() { return QString::fromStdString(test::samplePath().string()); }

QByteArray bytesFrom60(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = test::readBytes(file);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()) + kSampleDataOffset,
                      static_cast<qsizetype>(bytes.size() - kSampleDataOffset));
}

class FileMenuActionsTest : public ::testing::Test {
  protected:
    FileMenuActionsTest() : window(dialogs) {
        actions().playback().setSink(std::make_unique<RecordingSink>(sink));
    }
    FileMenuActions& actions() { return window.fileMenuActions(); }
    void chooseInput(const QString& name) {
        dialogs.openAnswer = name;
        window.Open1Click();
    }
    // Waits until the last press of play has its file read or refused.
    bool readingEnds() {
        return QTest::qWaitFor([this] { return !actions().reading(); }, kReadWaitMs);
    }

    RecordingDialogs dialogs;
    MainWindow window;
    std::shared_ptr<SinkLog> sink = std::make_shared<SinkLog>();
};

TEST_F(FileMenuActionsTest, ComparisonWindowShowsTheSweepFiguresOfTheInput) {
    chooseInput(sampleName());
    // The window is made by the first trigger; its rows are watched from the
    // first of them on.
    actions().comparisonAction().trigger();
    ModeComparisonWindow* comparison = actions().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    comparison->cancel();
    std::vector<bool> doneAtEachCell;  // whether the whole sweep was shown at each cell filled
    QObject::connect(comparison->table().model(), &QAbstractItemModel::dataChanged,
                     [&] { doneAtEachCell.push_back(comparison->figures().has_value()); });
    actions().comparisonAction().trigger();
    EXPECT_TRUE(comparison->isVisible());
    EXPECT_EQ(comparison->windowTitle(), "Porównanie trybów");
    QTRY_VERIFY_WITH_TIMEOUT(comparison->figures().has_value(), 60000);
    EXPECT_FALSE(comparison->running());
    EXPECT_EQ(comparison->progress().value(), comparison->progress().maximum());

    QTableWidget& table = comparison->table();
    ASSERT_EQ(table.rowCount(), 8);
    ASSERT_EQ(table.columnCount(), 5);
    EXPECT_EQ(table.horizontalHeaderItem(1)->text(), "Przepływność [kb/s]");
    SweepRow expected{};
    for (int mode = 1; mode <= 8; ++mode) {
        const std::optional<ModeFigures> f =
            codeInMode(SpeechInput(test::samplePath()), test::modeNumbered(mode));
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
    // Each mode's row came as the mode was coded, before the sweep ended.
    ASSERT_GE(doneAtEachCell.size(), 8u * 5u);
    for (std::size_t i = 0; i < 8 * 5; ++i) EXPECT_FALSE(doneAtEachCell[i]) << "cell " << i;
    EXPECT_TRUE(dialogs.informations.empty());

    // The chart for reports, from the chart's context menu.
    const test::TempDir dir;
    QString answer;
    QStringList suggested;
    comparison->setSaveFileName([&](QWidget*, const QString&, const QString& name, const QString&) {
        suggested.push_back(QFileInfo(name).fileName());
        return answer;
    });
    answer.clear();  // the 2x picture's name, not taken
    comparison->chartMenu().actions()[1]->trigger();
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
    EXPECT_EQ(suggested,
              (QStringList{"mowa.wav_snr_2x.png", "mowa.wav_snr.png", "mowa.wav_snr.svg"}));
}

// The comparison codes with the settings chosen in the main window, and its
// chart's caption names them.
TEST_F(FileMenuActionsTest, ComparisonCodesWithTheSettingsChosen) {
    chooseInput(sampleName());
    CoderSettings settings;
    ASSERT_FALSE(applySetting(settings, "pitch-resolution=1/3"));
    ASSERT_FALSE(applySetting(settings, "adaptive-codebook=off"));
    window.setCoderSettings(settings);
    actions().comparisonAction().trigger();
    ModeComparisonWindow* comparison = actions().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(comparison->figures().has_value(), 60000);
    comparison->cancel();  // the ablation after the modes is not wanted here
    for (const int mode : {1, 8}) {
        const std::optional<ModeFigures> f = codeInMode(
            SpeechInput(test::samplePath()), test::modeNumbered(mode), {.settings = settings});
        ASSERT_TRUE(f);
        EXPECT_EQ((*comparison->figures())[mode - 1].overallSnr, f->overallSnr) << mode;
    }
    EXPECT_EQ(ModeComparisonWindow::chartCaption(sampleName(), settings),
              "mowa.wav (bez słownika adaptacyjnego) – rozdzielczość opóźnienia: 1/3");
    EXPECT_EQ(ModeComparisonWindow::chartCaption(sampleName(), CoderSettings{}), "mowa.wav");
}

TEST_F(FileMenuActionsTest, ClosingTheComparisonWindowCancelsTheComputation) {
    // A long input: the sample eight times over.
    const test::TempDir dir;
    std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    const std::vector<std::uint8_t> samples(bytes.begin() + kSampleDataOffset, bytes.end());
    for (int i = 0; i < 7; ++i) bytes.insert(bytes.end(), samples.begin(), samples.end());
    test::writeBytes(dir / "dluga.wav", bytes);
    chooseInput(QString::fromStdString((dir / "dluga.wav").string()));

    actions().comparisonAction().trigger();
    ModeComparisonWindow* comparison = actions().comparisonWindow();
    ASSERT_NE(comparison, nullptr);
    EXPECT_TRUE(comparison->running());
    QTest::qWait(150);
    comparison->close();
    EXPECT_FALSE(comparison->running());
    EXPECT_LT(comparison->progress().value(), comparison->progress().maximum());
    QTest::qWait(200);  // a result of the cancelled run would arrive here
    EXPECT_FALSE(comparison->figures().has_value());
}

// Without a window manager the window has no close box: Esc and Ctrl+W close
// it as that box does, cancelling what it computes.
TEST_F(FileMenuActionsTest, EscOrCtrlWClosesTheComparisonWindow) {
    chooseInput(sampleName());
    for (const QKeyCombination keys :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        actions().comparisonAction().trigger();
        ModeComparisonWindow* comparison = actions().comparisonWindow();
        ASSERT_NE(comparison, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowActive(comparison));
        ASSERT_TRUE(comparison->running());
        QTest::keyClick(&comparison->table(), keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(comparison->isVisible()) << QKeySequence(keys).toString().toStdString();
        EXPECT_FALSE(comparison->running());
    }
}

// The page "Ablacja": after the modes, the input with each tool changed
// alone, its cells filled as they are coded, every figure that of the core's
// computation, and the chart of the whole table at the end.
TEST(ModeComparisonAblation, FillsInTheBackgroundWithTheCoreFigures) {
    ModeComparisonWindow window;
    AblationPanel& panel = window.ablation();
    std::vector<bool> doneAtEachCell;  // whether the whole ablation was shown at each cell
    window.compare(sampleName(), CoderSettings{});
    EXPECT_EQ(window.pages().tabText(1), "Ablacja");
    QTableWidget& table = panel.table();
    const std::vector<AblationRow> rows = ablationRows(CoderSettings{});
    ASSERT_EQ(table.rowCount(), 8 * static_cast<int>(rows.size()));
    // Each row named in the windows' Polish words, not the command line's.
    const QStringList names{"domyślne",
                            "rozdzielczość opóźnienia: 1/3",
                            "rozdzielczość opóźnienia: 1/6",
                            "interpolacja LP: LSF",
                            "filtr górnoprzepustowy: 80 Hz",
                            "poprawa pobudzenia: wył.",
                            "okno autokorelacji: wył.",
                            "słownik adaptacyjny: wył.",
                            "kwantyzacja: wł."};
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(names.size()));
    for (int r = 0; r < names.size(); ++r)
        for (int m = 0; m < 8; ++m)
            EXPECT_EQ(table.item(m * names.size() + r, 2)->text(), names[r]) << r << " " << m;
    EXPECT_EQ(table.horizontalHeaderItem(1)->text(), QString::fromUtf8("Przepływność [kb/s]"));
    QObject::connect(table.model(), &QAbstractItemModel::dataChanged,
                     [&] { doneAtEachCell.push_back(panel.result().has_value()); });
    QTRY_VERIFY_WITH_TIMEOUT(panel.result().has_value(), 120000);
    EXPECT_FALSE(window.ablationRunning());
    EXPECT_EQ(panel.progress().value(), panel.progress().maximum());
    ASSERT_TRUE(window.figures().has_value());

    AblationRun run;
    run.inputs = {test::samplePath()};
    run.rows = rows;
    run.modes.assign(kAllCoderModes.begin(), kAllCoderModes.end());
    const std::optional<AblationTable> expected = computeAblation(run);
    ASSERT_TRUE(expected);
    const AblationTable& shown = *panel.result();
    ASSERT_EQ(shown.figures.size(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (int m = 0; m < 8; ++m) {
            const ModeFigures& f = expected->figures[r][m];
            EXPECT_EQ(shown.figures[r][m].segmentalSnr, f.segmentalSnr) << rows[r].name << m;
            EXPECT_EQ(shown.figures[r][m].overallSnr, f.overallSnr) << rows[r].name << m;
            const int line = m * static_cast<int>(rows.size()) + static_cast<int>(r);
            EXPECT_EQ(table.item(line, 0)->text(), QString::number(m + 1));
            EXPECT_EQ(table.item(line, 3)->text(), QString::number(f.segmentalSnr, 'f', 2));
            EXPECT_EQ(table.item(line, 5)->text(), QString::number(f.overallSnr, 'f', 2));
            const double change = expected->overallChange(r, static_cast<std::size_t>(m));
            EXPECT_EQ(table.item(line, 6)->text().toDouble(),
                      QString::number(change, 'f', 2).toDouble())
                << rows[r].name << m;
            EXPECT_EQ(table.item(line, 6)->text().front() == '+', change >= 0.0);
        }
    // The first row is the mode comparison's own figures.
    for (int m = 0; m < 8; ++m)
        EXPECT_EQ(shown.figures[0][m].overallSnr, (*window.figures())[m].overallSnr);
    AblationTable drawn = *expected;
    for (std::size_t r = 0; r < drawn.rows.size(); ++r)
        drawn.rows[r].name = names[static_cast<qsizetype>(r)].toStdString();
    EXPECT_EQ(panel.chartImage(),
              pictureImage(describeAblationChart(drawn, QStringLiteral("mowa.wav"))));
    // Saved, the chart names its rows as on screen.
    const test::TempDir dir;
    const QString saved = QString::fromStdString((dir / "ablacja.svg").string());
    panel.setSaveFileName(
        [&](QWidget*, const QString&, const QString&, const QString&) { return saved; });
    for (QAction* action : panel.chartMenu().actions())
        if (action->text() == QStringLiteral("Zapisz wykres jako SVG...")) action->trigger();
    QFile svg(saved);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(svg.readAll());
    for (const QString& name : names) EXPECT_TRUE(written.contains(name)) << name.toStdString();
    for (const char* key : {">default<", "=off", "=lsf", "high-pass"})
        EXPECT_FALSE(written.contains(QString::fromUtf8(key))) << key;
    // Cells came as they were coded, before the end.
    ASSERT_GE(doneAtEachCell.size(), 8u * rows.size());
    EXPECT_FALSE(doneAtEachCell.front());

    // Chosen, the page has the room for every column of its table and for
    // the chart's whole width (the offscreen screen has it).
    window.pages().setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_LE(table.horizontalHeader()->length(), table.viewport()->width());
    const QWidget* chartArea = panel.chartLabel().parentWidget();  // the scroll area's viewport
    EXPECT_GE(chartArea->width(), panel.chartImage().width());
    EXPECT_GE(chartArea->height(), panel.chartImage().height());
}

// The bars give the time left at the speed so far, once the work has run a
// while; the percentage alone before and at the end.
TEST(ModeComparisonProgress, GivesTheTimeLeftOnceTheWorkHasRunAWhile) {
    EXPECT_EQ(ModeComparisonWindow::progressFormat(1000, 0.5), "%p%");
    EXPECT_EQ(ModeComparisonWindow::progressFormat(10'000, 0.0), "%p%");
    EXPECT_EQ(ModeComparisonWindow::progressFormat(10'000, 1.0), "%p%");
    EXPECT_EQ(ModeComparisonWindow::progressFormat(10'000, 0.25), "%p% – zostało ok. 0:30");
    EXPECT_EQ(ModeComparisonWindow::progressFormat(65'000, 0.5), "%p% – zostało ok. 1:05");
    // Half an hour of input in eight modes: ten minutes for 0.4 % of it.
    EXPECT_EQ(ModeComparisonWindow::progressFormat(600'000, 0.004), "%p% – zostało ok. 41:30:00");
    ModeComparisonWindow window;
    window.compare(sampleName(), CoderSettings{});
    QTRY_VERIFY_WITH_TIMEOUT(!window.ablationRunning(), 120000);
    EXPECT_EQ(window.progress().format(), "%p%");
    EXPECT_EQ(window.ablation().progress().format(), "%p%");
}

TEST(ModeComparisonAblation, ClosingCancelsTheAblation) {
    // A long input: the sample eight times over.
    const test::TempDir dir;
    std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    const std::vector<std::uint8_t> samples(bytes.begin() + kSampleDataOffset, bytes.end());
    for (int i = 0; i < 7; ++i) bytes.insert(bytes.end(), samples.begin(), samples.end());
    test::writeBytes(dir / "dluga.wav", bytes);
    ModeComparisonWindow window;
    window.compare(QString::fromStdString((dir / "dluga.wav").string()), CoderSettings{});
    EXPECT_TRUE(window.ablationRunning());
    // The modes first; the ablation goes on after them.
    QTRY_VERIFY_WITH_TIMEOUT(window.figures().has_value(), 60000);
    EXPECT_TRUE(window.ablationRunning());
    window.close();
    EXPECT_FALSE(window.ablationRunning());
    QTest::qWait(200);  // a result of the cancelled run would arrive here
    EXPECT_FALSE(window.ablation().result().has_value());
    EXPECT_LT(window.ablation().progress().value(), window.ablation().progress().maximum());
    const QTableWidget& table = window.ablation().table();
    EXPECT_EQ(table.item(table.rowCount() - 1, 5), nullptr) << "the last cell was never coded";
}

TEST_F(FileMenuActionsTest, ComparisonWithoutAnInputTellsTheUser) {
    actions().comparisonAction().trigger();
    EXPECT_EQ(actions().comparisonWindow(), nullptr);
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"Plik wejsciowy nie istnieje!"});
}

TEST_F(FileMenuActionsTest, PlaysTheInputAndTheOutputOfARun) {
    const test::TempDir dir;
    const std::filesystem::path input = dir / "mowa.wav";
    std::filesystem::copy_file(test::samplePath(), input);
    chooseInput(QString::fromStdString(input.string()));

    actions().playOutputAction().trigger();
    ASSERT_TRUE(readingEnds());
    EXPECT_EQ(dialogs.informations, std::vector<QString>{"Plik wyjściowy nie istnieje."});
    EXPECT_TRUE(sink->played.empty());

    actions().playInputAction().trigger();
    ASSERT_TRUE(readingEnds());
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(sink->played[0], bytesFrom60(input));
    actions().stopAction().trigger();
    EXPECT_FALSE(sink->playing);

    window.BT_KodowanieClick();
    const std::filesystem::path output =
        window.findChild<QLineEdit*>("Edit2")->text().toStdString();
    ASSERT_TRUE(std::filesystem::exists(output));
    actions().playOutputAction().trigger();
    ASSERT_TRUE(readingEnds());
    ASSERT_EQ(sink->played.size(), 2u);
    EXPECT_EQ(sink->played[1], bytesFrom60(output));
    EXPECT_EQ(sink->played[1].size(), 283 * 320);

    // A second press stops.
    actions().playOutputAction().trigger();
    EXPECT_FALSE(actions().reading());
    EXPECT_EQ(sink->played.size(), 2u);
    EXPECT_FALSE(sink->playing);
    // The refusal, then the report of the run; playing says nothing more.
    ASSERT_EQ(dialogs.informations.size(), 2u);
    EXPECT_TRUE(dialogs.informations[1].startsWith(QString::fromUtf8("Kodowanie zakończone.")));
}

// A reader that holds every read until the test lets it go or a stop is
// requested, then reads the file for real; a stopped read ends there, or,
// with `finishAfterStop`, reads the file anyway, as a read stopped in its last
// block does. Held reads count from 0; the reader keeps the object alive as
// long as a worker may call it.
class HeldReads : public std::enable_shared_from_this<HeldReads> {
  public:
    explicit HeldReads(bool finishAfterStop = false) : finishAfterStop_(finishAfterStop) {}
    SampleReader reader() {
        return [self = shared_from_this()](const std::filesystem::path& file,
                                           std::stop_token stop) { return self->read(file, stop); };
    }
    void releaseAll() {
        const std::lock_guard lock(mutex_);
        released_ = started_;
        changed_.notify_all();
    }
    int started() {
        const std::lock_guard lock(mutex_);
        return started_;
    }
    int stopped() {
        const std::lock_guard lock(mutex_);
        return stopped_;
    }
    int finished() {
        const std::lock_guard lock(mutex_);
        return finished_;
    }
    bool waitStarted(int count) {
        return QTest::qWaitFor([&] { return started() >= count; }, kReadWaitMs);
    }

  private:
    FileSamples read(const std::filesystem::path& file, std::stop_token stop) {
        std::unique_lock lock(mutex_);
        const int number = started_++;
        const bool released = changed_.wait(lock, stop, [&] { return released_ > number; });
        if (!released) ++stopped_;
        FileSamples samples{ReadOutcome::stopped, {}, "reading stopped"};
        if (released || finishAfterStop_) {
            lock.unlock();
            samples = readFileSamples(file, released ? stop : std::stop_token{});
            lock.lock();
        }
        ++finished_;
        return samples;
    }

    std::mutex mutex_;
    std::condition_variable_any changed_;
    int started_ = 0;
    int released_ = 0;
    int stopped_ = 0;
    int finished_ = 0;
    const bool finishAfterStop_;
};

// The whole input against the whole output, both from byte 60: A first, B
// (the output at the input's loudness) from the switch on, shown by the window.
TEST_F(FileMenuActionsTest, ABListeningOfTheInputAndTheOutputFile) {
    const test::TempDir dir;
    const std::filesystem::path input = dir / "mowa.wav";
    std::filesystem::copy_file(test::samplePath(), input);
    chooseInput(QString::fromStdString(input.string()));
    window.BT_KodowanieClick();
    const std::filesystem::path output =
        window.findChild<QLineEdit*>("Edit2")->text().toStdString();
    ASSERT_TRUE(std::filesystem::exists(output));

    const QLabel& side = actions().sideLabel();
    EXPECT_FALSE(actions().switchAction().isEnabled() && side.isVisibleTo(&window));
    actions().compareAction().trigger();
    ASSERT_TRUE(readingEnds());
    ASSERT_NE(sink->source, nullptr);
    EXPECT_EQ(side.text(), QString::fromUtf8("Słychać: A – plik wejściowy   (Ctrl+B przełącza)"));
    const QByteArray in = bytesFrom60(input);
    const QByteArray out = bytesFrom60(output);
    EXPECT_EQ(sink->source->read(640), in.left(640));  // the input's own samples

    QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(side.text(), QString::fromUtf8("Słychać: B – plik wyjściowy   (Ctrl+B przełącza)"));
    const QByteArray rest = sink->source->readAll();
    // The output is whole frames, the input may end in a part frame: the span
    // is the shorter of the two.
    ASSERT_EQ(640 + rest.size(), std::min(in.size(), out.size()));
    const auto samples = [](const QByteArray& pcm, qsizetype from) {
        std::vector<double> x;
        for (qsizetype i = from; i + 1 < pcm.size(); i += 2)
            x.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[i]) |
                                                  (static_cast<std::uint8_t>(pcm[i + 1]) << 8)));
        return x;
    };
    const std::vector<double> a = samples(in.left(rest.size() + 640), 0);
    const std::vector<double> b = samples(out, 0);
    double ea = 0.0, eb = 0.0;
    for (std::size_t n = 0; n < a.size(); ++n) {
        ea += a[n] * a[n];
        eb += b[n] * b[n];
    }
    const double gain = std::sqrt(ea / eb);
    const std::vector<double> heard = samples(rest, 0);
    for (std::size_t n = kCrossfadeSamples; n < heard.size(); ++n)
        ASSERT_EQ(heard[n], toSample(gain * b[320 + n])) << n;

    actions().stop();
    EXPECT_FALSE(side.isVisibleTo(&window));
}

TEST_F(FileMenuActionsTest, APressWhileAFileIsReadReplacesThatRead) {
    const test::TempDir dir;
    test::writeSamples(dir / "wyjscie.wav", {100, -100, 32767, -32767, 0});
    chooseInput(sampleName());
    window.findChild<QLineEdit*>("Edit2")->setText(
        QString::fromStdString((dir / "wyjscie.wav").string()));
    auto held = std::make_shared<HeldReads>();
    actions().setSampleReader(held->reader());

    actions().playInputAction().trigger();
    ASSERT_TRUE(held->waitStarted(1));
    EXPECT_TRUE(actions().reading());
    EXPECT_TRUE(sink->played.empty());

    // The input's read is stopped; the output's is the one played.
    actions().playOutputAction().trigger();
    EXPECT_EQ(held->stopped(), 1);
    ASSERT_TRUE(held->waitStarted(2));
    held->releaseAll();
    ASSERT_TRUE(readingEnds());
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(sink->played[0], bytesFrom60(dir / "wyjscie.wav"));
    EXPECT_TRUE(dialogs.informations.empty());
}

TEST_F(FileMenuActionsTest, StopDropsAFileStillBeingRead) {
    chooseInput(sampleName());
    auto held = std::make_shared<HeldReads>();
    actions().setSampleReader(held->reader());
    actions().playInputAction().trigger();
    ASSERT_TRUE(held->waitStarted(1));

    window.findChild<QMenu*>("File1")->aboutToShow();
    EXPECT_TRUE(actions().stopAction().isEnabled());
    actions().stopAction().trigger();
    EXPECT_FALSE(actions().reading());
    ASSERT_TRUE(QTest::qWaitFor([&] { return held->stopped() == 1; }, kReadWaitMs));
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(sink->played.empty());
    EXPECT_TRUE(dialogs.informations.empty());
    window.findChild<QMenu*>("File1")->aboutToShow();
    EXPECT_FALSE(actions().stopAction().isEnabled());

    // The next press reads and plays as usual.
    actions().playInputAction().trigger();
    ASSERT_TRUE(held->waitStarted(2));
    held->releaseAll();
    ASSERT_TRUE(readingEnds());
    ASSERT_EQ(sink->played.size(), 1u);
    EXPECT_EQ(sink->played[0], bytesFrom60(test::samplePath()));
}

// The actions go while a file is being read: the read is stopped and waited
// for, even one that goes on to the end of its file, and its samples are not
// delivered to the actions gone.
TEST(FileMenuActionsLifetime, ClosingWhileAFileIsReadStopsAndWaitsForTheRead) {
    auto informed = std::make_shared<std::vector<QString>>();
    auto held = std::make_shared<HeldReads>(true);
    QWidget window;
    QMenu menu;
    QAction* exit = menu.addAction(QStringLiteral("Wyjście"));
    auto actions = std::make_unique<FileMenuActions>(
        window, menu, exit,
        FileMenuActions::Controls{[] { return sampleName(); }, [] { return QString(); },
                                  [] { return CoderSettings{}; }},
        [informed](const QString& text) { informed->push_back(text); });
    actions->setSampleReader(held->reader());
    actions->playInputAction().trigger();
    ASSERT_TRUE(held->waitStarted(1));

    actions.reset();
    EXPECT_EQ(held->stopped(), 1);
    EXPECT_EQ(held->finished(), 1);  // the read ended before the actions did
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(informed->empty());
}

}  // namespace
}  // namespace zorvel
