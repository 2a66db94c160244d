// The results of listening tests in the desktop program: the table of the
// conditions (ratings kept, mean, 95 % confidence interval), the screening of
// the listeners in words, and the chart of bars with their intervals that
// `zorvel-cli listening --plot` writes (plots/ListeningChart.h). The page the
// test ends on, and the window "Wyniki testu odsłuchowego..." opens for any
// ratings files.
#pragma once

#include <QString>
#include <QWidget>

#include "listening/ListeningResults.h"

class QLabel;
class QTableWidget;

namespace zorvel {

// "Słuchacze: 3, pominięci: 1 (celina: wzorzec poniżej 90 w 1 z 2 prób)".
QString screeningText(const ListeningResults& results);

class ListeningResultsView : public QWidget {
    Q_OBJECT
  public:
    explicit ListeningResultsView(QWidget* parent = nullptr);
    void showResults(const ListeningResults& results, const QString& caption);

    const QTableWidget& table() const { return *table_; }
    const QLabel& screening() const { return *screening_; }
    const QLabel& chart() const { return *chart_; }

  private:
    QLabel* caption_;
    QTableWidget* table_;
    QLabel* screening_;
    QLabel* chart_;
};

}  // namespace zorvel
