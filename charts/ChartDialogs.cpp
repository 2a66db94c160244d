#include "charts/ChartDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace zorvel {

void QtChartDialogs::information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
}

void QtChartDialogs::setBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtChartDialogs::restoreCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zorvel
