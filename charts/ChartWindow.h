// The chart window ChartWindow (instance TestForm): builds its own coder for the
// file, mode, adaptive-codebook option and coder settings chosen in the main
// window, moves it to any frame and shows the previous and the current frame
// record as a time plot (Im_time) and a spectrum plot (Im_freq), with the
// frame number, the pitch lag (the fine lag where the pitch resolution is
// finer than a sample) and gain of each subframe and three SNRs. Settings
// other than the defaults are named on a line below the form.
#pragma once

#include <QImage>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <memory>
#include <optional>

#include "charts/ChartDialogs.h"
#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "plots/ChartColours.h"
#include "plots/Plots.h"

namespace Ui {
class ChartWindow;
}

namespace zorvel {

class SpeechCoder;
class ChartContextMenus;
class ChartNavigation;
class FramePass;
class OverviewStrip;
class ScreenFit;

class ChartWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ChartWindow(QWidget* parent = nullptr);
    ~ChartWindow() override;

    // Setup for a file: a new coder at frame 1, caption, colours, charts.
    // Settings out of their ranges throw InvalidSettings before anything
    // changes.
    void openForFile(const QString& fileName, CoderMode mode, const CoderSettings& settings = {});

    // Both images and every readout from the coder's two records.
    void redrawCharts();
    // Fills ChartColours from a ColourScheme. Does not redraw.
    void setColourScheme(ColourScheme scheme);
    // Puts the k and gp readouts of each subframe under its start in Im_time
    // (the k readouts wider while the pitch lag is fractional).
    void placeSubframeReadouts(bool twoFrames);

    // Replaces the message boxes and the cursor (tests record them instead).
    void setDialogs(std::unique_ptr<ChartDialogs> dialogs);

    // Read access for the program's other parts and the tests.
    const SpeechCoder* coder() const { return coder_.get(); }
    double timeGain() const { return timeGain_; }
    double spectrumGain() const { return spectrumGain_; }
    const ChartColours& chartColours() const { return chartColours_; }
    const QImage& timeImage() const { return timeImage_; }
    const QImage& spectrumImage() const { return spectrumImage_; }
    // The input file of the last setup.
    const QString& fileName() const { return fileName_; }
    // The context menus of the images and the strip, the playback keys and the playback.
    ChartContextMenus& contextMenus() { return *contextMenus_; }
    // What the boxes, the view and the colours ask the plots to draw.
    PlotOptions plotOptions() const;

    // The background pass over the file and the overview strip below the form
    // (see ChartNavigation).
    const FramePass* framePass() const;
    OverviewStrip* overviewStrip() const;
    // A jump past the pass waits for it; the frame it waits for, if any.
    std::optional<int> waitingFor() const;
    // Moves to a frame as the navigation does: at once when a checkpoint (or
    // the current frame) is near, else once the pass has reached one. (The
    // overview strip's click and drag.) Given while a step runs, the latest
    // such frame is gone to after the step: a drag ends where the pointer is.
    void goToFrame(int frame);
    void stepFrames(int delta);
    void cancelWaiting();

  signals:
    void closed();

  public slots:
    void FormClose();
    void BT_startClick();
    void BT_prevClick();
    void BT_nextClick();
    void BT_endClick();
    void BT_refreshClick();
    void RB1Click();
    void RB2Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void CB1Click();
    void CB2Click();
    void CB4Click();
    void CB5Click();
    void CB6Click();
    void CB7Click();
    void CB_resLPClick();
    void CB_resLTPClick();
    void CB_spnClick();
    void CB_vClick();
    void CB_unClick();
    void CB_SClick();
    void CB_SwClick();  // shared by CB_Sw, CB_Sout and CB_Sp
    void CB_aIClick();
    void CB_aIIClick();
    void CB_RLPClick();
    void CB_RLTPClick();

    // The window on a screen too low for its form (charts/ScreenFit.h).
    const ScreenFit& screenFit() const { return *screenFit_; }

    // The spectral distances of the current frame (s(n) against s'(n)), in
    // free space right of the playback panel: no control of the form moves.
    const QLabel& measureReadout() const { return *measureReadout_; }
    // The coder settings that differ from the defaults, and with a high-pass
    // that s(n) is the filtered input, below the form; hidden with the defaults.
    const QLabel& settingsLine() const { return *settingsLine_; }
    // The names of the coding error traces shown, in their colours, over the
    // time image's top right: the form has no boxes for them.
    const QLabel& errorLegend() const { return *errorLegend_; }
    // With the coder quantising: the names of the quantised synthesis filters'
    // responses shown, in their colours, over the spectrum image's top right,
    // and the frame's spectral distortion of its quantised LP and its bits by
    // parameter, in free space of the form; both hidden otherwise.
    const QLabel& quantisedLegend() const { return *quantisedLegend_; }
    const QLabel& quantisationReadout() const { return *quantisationReadout_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    void connectHandlers();
    bool twoFrames() const;
    ColourScheme checkedColourScheme() const;
    void clearImages();
    void updateErrorLegend(const PlotOptions& options);
    void updateQuantisedLegend(const PlotOptions& options);
    void showImages();
    void setAxisCaptions(bool twoFrames);
    void showReadouts();
    void showSettings();

    std::unique_ptr<Ui::ChartWindow> ui_;
    std::unique_ptr<ChartDialogs> dialogs_;
    std::unique_ptr<SpeechCoder> coder_;
    double timeGain_ = 1.0;
    double spectrumGain_ = 1.0;
    ChartColours chartColours_ = darkColours();
    QImage timeImage_;
    QImage spectrumImage_;
    QString fileName_;
    // Both use the form, the coder and the dialogs: they go first.
    std::unique_ptr<ChartNavigation> navigation_;
    std::unique_ptr<ChartContextMenus> contextMenus_;
    std::unique_ptr<ScreenFit> screenFit_;
    QLabel* measureReadout_ = nullptr;       // a child of the window
    QLabel* settingsLine_ = nullptr;         // a child of the window
    QLabel* errorLegend_ = nullptr;          // a child of the time image
    QLabel* quantisedLegend_ = nullptr;      // a child of the spectrum image
    QLabel* quantisationReadout_ = nullptr;  // a child of the window
    int lagReadoutWidth_ = 0;                // the form's widths of Editk1..4 and Ed_gp1..4
    int gainReadoutWidth_ = 0;
};

}  // namespace zorvel
