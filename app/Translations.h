// Qt's own texts in Polish: the standard buttons of message boxes ("Tak",
// "Nie"), the file dialog and the other standard dialogs, from the
// translations Qt ships (qtbase_pl). The program is Polish whatever the
// user's language; numbers still follow the user's locale.
#pragma once

#include <QString>

class QCoreApplication;

namespace zorvel {

// The file name of Qt's Polish translations, without the ".qm".
inline constexpr char kQtPolishTranslations[] = "qtbase_pl";

// Where Qt's translations are looked for: Qt's own translations folder.
QString qtTranslationsFolder();

// Loads qtbase_pl from qtTranslationsFolder() into `application`, which owns
// the translator. False, with nothing installed, when it cannot be loaded:
// Qt's texts then stay English, and the program still runs.
bool installPolishQtTranslations(QCoreApplication& application);

}  // namespace zorvel
