#include "app/FileMenuActions.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>

#include "app/FileNames.h"
#include "app/ListeningResultsView.h"
#include "app/ListeningSetupDialog.h"
#include "app/ListeningTestWindow.h"
#include "app/ModeComparisonWindow.h"
#include "files/FileError.h"
#include "listening/ListeningResults.h"
#include "listening/Ratings.h"

namespace zorvel {
namespace {

const QString kMissingInputFile = QStringLiteral("Plik wejsciowy nie istnieje!");

// Below the form's buttons, in the window's free space.
constexpr QRect kSideLabelPlace{16, 432, 420, 16};

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
      comparisonAction_(new QAction(QStringLiteral("Porównanie trybów..."), &menu)),
      compare_(new QAction(QStringLiteral("Odsłuch A/B: plik wejściowy ↔ wyjściowy"), &menu)),
      switch_(new QAction(QStringLiteral("Przełącz A/B"), &menu)),
      sideLabel_(new QLabel(&window)),
      listening_(new QAction(QStringLiteral("Test odsłuchowy..."), &menu)),
      listeningResults_(new QAction(QStringLiteral("Wyniki testu odsłuchowego..."), &menu)) {
    // Open..., then these entries between separators, then Exit.
    menu.insertActions(before, {playInput_, playOutput_, compare_, switch_, stop_});
    switch_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    window.addAction(switch_);  // the key works with the menu closed
    sideLabel_->setGeometry(kSideLabelPlace);
    sideLabel_->hide();
    connect(playback_.get(), &ChartPlayback::sideChanged, this, &FileMenuActions::showSide);
    connect(compare_, &QAction::triggered, this, &FileMenuActions::compareFiles);
    connect(switch_, &QAction::triggered, this, &FileMenuActions::switchSide);
    menu.insertSeparator(playInput_);
    menu.insertSeparator(before);
    menu.insertActions(before, {listening_, listeningResults_});
    menu.insertSeparator(before);
    menu.insertAction(before, comparisonAction_);
    menu.insertSeparator(before);
    connect(listening_, &QAction::triggered, this, &FileMenuActions::openListeningTest);
    connect(listeningResults_, &QAction::triggered, this, &FileMenuActions::openListeningResults);
    connect(playInput_, &QAction::triggered, this, &FileMenuActions::playInput);
    connect(playOutput_, &QAction::triggered, this, &FileMenuActions::playOutput);
    connect(stop_, &QAction::triggered, this, &FileMenuActions::stop);
    connect(comparisonAction_, &QAction::triggered, this, &FileMenuActions::openComparison);
    connect(&menu, &QMenu::aboutToShow, this, [this] {
        stop_->setEnabled(playback_->active() || reading_);
        switch_->setEnabled(playback_->side().has_value());
    });
}

FileMenuActions::~FileMenuActions() {
    listeningWindow_.reset();
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
    if (!toldWhyNot(read, pending_)) playback_->toggleSamples(read.samples);
}

bool FileMenuActions::toldWhyNot(const FileSamples& read, const PlayMessages& messages) {
    switch (read.outcome) {
        case ReadOutcome::read:
            return false;
        case ReadOutcome::notFound:
            inform_(messages.missing);
            break;
        case ReadOutcome::notRegularFile:
            inform_(messages.notRegularFile);
            break;
        case ReadOutcome::unreadable:
            inform_(messages.unreadable);
            break;
        case ReadOutcome::stopped:
            break;
    }
    return true;
}

const FileMenuActions::PlayMessages& FileMenuActions::inputMessages() {
    static const PlayMessages messages{kMissingInputFile,
                                       QStringLiteral("Plik wejściowy nie jest zwykłym plikiem."),
                                       QStringLiteral("Nie można odczytać pliku wejściowego.")};
    return messages;
}

const FileMenuActions::PlayMessages& FileMenuActions::outputMessages() {
    static const PlayMessages messages{QStringLiteral("Plik wyjściowy nie istnieje."),
                                       QStringLiteral("Plik wyjściowy nie jest zwykłym plikiem."),
                                       QStringLiteral("Nie można odczytać pliku wyjściowego.")};
    return messages;
}

void FileMenuActions::playInput() { playFile(controls_.inputName(), inputMessages()); }

void FileMenuActions::playOutput() { playFile(controls_.outputName(), outputMessages()); }

void FileMenuActions::compareFiles() {
    if (playback_->active()) {
        playback_->stop();
        return;
    }
    const QString input = controls_.inputName();
    const QString output = controls_.outputName();
    if (input.isEmpty() || output.isEmpty()) {
        inform_(input.isEmpty() ? inputMessages().missing : outputMessages().missing);
        return;
    }
    const unsigned long request = ++request_;
    reading_ = true;
    worker_ = std::jthread([this, reader = reader_, in = toPath(input), out = toPath(output),
                            request](std::stop_token stop) {
        auto sides = std::make_shared<std::pair<FileSamples, FileSamples>>(reader(in, stop),
                                                                           reader(out, stop));
        if (sides->first.outcome == ReadOutcome::stopped ||
            sides->second.outcome == ReadOutcome::stopped)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, request, sides] {
                if (request != request_) return;
                reading_ = false;
                if (toldWhyNot(sides->first, inputMessages()) ||
                    toldWhyNot(sides->second, outputMessages()))
                    return;
                playback_->toggleComparison(std::move(sides->first.samples),
                                            std::move(sides->second.samples));
            },
            Qt::QueuedConnection);
    });
}

