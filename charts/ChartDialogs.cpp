#include "charts/ChartDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace zorvel {

void showInformationBox(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text, QMessageBox::Ok);
}

void showBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void restoreBusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zorvel
