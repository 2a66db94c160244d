// The chart window: its form, setup for a file, navigation with the busy
// cursor, the redraw and its readouts, the colour schemes, and the readout
// formats. Message boxes and the cursor are recorded instead of shown.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <cmath>
#include <memory>
#include <random>
#include <stdexcept>

#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "coder/SpeechCoder.h"
#include "plots/Readouts.h"
#include "tests/TestSupport.h"

// Readable QStrings in failure messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace zorvel {
namespace {

const QString kScaleMessage = "Skala musi być liczbą różną od zera.";
const QString kFrameMessage = "Numer ramki musi być liczbą całkowitą.";

using Log = std::vector<QString>;

class RecordingDialogs final : public ChartDialogs {
  public:
    explicit RecordingDialogs(std::shared_ptr<Log> log) : log_(std::move(log)) {}
    void information(QWidget*, const QString& text) override { log_->push_back("info: " + text); }
    bool confirm(QWidget*, const QString& text) override {
        log_->push_back("confirm: " + text);
        return true;
    }
    void setBusyCursor() override { log_->push_back("busy"); }
    void restoreCursor() override { log_->push_back("restore"); }

  private:
    std::shared_ptr<Log> log_;
};

std::string str(const QString& s) { return s.toStdString(); }

// A control name such as "L1" or "Editk4".
std::string numbered(const char* prefix, int n) {
    return QString("%1%2").arg(prefix).arg(n).toStdString();
}

class ChartWindowTest : public ::testing::Test {
  protected:
    ChartWindowTest() { form = makeForm(log); }

    static std::unique_ptr<ChartWindow> makeForm(std::shared_ptr<Log>& log) {
        auto window = std::make_unique<ChartWindow>();
        log = std::make_shared<Log>();
        window->setDialogs(std::make_unique<RecordingDialogs>(log));
        return window;
    }

