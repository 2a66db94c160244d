// PointerReadout: what lies under the pointer on the chart window's time and
// spectrum images and on the overview strip, shown as a tool tip that follows
// the pointer (no control of the form moves): the time in ms, the sample and
// the values on the time image, the frequency and the level on the spectrum,
// the frame, its time and its figures on the strip. The texts come from
// plots/PointerValues, which maps pixels back through the pictures' own scales.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

class QLabel;

namespace zorvel {

class ChartWindow;
class OverviewStrip;

class PointerReadout : public QObject {
    Q_OBJECT
  public:
    // Watches the three widgets; a child of the window.
    PointerReadout(ChartWindow& window, QLabel& timeImage, QLabel& spectrumImage,
                   OverviewStrip& strip);

    // The text for the pointer at `position` of one of the watched widgets;
    // empty off the picture or before a file is open.
    QString textAt(const QObject* widget, QPoint position) const;
    // The text shown last, empty once the pointer has left.
    const QString& shownText() const { return shownText_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Where the image's pixel (0, 0) lies in its label.
    static QPoint imageOrigin(const QLabel& label, QSize imageSize);

    ChartWindow& window_;
    QLabel& timeImage_;
    QLabel& spectrumImage_;
    OverviewStrip& strip_;
    QString shownText_;
};

}  // namespace zorvel
