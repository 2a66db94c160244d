#include "charts/ChartDialogs.h"

#include <QApplication>
#include <QMessageBox>

namespace zorvel {

QString messageBoxTitle() { return QStringLiteral("ZORVEL"); }

void showInformationBox(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, messageBoxTitle(), text, QMessageBox::Ok);
}

bool askYesOrNo(QWidget* parent, const QString& text) {
    const auto answer =
        QMessageBox::question(parent, messageBoxTitle(), text, QMessageBox::Yes | QMessageBox::No);
    return answer != QMessageBox::No;
}

void showBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void restoreBusyCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zorvel
