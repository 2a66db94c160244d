#include "charts/ChartWindowHints.h"

#include <QWidget>
#include <array>
#include <utility>

namespace zorvel {

namespace {

// Control name and tooltip; the keys named are those of the chart window.
const std::array<std::pair<const char*, const char*>, 7> kHints{{
    {"BT_start", "Pierwsza ramka (Home)"},
    {"BT_prev", "Poprzednia ramka (\u2190); o 10 ramek wstecz: PgUp"},
    {"BT_next", "Następna ramka (\u2192); o 10 ramek dalej: PgDn"},
    {"BT_end", "Ostatnia ramka (End)"},
    {"BT_refresh",
     "Odśwież: przejdź do ramki z pola Ramka i przerysuj wykresy w skali z pola "
     "Skala (Enter w polu Ramka lub Skala)"},
    {"RadioButton1", "Wykresy na ciemnym tle"},
    {"RadioButton2", "Wykresy na jasnym tle"},
}};

}  // namespace

void setChartWindowHints(QWidget& chartWindow) {
    for (const auto& [name, hint] : kHints) {
        if (auto* control = chartWindow.findChild<QWidget*>(QString::fromLatin1(name))) {
            control->setToolTip(QString::fromUtf8(hint));
        }
    }
}

}  // namespace zorvel
