// The main window's conversations with the user that block or change the
// screen: beyond the chart window's information box, confirmation box and
// busy cursor, the error boxes and the file-open dialog. The program uses
// QtUserDialogs; the tests put a recording implementation in its place.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "charts/ChartDialogs.h"

class QWidget;

namespace zorvel {

// The settings of a file-open dialog and the file name it last returned.
struct OpenDialogSettings {
    QStringList nameFilters;  // Qt filter texts, e.g. "Wave files (*.wav)"; the first is selected
    QString defaultSuffix;    // appended to a typed name that has none
    bool fileMustExist = true;
    QString fileName;  // the dialog's current file name; empty until a file was chosen
};

// The files a file-save dialog offers.
struct SaveDialogTypes {
    QStringList nameFilters;  // Qt filter texts; the first is selected
    QString defaultSuffix;    // appended to a typed name that has none
};

// Recordings: "Pliki WAV (*.wav)" or any file, ".wav" by default.
SaveDialogTypes waveFileTypes();

// What the user makes of a recording the coder cannot take as it stands.
enum class RecordingUse {
    convert,        // to 8000 Hz mono 16-bit, into a file of its own
    codeUnchanged,  // its bytes from 60, as the coder reads every file
    cancel,
};

class UserDialogs : public ChartDialogs {
  public:
    // Error box for an exception that escaped an event handler.
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // Runs a file-open dialog; the chosen path, or nothing when cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent,
                                                const OpenDialogSettings& settings) = 0;
    // Question box with the buttons "Konwertuj", "Koduj bez zmian" and
    // "Anuluj" (also Escape and closing the box).
    virtual RecordingUse askRecordingUse(QWidget* parent, const QString& text) = 0;
    // Runs a file-save dialog for files of `types`, starting at `suggested`;
    // the chosen path, or nothing when cancelled. It asks nothing about an
    // existing file: the caller does.
    virtual std::optional<QString> saveFileName(QWidget* parent, const QString& caption,
                                                const QString& suggested,
                                                const SaveDialogTypes& types) = 0;
};

// The real Qt message boxes, file dialog and override cursor.
class QtUserDialogs final : public UserDialogs {
  public:
    void information(QWidget* parent, const QString& text) override {
        showInformationBox(parent, text);
    }
    bool confirm(QWidget* parent, const QString& text) override;
    void showError(QWidget* parent, const QString& text) override;
    // Opens with the filter chosen last (in a dialog confirmed or cancelled)
    // where the settings offer it, else with their first.
    std::optional<QString> openFileName(QWidget* parent,
                                        const OpenDialogSettings& settings) override;
    RecordingUse askRecordingUse(QWidget* parent, const QString& text) override;
    std::optional<QString> saveFileName(QWidget* parent, const QString& caption,
                                        const QString& suggested,
                                        const SaveDialogTypes& types) override;
    void setBusyCursor() override { showBusyCursor(); }
    void restoreCursor() override { restoreBusyCursor(); }

  private:
    QString lastOpenFilter_;
};

}  // namespace zorvel