    template <typename T>
    T* control(const char* name, ChartWindow* window = nullptr) const {
        T* c = (window ? window : form.get())->findChild<T*>(name);
        if (c == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return c;
    }
    QLineEdit* edit(const char* name, ChartWindow* window = nullptr) const {
        return control<QLineEdit>(name, window);
    }
    QString text(const char* name, ChartWindow* window = nullptr) const {
        return edit(name, window)->text();
    }
    void click(const char* name, ChartWindow* window = nullptr) const {
        control<QAbstractButton>(name, window)->click();
    }
    void openSample(CoderMode mode = CoderMode::rate12_2) { form->openForFile(sample(), mode); }
    static QString sample() { return QString::fromStdString(test::samplePath().string()); }

    // The readouts as one text, for comparing two states of the window.
    QString readouts(ChartWindow* window = nullptr) const {
        QString all;
        for (const char* name : {"Ed_frame", "Editk1", "Editk2", "Editk3", "Editk4", "Ed_gp1",
                                 "Ed_gp2", "Ed_gp3", "Ed_gp4", "EdSNR", "EdSNRseg", "EdSNRall"}) {
            all += text(name, window) + "|";
        }
        return all;
    }

    std::shared_ptr<Log> log;
    std::unique_ptr<ChartWindow> form;
};

// ---------------------------------------------------------------------------
// The form

struct BoxCase {
    const char* name;
    const char* caption;
    const char* hint;
    bool checked;
    int left;
    int top;
};

const BoxCase kBoxes[] = {
    {"CB1", "s(n) - syg. wej.", "sygnał wejściowy", true, 16, 327},
    {"CB6", "s'(n) - syg. wyj", "sygnał wyjściowy", true, 16, 347},
    {"CB_spn", "sp(n) - syg. po post-proc.", "sygnał wyjściowy po post-processingu", false, 16,
     368},
    {"CB2", "sw(n) - syg. perc.", "sygnał percepcyjny", false, 16, 389},
    {"CB4", "sw '(n) - szt. syg. perc.", "syntetyczny sygnał percepcyjny", false, 16, 410},
    {"CB_v", "v(n) - pobudzenie adapt.", "pobudzenie ze slownika adaptacyjnego", false, 16, 431},
    {"CB5", "gp * y(n) - pob. adapt.", "przefiltrowane pobudzenie ze słownika adaptacyjnego", false,
     16, 451},
    {"CB7", "gc * c(n) - pob. algebr.", "pobudzenie ze słownika algebraicznego", false, 16, 472},
    {"CB_un", "u(n) - pobudzenie całk.", "całkowite pobudzenie ", false, 16, 493},
    {"CB_resLP", "resLP - bł. pred. krótk.", "błąd predykcji krótkookresowej", false, 16, 514},
    {"CB_resLTP", "resLTP - bł. pred. dług.", "błąd predykcji długookresowej", false, 16, 535},
    {"CB_S", "|S(f)| - widmo syg.", "widmo sygnału wejściowego", true, 186, 327},
    {"CB_Sout", "|S'(f)| - widmo syg. wyj.", "widmo sygnału wyjściowego", false, 186, 352},
    {"CB_Sp", "|Sp(f)| - widmo syg. post-proc.", "widmo sygnału wyjściowego po post-processingu",
     false, 186, 377},
    {"CB_Sw", "|Sw(f)| - widmo syg. perc.", "widmo sygnału percepcyjnego", false, 186, 403},
    {"CB_aI", "|H(f)| - char. filtru syntezy <- a2",
     "charakterystyka filtru H(z) na podstawie wsp. aI", true, 186, 428},
    {"CB_aII", "|H(f)| - char. filtru syntezy <- a4",
     "charakterystyka filtru H(z) na podstawie wsp. aII", true, 186, 454},
    {"CB_RLP", "|ResLP(f)| - widmo bł. pred. kr.", "widmo błędu predykcji krótkookresowej", false,
     186, 479},
    {"CB_RLTP", "|ResLTP(f)| - widmo bł. pred. dł.", "widmo błędu predykcji długookresowej", false,
     186, 505},
};

TEST_F(ChartWindowTest, CheckBoxesHaveTheirCaptionsHintsStatesAndPlaces) {
    for (const BoxCase& b : kBoxes) {
        const auto* box = control<QCheckBox>(b.name);
        EXPECT_EQ(str(box->text()), b.caption) << b.name;
        EXPECT_EQ(str(box->toolTip()), b.hint) << b.name;
        EXPECT_EQ(box->isChecked(), b.checked) << b.name;
        EXPECT_EQ(box->pos(), QPoint(b.left, b.top)) << b.name;
    }
}

TEST_F(ChartWindowTest, ImagesButtonsAndLabelsSitWhereTheFormPutsThem) {
    EXPECT_EQ(form->windowTitle(), "TestForm");
    EXPECT_EQ(form->objectName(), "TestForm");
    // The form's 1009 x 712, grown by the overview strip below all its controls.
    EXPECT_EQ(form->width(), 1009);
    EXPECT_EQ(form->overviewStrip()->geometry(), QRect(11, 712, 977, OverviewStrip::kHeight));
    EXPECT_EQ(form->height(), 712 + OverviewStrip::kHeight + 8);
    EXPECT_EQ(control<QLabel>("Im_time")->geometry(), QRect(11, 9, 977, 233));
    EXPECT_EQ(control<QLabel>("Im_freq")->geometry(), QRect(390, 296, 598, 329));
    EXPECT_EQ(form->timeImage().size(), QSize(kTimeImageWidth, kTimeImageHeight));
    EXPECT_EQ(form->spectrumImage().size(), QSize(kSpectrumImageWidth, kSpectrumImageHeight));

    struct Button {
        const char* name;
        const char* caption;
        QRect geometry;
        bool bold;
    };
    for (const Button& b : {Button{"BT_start", "|<", {10, 656, 37, 25}, true},
                            Button{"BT_prev", "<<", {61, 656, 53, 25}, true},
                            Button{"BT_next", ">>", {128, 656, 53, 25}, true},
                            Button{"BT_end", ">|", {195, 656, 37, 25}, true},
                            Button{"BT_refresh", "Odśwież", {128, 593, 53, 53}, false}}) {
        const auto* button = control<QPushButton>(b.name);
        EXPECT_EQ(str(button->text()), b.caption);
        EXPECT_EQ(button->geometry(), b.geometry) << b.name;
        EXPECT_EQ(button->font().bold(), b.bold) << b.name;
    }

    EXPECT_EQ(control<QRadioButton>("RB1")->text(), "jedna ramka");
    EXPECT_EQ(control<QRadioButton>("RB2")->text(), "dwie ramki");
    EXPECT_FALSE(control<QRadioButton>("RB1")->isChecked());
    EXPECT_TRUE(control<QRadioButton>("RB2")->isChecked());
    EXPECT_EQ(control<QRadioButton>("RB1")->pos(), QPoint(16, 273));
    EXPECT_EQ(control<QRadioButton>("RB2")->pos(), QPoint(105, 276));
    const auto* panel = control<QWidget>("Panel1");
    EXPECT_EQ(panel->geometry(), QRect(408, 656, 257, 25));
    EXPECT_EQ(control<QRadioButton>("RadioButton1")->parentWidget(), panel);
    EXPECT_EQ(control<QRadioButton>("RadioButton2")->parentWidget(), panel);
    EXPECT_EQ(control<QRadioButton>("RadioButton1")->text(), "Ciemne");
    EXPECT_EQ(control<QRadioButton>("RadioButton2")->text(), "Jasne");
    EXPECT_TRUE(control<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_EQ(control<QRadioButton>("RadioButton1")->pos(), QPoint(85, 5));
    EXPECT_EQ(control<QRadioButton>("RadioButton2")->pos(), QPoint(176, 5));

    EXPECT_EQ(text("Ed_scale"), "100");
    EXPECT_EQ(text("Ed_frame"), "");
    EXPECT_EQ(edit("Ed_scale")->geometry(), QRect(61, 594, 38, 21));
    EXPECT_EQ(edit("Ed_frame")->geometry(), QRect(61, 623, 52, 21));
    for (const char* name : {"EdSNR", "EdSNRseg", "EdSNRall"}) {
        EXPECT_TRUE(edit(name)->isReadOnly()) << name;
        EXPECT_EQ(edit(name)->x(), 277) << name;
        EXPECT_EQ(edit(name)->width(), 46) << name;
    }
    for (const char* name :
         {"Editk1", "Editk2", "Editk3", "Editk4", "Ed_gp1", "Ed_gp2", "Ed_gp3", "Ed_gp4"}) {
        EXPECT_TRUE(edit(name)->isReadOnly()) << name;
        EXPECT_EQ(edit(name)->y(), 246) << name;
    }
    EXPECT_EQ(edit("Editk1")->width(), 43);
    EXPECT_EQ(edit("Ed_gp1")->width(), 51);

    const int axisLefts[] = {6, 124, 245, 369, 495, 620, 738, 858, 978};
    for (int i = 0; i < 9; ++i) {
        const std::string name = numbered("L", i + 1);
        EXPECT_EQ(control<QLabel>(name.c_str())->pos(), QPoint(axisLefts[i], 247)) << name;
    }
    const int frequencyLefts[] = {389, 537, 686, 834, 983};
    for (int k = 0; k < 5; ++k) {
        const std::string name = numbered("Label_f", k);
        const auto* label = control<QLabel>(name.c_str());
        EXPECT_EQ(label->text(), QString::number(k));
        EXPECT_EQ(label->pos(), QPoint(frequencyLefts[k], 631));
    }
    form->show();
    EXPECT_EQ(control<QLabel>("Label_ms")->text(), "[ms]");
    EXPECT_EQ(control<QLabel>("Label_kHz")->text(), "[kHz]");
    EXPECT_FALSE(control<QLabel>("Label_ms")->isVisible());
    EXPECT_FALSE(control<QLabel>("Label_kHz")->isVisible());
    EXPECT_TRUE(control<QLabel>("L1")->isVisible());
    form->hide();
}

// ---------------------------------------------------------------------------
// Setup

TEST_F(ChartWindowTest, SetupShowsFrameOneWithTheCaptionOfTheMode) {
    test::TempDir dir;
    const auto file = dir / "b.wav";
    std::filesystem::copy_file(test::samplePath(), file);
    form->openForFile(QString::fromStdString(file.string()), CoderMode::rate4_75);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(str(form->windowTitle()), "ZORVEL - tryb: 4.75 [kb/s] - b.wav");
    ASSERT_NE(form->coder(), nullptr);
    EXPECT_EQ(form->coder()->frameCount(), 1);
    EXPECT_EQ(form->coder()->mode(), CoderMode::rate4_75);
    EXPECT_TRUE(form->coder()->settings().adaptiveCodebook);
    EXPECT_EQ(text("Ed_frame"), "1");
    EXPECT_EQ(form->timeGain(), 233.0 / 65536.0);
    EXPECT_EQ(form->spectrumGain(), 1.0);
    EXPECT_EQ(control<QLabel>("L5")->text(), "0");  // the current frame starts at 0 ms
    EXPECT_TRUE(log->empty());
    form->openForFile(QString::fromStdString(file.string()), CoderMode::rate12_2,
                      {.adaptiveCodebook = false});
    EXPECT_FALSE(form->coder()->settings().adaptiveCodebook);
    form->hide();
}

TEST_F(ChartWindowTest, ResponseOfWindowIIsOfferedOnlyInMode1) {
    auto* aI = control<QCheckBox>("CB_aI");
    auto* aII = control<QCheckBox>("CB_aII");
    openSample(CoderMode::rate12_2);
    EXPECT_TRUE(aI->isChecked() && aI->isEnabled());
    aII->setChecked(false);
    openSample(CoderMode::rate7_40);
    EXPECT_FALSE(aI->isChecked());
    EXPECT_FALSE(aI->isEnabled());
    EXPECT_FALSE(aII->isChecked()) << "setup leaves CB_aII alone";
    openSample(CoderMode::rate12_2);
    EXPECT_TRUE(aI->isChecked() && aI->isEnabled());
    form->hide();
}

TEST_F(ChartWindowTest, CaptionTable) {
    const char* captions[] = {"ZORVEL - tryb: 12.2 [kb/s]", "ZORVEL - tryb: 10.2 [kb/s]",
                              "ZORVEL - tryb: 7.95 [kb/s]", "ZORVEL - tryb: 7.40 [kb/s]",
                              "ZORVEL - tryb: 6.70 [kb/s]", "ZORVEL - tryb: 5.90 [kb/s]",
                              "ZORVEL - tryb: 5.15 [kb/s]", "ZORVEL - tryb: 4.75 [kb/s]"};
    for (int k = 0; k < kModeCount; ++k)
        EXPECT_EQ(str(modeCaption(kAllCoderModes[k])), captions[k]);
    EXPECT_EQ(windowCaption(CoderMode::rate5_90, "/x/y/mowa.wav"),
              "ZORVEL - tryb: 5.90 [kb/s] - mowa.wav");
}

TEST_F(ChartWindowTest, ClosingEmitsClosedHidesAndKeepsTheCoder) {
    openSample();
    QSignalSpy spy(form.get(), &ChartWindow::closed);
    form->close();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(form->isVisible());
    ASSERT_NE(form->coder(), nullptr);
    EXPECT_EQ(form->coder()->frameCount(), 1);
}

// The window's pictures are exactly the plot renderers' on the coder's records.
TEST_F(ChartWindowTest, ImagesAreThoseOfThePlotRenderers) {
    openSample();
    form->findChild<QLineEdit*>("Ed_frame")->setText("40");
    click("BT_refresh");
    click("CB7");
    click("CB_v");
    click("CB_Sw");
    const PlotOptions options = form->plotOptions();
    EXPECT_TRUE(options.traces.algebraic && options.traces.adaptive && options.spectra.weighted);
    QImage time = newChartImage(kTimeImageWidth, kTimeImageHeight);
    QImage spectrum = newChartImage(kSpectrumImageWidth, kSpectrumImageHeight);
    renderTimeImage(time, form->coder()->previousFrame(), form->coder()->currentFrame(), options);
    renderSpectrumImage(spectrum, form->coder()->currentFrame(), options);
    EXPECT_EQ(form->timeImage(), time);
    EXPECT_EQ(form->spectrumImage(), spectrum);
    const auto* shown = control<QLabel>("Im_time");
    EXPECT_EQ(shown->pixmap().toImage().convertToFormat(QImage::Format_RGB32), time);
    form->hide();
}

// ---------------------------------------------------------------------------
// Navigation

TEST_F(ChartWindowTest, PreviousOnFrameOneShowsTheClearedFrameZero) {
    openSample();
    const QString frameOne = readouts();
    const QImage frameOneImage = form->timeImage();
    click("BT_prev");
    EXPECT_EQ(*log, (Log{"busy", "restore"}));
    EXPECT_EQ(form->coder()->frameCount(), 0);
    EXPECT_EQ(str(readouts()), "0|k1=0|k2=0|k3=0|k4=0|gp1=0|gp2=0|gp3=0|gp4=0|0|0|0|");
    // Every trace flat on the zero line.
    const QImage& image = form->timeImage();
    const QRgb speech = form->chartColours().speech;
    int onZeroLine = 0, elsewhere = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == speech) (y == 116 ? onZeroLine : elsewhere) += 1;
        }
    }
    EXPECT_EQ(onZeroLine, 973);
    EXPECT_EQ(elsewhere, 0);
    click("BT_next");
    EXPECT_EQ(readouts(), frameOne);
    EXPECT_EQ(form->timeImage(), frameOneImage);
    EXPECT_EQ(log->size(), 2u) << "\">>\" leaves the cursor alone";
    form->hide();
}

