#include "charts/ChartContextMenus.h"

#include <QActionGroup>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QSaveFile>
#include <QShortcut>
#include <filesystem>
#include <span>

#include "charts/ChartWindow.h"
#include "charts/OverviewStrip.h"
#include "charts/SystemReasons.h"
#include "coder/SpeechCoder.h"
#include "files/StagedOutput.h"
#include "plots/MeasureTexts.h"

namespace zorvel {
namespace {

struct PlaybackEntry {
    const char* name;  // as the check boxes name the signal
    const char* key;   // shown after a tab, as Qt shows a shortcut
    PlaybackSignal signal;
};
constexpr PlaybackEntry kPlaybackEntries[] = {
    {"s'(n)", "\tSpacja", PlaybackSignal::Synthesized},
    {"s(n)", "\tShift+Spacja", PlaybackSignal::Speech},
    {"sp(n)", "", PlaybackSignal::PostProcessed},
    {"e(n) = s(n) - s'(n)", "", PlaybackSignal::Error},
};

// A/B listening: s(n) against one of the coder's outputs.
struct ComparisonEntry {
    const char* name;
    PlaybackSignal coded;
};
constexpr ComparisonEntry kComparisonEntries[] = {
    {"s'(n)", PlaybackSignal::Synthesized},
    {"sp(n)", PlaybackSignal::PostProcessed},
};

constexpr QRect kSideLabelPlace{680, 662, 270, 16};

// The coding error, shown on the user's word: the form has no box for it.
struct ErrorEntry {
    const char* text;
    bool ErrorShown::*shown;
};
constexpr ErrorEntry kErrorTraceEntries[] = {
    {"Pokaż błąd e(n) = s(n) - s'(n)", &ErrorShown::timeError},
    {"Pokaż błąd ep(n) = s(n) - sp(n)", &ErrorShown::timePostProcessedError},
};
constexpr ErrorEntry kErrorSpectrumEntries[] = {
    {"Pokaż widmo błędu |E(f)|", &ErrorShown::spectrumError},
    {"Pokaż widmo błędu |Ep(f)|", &ErrorShown::spectrumPostProcessedError},
};

struct PictureEntry {
    const char* text;
    PictureFile format;
};
constexpr PictureEntry kPictureEntries[] = {
    {"Zapisz obraz jako PNG...", PictureFile::Png},
    {"Zapisz obraz jako PNG (2x)...", PictureFile::Png2x},
    {"Zapisz obraz jako SVG...", PictureFile::Svg},
};

QString defaultSaveFileName(QWidget* parent, const QString& caption, const QString& suggested,
                            const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

}  // namespace

QString pictureFileSuffix(PictureFile format) {
    switch (format) {
        case PictureFile::Png2x:
            return QStringLiteral("_2x.png");
        case PictureFile::Svg:
            return QStringLiteral(".svg");
        case PictureFile::Png:
            break;
    }
    return QStringLiteral(".png");
}

namespace {

// Why no file can be written as `fileName`, in Polish, as far as the file
// system tells; else what the failed write said.
QString whyNotWritten(const QString& fileName, const QSaveFile& file) {
    const QFileInfo info(fileName);
    if (info.isDir()) return QStringLiteral("to jest folder");
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) return QStringLiteral("folder „%1” nie istnieje").arg(folder);
    if (const int refused =
            newFileError(std::filesystem::path(QFile::encodeName(folder).toStdString())))
        return polishReason(refused);
    return file.errorString();
}

}  // namespace

std::optional<QString> savePictureFile(const Picture& picture, PictureFile format,
                                       const QString& fileName) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return whyNotWritten(fileName, file);
    bool written = false;
    if (format == PictureFile::Svg) {
        written = file.write(pictureSvg(picture)) >= 0;
    } else {
        const int scale = format == PictureFile::Png2x ? 2 : 1;
        written = pictureImage(picture, scale).save(&file, "PNG");
    }
    if (!written) {
        const QString reason = whyNotWritten(fileName, file);
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return whyNotWritten(fileName, file);
    return std::nullopt;
}

QString pictureSaveFailure(const QString& fileName, const QString& reason) {
    return QStringLiteral("Nie można zapisać pliku %1: %2.").arg(fileName, reason);
}

ChartContextMenus::ChartContextMenus(ChartWindow& window, QLabel& timeImage, QLabel& spectrumImage,
                                     OverviewStrip& overviewStrip,
                                     std::function<void(const QString&)> inform)
    : window_(window),
      overviewStrip_(overviewStrip),
      inform_(std::move(inform)),
      playback_(std::make_unique<ChartPlayback>(std::make_unique<QtAudioSink>(), inform_)),
      timeMenu_(std::make_unique<QMenu>()),
      spectrumMenu_(std::make_unique<QMenu>()),
      overviewMenu_(std::make_unique<QMenu>()),
      saveFileName_(defaultSaveFileName),
      sideLabel_(new QLabel(&window)) {
    // In the form's free space right of the status panel: it moves no control.
    sideLabel_->setGeometry(kSideLabelPlace);
    sideLabel_->hide();
    connect(playback_.get(), &ChartPlayback::sideChanged, this, &ChartContextMenus::showSide);
    buildMenus();
    for (auto [widget, menu] : {std::pair<QWidget*, QMenu*>{&timeImage, timeMenu_.get()},
                                std::pair<QWidget*, QMenu*>{&spectrumImage, spectrumMenu_.get()},
                                std::pair<QWidget*, QMenu*>{&overviewStrip, overviewMenu_.get()}}) {
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, menu,
                [widget, menu](const QPoint& at) { menu->popup(widget->mapToGlobal(at)); });
    }
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), &window_);
    connect(space, &QShortcut::activated, this, [this] { playShown(PlaybackSignal::Synthesized); });
    auto* shiftSpace = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Space), &window_);
    connect(shiftSpace, &QShortcut::activated, this, [this] { playShown(PlaybackSignal::Speech); });
    auto* switchKey = new QShortcut(QKeySequence(Qt::Key_A), &window_);
    connect(switchKey, &QShortcut::activated, this, &ChartContextMenus::switchSide);
    // Hiding the window ends its sound.
    connect(&window_, &ChartWindow::closed, this, [this] { playback_->stop(); });
}

