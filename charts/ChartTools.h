// What the chart window offers beyond its form: the context menus of its two
// images (playback of s(n), s'(n) and sp(n); saving the picture as PNG at
// 1x or 2x or as SVG), and the playback keys: Space plays the frames shown as
// s'(n), Shift+Space as s(n); a second press stops.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

#include "charts/ChartPlayback.h"
#include "plots/Picture.h"

class QLabel;
class QMenu;
class QShortcut;

namespace zorvel {

class ChartWindow;

enum class PictureFile { Png, Png2x, Svg };

// Writes a picture: PNG painted with the Canvas rule at 1x or 2x, or SVG.
// False when the file cannot be written.
bool savePictureFile(const Picture& picture, PictureFile format, const QString& fileName);

class ChartTools : public QObject {
    Q_OBJECT
  public:
    // Asks the user for the name of a new file: (parent, caption, suggested
    // name, filter) -> the name, empty when cancelled.
    using SaveFileName =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    ChartTools(ChartWindow& window, QLabel& timeImage, QLabel& spectrumImage,
               std::function<void(const QString&)> inform);
    ~ChartTools() override;

    ChartPlayback& playback() { return *playback_; }
    QMenu& timeMenu() { return *timeMenu_; }
    QMenu& spectrumMenu() { return *spectrumMenu_; }
    void setSaveFileName(SaveFileName saveFileName) { saveFileName_ = std::move(saveFileName); }

    // The actions of the menus and keys.
    void playShown(PlaybackSignal signal);
    void playRestOfFile(PlaybackSignal signal);
    void saveTimePicture(PictureFile format);
    void saveSpectrumPicture(PictureFile format);

  private:
    void buildMenus();
    void savePicture(const Picture& picture, PictureFile format, const QString& what);

    ChartWindow& window_;
    std::function<void(const QString&)> inform_;
    std::unique_ptr<ChartPlayback> playback_;
    std::unique_ptr<QMenu> timeMenu_;
    std::unique_ptr<QMenu> spectrumMenu_;
    SaveFileName saveFileName_;
};

}  // namespace zorvel