TEST_F(ChartWindowTest, GoingBackEqualsAFreshWindowSteppedForward) {
    openSample();
    edit("Ed_frame")->setText("5");
    click("BT_refresh");
    EXPECT_EQ(text("Ed_frame"), "5");
    edit("Ed_frame")->setText("3");
    click("BT_refresh");
    EXPECT_EQ(*log, (Log{"busy", "restore", "busy", "restore"}));

    std::shared_ptr<Log> freshLog;
    auto fresh = makeForm(freshLog);
    fresh->openForFile(sample(), CoderMode::rate12_2);
    click("BT_next", fresh.get());
    click("BT_next", fresh.get());
    EXPECT_EQ(text("Ed_frame", fresh.get()), "3");
    EXPECT_EQ(readouts(), readouts(fresh.get()));
    EXPECT_EQ(form->timeImage(), fresh->timeImage());
    EXPECT_EQ(form->spectrumImage(), fresh->spectrumImage());
    fresh->hide();
    form->hide();
}

TEST_F(ChartWindowTest, EndStopsOnTheLastCompleteFrame) {
    test::TempDir dir;
    const int k = 6;
    std::mt19937 random(test::testSeed());
    std::uniform_int_distribution<int> sample(-12000, 12000);
    std::vector<std::int16_t> samples(k * kFrameSamples + 100);  // and a partial frame
    for (auto& s : samples) s = static_cast<std::int16_t>(sample(random));
    test::writeSamples(dir / "k.wav", samples);
    form->openForFile(QString::fromStdString((dir / "k.wav").string()), CoderMode::rate10_2);
    click("BT_end");
    EXPECT_EQ(text("Ed_frame"), QString::number(k));
    EXPECT_EQ(*log, (Log{"busy", "restore"}));
    const QString last = readouts();
    log->clear();
    click("BT_next");  // nothing further to read: the same frame, redrawn
    EXPECT_EQ(readouts(), last);
    EXPECT_TRUE(log->empty()) << "\">>\" leaves the cursor alone";
    edit("Ed_frame")->setText("1000");
    click("BT_refresh");
    EXPECT_EQ(text("Ed_frame"), QString::number(k));
    EXPECT_EQ(*log, (Log{"busy", "restore"}));
    log->clear();
    click("BT_start");
    EXPECT_EQ(text("Ed_frame"), "1");
    EXPECT_TRUE(log->empty()) << "\"|<\" leaves the cursor alone";
    form->hide();
}

