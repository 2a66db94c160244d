#include "app/ChartSaving.h"

#include <QLabel>
#include <QMenu>
#include <utility>

namespace zorvel {

void addChartSaveMenu(QLabel& chart, QMenu& menu, std::function<bool()> drawn,
                      std::function<void(PictureFile)> save) {
    const std::pair<QString, PictureFile> saves[] = {
        {QStringLiteral("Zapisz wykres jako PNG..."), PictureFile::Png},
        {QStringLiteral("Zapisz wykres jako PNG (2x)..."), PictureFile::Png2x},
        {QStringLiteral("Zapisz wykres jako SVG..."), PictureFile::Svg},
    };
    for (const auto& [text, format] : saves)
        QObject::connect(menu.addAction(text), &QAction::triggered, &menu,
                         [save, format] { save(format); });
    chart.setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(&chart, &QWidget::customContextMenuRequested, &menu,
                     [&chart, &menu, drawn = std::move(drawn)](const QPoint& at) {
                         if (drawn()) menu.popup(chart.mapToGlobal(at));
                     });
}

void saveChartPicture(QWidget* parent, const ChartContextMenus::SaveFileName& askName,
                      const std::function<void(const QString&)>& inform, const Picture& picture,
                      PictureFile format, const QString& stem) {
    const bool svg = format == PictureFile::Svg;
    const QString name =
        askName(parent, QStringLiteral("Zapisz wykres"), stem + pictureFileSuffix(format),
                svg ? QStringLiteral("Obrazy SVG (*.svg)") : QStringLiteral("Obrazy PNG (*.png)"));
    if (name.isEmpty()) return;
    if (const auto reason = savePictureFile(picture, format, name))
        inform(pictureSaveFailure(name, *reason));
}

}  // namespace zorvel
