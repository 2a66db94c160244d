#include "charts/ChartDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace zorvel {

QString messageBoxTitle() { return QStringLiteral("ZORVEL"); }

void QtChartDialogs::information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, messageBoxTitle(), text);
}

void QtChartDialogs::setBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtChartDialogs::restoreCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zorvel
