#include "app/ZorvelApplication.h"

#include <QMessageBox>

namespace zorvel {

ZorvelApplication::ZorvelApplication(int& argc, char** argv, UserDialogs& dialogs)
    : QApplication(argc, argv), dialogs_(&dialogs) {
    setApplicationName("zorvel");
    setApplicationDisplayName("Zorvel");
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
    QMessageBox::critical(nullptr, QGuiApplication::applicationDisplayName(),
                          QString::fromLocal8Bit(error.what()));
}

}  // namespace zorvel
