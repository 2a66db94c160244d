// The listening chart: the caption, the screening note, then the plot with
// the score axis at the left, the quality words at the right, and under each
// bar its condition, its settings and the number of ratings.
#include "plots/ListeningChart.h"

#include <algorithm>
#include <cmath>

#include "plots/Canvas.h"

namespace zorvel {
namespace {

constexpr QRgb kBackground = 0xFFFFFFFF;
constexpr QRgb kAxisColour = 0xFF000000;
constexpr QRgb kGridColour = 0xFFD8D8D8;
constexpr QRgb kTextColour = 0xFF000000;
constexpr QRgb kBarColour = 0xFF1F4FBF;
constexpr QRgb kReferenceColour = 0xFF2E8B3E;
constexpr QRgb kAnchorColour = 0xFF8C8C8C;
constexpr QRgb kWhiskerColour = 0xFF000000;

constexpr int kCaptionTop = 6;
constexpr int kNoteTop = 24;
constexpr int kPlotTop = 60;
constexpr int kLeftMargin = 60;
constexpr int kRightMargin = 96;  // the quality words
constexpr int kUnderPlot = 64;    // three lines of text under the bars
constexpr int kTickLength = 5;
constexpr int kTextHalfHeight = 7;
constexpr int kLineHeight = 16;
constexpr int kWhiskerHalf = 6;
constexpr int kScoreStep = 20;

void text(Canvas& canvas, int x, int y, const QString& words) {
    canvas.setFontColour(kTextColour);
    canvas.setBrushColour(kBackground);
    canvas.textOut(x, y, words);
}

// `words` cut to `width` pixels, with "…" where cut.
QString elided(const QString& words, int width) {
    if (canvasTextWidth(words) <= width) return words;
    QString cut = words;
    while (!cut.isEmpty() && canvasTextWidth(cut + QStringLiteral("…")) > width) cut.chop(1);
    return cut + QStringLiteral("…");
}

void centred(Canvas& canvas, int middle, int y, const QString& words, int width) {
    const QString shown = elided(words, width);
    text(canvas, middle - canvasTextWidth(shown) / 2, y, shown);
}

void line(Canvas& canvas, int x0, int y0, int x1, int y1) {
    canvas.moveTo(x0, y0);
    canvas.lineTo(x1, y1);
}

QRgb barColour(const ConditionResult& c) {
    if (c.condition == kHiddenReferenceCondition) return kReferenceColour;
    return anchorQ(c.condition) ? kAnchorColour : kBarColour;
}

QString screeningNote(const ListeningResults& results) {
    QStringList left;
    for (const ListenerScreening& l : results.listeners)
        if (l.excluded) left << QString::fromStdString(l.listener);
    const QString count = QStringLiteral("Słuchacze: %1, uwzględnieni: %2")
                              .arg(results.listeners.size())
                              .arg(results.listeners.size() - left.size());
    if (left.isEmpty()) return count;
    return count + QStringLiteral("; pominięci (wzorzec poniżej 90 w ponad 15% prób): ") +
           left.join(QStringLiteral(", "));
}

}  // namespace

QString qualityWord(int score) {
    // A band's lower bound belongs to it: 80 is "Doskonała", 79 "Dobra".
    const int band = std::clamp((kHighestScore - 1 - score) / kScoreStep, 0, 4);
    return kQualityWords[static_cast<std::size_t>(band)];
}

QString conditionName(const ConditionResult& condition) {
    if (condition.condition == kHiddenReferenceCondition) return QStringLiteral("ukryty wzorzec");
    return QString::fromStdString(condition.condition);
}

int scoreRow(double score, int top, int bottom) {
    return bottom - static_cast<int>(std::lround(score / kHighestScore * (bottom - top)));
}

Picture describeListeningChart(const ListeningResults& results, const QString& caption, int width,
                               int height) {
    Picture picture{width, height, {}};
    Canvas canvas(picture);
    canvas.setPenColour(kBackground);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(0, 0, width, height);
    text(canvas, (width - canvasTextWidth(caption)) / 2, kCaptionTop, caption);
    const QString note = screeningNote(results);
    text(canvas, (width - canvasTextWidth(note)) / 2, kNoteTop, note);

    const int left = kLeftMargin, right = width - kRightMargin;
    const int top = kPlotTop, bottom = height - kUnderPlot;
    canvas.setPenWidth(1);
    canvas.setPenColour(kAxisColour);
    canvas.setBrushColour(kBackground);
    canvas.rectangle(left, top, right + 1, bottom + 1);
    for (int score = 0; score <= kHighestScore; score += kScoreStep) {
        const int y = scoreRow(score, top, bottom);
        canvas.setPenColour(kGridColour);
        if (score > 0 && score < kHighestScore) line(canvas, left + 1, y, right, y);
        canvas.setPenColour(kAxisColour);
        line(canvas, left - kTickLength, y, left, y);
        const QString number = QString::number(score);
        text(canvas, left - kTickLength - 4 - canvasTextWidth(number), y - kTextHalfHeight, number);
        if (score < kHighestScore)
            text(canvas, right + 8,
                 (y + scoreRow(score + kScoreStep, top, bottom)) / 2 - kTextHalfHeight,
                 qualityWord(score));
    }
    text(canvas, 4, top - 2 * kTextHalfHeight - 8, kListeningScoreLabel);

    const int count = static_cast<int>(results.conditions.size());
    if (count == 0) {
        const QString none = QStringLiteral("Brak ocen do pokazania");
        text(canvas, (left + right - canvasTextWidth(none)) / 2, (top + bottom) / 2, none);
        return picture;
    }
    const int slot = (right - left) / count;
    const int barWidth = std::max(6, slot * 3 / 5);
    for (int i = 0; i < count; ++i) {
        const ConditionResult& c = results.conditions[static_cast<std::size_t>(i)];
        const int middle = left + slot * i + slot / 2;
        const int y = scoreRow(c.mean, top, bottom);
        canvas.setPenColour(barColour(c));
        canvas.setBrushColour(barColour(c));
        canvas.rectangle(middle - barWidth / 2, std::min(y, bottom - 1), middle + barWidth / 2,
                         bottom);
        if (c.halfInterval) {
            const int high =
                scoreRow(std::min<double>(c.mean + *c.halfInterval, kHighestScore), top, bottom);
            const int low =
                scoreRow(std::max<double>(c.mean - *c.halfInterval, kLowestScore), top, bottom);
            canvas.setPenColour(kWhiskerColour);
            canvas.setPenWidth(2);
            line(canvas, middle, high, middle, low);
            line(canvas, middle - kWhiskerHalf, high, middle + kWhiskerHalf, high);
            line(canvas, middle - kWhiskerHalf, low, middle + kWhiskerHalf, low);
            canvas.setPenWidth(1);
        }
        const int room = slot - 4;
        centred(canvas, middle, bottom + 6, conditionName(c), room);
        centred(canvas, middle, bottom + 6 + kLineHeight, QString::fromStdString(c.settings), room);
        centred(canvas, middle, bottom + 6 + 2 * kLineHeight,
                QStringLiteral("%1 ± %2")
                    .arg(c.mean, 0, 'f', 1)
                    .arg(c.halfInterval.value_or(0.0), 0, 'f', 1),
                room);
    }
    return picture;
}

}  // namespace zorvel
