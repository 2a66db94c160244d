#include "app/ZorvelApplication.h"

#include <QIcon>
#include <QMessageBox>

#include "app/Translations.h"

namespace zorvel {

ZorvelApplication::ZorvelApplication(int& argc, char** argv, UserDialogs& dialogs)
    : QApplication(argc, argv), dialogs_(&dialogs) {
    // No display name: Qt would append it to every window's and dialog's
    // title, and the titles are exactly the forms' captions.
    setApplicationName(QStringLiteral("zorvel"));
    setDesktopFileName(QStringLiteral("zorvel"));
    // The installed icon (share/icons/hicolor), for every window.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("zorvel")));
    installPolishQtTranslations(*this);
}

bool ZorvelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showException(error);
        return false;
    }
}

void ZorvelApplication::showException(const std::exception& error) {
    dialogs_->showError(activeWindow(), QString::fromLocal8Bit(error.what()));
}

void reportEscapedException(const std::exception& error) {
    if (auto* application = dynamic_cast<ZorvelApplication*>(QCoreApplication::instance())) {
        application->showException(error);
        return;
    }
    QMessageBox::critical(nullptr, messageBoxTitle(), QString::fromLocal8Bit(error.what()));
}

}  // namespace zorvel
