// A recording the coder cannot take as it stands (another rate, more
// channels, other samples or another container), chosen in the main window.
// The user is told what it is and chooses: convert it to 8000 Hz mono 16-bit
// into a file of its own (INPUT_8k.wav beside it, or where the user says when
// that folder takes no new files) and code the conversion; code it unchanged,
// from byte 60 as the coder reads every file; or cancel. Raw files and
// 8000 Hz mono 16-bit WAV are taken as they are, without a question.
#pragma once

#include <QString>
#include <optional>

#include "sound/Recording.h"

class QWidget;

namespace zorvel {

class UserDialogs;

// "48000 Hz, stereo, próbki 24-bitowe" (with ", FLAC" and the like when the
// container is not WAV).
QString polishDescription(const RecordingFormat& format);

class RecordingImport {
  public:
    // `dialogs` must outlive this object; `window` parents its boxes.
    RecordingImport(QWidget& window, UserDialogs& dialogs) : window_(window), dialogs_(dialogs) {}

    // The file to code for `chosen`: itself, its conversion, or nothing when
    // the user cancelled or the conversion failed (the user has been told
    // why). A file the user chose to code unchanged is not asked about again.
    std::optional<QString> inputFor(const QString& chosen);

  private:
    std::optional<QString> convert(const QString& chosen);
    // INPUT_8k.wav beside the input, or where the user says when that folder
    // takes no new files; nothing when the user cancels.
    std::optional<QString> conversionName(const QString& chosen);

    QWidget& window_;
    UserDialogs& dialogs_;
    QString codedUnchanged_;
};

}  // namespace zorvel
