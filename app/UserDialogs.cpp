#include "app/UserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
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

SaveDialogTypes waveFileTypes() {
    return {{QStringLiteral("Pliki WAV (*.wav)"), QStringLiteral("Wszystkie pliki (*)")},
            QStringLiteral("wav")};
}

bool QtUserDialogs::confirm(QWidget* parent, const QString& text) {
    return askYesOrNo(parent, text);
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
    // The filter the user chose last, as long as it is offered.
    if (settings.nameFilters.contains(lastOpenFilter_)) dialog.selectNameFilter(lastOpenFilter_);
    dialog.setDefaultSuffix(settings.defaultSuffix);
    if (!settings.fileName.isEmpty()) dialog.selectFile(settings.fileName);
    fitFileList(dialog);
    const int answer = dialog.exec();
    lastOpenFilter_ = dialog.selectedNameFilter();
    if (answer != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

RecordingUse QtUserDialogs::askRecordingUse(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, messageBoxTitle(), text, QMessageBox::NoButton, parent);
    QPushButton* convert = box.addButton(QStringLiteral("Konwertuj"), QMessageBox::AcceptRole);
    QPushButton* unchanged =
        box.addButton(QStringLiteral("Koduj bez zmian"), QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Anuluj"), QMessageBox::RejectRole);
    box.setDefaultButton(convert);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == convert) return RecordingUse::convert;
    if (box.clickedButton() == unchanged) return RecordingUse::codeUnchanged;
    return RecordingUse::cancel;
}

std::optional<QString> QtUserDialogs::saveFileName(QWidget* parent, const QString& caption,
                                                   const QString& suggested,
                                                   const SaveDialogTypes& types) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(types.nameFilters);
    dialog.setDefaultSuffix(types.defaultSuffix);
    dialog.selectFile(suggested);
    fitFileList(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.first();
}

}  // namespace zorvel
