#include "app/UserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace zorvel {
void QtUserDialogs::information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, messageBoxTitle(), text, QMessageBox::Ok);
}

bool QtUserDialogs::confirm(QWidget* parent, const QString& text) {
    const auto answer =
        QMessageBox::question(parent, messageBoxTitle(), text, QMessageBox::Yes | QMessageBox::No);
    return answer != QMessageBox::No;
}

void QtUserDialogs::showError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, messageBoxTitle(), text, QMessageBox::Ok);
}

std::optional<QString> QtUserDialogs::openFileName(QWidget* parent,
                                                   const OpenDialogSettings& settings) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(settings.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(settings.nameFilters);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    if (!settings.fileName.isEmpty()) dialog.selectFile(settings.fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

void QtUserDialogs::setBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void QtUserDialogs::restoreCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace zorvel
