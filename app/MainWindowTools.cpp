#include "app/MainWindowTools.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <fstream>
#include <iterator>

#include "app/ModeComparisonWindow.h"
#include "sound/Wave.h"

namespace zorvel {
namespace {

const QString kMissingInputFile = QStringLiteral("Plik wejsciowy nie istnieje!");

bool fileExists(const QString& name) {
    const QFileInfo info(name);
    return !name.isEmpty() && info.exists() && !info.isDir();
}

std::filesystem::path toPath(const QString& name) {
    return std::filesystem::path(QFile::encodeName(name).toStdString());
}

}  // namespace

std::optional<std::vector<double>> fileSamples(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(kSampleDataOffset);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    std::vector<double> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<std::int16_t>(low | (high << 8));
    }
    return samples;
}

MainWindowTools::MainWindowTools(QWidget& window, QMenu& menu, QAction* before, Controls controls,
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
    connect(playInput_, &QAction::triggered, this, &MainWindowTools::playInput);
    connect(playOutput_, &QAction::triggered, this, &MainWindowTools::playOutput);
    connect(stop_, &QAction::triggered, playback_.get(), &ChartPlayback::stop);
    connect(comparisonAction_, &QAction::triggered, this, &MainWindowTools::openComparison);
    connect(&menu, &QMenu::aboutToShow, this, [this] { stop_->setEnabled(playback_->active()); });
}

MainWindowTools::~MainWindowTools() = default;

void MainWindowTools::playFile(const QString& name, const QString& missing) {
    if (playback_->active()) {
        playback_->stop();
        return;
    }
    if (!fileExists(name)) {
        inform_(missing);
        return;
    }
    const std::optional<std::vector<double>> samples = fileSamples(toPath(name));
    if (!samples) {
        inform_(missing);
        return;
    }
    playback_->toggleSamples(*samples);
}

void MainWindowTools::playInput() { playFile(controls_.inputName(), kMissingInputFile); }

void MainWindowTools::playOutput() { playFile(controls_.outputName(), kMissingOutput); }

void MainWindowTools::openComparison() {
    const QString input = controls_.inputName();
    if (!fileExists(input)) {
        inform_(kMissingInputFile);
        return;
    }
    if (!comparison_) comparison_ = std::make_unique<ModeComparisonWindow>();
    comparison_->compare(input, controls_.noAdaptiveCodebook());
}

}  // namespace zorvel
