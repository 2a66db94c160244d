// sweep --ablation and --vary with --plot, run as a process: the file is the
// ablation chart of the table the core computes for the same rows and modes,
// as PNG or SVG, read back for its rows' names and bars; a name that is no
// chart or is an input is refused before anything is coded.
#include <gtest/gtest.h>

#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

#if __has_include(<QGuiApplication>)
#include <QColor>
#include <QImage>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <map>

#include "coder/Ablation.h"
#include "plots/AblationChart.h"

namespace zorvel {
namespace {

using test::arg;
using test::runCli;

AblationTable coreTable(std::vector<AblationRow> rows, std::vector<CoderMode> modes) {
    AblationRun run;
    run.inputs = {test::samplePath()};
    run.rows = std::move(rows);
    run.modes = std::move(modes);
    const std::optional<AblationTable> table = computeAblation(run);
    EXPECT_TRUE(table);
    return table.value_or(AblationTable{});
}

struct SvgContents {
    std::vector<QString> texts;
    std::map<QString, int> rectanglesByFill;  // "#1f4fbf": 15
};

SvgContents readSvg(const QByteArray& svg) {
    SvgContents contents;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("rect"))
            ++contents.rectanglesByFill[xml.attributes().value("fill").toString()];
        if (xml.name() == QLatin1String("text")) contents.texts.push_back(xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return contents;
}

// The rectangles filled in a mode's colour.
int rectanglesOf(const SvgContents& contents, CoderMode mode) {
    const QString fill = QColor(ablationModeColour(mode)).name();
    const auto found = contents.rectanglesByFill.find(fill);
    return found == contents.rectanglesByFill.end() ? 0 : found->second;
}

bool holds(const std::vector<QString>& texts, const QString& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(CliAblationChart, SvgIsTheChartOfTheRowsNamedWithTheirBars) {
    const test::TempDir dir;
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), "--ablation", "-m", "12.2", "-m", "4.75",
                "--plot", arg(dir / "ablacja.svg"), "-j", "2"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const AblationTable table =
        coreTable(ablationRows(CoderSettings{}), {CoderMode::rate12_2, CoderMode::rate4_75});
    const QByteArray svg = QByteArray::fromStdString(test::readText(dir / "ablacja.svg"));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
    EXPECT_EQ(svg, pictureSvg(describeAblationChart(table, QStringLiteral("mowa.wav"))));

    const SvgContents contents = readSvg(svg);
    ASSERT_GE(table.rows.size(), 8u);
    for (std::size_t r = 1; r < table.rows.size(); ++r)
        EXPECT_TRUE(holds(contents.texts, QString::fromStdString(table.rows[r].name)))
            << table.rows[r].name;
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("Zmiana względem: default")));
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("12.2 kb/s")));
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("4.75 kb/s")));
    EXPECT_TRUE(holds(contents.texts, kAblationOverallChangeLabel));
    EXPECT_TRUE(holds(contents.texts, kAblationSegmentalChangeLabel));
    // In each mode's colour its legend square and a bar for each row after
    // the first in each of the two panels.
    const int bars = static_cast<int>(table.rows.size() - 1) * 2;
    EXPECT_EQ(rectanglesOf(contents, CoderMode::rate12_2), 1 + bars);
    EXPECT_EQ(rectanglesOf(contents, CoderMode::rate4_75), 1 + bars);
    EXPECT_EQ(rectanglesOf(contents, CoderMode::rate10_2), 0);
}

TEST(CliAblationChart, PngIsThePictureOfTheTable) {
    const test::TempDir dir;
    const test::CliResult result = runCli({"sweep", arg(test::samplePath()), "--ablation", "-m",
                                           "7.95", "--plot", arg(dir / "ablacja.png")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const AblationTable table = coreTable(ablationRows(CoderSettings{}), {CoderMode::rate7_95});
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString((dir / "ablacja.png").string()), "PNG"));
    EXPECT_EQ(png.width(), kAblationChartWidth);
    EXPECT_EQ(png.height(), ablationChartHeight(table));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32),
              pictureImage(describeAblationChart(table, QStringLiteral("mowa.wav")))
                  .convertToFormat(QImage::Format_RGB32));
}

TEST(CliAblationChart, VaryDrawsALinePerModeAgainstTheValues) {
    const test::TempDir dir;
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), "--vary", "gamma1=0.8:0.95:0.05", "-m", "10.2",
                "-m", "5.90", "-m", "4.75", "--plot", arg(dir / "gamma1.svg")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<AblationRow> rows;
    ASSERT_FALSE(variedRows(CoderSettings{}, "gamma1=0.8:0.95:0.05", rows));
    const AblationTable table =
        coreTable(rows, {CoderMode::rate10_2, CoderMode::rate5_90, CoderMode::rate4_75});
    const QByteArray svg = QByteArray::fromStdString(test::readText(dir / "gamma1.svg"));
    EXPECT_EQ(svg, pictureSvg(describeAblationChart(table, QStringLiteral("mowa.wav"))));
    const SvgContents contents = readSvg(svg);
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("gamma1")));
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("0.80")));
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("0.96")));  // the axis ends on a step of 0.02
    EXPECT_TRUE(holds(contents.texts, QStringLiteral("Zmieniane: gamma1, pozostałe: default")));
    // In each mode's colour its legend square and a marker per value in each panel.
    for (const CoderMode mode : table.modes) EXPECT_EQ(rectanglesOf(contents, mode), 1 + 4 * 2);
}

TEST(CliAblationChart, ANameThatIsNoChartOrAnInputIsRefused) {
    const test::TempDir dir;
    const test::CliResult wrong = runCli(
        {"sweep", arg(test::samplePath()), "--ablation", "--plot", arg(dir / "ablacja.txt")});
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_NE(wrong.err.find("--plot"), std::string::npos) << wrong.err;
    EXPECT_TRUE(wrong.out.empty());

    // A recording that is named as a chart.
    std::filesystem::copy_file(test::samplePath(), dir / "mowa.svg");
    const std::vector<std::uint8_t> before = test::readBytes(dir / "mowa.svg");
    const test::CliResult input = runCli({"sweep", arg(dir / "mowa.svg"), "--vary",
                                          "gamma2=0.5:0.6:0.1", "--plot", arg(dir / "mowa.svg")});
    EXPECT_EQ(input.exitCode, 1);
    EXPECT_NE(input.err.find("is the input file itself"), std::string::npos) << input.err;
    EXPECT_TRUE(input.out.empty()) << "nothing coded";
    EXPECT_EQ(test::readBytes(dir / "mowa.svg"), before);
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"mowa.svg"});
}

}  // namespace
}  // namespace zorvel
#endif