TEST_F(ChartWindowTest, FrameTextThatIsNoIntegerChangesNothing) {
    openSample();
    click("BT_next");
    const QString before = readouts();
    const QImage image = form->timeImage();
    for (const char* bad : {"abc", "1.5", "", "3x", "99999999999"}) {
        log->clear();
        edit("Ed_frame")->setText(bad);
        click("BT_refresh");
        EXPECT_EQ(*log, (Log{"info: " + kFrameMessage})) << bad;
        EXPECT_EQ(form->coder()->frameCount(), 2) << bad;
        EXPECT_EQ(form->timeImage(), image) << bad;
        EXPECT_EQ(readouts().section('|', 1), before.section('|', 1)) << bad;
    }
    edit("Ed_frame")->setText(" -3 ");
    click("BT_refresh");
    EXPECT_EQ(form->coder()->frameCount(), 0);
    EXPECT_EQ(text("Ed_frame"), "0");
    form->hide();
}

TEST_F(ChartWindowTest, ScaleThatIsNoNumberOrZeroStopsTheRedrawBeforeItClears) {
    openSample();
    const QString frameOne = readouts();
    const QImage time = form->timeImage();
    const QImage spectrum = form->spectrumImage();
    edit("Ed_scale")->setText("abc");
    click("BT_next");
    EXPECT_EQ(*log, (Log{"info: " + kScaleMessage}));
    EXPECT_EQ(form->coder()->frameCount(), 2);
    EXPECT_EQ(readouts(), frameOne);
    EXPECT_EQ(form->timeImage(), time);
    EXPECT_EQ(form->spectrumImage(), spectrum);
    edit("Ed_scale")->setText("0");
    click("CB1");
    EXPECT_EQ(log->back(), "info: " + kScaleMessage);
    EXPECT_EQ(form->timeImage(), time);
    edit("Ed_scale")->setText("100");
    click("CB1");
    EXPECT_EQ(text("Ed_frame"), "2");
    form->hide();
}

