// What the chart window offers beyond its form: the context menus of its two
// images and of the overview strip (playback of s(n), s'(n) and sp(n) on the
// time image; saving each picture as a figure with its title, axes and
// legend, as PNG at 1x or 2x or as SVG), and the playback keys: Space plays
// the frames shown as s'(n), Shift+Space as s(n); a second press stops.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "charts/ChartPlayback.h"
#include "plots/Figure.h"
#include "plots/Picture.h"

class QAction;
class QLabel;
class QMenu;
class QShortcut;

namespace zorvel {

class ChartWindow;
class OverviewStrip;

enum class PictureFile { Png, Png2x, Svg };

// What the suggested name of a picture file ends in: ".png", "_2x.png" (so
// that the larger picture does not replace the other) or ".svg".
QString pictureFileSuffix(PictureFile format);

// Writes a picture: PNG painted with the Canvas rule at 1x or 2x, or SVG.
// Why the file cannot be written, in Polish ("folder „/x” nie istnieje",
// "brak uprawnień"), or nothing when it was.
std::optional<QString> savePictureFile(const Picture& picture, PictureFile format,
                                       const QString& fileName);
// "Nie można zapisać pliku NAME: REASON.", as every window tells it.
QString pictureSaveFailure(const QString& fileName, const QString& reason);

// Which error traces and spectra the context menus have switched on.
struct ErrorShown {
    bool timeError = false;                   // e(n) = s(n) - s'(n)
    bool timePostProcessedError = false;      // ep(n) = s(n) - sp(n)
    bool spectrumError = false;               // |E(f)|
    bool spectrumPostProcessedError = false;  // |Ep(f)|
};

class ChartContextMenus : public QObject {
    Q_OBJECT
  public:
    // Asks the user for the name of a new file: (parent, caption, suggested
    // name, filter) -> the name, empty when cancelled.
    using SaveFileName =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    ChartContextMenus(ChartWindow& window, QLabel& timeImage, QLabel& spectrumImage,
                      OverviewStrip& overviewStrip, std::function<void(const QString&)> inform);
    ~ChartContextMenus() override;

    ChartPlayback& playback() { return *playback_; }
    QMenu& timeMenu() { return *timeMenu_; }
    QMenu& spectrumMenu() { return *spectrumMenu_; }
    QMenu& overviewMenu() { return *overviewMenu_; }
    void setSaveFileName(SaveFileName saveFileName) { saveFileName_ = std::move(saveFileName); }

    // The actions of the menus and keys.
    const ErrorShown& errorShown() const { return errorShown_; }
    void playShown(PlaybackSignal signal);
    void playRestOfFile(PlaybackSignal signal);
    // A/B listening of s(n) against `coded` (s'(n) or sp(n)), of the frames
    // shown or from the current frame to the end of the file; the key A (or
    // "Przełącz A/B") switches the side heard, which a label shows.
    void compareShown(PlaybackSignal coded);
    void compareRestOfFile(PlaybackSignal coded);
    void switchSide();
    // "Słychać: A – s(n)" while an A/B playback plays; hidden otherwise.
    const QLabel& sideLabel() const { return *sideLabel_; }
    void saveTimePicture(PictureFile format);
    void saveSpectrumPicture(PictureFile format);
    void saveOverviewPicture(PictureFile format);
    void addOverviewLaneChoice();
    // Offers the quantised LP's distortion among the strip's lanes only for a
    // quantising coder: where it is not, a strip showing it goes back to the SNR.
    void offerLpDistortion(bool quantised);

  private:
    void buildMenus();
    // "<file>_ramka<n>-<what>": the name of a picture of the frame shown.
    QString shownFrameName(const QString& what) const;
    // The file, the mode and the frame shown, for a figure's title.
    FigureSubject shownSubject() const;
    RestOfFile restOfFile() const;
    void showSide();
    // Asks for a file name, suggesting `suggestedName` plus the format's extension.
    void savePicture(const Picture& picture, PictureFile format, const QString& suggestedName);

    ChartWindow& window_;
    OverviewStrip& overviewStrip_;
    ErrorShown errorShown_;
    std::function<void(const QString&)> inform_;
    std::unique_ptr<ChartPlayback> playback_;
    std::unique_ptr<QMenu> timeMenu_;
    std::unique_ptr<QMenu> spectrumMenu_;
    std::unique_ptr<QMenu> overviewMenu_;
    SaveFileName saveFileName_;
    QLabel* sideLabel_;  // a child of the window, in the form's free space
    PlaybackSignal compared_ = PlaybackSignal::Synthesized;  // side B of an A/B playback
    QAction* frameSnrLane_ = nullptr;                        // owned by the overview menu
    QAction* lpDistortionLane_ = nullptr;                    // owned by the overview menu
};

}  // namespace zorvel
