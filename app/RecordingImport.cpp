#include "app/RecordingImport.h"

#include <QDir>
#include <QFileInfo>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/FileNames.h"
#include "app/OffTheWindowThread.h"
#include "app/UserDialogs.h"
#include "charts/SystemReasons.h"
#include "files/StagedOutput.h"
#include "sound/Conversion.h"

namespace zorvel {
namespace {

const QString kSaveCaption = QStringLiteral("Zapisz przekonwertowane nagranie");

// The plural of "kanał" after a count above one.
QString channelCount(int channels) {
    const int ones = channels % 10;
    const int tens = channels % 100;
    const bool few = ones >= 2 && ones <= 4 && (tens < 12 || tens > 14);
    return QString::number(channels) +
           (few ? QStringLiteral(" kanały") : QStringLiteral(" kanałów"));
}

QString polishSamples(const RecordingFormat& format) {
    switch (format.sampleType) {
        case SampleType::pcm8:
            return QStringLiteral("próbki 8-bitowe");
        case SampleType::pcm16:
            return QStringLiteral("próbki 16-bitowe");
        case SampleType::pcm24:
            return QStringLiteral("próbki 24-bitowe");
        case SampleType::pcm32:
            return QStringLiteral("próbki 32-bitowe");
        case SampleType::float32:
            return QStringLiteral("próbki zmiennoprzecinkowe 32-bitowe");
        case SampleType::float64:
            return QStringLiteral("próbki zmiennoprzecinkowe 64-bitowe");
        case SampleType::uLaw:
            return QStringLiteral("próbki μ-law");
        case SampleType::aLaw:
            return QStringLiteral("próbki A-law");
        case SampleType::other:
        case SampleType::unknown:
            break;
    }
    return QStringLiteral("kodowanie ") + QString::fromStdString(format.sampleName);
}

QString quotedName(const QString& path) {
    return QStringLiteral("„") + QFileInfo(path).fileName() + QStringLiteral("”");
}

QString question(const QString& chosen, const RecordingFormat& format, const QString& target) {
    return QStringLiteral("Plik ") + quotedName(chosen) + QStringLiteral(" to nagranie ") +
           polishDescription(format) +
           QStringLiteral(
               ".\nKoder przyjmuje nagrania 8000 Hz, mono, 16-bitowe: odczytane bez zmian, "
               "to nagranie dałoby błędne wyniki.\n\n"
               "Można je przekonwertować do pliku ") +
           quotedName(target) + QStringLiteral(" i kodować ten plik.");
}

}  // namespace

QString polishDescription(const RecordingFormat& format) {
    QString text = QString::number(format.sampleRate) + QStringLiteral(" Hz, ");
    if (format.channels == 1)
        text += QStringLiteral("mono");
    else if (format.channels == 2)
        text += QStringLiteral("stereo");
    else
        text += channelCount(format.channels);
    text += QStringLiteral(", ") + polishSamples(format);
    if (!format.container.empty())
        text += QStringLiteral(", ") + QString::fromStdString(format.container);
    return text;
}

std::optional<QString> RecordingImport::inputFor(const QString& chosen) {
    const RecordingFormat format = describeRecording(toPath(chosen));
    if (format.kind != RecordingKind::otherFormat || chosen == codedUnchanged_) return chosen;
    const QString target = QFile::decodeName(convertedFileName(toPath(chosen)).c_str());
    switch (dialogs_.askRecordingUse(&window_, question(chosen, format, target))) {
        case RecordingUse::convert:
            return convert(chosen);
        case RecordingUse::codeUnchanged:
            codedUnchanged_ = chosen;
            return chosen;
        case RecordingUse::cancel:
            break;
    }
    return std::nullopt;
}

std::optional<QString> RecordingImport::conversionName(const QString& chosen) {
    const std::filesystem::path beside = convertedFileName(toPath(chosen));
    if (newFileError(beside.parent_path()) == 0) return QFile::decodeName(beside.c_str());
    const QString suggested = QDir::home().filePath(QFile::decodeName(beside.filename().c_str()));
    return dialogs_.saveFileName(&window_, kSaveCaption, suggested, waveFileTypes());
}

std::optional<QString> RecordingImport::convert(const QString& chosen) {
    const std::optional<QString> target = conversionName(chosen);
    if (!target) return std::nullopt;
    std::error_code sameFile;
    if (std::filesystem::equivalent(toPath(*target), toPath(chosen), sameFile)) {
        dialogs_.information(&window_, QStringLiteral("Przekonwertowane nagranie nie może "
                                                      "zastąpić pliku wejściowego."));
        return std::nullopt;
    }
    if (QFileInfo::exists(*target) &&
        !dialogs_.confirm(&window_, QStringLiteral("Plik ") + quotedName(*target) +
                                        QStringLiteral(" istnieje.\n\nNadpisać?")))
        return std::nullopt;

    ConvertedRecording recording;
    try {
        const BusyCursor busy(dialogs_);
        recording = runOffTheWindowThread([&] {
            ConvertedRecording r = convertRecording(toPath(chosen));
            StagingArea area;
            writeConvertedFile(r, toPath(*target), area, true);
            r.bytes.clear();
            return r;
        });
    } catch (const std::exception& error) {
        dialogs_.information(&window_, QStringLiteral("Nie można przekonwertować nagrania ") +
                                           quotedName(chosen) + QStringLiteral(":\n") +
                                           polishFailure(error));
        return std::nullopt;
    }
    if (recording.clipped > 0)
        dialogs_.information(&window_,
                             QStringLiteral("Nagranie zapisano w pliku ") + quotedName(*target) +
                                 QStringLiteral(".\nPróbki przycięte do pełnej skali: ") +
                                 QString::number(recording.clipped) + QStringLiteral("."));
    return target;
}

}  // namespace zorvel