TEST_F(ChartWindowTest, ScaleChangesTheTimeGainAndNotTheSpectra) {
    openSample();
    edit("Ed_frame")->setText("60");
    click("BT_refresh");
    const QImage spectrum = form->spectrumImage();
    const QImage time = form->timeImage();
    edit("Ed_scale")->setText("200");
    click("BT_start");
    click("BT_next");
    edit("Ed_frame")->setText("60");
    click("BT_refresh");
    EXPECT_EQ(form->timeGain(), 2 * 233.0 / 65536.0);
    EXPECT_EQ(form->spectrumImage(), spectrum);
    EXPECT_NE(form->timeImage(), time);
    edit("Ed_scale")->setText("-100");
    click("CB6");
    EXPECT_EQ(form->timeGain(), -233.0 / 65536.0);
    form->hide();
}

TEST_F(ChartWindowTest, SubframeReadoutsFollowTheView) {
    openSample();
    const char* lags[] = {"Editk1", "Editk2", "Editk3", "Editk4"};
    const char* gains[] = {"Ed_gp1", "Ed_gp2", "Ed_gp3", "Ed_gp4"};
    const int two[] = {509, 631, 753, 875};
    const int one[] = {31, 275, 519, 763};
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(edit(lags[a])->x(), two[a]);
        EXPECT_EQ(edit(gains[a])->x(), two[a] + 43 + 5);
    }
    click("RB1");
    EXPECT_FALSE(control<QRadioButton>("RB2")->isChecked());
    EXPECT_FALSE(form->plotOptions().twoFrames);
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(edit(lags[a])->x(), one[a]);
        EXPECT_EQ(edit(gains[a])->x(), one[a] + 43 + 5);
    }
    EXPECT_EQ(control<QLabel>("L5")->text(), "10");
    EXPECT_EQ(control<QLabel>("L2")->text(), "");
    click("RB2");
    EXPECT_FALSE(control<QRadioButton>("RB1")->isChecked());
    EXPECT_EQ(edit("Editk1")->x(), 509);
    EXPECT_EQ(control<QLabel>("L5")->text(), "0");  // the current frame starts at 0 ms
    EXPECT_EQ(subframeReadoutLefts(true, 11, 977), (std::array<int, 4>{509, 631, 753, 875}));
    EXPECT_EQ(subframeReadoutLefts(false, 11, 977), (std::array<int, 4>{31, 275, 519, 763}));
    form->hide();
}

