#include "charts/SystemReasons.h"

#include <cerrno>
#include <new>
#include <system_error>

#include "files/FileError.h"

namespace zorvel {

QString polishReason(int error) {
    switch (error) {
        case ENOSPC:
            return QStringLiteral("brak miejsca na dysku");
        case EDQUOT:
            return QStringLiteral("przekroczony przydział miejsca na dysku");
        case EACCES:
        case EPERM:
            return QStringLiteral("brak uprawnień");
        case EROFS:
            return QStringLiteral("system plików tylko do odczytu");
        case ENOENT:
            return QStringLiteral("folder nie istnieje");
        case ENOTDIR:
            return QStringLiteral("część ścieżki nie jest folderem");
        case EISDIR:
            return QStringLiteral("to jest folder");
        case EFBIG:
            return QStringLiteral("plik jest za duży");
        case ENAMETOOLONG:
            return QStringLiteral("nazwa jest za długa");
        case EIO:
            return QStringLiteral("błąd wejścia-wyjścia");
        case ENXIO:
            return QStringLiteral("nikt nie czyta z potoku");
        case EPIPE:
            return QStringLiteral("odbiorca potoku przestał czytać");
        case ENOMEM:
            return QStringLiteral("brak pamięci");
        default:
            return QString::fromStdString(std::generic_category().message(error));
    }
}

QString polishFailure(const std::exception& failure) {
    if (const auto* file = dynamic_cast<const FileError*>(&failure); file && file->error() != 0)
        return polishReason(file->error());
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return polishReason(ENOMEM);
    return QString::fromStdString(failure.what());
}

}  // namespace zorvel
