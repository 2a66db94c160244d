#include "charts/ChartDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace zorvel {

QString messageBoxTitle() { return QStringLiteral("ZORVEL"); }

void showInformationBox(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, messageBoxTitle(), text, QMessageBox::Ok);
}

void showBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void restoreBusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zorvel