TEST_F(ChartWindowTest, ReadoutsShowTheCodersValues) {
    openSample();
    edit("Ed_frame")->setText("70");
    click("BT_refresh");
    const SpeechCoder& coder = *form->coder();
    const FrameRecord& current = coder.currentFrame();
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(text(numbered("Editk", a + 1).c_str()),
                  QString("k%1=%2").arg(a + 1).arg(current.pitchLag[a]));
        EXPECT_EQ(text(numbered("Ed_gp", a + 1).c_str()),
                  QString("gp%1=").arg(a + 1) + formatGeneral(current.pitchGain[a]));
    }
    // A gain wider than its box shows its prefix.
    EXPECT_EQ(edit("Ed_gp1")->cursorPosition(), 0);
    EXPECT_EQ(text("EdSNR"), formatGeneral(roundToTwoDecimals(coder.frameSnr())));
    EXPECT_EQ(text("EdSNRseg"), formatGeneral(roundToTwoDecimals(coder.segmentalSnr())));
    EXPECT_EQ(text("EdSNRall"), formatGeneral(roundToTwoDecimals(coder.overallSnr())));
    form->hide();
}

TEST_F(ChartWindowTest, EveryCheckBoxAndRadioButtonRedraws) {
    openSample();
    edit("Ed_scale")->setText("x");  // a redraw now shows the scale message
    int expected = 0;
    for (const BoxCase& b : kBoxes) {
        if (!control<QCheckBox>(b.name)->isEnabled()) continue;
        click(b.name);
        ++expected;
        ASSERT_EQ(log->size(), static_cast<std::size_t>(expected)) << b.name;
        EXPECT_EQ(log->back(), "info: " + kScaleMessage) << b.name;
    }
    for (const char* name : {"RB1", "RB2", "RadioButton2", "RadioButton1"}) {
        click(name);
        ++expected;
        ASSERT_EQ(log->size(), static_cast<std::size_t>(expected)) << name;
    }
    form->hide();
}