ChartContextMenus::~ChartContextMenus() = default;

void ChartContextMenus::buildMenus() {
    for (const PlaybackEntry& entry : kPlaybackEntries) {
        const QString text = QStringLiteral("Odtwórz %1 – pokazane ramki").arg(entry.name) +
                             QString::fromUtf8(entry.key);
        QAction* shown = timeMenu_->addAction(text);
        connect(shown, &QAction::triggered, this, [this, entry] { playShown(entry.signal); });
    }
    timeMenu_->addSeparator();
    for (const PlaybackEntry& entry : kPlaybackEntries) {
        QAction* rest = timeMenu_->addAction(
            QStringLiteral("Odtwórz %1 – od bieżącej ramki do końca pliku").arg(entry.name));
        connect(rest, &QAction::triggered, this, [this, entry] { playRestOfFile(entry.signal); });
    }
    timeMenu_->addSeparator();
    for (const ComparisonEntry& entry : kComparisonEntries) {
        const QString shown =
            QStringLiteral("Odsłuch A/B: s(n) ↔ %1 – pokazane ramki").arg(entry.name);
        connect(timeMenu_->addAction(shown), &QAction::triggered, this,
                [this, entry] { compareShown(entry.coded); });
    }
    for (const ComparisonEntry& entry : kComparisonEntries) {
        const QString rest =
            QStringLiteral("Odsłuch A/B: s(n) ↔ %1 – od bieżącej ramki do końca pliku")
                .arg(entry.name);
        connect(timeMenu_->addAction(rest), &QAction::triggered, this,
                [this, entry] { compareRestOfFile(entry.coded); });
    }
    QAction* switchSides = timeMenu_->addAction(QStringLiteral("Przełącz A/B\tA"));
    connect(switchSides, &QAction::triggered, this, &ChartContextMenus::switchSide);
    QAction* stop = timeMenu_->addAction(QStringLiteral("Zatrzymaj odtwarzanie"));
    connect(stop, &QAction::triggered, playback_.get(), &ChartPlayback::stop);
    connect(timeMenu_.get(), &QMenu::aboutToShow, this, [this, stop, switchSides] {
        stop->setEnabled(playback_->active());
        switchSides->setEnabled(playback_->side().has_value());
    });
    timeMenu_->addSeparator();
    const auto addErrorEntries = [this](QMenu& menu, std::span<const ErrorEntry> entries) {
        for (const ErrorEntry& entry : entries) {
            QAction* action = menu.addAction(QString::fromUtf8(entry.text));
            action->setCheckable(true);
            connect(action, &QAction::toggled, this, [this, entry](bool on) {
                errorShown_.*entry.shown = on;
                window_.redrawCharts();
            });
        }
        menu.addSeparator();
    };
    addErrorEntries(*timeMenu_, kErrorTraceEntries);
    addErrorEntries(*spectrumMenu_, kErrorSpectrumEntries);
    for (const PictureEntry& entry : kPictureEntries) {
        connect(timeMenu_->addAction(QString::fromUtf8(entry.text)), &QAction::triggered, this,
                [this, entry] { saveTimePicture(entry.format); });
        connect(spectrumMenu_->addAction(QString::fromUtf8(entry.text)), &QAction::triggered, this,
                [this, entry] { saveSpectrumPicture(entry.format); });
        connect(overviewMenu_->addAction(QString::fromUtf8(entry.text)), &QAction::triggered, this,
                [this, entry] { saveOverviewPicture(entry.format); });
    }
    addOverviewLaneChoice();
}

