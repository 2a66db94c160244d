#include "charts/Testformlib.h"

#include "charts/FormFont.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <filesystem>

#include "charts/Readouts.h"
#include "coder/Zorvellib.h"
#include "ui_Testformlib.h"

using zorvel::BusyCursor;
using zorvel::PlotOptions;

namespace {

const QString kScaleNotANumber = QStringLiteral("Skala musi być liczbą różną od zera.");
const QString kFrameNotAnInteger = QStringLiteral("Numer ramki musi być liczbą całkowitą.");

constexpr int kFormLeft = 8;
constexpr int kFormTop = 11;
constexpr int kFormFontPixels = 11;
constexpr int kReadoutGap = 5;  // between a subframe's k and gp readouts

// The coder mode whose two LP analyses use different windows.
constexpr int kModeWithTwoAnalyses = 1;

}  // namespace

TTestForm::TTestForm(QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::TTestForm>()),
      dialogs_(std::make_unique<zorvel::QtChartDialogs>()) {
    ui_->setupUi(this);
    setFont(zorvel::formFont(font(), kFormFontPixels));
    move(kFormLeft, kFormTop);
    timeImage_ = zorvel::newChartImage(ui_->Im_time->width(), ui_->Im_time->height());
    spectrumImage_ = zorvel::newChartImage(ui_->Im_freq->width(), ui_->Im_freq->height());
    clearImages();
    connectHandlers();
}

TTestForm::~TTestForm() = default;

void TTestForm::connectHandlers() {
    using Handler = void (TTestForm::*)();
    const std::pair<QAbstractButton*, Handler> buttons[] = {
        {ui_->BT_start, &TTestForm::BT_startClick},
        {ui_->BT_prev, &TTestForm::BT_prevClick},
        {ui_->BT_next, &TTestForm::BT_nextClick},
        {ui_->BT_end, &TTestForm::BT_endClick},
        {ui_->BT_refresh, &TTestForm::BT_refreshClick},
        {ui_->RB1, &TTestForm::RB1Click},
        {ui_->RB2, &TTestForm::RB2Click},
        {ui_->RadioButton1, &TTestForm::RadioButton1Click},
        {ui_->RadioButton2, &TTestForm::RadioButton2Click},
        {ui_->CB1, &TTestForm::CB1Click},
        {ui_->CB2, &TTestForm::CB2Click},
        {ui_->CB4, &TTestForm::CB4Click},
        {ui_->CB5, &TTestForm::CB5Click},
        {ui_->CB6, &TTestForm::CB6Click},
        {ui_->CB7, &TTestForm::CB7Click},
        {ui_->CB_resLP, &TTestForm::CB_resLPClick},
        {ui_->CB_resLTP, &TTestForm::CB_resLTPClick},
        {ui_->CB_spn, &TTestForm::CB_spnClick},
        {ui_->CB_v, &TTestForm::CB_vClick},
        {ui_->CB_un, &TTestForm::CB_unClick},
        {ui_->CB_S, &TTestForm::CB_SClick},
        {ui_->CB_Sw, &TTestForm::CB_SwClick},
        {ui_->CB_Sout, &TTestForm::CB_SwClick},
        {ui_->CB_Sp, &TTestForm::CB_SwClick},
        {ui_->CB_aI, &TTestForm::CB_aIClick},
        {ui_->CB_aII, &TTestForm::CB_aIIClick},
        {ui_->CB_RLP, &TTestForm::CB_RLPClick},
        {ui_->CB_RLTP, &TTestForm::CB_RLTPClick},
    };
    for (const auto& [button, handler] : buttons) {
        connect(button, &QAbstractButton::clicked, this, handler);
    }
}

void TTestForm::setDialogs(std::unique_ptr<zorvel::ChartDialogs> dialogs) {
    dialogs_ = std::move(dialogs);
}

// Setup ----------------------------------------------------------------------