void FileMenuActions::switchSide() { playback_->switchSide(); }

void FileMenuActions::showSide() {
    const std::optional<ListeningSide> side = playback_->side();
    sideLabel_->setVisible(side.has_value());
    if (!side) return;
    sideLabel_->setText(*side == ListeningSide::original
                            ? QStringLiteral("Słychać: A – plik wejściowy   (Ctrl+B przełącza)")
                            : QStringLiteral("Słychać: B – plik wyjściowy   (Ctrl+B przełącza)"));
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
    comparison_->compare(input, controls_.settings());
}

void FileMenuActions::openListeningTest() {
    ListeningSetupDialog dialog(&window_);
    if (dialog.exec() != QDialog::Accepted) return;
    startListeningTest(dialog.plan());
}

void FileMenuActions::startListeningTest(const ListeningTestPlan& plan) {
    stop();
    listeningWindow_ =
        std::make_unique<ListeningTestWindow>(plan, std::make_unique<QtAudioSink>(), inform_);
    listeningWindow_->show();
    if (!listeningWindow_->start()) listeningWindow_->close();
}

void FileMenuActions::openListeningResults() {
    const QStringList files = QFileDialog::getOpenFileNames(
        &window_, QStringLiteral("Pliki wyników testu odsłuchowego"), QString(),
        QStringLiteral("Wyniki (*.jsonl);;Wszystkie pliki (*)"));
    if (!files.isEmpty()) showListeningResults(files);
}

bool FileMenuActions::showListeningResults(const QStringList& files) {
    std::vector<Rating> ratings;
    for (const QString& file : files) {
        try {
            const RatingsFile read = readRatings(toPath(file));
            ratings.insert(ratings.end(), read.ratings.begin(), read.ratings.end());
        } catch (const FileError& error) {
            inform_(QStringLiteral("Nie można odczytać pliku wyników %1: %2")
                        .arg(file, QString::fromStdString(error.what())));
            return false;
        }
    }
    if (!listeningResultsWindow_) {
        listeningResultsWindow_ = std::make_unique<ListeningResultsView>();
        listeningResultsWindow_->setWindowTitle(QStringLiteral("Wyniki testu odsłuchowego"));
        listeningResultsWindow_->resize(820, 660);
    }
    const QString caption =
        files.size() == 1 ? QStringLiteral("Wyniki: %1").arg(QFileInfo(files.front()).fileName())
                          : QStringLiteral("Wyniki: %1 plików").arg(files.size());
    listeningResultsWindow_->showResults(aggregateRatings(ratings), caption);
    listeningResultsWindow_->show();
    listeningResultsWindow_->raise();
    return true;
}

}  // namespace zorvel
