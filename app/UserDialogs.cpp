#include "app/UserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>

namespace zorvel {
namespace {

// Room for a long file name beside its size, type and date.
constexpr QSize kOpenDialogSize{800, 480};

// Qt's own dialog (where the desktop offers none) opens narrow and cuts the
// size and date columns of its file list ("27….MiB"): it opens wider, the
// name takes the free width and the other columns are as wide as their texts.
void fitFileList(QFileDialog& dialog) {
    dialog.resize(kOpenDialogSize);
    auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (list == nullptr) return;
    QHeaderView* header = list->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
}

}  // namespace

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
    fitFileList(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace zorvel