// What the strip's middle lane shows: the frame SNR, one spectral distance or,
// offered only while the coder quantises, the quantised LP's distortion.
void ChartContextMenus::addOverviewLaneChoice() {
    overviewMenu_->addSeparator();
    auto* choice = new QActionGroup(overviewMenu_.get());
    auto add = [&](const QString& text, std::optional<LaneMeasure> measure, const QString& key) {
        QAction* action = overviewMenu_->addAction(QStringLiteral("Pasek: ") + text);
        action->setCheckable(true);
        action->setChecked(!measure);
        action->setActionGroup(choice);
        action->setObjectName(QStringLiteral("OverviewLane_") + key);
        connect(action, &QAction::triggered, this,
                [this, measure] { overviewStrip_.setMeasure(measure); });
        return action;
    };
    frameSnrLane_ = add(QStringLiteral("SNR ramki"), std::nullopt, QStringLiteral("frameSnr"));
    for (SpectralMeasure measure : kAllSpectralMeasures)
        add(measureName(measure), measure, QString::fromUtf8(infoOf(measure).key));
    const LaneMeasure distortion = QuantisedLpDistortion{};
    lpDistortionLane_ = add(measureName(distortion), distortion, QStringLiteral("lpDistortion"));
    lpDistortionLane_->setVisible(false);
}

void ChartContextMenus::offerLpDistortion(bool quantised) {
    lpDistortionLane_->setVisible(quantised);
    if (quantised || !lpDistortionLane_->isChecked()) return;
    frameSnrLane_->setChecked(true);
    overviewStrip_.setMeasure(std::nullopt);
}

void ChartContextMenus::playShown(PlaybackSignal signal) {
    const SpeechCoder* coder = window_.coder();
    if (coder == nullptr) return;
    playback_->toggleSamples(shownSamples(coder->previousFrame(), coder->currentFrame(), signal,
                                          window_.plotOptions().twoFrames));
}

RestOfFile ChartContextMenus::restOfFile() const {
    const SpeechCoder* coder = window_.coder();
    RestOfFile request;
    request.input = std::filesystem::path(QFile::encodeName(window_.fileName()).toStdString());
    request.mode = coder->mode();
    request.settings = coder->settings();
    request.firstFrame = std::max(coder->frameCount(), 1);
    return request;
}

