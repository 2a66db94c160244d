#include "app/ListeningResultsView.h"

#include <QHeaderView>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include "plots/ListeningChart.h"

namespace zorvel {
namespace {

// The chart as the page shows it: narrower than the reports' figure, so that
// it fits beside nothing on a laptop screen.
constexpr int kChartWidth = 760;
constexpr int kChartHeight = 360;

QTableWidgetItem* cell(const QString& text, bool number) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

QString screeningText(const ListeningResults& results) {
    QStringList left;
    for (const ListenerScreening& l : results.listeners)
        if (l.excluded)
            left << QStringLiteral("%1: wzorzec poniżej %2 w %3 z %4 prób")
                        .arg(QString::fromStdString(l.listener))
                        .arg(kScreeningScore)
                        .arg(l.referenceBelow)
                        .arg(l.trials);
    QString text = QStringLiteral("Słuchacze: %1, pominięci: %2")
                       .arg(results.listeners.size())
                       .arg(left.size());
    if (!left.isEmpty()) text += QStringLiteral(" (") + left.join(QStringLiteral("; ")) + ')';
    return text + QStringLiteral(". Oceny: %1, uwzględnione: %2.")
                      .arg(results.ratings)
                      .arg(results.ratingsKept);
}

ListeningResultsView::ListeningResultsView(QWidget* parent)
    : QWidget(parent),
      caption_(new QLabel(this)),
      table_(new QTableWidget(0, 5, this)),
      screening_(new QLabel(this)),
      chart_(new QLabel) {
    auto* layout = new QVBoxLayout(this);
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    layout->addWidget(caption_);
    table_->setHorizontalHeaderLabels({QStringLiteral("Warunek"), QStringLiteral("Ustawienia"),
                                       QStringLiteral("Oceny"), QStringLiteral("Średnia"),
                                       QStringLiteral("95% przedział")});
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    table_->verticalHeader()->setVisible(false);
    // Compact rows: eight conditions, the reference and the anchors fit above
    // the chart on a laptop screen.
    table_->verticalHeader()->setMinimumSectionSize(table_->fontMetrics().height() + 4);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_);
    screening_->setWordWrap(true);
    layout->addWidget(screening_);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(chart_);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setMinimumHeight(kChartHeight / 2);
    layout->addWidget(scroll, 1);
}

void ListeningResultsView::showResults(const ListeningResults& results, const QString& caption) {
    caption_->setText(caption);
    table_->setRowCount(static_cast<int>(results.conditions.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const ConditionResult& c = results.conditions[static_cast<std::size_t>(row)];
        table_->setItem(row, 0, cell(conditionName(c), false));
        table_->setItem(row, 1, cell(QString::fromStdString(c.settings), false));
        table_->setItem(row, 2, cell(QString::number(c.count), true));
        table_->setItem(row, 3, cell(QString::number(c.mean, 'f', 1), true));
        table_->setItem(row, 4,
                        cell(c.halfInterval ? QStringLiteral("± %1 (%2 – %3)")
                                                  .arg(*c.halfInterval, 0, 'f', 1)
                                                  .arg(c.mean - *c.halfInterval, 0, 'f', 1)
                                                  .arg(c.mean + *c.halfInterval, 0, 'f', 1)
                                            : QStringLiteral("–"),
                             true));
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    // As tall as its rows, no taller.
    table_->resizeRowsToContents();
    int height = table_->horizontalHeader()->sizeHint().height() + 2 * table_->frameWidth();
    for (int row = 0; row < table_->rowCount(); ++row) height += table_->rowHeight(row);
    table_->setMaximumHeight(height);
    screening_->setText(screeningText(results));
    chart_->setPixmap(QPixmap::fromImage(
        pictureImage(describeListeningChart(results, caption, kChartWidth, kChartHeight))));
    chart_->adjustSize();
}

}  // namespace zorvel
