#include "cli/PictureFiles.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <iostream>

#include "cli/FileChecks.h"

namespace zorvel::cli {
namespace {

// Qt's own notes about the desktop it does not use (no runtime directory,
// no session) mean nothing for drawing into images; only its errors are shown.
void showQtErrorsOnly(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "zorvel-cli: Qt: " << message.toStdString() << '\n';
}

}  // namespace

OffscreenApplication::OffscreenApplication() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(showQtErrorsOnly);
    application_.emplace(argc_, argv_.data());
}

void writePicture(const Picture& picture, PictureFormat format, const StagedFile& staged) {
    QByteArray bytes;
    if (format == PictureFormat::svg) {
        bytes = pictureSvg(picture);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!pictureImage(picture).save(&buffer, "PNG"))
            throw FileError("could not encode '" + staged.finalName().string() + "' as PNG");
    }
    writeAll(staged.descriptor(), bytes.constData(), static_cast<std::size_t>(bytes.size()),
             staged.finalName());
}

void writeChartFile(const std::filesystem::path& name, PictureFormat format,
                    const std::function<Picture()>& describe, StagingArea& area, bool overwrite) {
    OffscreenApplication fonts;
    const Picture picture = describe();
    StagedFile staged(area, name);
    writePicture(picture, format, staged);
    staged.commit(overwrite);
}

}  // namespace zorvel::cli