TEST_F(ChartWindowTest, ColourSchemesAndSetupKeepsTheChosenOne) {
    openSample();
    EXPECT_EQ(form->timeImage().pixel(300, 30), darkColours().background);
    click("RadioButton2");
    EXPECT_FALSE(control<QRadioButton>("RadioButton1")->isChecked());
    EXPECT_EQ(form->chartColours().background, lightColours().background);
    EXPECT_EQ(form->timeImage().pixel(300, 30), lightColours().background);
    EXPECT_EQ(form->spectrumImage().pixel(298, 150), lightColours().grid);
    openSample(CoderMode::rate10_2);
    EXPECT_TRUE(control<QRadioButton>("RadioButton2")->isChecked());
    EXPECT_EQ(form->chartColours().speech, lightColours().speech);
    EXPECT_EQ(form->timeImage().pixel(300, 30), lightColours().background);
    click("RadioButton1");
    EXPECT_EQ(form->timeImage().pixel(300, 30), darkColours().background);
    EXPECT_EQ(form->spectrumImage().pixel(298, 150), darkColours().grid);
    form->hide();
}

// In mode 1 the two LP analyses differ, so the window-I response shows
// under the window-II one.
TEST_F(ChartWindowTest, Mode1ShowsTwoDifferentResponses) {
    openSample(CoderMode::rate12_2);
    edit("Ed_frame")->setText("80");
    click("BT_refresh");
    const QImage both = form->spectrumImage();
    click("CB_aI");
    EXPECT_NE(form->spectrumImage(), both);
    form->hide();
}

