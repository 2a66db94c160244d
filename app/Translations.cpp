#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace zorvel {

QString qtTranslationsFolder() { return QLibraryInfo::path(QLibraryInfo::TranslationsPath); }

bool installPolishQtTranslations(QCoreApplication& application) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QString::fromLatin1(kQtPolishTranslations), qtTranslationsFolder())) {
        return false;
    }
    translator->setParent(&application);  // the application owns it from here
    return QCoreApplication::installTranslator(translator.release());
}

}  // namespace zorvel
