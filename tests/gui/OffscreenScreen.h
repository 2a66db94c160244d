// The screen the window suites run on. Qt's offscreen platform has one of
// 800 x 800, lower than the chart window's form: the suites take a desktop's
// 1920 x 1080 (tests/gui/screens/desktop.json), and the suite of a laptop's
// screen its 1366 x 738 free area. A platform named in the environment other
// than plain "offscreen" (a real display, say) is left as it is.
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace zorvel::test {

inline void useOffscreenScreen(const char* configuration = ZORVEL_DESKTOP_SCREEN) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + configuration);
}

}  // namespace zorvel::test
