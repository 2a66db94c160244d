// OverviewStrip: the whole input at a glance, below the chart window's form.
// It shows the overview picture of the background pass's summaries (see
// plots/OverviewPicture.h) with a vertical marker on the current frame; a
// click or a drag asks for the frame under the pointer (columns map to frames
// as in plots/OverviewColumns.h). While the window waits for the pass, a bar
// and a line of text show how far it is.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>
#include <span>

#include "coder/FramePass.h"
#include "plots/ChartColours.h"
#include "plots/OverviewColumns.h"
#include "plots/Picture.h"

namespace zorvel {

class OverviewStrip : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 96;

    explicit OverviewStrip(QWidget* parent = nullptr);

    // The pass whose summaries are drawn; none draws an empty strip.
    void setPass(const FramePass* pass);
    void setColours(const ChartColours& colours);
    void setCurrentFrame(int frame);
    int currentFrame() const { return currentFrame_; }
    // Progress of a wait for the pass; an empty text hides it.
    void setProgress(const QString& text, double fraction);
    const QString& progressText() const { return progressText_; }

    int totalFrames() const;
    int frameAtX(int x) const { return overviewFrameAtX(x, width(), totalFrames()); }
    int xOfFrame(int frame) const { return overviewXOfFrame(frame, width(), totalFrames()); }

    // The strip as far as the pass has come, without the marker and the progress.
    Picture picture() const { return pictureOf(summaries()); }

    // A lane measure in place of the frame SNR; none shows the SNR.
    void setMeasure(std::optional<LaneMeasure> measure);
    const std::optional<LaneMeasure>& laneMeasure() const { return measure_; }
    // The spectral distance shown, if the lane shows one.
    std::optional<SpectralMeasure> measure() const { return spectralMeasureOf(measure_); }

  signals:
    void frameRequested(int frame);
    // A spectral distance was chosen: the pass is to compute the distances.
    void measuresWanted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    std::span<const FrameSummary> summaries() const;
    std::optional<OverviewMeasure> shownMeasure() const;
    Picture pictureOf(std::span<const FrameSummary> summaries) const;
    void request(int x);

    const FramePass* pass_ = nullptr;
    ChartColours colours_ = darkColours();
    int currentFrame_ = 0;
    int lastRequested_ = -1;
    QString progressText_;
    double progressFraction_ = 0.0;
    // The picture as last painted, made again when the frames reached, the
    // size, the pass or the colours change.
    QImage image_;
    std::size_t imageFrames_ = 0;
    std::size_t imageMeasured_ = 0;
    std::optional<LaneMeasure> measure_;
    bool imageStale_ = true;
};

}  // namespace zorvel