void TTestForm::openForFile(const QString& fileName, int mode, bool noAdaptiveCodebook) {
    // The coder of an earlier setup goes once the new one is built.
    coder_ = std::make_unique<zorvel::SpeechCoder>(
        std::filesystem::path(QFile::encodeName(fileName).toStdString()), mode);
    coder_->noAdaptiveCodebook = noAdaptiveCodebook ? 1 : 0;
    show();
    setWindowTitle(zorvel::windowCaption(mode, fileName));
    // Decided by the mode asked for: a value outside 1..8 is no mode 1 here,
    // although the coder runs it as one.
    const bool twoAnalyses = mode == kModeWithTwoAnalyses;
    ui_->CB_aI->setChecked(twoAnalyses);
    ui_->CB_aI->setEnabled(twoAnalyses);
    clearImages();
    spectrumGain_ = 1.0;
    timeGain_ = 1.0;
    // Every drawing starts with a pen of width 1 (see Canvas).
    setColourScheme(checkedColourScheme());
    coder_->goToFrame(1);
    redrawCharts();
}

void TTestForm::setColourScheme(int scheme) {
    if (const auto colours = zorvel::schemeColours(scheme)) chartColours_ = *colours;
}

int TTestForm::checkedColourScheme() const {
    return ui_->RadioButton2->isChecked() ? zorvel::kLightScheme : zorvel::kDarkScheme;
}

void TTestForm::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);  // hidden, not destroyed; the coder stays
}

void TTestForm::FormClose() { emit closed(); }

// Drawing and readouts -------------------------------------------------------

bool TTestForm::twoFrames() const { return !ui_->RB1->isChecked(); }

PlotOptions TTestForm::plotOptions() const {
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
    options.twoFrames = twoFrames();
    options.timeGain = timeGain_;
    options.spectrumGain = spectrumGain_;
    options.colours = chartColours_;
    return options;
}

void TTestForm::redrawCharts() {
    if (!coder_) return;
    const std::optional<double> scale = zorvel::parseNumber(ui_->Ed_scale->text());
    if (!scale || *scale == 0.0) {
        dialogs_->information(this, kScaleNotANumber);
        return;
    }
    timeGain_ = zorvel::timeGainForScale(*scale, timeImage_.height());
    const bool two = twoFrames();
    const PlotOptions options = plotOptions();
    zorvel::renderTimeImage(timeImage_, coder_->previousFrame(), coder_->currentFrame(), options);
    setAxisCaptions(two);
    placeSubframeReadouts(two);
    zorvel::renderSpectrumImage(spectrumImage_, coder_->currentFrame(), options);
    showImages();
    showReadouts();
}

void TTestForm::clearImages() {
    {
        zorvel::Canvas canvas(timeImage_);
        zorvel::clearImage(canvas, chartColours_);
    }
    {
        zorvel::Canvas canvas(spectrumImage_);
        zorvel::clearImage(canvas, chartColours_);
    }
    showImages();
}

void TTestForm::showImages() {
    ui_->Im_time->setPixmap(QPixmap::fromImage(timeImage_));
    ui_->Im_freq->setPixmap(QPixmap::fromImage(spectrumImage_));
}

void TTestForm::setAxisCaptions(bool twoFrames) {
    QLabel* const labels[] = {ui_->L1, ui_->L2, ui_->L3, ui_->L4, ui_->L5,
                              ui_->L6, ui_->L7, ui_->L8, ui_->L9};
    const auto captions = zorvel::timeAxisCaptions(twoFrames);
    for (std::size_t i = 0; i < captions.size(); ++i) labels[i]->setText(captions[i]);
}

void TTestForm::placeSubframeReadouts(bool twoFrames) {
    QLineEdit* const lags[] = {ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4};
    QLineEdit* const gains[] = {ui_->Ed_gp1, ui_->Ed_gp2, ui_->Ed_gp3, ui_->Ed_gp4};
    const auto lefts =
        zorvel::subframeReadoutLefts(twoFrames, ui_->Im_time->x(), ui_->Im_time->width());
    for (int a = 0; a < zorvel::kSubframes; ++a) {
        lags[a]->move(lefts[a], lags[a]->y());
        gains[a]->move(lefts[a] + lags[a]->width() + kReadoutGap, gains[a]->y());
    }
}

