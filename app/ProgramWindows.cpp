#include "app/ProgramWindows.h"

#include <QCommandLineParser>
#include <QFileInfo>

namespace zorvel {

QString inputArgument(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Badanie kodera mowy ACELP: kodowanie plików mowy i wykresy każdej ramki."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("plik"), QStringLiteral("plik wejściowy"),
                                 QStringLiteral("[plik]"));
    parser.process(arguments);
    const QStringList files = parser.positionalArguments();
    return files.isEmpty() ? QString() : files.first();
}

ProgramWindows::ProgramWindows(UserDialogs& dialogs, const QString& input) : MMenu(dialogs) {
    MMenu.setForms(&TestForm, &InfoForm);
    MMenu.show();
    if (input.isEmpty()) return;
    // What cannot be an input is told at once; the window starts without one.
    const QFileInfo file(input);
    if (!file.exists()) {
        dialogs.information(&MMenu, QStringLiteral("Plik wejściowy „%1” podany przy uruchomieniu "
                                                   "nie istnieje.")
                                        .arg(file.absoluteFilePath()));
    } else if (file.isDir()) {
        dialogs.information(&MMenu, QStringLiteral("„%1” podany przy uruchomieniu jest folderem, "
                                                   "a nie plikiem wejściowym.")
                                        .arg(file.absoluteFilePath()));
    } else {
        MMenu.openInput(file.absoluteFilePath());
    }
}

}  // namespace zorvel
