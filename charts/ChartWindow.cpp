#include "charts/ChartWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColor>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QShortcut>
#include <filesystem>

#include "charts/ChartContextMenus.h"
#include "charts/ChartNavigation.h"
#include "charts/ChartWindowHints.h"
#include "charts/FormFont.h"
#include "charts/OverviewStrip.h"
#include "charts/PointerReadout.h"
#include "charts/ReadoutBox.h"
#include "charts/ScreenFit.h"
#include "coder/FrameDistances.h"
#include "coder/FramePass.h"
#include "coder/SpeechCoder.h"
#include "plots/MeasureTexts.h"
#include "plots/Readouts.h"
#include "plots/TraceNames.h"
#include "ui_ChartWindow.h"

namespace zorvel {

namespace {

const QString kScaleNotANumber = QStringLiteral("Skala musi być liczbą różną od zera.");
const QString kCloseQuestion = QStringLiteral("Zamknąć okno wykresów i wrócić do okna głównego?");
const QString kFrameNotAnInteger = QStringLiteral("Numer ramki musi być liczbą całkowitą.");

constexpr int kFormLeft = 8;
constexpr int kFormTop = 11;
constexpr int kReadoutGap = 5;  // between a subframe's k and gp readouts
// A fine lag ("k4=143⅚") is wider than the form's k readout holds; while the
// lag is fractional the k readouts take 7 pixels more: 2 from the gp readout
// beside, 2 from the gap between them and 3 of the free space before the next
// subframe's caption, which the pair still ends before in the two-frame view.
constexpr int kFineLagExtraWidth = 7;
constexpr int kFineLagGainNarrower = 2;
constexpr int kFineLagReadoutGap = 3;
// Free space of the form right of Panel1, below the frequency captions.
constexpr QRect kMeasureReadoutPlace{672, 662, 330, 28};
// The free line across the form between the navigation buttons and the
// overview strip (which starts at the form's height, 712); it ends at 708,
// the height a laptop's screen leaves the form when the strip goes beside it.
constexpr QRect kSettingsLinePlace{10, 692, 992, 16};
// The error traces' names stand this far inside the time image's top right,
// and the quantised responses' inside the spectrum image's.
constexpr int kErrorLegendMargin = 4;
// Free space of the form above the spectrum image, as wide as it, between
// the subframe readouts and the image.
constexpr QRect kQuantisationReadoutPlace{390, 270, 612, 22};
const QString kQuantisationReadoutGap = QStringLiteral("     ");

}  // namespace

ChartWindow::ChartWindow(QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::ChartWindow>()),
      dialogs_(std::make_unique<QtChartDialogs>()) {
    ui_->setupUi(this);
    setFont(formFont(font(), kFormFontPixels));
    move(kFormLeft, kFormTop);
    setChartWindowHints(*this);
    for (QLineEdit* readout :
         {ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4, ui_->Ed_gp1, ui_->Ed_gp2, ui_->Ed_gp3,
          ui_->Ed_gp4, ui_->EdSNR, ui_->EdSNRseg, ui_->EdSNRall}) {
        makeReadoutBox(*readout);
    }
    // Escape has one meaning at a time: while a jump waits for the background
    // pass it cancels that jump, and only that; with nothing waiting it leaves
    // the window, back to the main window, once the user says so (a second
    // press after a cancelled jump asks instead of closing).
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, [this] {
        if (navigation_->droppingInput()) return;  // given during a step
        if (navigation_->waitingFor()) {
            navigation_->cancelWaiting();
        } else if (dialogs_->confirm(this, kCloseQuestion)) {
            close();
        } else {
            activateWindow();  // the keys back once the box is gone
        }
    });
    lagReadoutWidth_ = ui_->Editk1->width();
    gainReadoutWidth_ = ui_->Ed_gp1->width();
    timeImage_ = newChartImage(ui_->Im_time->width(), ui_->Im_time->height());
    spectrumImage_ = newChartImage(ui_->Im_freq->width(), ui_->Im_freq->height());
    clearImages();
    connectHandlers();
    navigation_ =
        std::make_unique<ChartNavigation>(*this, *ui_->Im_time, *ui_->Im_freq, coder_, dialogs_);
    contextMenus_ = std::make_unique<ChartContextMenus>(
        *this, *ui_->Im_time, *ui_->Im_freq, navigation_->strip(),
        [this](const QString& text) { dialogs_->information(this, text); });
    new PointerReadout(*this, *ui_->Im_time, *ui_->Im_freq, navigation_->strip());
    measureReadout_ = new QLabel(this);
    measureReadout_->setObjectName(QStringLiteral("Label_measures"));
    measureReadout_->setGeometry(kMeasureReadoutPlace);
    measureReadout_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    measureReadout_->setToolTip(
        QStringLiteral("Miary widmowe bieżącej ramki, s(n) wobec s'(n): odległości logarytmiczne "
                       "obwiedni LP i widm FFT, odległość cepstralna, LLR, Itakura-Saito i "
                       "ważone częstotliwościowo SNR"));
    settingsLine_ = new QLabel(this);
    settingsLine_->setObjectName(QStringLiteral("Label_settings"));
    settingsLine_->setGeometry(kSettingsLinePlace);
    settingsLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    settingsLine_->hide();
    errorLegend_ = new QLabel(ui_->Im_time);
    errorLegend_->setObjectName(QStringLiteral("Label_errors"));
    errorLegend_->setTextFormat(Qt::RichText);
    errorLegend_->setAttribute(Qt::WA_TransparentForMouseEvents);
    errorLegend_->hide();
    quantisedLegend_ = new QLabel(ui_->Im_freq);
    quantisedLegend_->setObjectName(QStringLiteral("Label_quantisedResponses"));
    quantisedLegend_->setTextFormat(Qt::RichText);
    quantisedLegend_->setAttribute(Qt::WA_TransparentForMouseEvents);
    quantisedLegend_->hide();
    quantisationReadout_ = new QLabel(this);
    quantisationReadout_->setObjectName(QStringLiteral("Label_quantisation"));
    quantisationReadout_->setGeometry(kQuantisationReadoutPlace);
    quantisationReadout_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    quantisationReadout_->setToolTip(
        QStringLiteral("Kwantyzacja bieżącej ramki: zniekształcenie widmowe (SD) kwantowanych "
                       "współczynników LP wobec analizowanych, 0-3000 Hz, i bity ramki według "
                       "parametrów"));
    quantisationReadout_->hide();
    // The controls sit where the form puts them, the overview below them: the
    // window keeps its size (unless the screen is too low for it).
    setFixedSize(size());
    screenFit_ = std::make_unique<ScreenFit>(*this, navigation_->strip());
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::showEvent(QShowEvent* event) {
    screenFit_->fit();
    QWidget::showEvent(event);
}

void ChartWindow::connectHandlers() {
    using Handler = void (ChartWindow::*)();
    const std::pair<QAbstractButton*, Handler> buttons[] = {
        {ui_->BT_start, &ChartWindow::BT_startClick},
        {ui_->BT_prev, &ChartWindow::BT_prevClick},
        {ui_->BT_next, &ChartWindow::BT_nextClick},
        {ui_->BT_end, &ChartWindow::BT_endClick},
        {ui_->BT_refresh, &ChartWindow::BT_refreshClick},
        {ui_->RB1, &ChartWindow::RB1Click},
        {ui_->RB2, &ChartWindow::RB2Click},
        {ui_->RadioButton1, &ChartWindow::RadioButton1Click},
        {ui_->RadioButton2, &ChartWindow::RadioButton2Click},
        {ui_->CB1, &ChartWindow::CB1Click},
        {ui_->CB2, &ChartWindow::CB2Click},
        {ui_->CB4, &ChartWindow::CB4Click},
        {ui_->CB5, &ChartWindow::CB5Click},
        {ui_->CB6, &ChartWindow::CB6Click},
        {ui_->CB7, &ChartWindow::CB7Click},
        {ui_->CB_resLP, &ChartWindow::CB_resLPClick},
        {ui_->CB_resLTP, &ChartWindow::CB_resLTPClick},
        {ui_->CB_spn, &ChartWindow::CB_spnClick},
        {ui_->CB_v, &ChartWindow::CB_vClick},
        {ui_->CB_un, &ChartWindow::CB_unClick},
        {ui_->CB_S, &ChartWindow::CB_SClick},
        {ui_->CB_Sw, &ChartWindow::CB_SwClick},
        {ui_->CB_Sout, &ChartWindow::CB_SwClick},
        {ui_->CB_Sp, &ChartWindow::CB_SwClick},
        {ui_->CB_aI, &ChartWindow::CB_aIClick},
        {ui_->CB_aII, &ChartWindow::CB_aIIClick},
        {ui_->CB_RLP, &ChartWindow::CB_RLPClick},
        {ui_->CB_RLTP, &ChartWindow::CB_RLTPClick},
    };
    for (const auto& [button, handler] : buttons) {
        connect(button, &QAbstractButton::clicked, this, handler);
    }
}

void ChartWindow::setDialogs(std::unique_ptr<ChartDialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

// Setup ----------------------------------------------------------------------

void ChartWindow::openForFile(const QString& fileName, CoderMode mode,
                              const CoderSettings& settings) {
    // The coder of an earlier setup goes once the new one is built.
    coder_ = std::make_unique<SpeechCoder>(
        std::filesystem::path(QFile::encodeName(fileName).toStdString()), mode, settings);
    fileName_ = fileName;
    navigation_->startPass(fileName, mode, settings);
    coder_->setCheckpoints(navigation_->pass()->checkpoints());
    contextMenus_->offerLpDistortion(settings.quantisation);
    show();
    // The window takes the keys from the moment it opens, also where no window
    // manager gives it the focus.
    raise();
    activateWindow();
    setWindowTitle(windowCaption(mode, fileName));
    showSettings();
    const bool twoAnalyses = rulesOf(mode).twoLpAnalyses;
    ui_->CB_aI->setChecked(twoAnalyses);
    ui_->CB_aI->setEnabled(twoAnalyses);
    clearImages();
    spectrumGain_ = 1.0;
    timeGain_ = 1.0;
    // Every drawing starts with a pen of width 1 (see Canvas).
    setColourScheme(checkedColourScheme());
    coder_->goToFrame(1);
    navigation_->strip().setCurrentFrame(coder_->frameCount());
    redrawCharts();
}

void ChartWindow::showSettings() {
    const CoderSettings settings = coder_->settings();
    QStringList parts;
    if (const QString changed = settingsIndication(settings); !changed.isEmpty()) parts << changed;
    if (const QString note = highPassNote(settings); !note.isEmpty()) parts << note;
    // A line longer than the form ends in "…"; the tooltip has it whole.
    const QString line = parts.join(QStringLiteral("   |   "));
    settingsLine_->setText(
        settingsLine_->fontMetrics().elidedText(line, Qt::ElideRight, settingsLine_->width()));
    settingsLine_->setToolTip(line);
    settingsLine_->setVisible(!parts.isEmpty());
}

void ChartWindow::setColourScheme(ColourScheme scheme) {
    chartColours_ = schemeColours(scheme);
    if (navigation_) navigation_->strip().setColours(chartColours_);
}

ColourScheme ChartWindow::checkedColourScheme() const {
    return ui_->RadioButton2->isChecked() ? ColourScheme::light : ColourScheme::dark;
}

void ChartWindow::closeEvent(QCloseEvent* event) {
    // The pass stops with the window and goes on if the same file is opened again.
    navigation_->stopPass();
    FormClose();
    QWidget::closeEvent(event);  // hidden, not destroyed; the coder stays
}

void ChartWindow::FormClose() { emit closed(); }

// Drawing and readouts -------------------------------------------------------

bool ChartWindow::twoFrames() const { return !ui_->RB1->isChecked(); }

PlotOptions ChartWindow::plotOptions() const {
    PlotOptions options;
    options.traces = {
        .speech = ui_->CB1->isChecked(),
        .synthesized = ui_->CB6->isChecked(),
        .postProcessed = ui_->CB_spn->isChecked(),
        .weighted = ui_->CB2->isChecked(),
        .weightedSynthesized = ui_->CB4->isChecked(),
        .adaptive = ui_->CB_v->isChecked(),
        .filteredAdaptive = ui_->CB5->isChecked(),
        .algebraic = ui_->CB7->isChecked(),
        .excitation = ui_->CB_un->isChecked(),
        .lpResidual = ui_->CB_resLP->isChecked(),
        .ltpResidual = ui_->CB_resLTP->isChecked(),
    };
    options.spectra = {
        .speech = ui_->CB_S->isChecked(),
        .synthesized = ui_->CB_Sout->isChecked(),
        .postProcessed = ui_->CB_Sp->isChecked(),
        .weighted = ui_->CB_Sw->isChecked(),
        .responseI = ui_->CB_aI->isChecked(),
        .responseII = ui_->CB_aII->isChecked(),
        .lpResidual = ui_->CB_RLP->isChecked(),
        .ltpResidual = ui_->CB_RLTP->isChecked(),
    };
    if (contextMenus_) {
        const ErrorShown& errors = contextMenus_->errorShown();
        options.traces.error = errors.timeError;
        options.traces.postProcessedError = errors.timePostProcessedError;
        options.spectra.error = errors.spectrumError;
        options.spectra.postProcessedError = errors.spectrumPostProcessedError;
    }
    options.twoFrames = twoFrames();
    options.timeGain = timeGain_;
    options.spectrumGain = spectrumGain_;
    options.colours = chartColours_;
    return options;
}

void ChartWindow::redrawCharts() {
    if (!coder_) return;
    const std::optional<double> scale = parseNumber(ui_->Ed_scale->text());
    if (!scale || *scale == 0.0) {
        dialogs_->information(this, kScaleNotANumber);
        return;
    }
    timeGain_ = timeGainForScale(*scale, timeImage_.height());
    const bool two = twoFrames();
    const PlotOptions options = plotOptions();
    renderTimeImage(timeImage_, coder_->previousFrame(), coder_->currentFrame(), options);
    setAxisCaptions(two);
    placeSubframeReadouts(two);
    renderSpectrumImage(spectrumImage_, coder_->currentFrame(), options);
    updateErrorLegend(options);
    updateQuantisedLegend(options);
    showImages();
    showReadouts();
}

void ChartWindow::updateErrorLegend(const PlotOptions& options) {
    QStringList lines;
    for (const NamedErrorTrace& trace : kNamedErrorTraces) {
        if (!(options.traces.*trace.shown)) continue;
        lines << QStringLiteral("<span style=\"color:%1\">%2</span>")
                     .arg(QColor(options.colours.*trace.colour).name(),
                          QString::fromUtf8(trace.name).toHtmlEscaped());
    }
    errorLegend_->setText(lines.join(QStringLiteral("<br>")));
    errorLegend_->setVisible(!lines.isEmpty());
    errorLegend_->adjustSize();
    errorLegend_->move(ui_->Im_time->width() - errorLegend_->width() - kErrorLegendMargin,
                       kErrorLegendMargin);
}

void ChartWindow::updateQuantisedLegend(const PlotOptions& options) {
    const FrameRecord& current = coder_->currentFrame();
    QStringList lines;
    for (const NamedQuantisedResponse& response : kNamedQuantisedResponses) {
        if (!current.lpQuantised || !(options.spectra.*response.shown)) continue;
        lines << QStringLiteral("<span style=\"color:%1\">%2</span>")
                     .arg(QColor(options.colours.*response.colour).name(),
                          QString::fromUtf8(response.name).toHtmlEscaped());
    }
    quantisedLegend_->setText(lines.join(QStringLiteral("<br>")));
    quantisedLegend_->setVisible(!lines.isEmpty());
    quantisedLegend_->adjustSize();
    quantisedLegend_->move(ui_->Im_freq->width() - quantisedLegend_->width() - kErrorLegendMargin,
                           kErrorLegendMargin);
}

void ChartWindow::clearImages() {
    {
        Canvas canvas(timeImage_);
        clearImage(canvas, chartColours_);
    }
    {
        Canvas canvas(spectrumImage_);
        clearImage(canvas, chartColours_);
    }
    showImages();
}

void ChartWindow::showImages() {
    ui_->Im_time->setPixmap(QPixmap::fromImage(timeImage_));
    ui_->Im_freq->setPixmap(QPixmap::fromImage(spectrumImage_));
}

void ChartWindow::setAxisCaptions(bool twoFrames) {
    QLabel* const labels[] = {ui_->L1, ui_->L2, ui_->L3, ui_->L4, ui_->L5,
                              ui_->L6, ui_->L7, ui_->L8, ui_->L9};
    const auto captions = timeAxisCaptions(twoFrames);
    for (std::size_t i = 0; i < captions.size(); ++i) labels[i]->setText(captions[i]);
}

void ChartWindow::placeSubframeReadouts(bool twoFrames) {
    QLineEdit* const lags[] = {ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4};
    QLineEdit* const gains[] = {ui_->Ed_gp1, ui_->Ed_gp2, ui_->Ed_gp3, ui_->Ed_gp4};
    const auto lefts = subframeReadoutLefts(twoFrames, ui_->Im_time->x(), ui_->Im_time->width());
    const bool fine = coder_ && coder_->settings().pitchResolution != PitchResolution::whole;
    const int lagWidth = lagReadoutWidth_ + (fine ? kFineLagExtraWidth : 0);
    const int gainWidth = gainReadoutWidth_ - (fine ? kFineLagGainNarrower : 0);
    const int gap = fine ? kFineLagReadoutGap : kReadoutGap;
    for (int a = 0; a < kSubframes; ++a) {
        lags[a]->setGeometry(lefts[a], lags[a]->y(), lagWidth, lags[a]->height());
        gains[a]->setGeometry(lefts[a] + lagWidth + gap, gains[a]->y(), gainWidth,
                              gains[a]->height());
    }
}

void ChartWindow::showReadouts() {
    QLineEdit* const lags[] = {ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4};
    QLineEdit* const gains[] = {ui_->Ed_gp1, ui_->Ed_gp2, ui_->Ed_gp3, ui_->Ed_gp4};
    const FrameRecord& current = coder_->currentFrame();
    ui_->Ed_frame->setText(formatInteger(coder_->frameCount()));
    const PitchResolution resolution = coder_->settings().pitchResolution;
    for (int a = 0; a < kSubframes; ++a) {
        lags[a]->setText(QStringLiteral("k%1=").arg(a + 1) +
                         pitchLagText(current.pitchLag[a], current.pitchLagFine[a], resolution));
        gains[a]->setText(QStringLiteral("gp%1=").arg(a + 1) + formatGeneral(current.pitchGain[a]));
    }
    ui_->EdSNR->setText(formatGeneral(roundToTwoDecimals(coder_->frameSnr())));
    ui_->EdSNRseg->setText(formatGeneral(roundToTwoDecimals(coder_->segmentalSnr())));
    ui_->EdSNRall->setText(formatGeneral(roundToTwoDecimals(coder_->overallSnr())));
    measureReadout_->setText(measureReadoutText(measureRecord(current, SaveOption::synthesized)));
    quantisationReadout_->setText(lpDistortionText(current, rulesOf(coder_->mode()).twoLpAnalyses) +
                                  kQuantisationReadoutGap + frameBitsText(current));
    quantisationReadout_->setVisible(current.lpQuantised);
    // A text longer than its box shows its beginning, as the prefix says what it is.
    for (QLineEdit* readout :
         {ui_->Ed_frame, ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4, ui_->Ed_gp1,
          ui_->Ed_gp2, ui_->Ed_gp3, ui_->Ed_gp4, ui_->EdSNR, ui_->EdSNRseg, ui_->EdSNRall}) {
        readout->setCursorPosition(0);
    }
}

// Navigation -----------------------------------------------------------------

const FramePass* ChartWindow::framePass() const { return navigation_->pass(); }
OverviewStrip* ChartWindow::overviewStrip() const { return &navigation_->strip(); }
std::optional<int> ChartWindow::waitingFor() const { return navigation_->waitingFor(); }
void ChartWindow::goToFrame(int frame) { navigation_->goToFrame(frame); }
void ChartWindow::stepFrames(int delta) { navigation_->stepFrames(delta); }
void ChartWindow::cancelWaiting() { navigation_->cancelWaiting(); }

// Each moves through ChartNavigation::jump, which waits for the background
// pass when no checkpoint is near the frame yet. "|<" also ends such a wait.
void ChartWindow::BT_startClick() {
    if (!coder_ || navigation_->droppingInput()) return;
    navigation_->cancelWaiting();
    navigation_->jump(1, false);
}

void ChartWindow::BT_prevClick() {
    if (!coder_ || navigation_->blocked()) return;
    navigation_->jump(coder_->frameCount() - 1, true);
}

void ChartWindow::BT_nextClick() {
    if (!coder_ || navigation_->blocked()) return;
    navigation_->jump(coder_->frameCount() + 1, false);
}

void ChartWindow::BT_endClick() {
    if (!coder_ || navigation_->blocked()) return;
    navigation_->jump(ChartNavigation::kLastFrame, true);
}

void ChartWindow::BT_refreshClick() {
    if (!coder_ || navigation_->blocked()) return;
    const std::optional<int> frame = parseInteger(ui_->Ed_frame->text());
    if (!frame) {
        dialogs_->information(this, kFrameNotAnInteger);
        return;
    }
    navigation_->jump(*frame, true);
}

// View and colour radio buttons ---------------------------------------------

void ChartWindow::RB1Click() {
    ui_->RB1->setChecked(true);  // auto-exclusive: RB2 goes off
    redrawCharts();
}

void ChartWindow::RB2Click() {
    ui_->RB2->setChecked(true);
    redrawCharts();
}

void ChartWindow::RadioButton1Click() {
    ui_->RadioButton1->setChecked(true);
    setColourScheme(ColourScheme::dark);
    redrawCharts();
}

void ChartWindow::RadioButton2Click() {
    ui_->RadioButton2->setChecked(true);
    setColourScheme(ColourScheme::light);
    redrawCharts();
}

// Check boxes: each only redraws -------------------------------------------

void ChartWindow::CB1Click() { redrawCharts(); }
void ChartWindow::CB2Click() { redrawCharts(); }
void ChartWindow::CB4Click() { redrawCharts(); }
void ChartWindow::CB5Click() { redrawCharts(); }
void ChartWindow::CB6Click() { redrawCharts(); }
void ChartWindow::CB7Click() { redrawCharts(); }
void ChartWindow::CB_resLPClick() { redrawCharts(); }
void ChartWindow::CB_resLTPClick() { redrawCharts(); }
void ChartWindow::CB_spnClick() { redrawCharts(); }
void ChartWindow::CB_vClick() { redrawCharts(); }
void ChartWindow::CB_unClick() { redrawCharts(); }
void ChartWindow::CB_SClick() { redrawCharts(); }
void ChartWindow::CB_SwClick() { redrawCharts(); }
void ChartWindow::CB_aIClick() { redrawCharts(); }
void ChartWindow::CB_aIIClick() { redrawCharts(); }
void ChartWindow::CB_RLPClick() { redrawCharts(); }
void ChartWindow::CB_RLTPClick() { redrawCharts(); }

}  // namespace zorvel