void TTestForm::showReadouts() {
    using zorvel::formatGeneral;
    using zorvel::formatInteger;
    QLineEdit* const lags[] = {ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4};
    QLineEdit* const gains[] = {ui_->Ed_gp1, ui_->Ed_gp2, ui_->Ed_gp3, ui_->Ed_gp4};
    const zorvel::FrameRecord& current = coder_->currentFrame();
    ui_->Ed_frame->setText(formatInteger(coder_->frameCount()));
    for (int a = 0; a < zorvel::kSubframes; ++a) {
        lags[a]->setText(QStringLiteral("k%1=").arg(a + 1) + formatInteger(current.pitchLag[a]));
        gains[a]->setText(QStringLiteral("gp%1=").arg(a + 1) + formatGeneral(current.pitchGain[a]));
    }
    ui_->EdSNR->setText(formatGeneral(zorvel::roundToTwoDecimals(coder_->frameSnr())));
    ui_->EdSNRseg->setText(formatGeneral(zorvel::roundToTwoDecimals(coder_->segmentalSnr())));
    ui_->EdSNRall->setText(formatGeneral(zorvel::roundToTwoDecimals(coder_->overallSnr())));
    // A text longer than its box shows its beginning, as the prefix says what it is.
    for (QLineEdit* readout : {ui_->Ed_frame, ui_->Editk1, ui_->Editk2, ui_->Editk3, ui_->Editk4,
                               ui_->Ed_gp1, ui_->Ed_gp2, ui_->Ed_gp3, ui_->Ed_gp4, ui_->EdSNR,
                               ui_->EdSNRseg, ui_->EdSNRall}) {
        readout->setCursorPosition(0);
    }
}

// Navigation -----------------------------------------------------------------

void TTestForm::BT_startClick() {
    if (!coder_) return;
    coder_->goToFrame(1);
    redrawCharts();
}

void TTestForm::BT_prevClick() {
    if (!coder_) return;
    {
        BusyCursor busy(*dialogs_);
        coder_->goToFrame(coder_->frameCount() - 1);
    }
    redrawCharts();
}

void TTestForm::BT_nextClick() {
    if (!coder_) return;
    coder_->goToFrame(coder_->frameCount() + 1);
    redrawCharts();
}

void TTestForm::BT_endClick() {
    if (!coder_) return;
    {
        BusyCursor busy(*dialogs_);
        while (coder_->goToFrame(coder_->frameCount() + 1) == 0) {
        }
    }
    redrawCharts();
}

void TTestForm::BT_refreshClick() {
    if (!coder_) return;
    const std::optional<int> frame = zorvel::parseInteger(ui_->Ed_frame->text());
    if (!frame) {
        dialogs_->information(this, kFrameNotAnInteger);
        return;
    }
    {
        BusyCursor busy(*dialogs_);
        coder_->goToFrame(*frame);
    }
    redrawCharts();
}

// View and colour radio buttons ---------------------------------------------

void TTestForm::RB1Click() {
    ui_->RB1->setChecked(true);  // auto-exclusive: RB2 goes off
    redrawCharts();
}

void TTestForm::RB2Click() {
    ui_->RB2->setChecked(true);
    redrawCharts();
}

void TTestForm::RadioButton1Click() {
    ui_->RadioButton1->setChecked(true);
    setColourScheme(zorvel::kDarkScheme);
    redrawCharts();
}

void TTestForm::RadioButton2Click() {
    ui_->RadioButton2->setChecked(true);
    setColourScheme(zorvel::kLightScheme);
    redrawCharts();
}

// Check boxes: each only redraws -------------------------------------------

void TTestForm::CB1Click() { redrawCharts(); }
void TTestForm::CB2Click() { redrawCharts(); }
void TTestForm::CB4Click() { redrawCharts(); }
void TTestForm::CB5Click() { redrawCharts(); }
void TTestForm::CB6Click() { redrawCharts(); }
void TTestForm::CB7Click() { redrawCharts(); }
void TTestForm::CB_resLPClick() { redrawCharts(); }
void TTestForm::CB_resLTPClick() { redrawCharts(); }
void TTestForm::CB_spnClick() { redrawCharts(); }
void TTestForm::CB_vClick() { redrawCharts(); }
void TTestForm::CB_unClick() { redrawCharts(); }
void TTestForm::CB_SClick() { redrawCharts(); }
void TTestForm::CB_SwClick() { redrawCharts(); }
void TTestForm::CB_aIClick() { redrawCharts(); }
void TTestForm::CB_aIIClick() { redrawCharts(); }
void TTestForm::CB_RLPClick() { redrawCharts(); }
void TTestForm::CB_RLTPClick() { redrawCharts(); }
