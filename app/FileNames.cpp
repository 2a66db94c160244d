#include "app/FileNames.h"

#include <QFile>
#include <QFileInfo>

namespace zorvel {

bool fileExists(const QString& name) {
    const QFileInfo info(name);
    return !name.isEmpty() && info.exists() && !info.isDir();
}

std::filesystem::path toPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

}  // namespace zorvel
