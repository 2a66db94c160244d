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
    if (!input.isEmpty()) MMenu.openInput(QFileInfo(input).absoluteFilePath());
}

}  // namespace zorvel