TEST(BusyCursor, IsRestoredWhenTheWorkThrows) {
    auto log = std::make_shared<Log>();
    RecordingDialogs dialogs(log);
    try {
        BusyCursor busy(dialogs);
        throw std::runtime_error("coder failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(*log, (Log{"busy", "restore"}));
}

// ---------------------------------------------------------------------------
// Readout formats

TEST(ReadoutFormats, SnrsRoundToTwoDecimalsTiesToEven) {
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(12.3456)), "12.35");
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(7.0)), "7");
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(-3.14159)), "-3.14");
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(0.001)), "0");
    // x / 0.01 is exactly k + 0.5 for these: the even neighbour wins.
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(12.345)), "12.34");
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(0.125)), "0.12");
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(0.375)), "0.38");
    EXPECT_EQ(formatGeneral(roundToTwoDecimals(0.025)), "0.02");
}

TEST(ReadoutFormats, GeneralNumberFormat) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {1.0, "1"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {1234.5678, "1234.5678"},
        {0.00001, "0.00001"},
        {0.000012345, "0.000012345"},
        {0.000001, "1E-6"},
        {1.5e-7, "1.5E-7"},
        {-2.25e-9, "-2.25E-9"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.0, "999999999999999"},
        {999999999999999.9, "1E15"},
        {1e15, "1E15"},
        {1.25e20, "1.25E20"},
        {1e100, "1E100"},
        {100.0, "100"},
        {1e14, "100000000000000"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(str(formatGeneral(value, QLocale::c())), expected) << value;
    }
}

TEST(ReadoutFormats, TheLocaleGivesTheDecimalSeparator) {
    const QLocale polish(QLocale::Polish, QLocale::Poland);
    EXPECT_EQ(formatGeneral(12.35, polish), "12,35");
    EXPECT_EQ(formatGeneral(1.5e-7, polish), "1,5E-7");
    EXPECT_EQ(parseNumber("50,5", polish), 50.5);
    EXPECT_EQ(parseNumber("50.5", QLocale::c()), 50.5);
    EXPECT_FALSE(parseNumber("50,5", QLocale::c()));
    EXPECT_FALSE(parseNumber("1,000", QLocale::c()));
}

TEST(ReadoutFormats, EditBoxParsing) {
    EXPECT_EQ(parseNumber(" 100 ", QLocale::c()), 100.0);
    EXPECT_EQ(parseNumber("-50", QLocale::c()), -50.0);
    EXPECT_EQ(parseNumber("1e2", QLocale::c()), 100.0);
    EXPECT_FALSE(parseNumber("", QLocale::c()));
    EXPECT_FALSE(parseNumber("abc", QLocale::c()));
    EXPECT_FALSE(parseNumber("inf", QLocale::c()));
    EXPECT_FALSE(parseNumber("nan", QLocale::c()));
    EXPECT_EQ(parseInteger("5"), 5);
    EXPECT_EQ(parseInteger(" 12 "), 12);
    EXPECT_EQ(parseInteger("-3"), -3);
    EXPECT_FALSE(parseInteger("1.5"));
    EXPECT_FALSE(parseInteger(""));
    EXPECT_FALSE(parseInteger("99999999999"));
    EXPECT_EQ(formatInteger(-42), "-42");
}

}  // namespace
}  // namespace zorvel
