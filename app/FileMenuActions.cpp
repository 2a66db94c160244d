#include "app/FileMenuActions.h"

#include <QAction>
#include <QMenu>

#include "app/FileNames.h"
#include "app/ModeComparisonWindow.h"

namespace zorvel {
namespace {

const QString kMissingInputFile = QStringLiteral("Plik wejsciowy nie istnieje!");

}  // namespace

FileMenuActions::FileMenuActions(QWidget& window, QMenu& menu, QAction* before, Controls controls,
                                 std::function<void(const QString&)> inform)
    : window_(window),
      controls_(std::move(controls)),
      inform_(std::move(inform)),
      playback_(std::make_unique<ChartPlayback>(std::make_unique<QtAudioSink>(), inform_)),
      playInput_(new QAction(QStringLiteral("Odtwórz plik wejściowy"), &menu)),
      playOutput_(new QAction(QStringLiteral("Odtwórz plik wyjściowy"), &menu)),
      stop_(new QAction(QStringLiteral("Zatrzymaj odtwarzanie"), &menu)),
      comparisonAction_(new QAction(QStringLiteral("Porównanie trybów..."), &menu)) {
    // Open..., then these entries between separators, then Exit.
    menu.insertActions(before, {playInput_, playOutput_, stop_});
    menu.insertSeparator(playInput_);
    menu.insertSeparator(before);
    menu.insertAction(before, comparisonAction_);
    menu.insertSeparator(before);
    connect(playInput_, &QAction::triggered, this, &FileMenuActions::playInput);
    connect(playOutput_, &QAction::triggered, this, &FileMenuActions::playOutput);
    connect(stop_, &QAction::triggered, this, &FileMenuActions::stop);
    connect(comparisonAction_, &QAction::triggered, this, &FileMenuActions::openComparison);
    connect(&menu, &QMenu::aboutToShow, this,
            [this] { stop_->setEnabled(playback_->active() || reading_); });
}

FileMenuActions::~FileMenuActions() {
    worker_.request_stop();
    if (worker_.joinable()) worker_.join();
}

void FileMenuActions::playFile(const QString& name, const PlayMessages& messages) {
    if (playback_->active()) {
        playback_->stop();
        return;
    }
    if (name.isEmpty()) {
        inform_(messages.missing);
        return;
    }
    const unsigned long request = ++request_;
    pending_ = messages;
    reading_ = true;
    // Assigning a new worker stops the read of an earlier press and joins it.
    worker_ =
        std::jthread([this, reader = reader_, file = toPath(name), request](std::stop_token stop) {
            auto read = std::make_shared<const FileSamples>(reader(file, stop));
            if (read->outcome == ReadOutcome::stopped) return;
            QMetaObject::invokeMethod(
                this, [this, request, read] { samplesRead(request, *read); }, Qt::QueuedConnection);
        });
}

void FileMenuActions::samplesRead(unsigned long request, const FileSamples& read) {
    if (request != request_) return;
    reading_ = false;
    switch (read.outcome) {
        case ReadOutcome::read:
            playback_->toggleSamples(read.samples);
            return;
        case ReadOutcome::notFound:
            inform_(pending_.missing);
            return;
        case ReadOutcome::notRegularFile:
            inform_(pending_.notRegularFile);
            return;
        case ReadOutcome::unreadable:
            inform_(pending_.unreadable);
            return;
        case ReadOutcome::stopped:
            return;
    }
}

void FileMenuActions::playInput() {
    playFile(controls_.inputName(),
             {kMissingInputFile, QStringLiteral("Plik wejściowy nie jest zwykłym plikiem."),
              QStringLiteral("Nie można odczytać pliku wejściowego.")});
}

void FileMenuActions::playOutput() {
    playFile(controls_.outputName(), {QStringLiteral("Plik wyjściowy nie istnieje."),
                                      QStringLiteral("Plik wyjściowy nie jest zwykłym plikiem."),
                                      QStringLiteral("Nie można odczytać pliku wyjściowego.")});
}

void FileMenuActions::stop() {
    ++request_;  // a read still going is dropped
    reading_ = false;
    worker_.request_stop();
    playback_->stop();
}

void FileMenuActions::openComparison() {
    const QString input = controls_.inputName();
    if (!fileExists(input)) {
        inform_(kMissingInputFile);
        return;
    }
    if (!comparison_) comparison_ = std::make_unique<ModeComparisonWindow>();
    comparison_->compare(input, controls_.noAdaptiveCodebook());
}

}  // namespace zorvel