void ChartContextMenus::playRestOfFile(PlaybackSignal signal) {
    if (window_.coder() == nullptr) return;
    playback_->toggleRestOfFile(restOfFile(), signal);
}

void ChartContextMenus::compareShown(PlaybackSignal coded) {
    const SpeechCoder* coder = window_.coder();
    if (coder == nullptr) return;
    compared_ = coded;
    const bool two = window_.plotOptions().twoFrames;
    playback_->toggleComparison(
        shownSamples(coder->previousFrame(), coder->currentFrame(), PlaybackSignal::Speech, two),
        shownSamples(coder->previousFrame(), coder->currentFrame(), coded, two));
}

void ChartContextMenus::compareRestOfFile(PlaybackSignal coded) {
    if (window_.coder() == nullptr) return;
    compared_ = coded;
    playback_->toggleRestOfFileComparison(restOfFile(), coded);
}

void ChartContextMenus::switchSide() { playback_->switchSide(); }

void ChartContextMenus::showSide() {
    const std::optional<ListeningSide> side = playback_->side();
    sideLabel_->setVisible(side.has_value());
    if (!side) return;
    const QString coded = compared_ == PlaybackSignal::PostProcessed ? QStringLiteral("sp(n)")
                                                                     : QStringLiteral("s'(n)");
    sideLabel_->setText(*side == ListeningSide::original
                            ? QStringLiteral("Słychać: A – s(n)   (A przełącza)")
                            : QStringLiteral("Słychać: B – ") + coded +
                                  QStringLiteral("   (A przełącza)"));
}

void ChartContextMenus::saveTimePicture(PictureFile format) {
    const SpeechCoder* coder = window_.coder();
    if (coder == nullptr) return;
    const QImage& image = window_.timeImage();
    savePicture(describeTimeFigure(image.width(), image.height(), coder->previousFrame(),
                                   coder->currentFrame(), window_.plotOptions(), shownSubject()),
                format, shownFrameName(QStringLiteral("czas")));
}

void ChartContextMenus::saveSpectrumPicture(PictureFile format) {
    const SpeechCoder* coder = window_.coder();
    if (coder == nullptr) return;
    const QImage& image = window_.spectrumImage();
    savePicture(describeSpectrumFigure(image.width(), image.height(), coder->currentFrame(),
                                       window_.plotOptions(), shownSubject()),
                format, shownFrameName(QStringLiteral("widmo")));
}

void ChartContextMenus::saveOverviewPicture(PictureFile format) {
    if (window_.coder() == nullptr) return;
    savePicture(describeOverviewFigure(overviewStrip_.picture(), overviewStrip_.totalFrames(),
                                       window_.chartColours(), shownSubject(),
                                       overviewStrip_.laneMeasure()),
                format, QStringLiteral("%1_przeglad").arg(window_.fileName()));
}

FigureSubject ChartContextMenus::shownSubject() const {
    const SpeechCoder& coder = *window_.coder();
    return {window_.fileName(), coder.mode(), coder.settings(), coder.frameCount()};
}

QString ChartContextMenus::shownFrameName(const QString& what) const {
    return QStringLiteral("%1_ramka%2-%3")
        .arg(window_.fileName())
        .arg(window_.coder()->frameCount())
        .arg(what);
}

void ChartContextMenus::savePicture(const Picture& picture, PictureFile format,
                                    const QString& suggestedName) {
    const QString suggested = suggestedName + pictureFileSuffix(format);
    const QString filter = format == PictureFile::Svg ? QStringLiteral("Obrazy SVG (*.svg)")
                                                      : QStringLiteral("Obrazy PNG (*.png)");
    const QString name = saveFileName_(&window_, QStringLiteral("Zapisz obraz"), suggested, filter);
    // Back to the window's keys once the dialog is gone, also where no window
    // manager gives the focus back.
    window_.activateWindow();
    if (name.isEmpty()) return;
    if (const auto reason = savePictureFile(picture, format, name))
        inform_(pictureSaveFailure(name, *reason));
}

}  // namespace zorvel
