// The whole-file overview strip.
#include "charts/OverviewStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "charts/FramePass.h"

namespace zorvel {

namespace {

constexpr int kLanes = 3;
constexpr double kEnergyFloorDb = 20.0;  // mean power of a frame, dB re 1 (16-bit units)
constexpr double kEnergyTopDb = 90.0;
constexpr double kSnrFloorDb = -5.0;
constexpr double kSnrTopDb = 35.0;
constexpr double kLagLow = 18.0;  // the pitch lag range of the coder, in samples
constexpr double kLagHigh = 143.0;
constexpr int kLabelWidth = 34;
const QColor kMarkerColour(255, 255, 255);
const QColor kProgressColour(80, 160, 255, 140);

// Lane value v of [low, high] as a height in [0, laneHeight].
int laneHeightOf(double v, double low, double high, int laneHeight) {
    const double t = std::clamp((v - low) / (high - low), 0.0, 1.0);
    return static_cast<int>(std::lround(t * laneHeight));
}

// A column's frames: the range and the mean of the frame powers (dB) and
// SNRs, and the mean lag of its voiced subframes.
struct Column {
    double energyLow = kEnergyTopDb;
    double energyHigh = kEnergyFloorDb;
    double energySum = 0.0;
    double snrLow = kSnrTopDb;
    double snrHigh = kSnrFloorDb;
    double snrSum = 0.0;
    int frames = 0;
    double lagSum = 0.0;
    int voiced = 0;
};

double powerDb(float energy) {
    const double power = energy / kFrameSamples;
    return power > 0.0 ? std::max(10.0 * std::log10(power), kEnergyFloorDb) : kEnergyFloorDb;
}

QColor dimmed(QRgb rgb) {
    QColor colour = QColor::fromRgb(rgb);
    colour.setAlpha(90);
    return colour;
}

}  // namespace

int overviewFrameAtX(int x, int width, int totalFrames) {
    if (totalFrames <= 0 || width <= 0) return 0;
    const std::int64_t column = std::clamp(x, 0, width - 1);
    return static_cast<int>(column * totalFrames / width) + 1;
}

int overviewXOfFrame(int frame, int width, int totalFrames) {
    if (totalFrames <= 0 || width <= 0) return 0;
    const std::int64_t f = std::clamp(frame, 1, totalFrames);
    // The largest x with x * totalFrames / width < f, i.e. x * totalFrames < f * width.
    const std::int64_t x = (f * width - 1) / totalFrames;
    return static_cast<int>(std::min<std::int64_t>(x, width - 1));
}

OverviewStrip::OverviewStrip(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OverviewStrip"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    setToolTip(
        QStringLiteral("Cały plik: energia s(n) [dB], SNR ramek [dB] i opóźnienie "
                       "tonu k; kliknięcie lub przeciągnięcie przechodzi do ramki"));
}

void OverviewStrip::setPass(const FramePass* pass) {
    pass_ = pass;
    update();
}

void OverviewStrip::setColours(const ChartColours& colours) {
    colours_ = colours;
    update();
}

void OverviewStrip::setCurrentFrame(int frame) {
    currentFrame_ = frame;
    update();
}

void OverviewStrip::setProgress(const QString& text, double fraction) {
    progressText_ = text;
    progressFraction_ = std::clamp(fraction, 0.0, 1.0);
    update();
}

int OverviewStrip::totalFrames() const { return pass_ ? pass_->totalFrames() : 0; }

void OverviewStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int laneHeight = height() / kLanes;
    painter.fillRect(rect(), QColor::fromRgb(colours_.background));
    const int total = totalFrames();
    const int reached = pass_ ? pass_->reached() : 0;

    // Columns of frames: loudest energy, mean SNR, mean lag of the voiced subframes.
    std::vector<Column> columns(static_cast<std::size_t>(std::max(w, 0)));
    for (int x = 0; x < w && total > 0; ++x) {
        const int first = overviewFrameAtX(x, w, total);
        const int last = x + 1 < w ? std::max(first, overviewFrameAtX(x + 1, w, total) - 1) : total;
        Column& column = columns[static_cast<std::size_t>(x)];
        for (int f = first; f <= std::min(last, reached); ++f) {
            const FrameSummary& s = pass_->summary(f);
            const double dB = powerDb(s.energy);
            column.energyLow = std::min(column.energyLow, dB);
            column.energyHigh = std::max(column.energyHigh, dB);
            column.energySum += dB;
            column.snrLow = std::min<double>(column.snrLow, s.frameSnr);
            column.snrHigh = std::max<double>(column.snrHigh, s.frameSnr);
            column.snrSum += s.frameSnr;
            ++column.frames;
            for (int a = 0; a < kSubframes; ++a) {
                if (s.pitchGain[a] >= kVoicedPitchGain) {
                    column.lagSum += s.pitchLag[a];
                    ++column.voiced;
                }
            }
        }
    }

    const QColor grid = QColor::fromRgb(colours_.grid);
    const QColor energyColour = QColor::fromRgb(colours_.speech);
    const QColor snrColour = QColor::fromRgb(colours_.synthesized);
    const QColor lagColour = QColor::fromRgb(colours_.weighted);
    for (int lane = 1; lane < kLanes; ++lane) {
        painter.setPen(grid);
        painter.drawLine(0, lane * laneHeight, w - 1, lane * laneHeight);
    }
    // y of a value in a lane whose bottom pixel row is `bottom`.
    const auto yIn = [&](int bottom, double v, double low, double high) {
        return bottom - laneHeightOf(v, low, high, laneHeight - 2);
    };
    const int energyBottom = laneHeight - 1;
    const int snrBottom = 2 * laneHeight - 1;
    const int snrZero = yIn(snrBottom, 0.0, kSnrFloorDb, kSnrTopDb);
    painter.setPen(QPen(grid, 1, Qt::DotLine));
    painter.drawLine(0, snrZero, w - 1, snrZero);
    for (int x = 0; x < w; ++x) {
        const Column& column = columns[static_cast<std::size_t>(x)];
        if (column.frames == 0) continue;
        // From the quietest to the loudest frame, dim; the mean, bright.
        painter.setPen(dimmed(colours_.speech));
        painter.drawLine(x, yIn(energyBottom, column.energyLow, kEnergyFloorDb, kEnergyTopDb), x,
                         yIn(energyBottom, column.energyHigh, kEnergyFloorDb, kEnergyTopDb));
        painter.setPen(energyColour);
        painter.drawPoint(
            x, yIn(energyBottom, column.energySum / column.frames, kEnergyFloorDb, kEnergyTopDb));
        painter.setPen(dimmed(colours_.synthesized));
        painter.drawLine(x, yIn(snrBottom, column.snrLow, kSnrFloorDb, kSnrTopDb), x,
                         yIn(snrBottom, column.snrHigh, kSnrFloorDb, kSnrTopDb));
        painter.setPen(snrColour);
        painter.drawPoint(x, yIn(snrBottom, column.snrSum / column.frames, kSnrFloorDb, kSnrTopDb));
        if (column.voiced > 0) {
            const int lag =
                laneHeightOf(column.lagSum / column.voiced, kLagLow, kLagHigh, laneHeight - 3);
            painter.setPen(lagColour);
            painter.drawPoint(x, 3 * laneHeight - 2 - lag);
            painter.drawPoint(x, 3 * laneHeight - 1 - lag);
        }
    }
    // Not yet coded: shaded.
    if (total > 0 && reached < total) {
        const int from = reached == 0 ? 0 : overviewXOfFrame(reached, w, total) + 1;
        painter.fillRect(QRect(from, 0, w - from, kLanes * laneHeight), QColor(128, 128, 128, 60));
    }

    painter.setPen(QColor::fromRgb(colours_.text));
    const char* const labels[kLanes] = {"E [dB]", "SNR", "k"};
    for (int lane = 0; lane < kLanes; ++lane)
        painter.drawText(QRect(3, lane * laneHeight, kLabelWidth + 20, laneHeight),
                         Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(labels[lane]));

    if (total > 0 && currentFrame_ >= 1) {
        const int x = overviewXOfFrame(currentFrame_, w, total);
        painter.setPen(kMarkerColour);
        painter.drawLine(x, 0, x, height() - 1);
    }
    if (!progressText_.isEmpty()) {
        painter.fillRect(QRect(0, 0, static_cast<int>(w * progressFraction_), height()),
                         kProgressColour);
        const bool darkBackground = qGray(colours_.background) < 128;
        painter.setPen(darkBackground ? QColor(Qt::white) : QColor(Qt::black));
        QFont bold = painter.font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.drawText(rect(), Qt::AlignCenter, progressText_);
    }
    painter.setPen(QColor::fromRgb(kOutlineColour));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void OverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    lastRequested_ = -1;
    request(static_cast<int>(event->position().x()));
}

void OverviewStrip::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) request(static_cast<int>(event->position().x()));
}

void OverviewStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) request(static_cast<int>(event->position().x()));
}

void OverviewStrip::request(int x) {
    const int frame = frameAtX(x);
    if (frame < 1 || frame == lastRequested_) return;
    lastRequested_ = frame;
    emit frameRequested(frame);
}

}  // namespace zorvel
