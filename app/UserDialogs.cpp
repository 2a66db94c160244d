#include "app/UserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace zorvel {
namespace {

QString boxTitle() { return QGuiApplication::applicationDisplayName(); }

}  // namespace

bool QtUserDialogs::confirm(QWidget* parent, const QString& text) {
    const auto answer =
        QMessageBox::question(parent, boxTitle(), text, QMessageBox::Yes | QMessageBox::No);
    return answer != QMessageBox::No;
}

void QtUserDialogs::showError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, boxTitle(), text, QMessageBox::Ok);
}

std::optional<QString> QtUserDialogs::openFileName(QWidget* parent,
                                                   const OpenDialogSettings& settings) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(settings.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(settings.nameFilter);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    if (!settings.fileName.isEmpty()) dialog.selectFile(settings.fileName);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace zorvel
