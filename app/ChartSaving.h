// Saving a chart of the comparison window as a figure: its context menu
// "Zapisz wykres jako PNG...", "... PNG (2x)..." and "... SVG...", each
// asking for a name and writing the chart's picture.
#pragma once

#include <QString>
#include <functional>

#include "charts/ChartContextMenus.h"

class QLabel;
class QMenu;
class QWidget;

namespace zorvel {

// Fills `menu` with the three entries, each calling `save` with its format,
// and shows it on a right click on `chart` while `drawn()`.
void addChartSaveMenu(QLabel& chart, QMenu& menu, std::function<bool()> drawn,
                      std::function<void(PictureFile)> save);

// Asks for the name (suggesting `stem` with the format's ending) and writes
// `picture` there; `inform` says so when the file cannot be written.
void saveChartPicture(QWidget* parent, const ChartContextMenus::SaveFileName& askName,
                      const std::function<void(const QString&)>& inform, const Picture& picture,
                      PictureFile format, const QString& stem);

}  // namespace zorvel
