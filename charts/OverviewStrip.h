// OverviewStrip: the whole input at a glance, below the chart window's form.
// Three lanes over the full width, one column per group of frames: the mean
// power of s(n) in dB and the frame SNR (each as the range of the column's
// frames, dim, with their mean, bright) and the pitch lag (the mean lag of the
// subframes whose pitch gain is at least kVoicedPitchGain). Frames the background pass has not
// reached yet stay empty. A vertical marker shows the current frame; a click
// or a drag asks for the frame under the pointer. While the window waits for
// the pass, a bar and a line of text show how far it is.
#pragma once

#include <QString>
#include <QWidget>

#include "plots/ChartColours.h"

namespace zorvel {

class FramePass;

// Column x of a strip `width` pixels wide over `totalFrames` frames covers
// frames overviewFrameAtX(x) .. overviewFrameAtX(x + 1) - 1 (one frame may
// span several columns when there are fewer frames than pixels). x is clamped
// to the strip; 0 when there are no frames.
int overviewFrameAtX(int x, int width, int totalFrames);
// The last column x whose first frame is at or before `frame` (the column
// that holds it); frames are clamped to 1..totalFrames.
int overviewXOfFrame(int frame, int width, int totalFrames);

inline constexpr double kVoicedPitchGain = 0.5;

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

  signals:
    void frameRequested(int frame);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void request(int x);

    const FramePass* pass_ = nullptr;
    ChartColours colours_ = darkColours();
    int currentFrame_ = 0;
    int lastRequested_ = -1;
    QString progressText_;
    double progressFraction_ = 0.0;
};

}  // namespace zorvel
