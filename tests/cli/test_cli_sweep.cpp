// zorvel-cli sweep, run as a process: its figures are those zorvel-cli encode
// prints for the same file and mode, its table has one row per file and mode
// and one per mode in total, its totals follow from the files' figures, and
// its chart file holds SNR against bit rate with labelled axes. A file named
// twice counts once; a chart that is an input is refused.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>

#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

#if __has_include(<QGuiApplication>)
#include <QGuiApplication>
#include <QImage>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include "plots/SweepChart.h"
#endif

namespace zorvel {
namespace {

namespace fs = std::filesystem;
using test::arg;
using test::runCli;
using test::TempDir;

using test::CsvRow;
using test::csvRows;

const CsvRow kSweepHeader{"file",          "mode", "bit_rate_kbps", "frames", "segmental_snr_db",
                          "overall_snr_db"};
const char* const kRates[] = {"12.2", "10.2", "7.95", "7.40", "6.70", "5.90", "5.15", "4.75"};

// The sample cut to its first `frames` frames, as a second, different input.
fs::path shortInput(const TempDir& dir, int frames) {
    std::vector<std::uint8_t> bytes = test::readBytes(test::samplePath());
    bytes.resize(60 + frames * 2 * kFrameSamples);
    const fs::path path = dir / "kurz.wav";
    test::writeBytes(path, bytes);
    return path;
}

TEST(SweepFigures, EqualWhatEncodePrintsForEveryMode) {
    for (const bool noAdaptive : {false, true}) {
        std::vector<std::string> sweepArgs{"sweep", arg(test::samplePath()), "--csv"};
        if (noAdaptive) sweepArgs.push_back("--no-adaptive");
        const test::CliResult sweep = runCli(sweepArgs);
        ASSERT_EQ(sweep.exitCode, 0) << sweep.err;
        const std::vector<CsvRow> rows = csvRows(sweep.out);
        ASSERT_EQ(rows.size(), 1u + 8 + 8);
        for (int mode = 1; mode <= 8; ++mode) {
            const TempDir dir;
            std::vector<std::string> encodeArgs{
                "encode", arg(test::samplePath()), "-m",   std::to_string(mode),
                "-d",     arg(dir.path()),         "--csv"};
            if (noAdaptive) encodeArgs.push_back("--no-adaptive");
            const test::CliResult encode = runCli(encodeArgs);
            ASSERT_EQ(encode.exitCode, 0) << encode.err;
            const std::vector<CsvRow> encoded = csvRows(encode.out);
            ASSERT_EQ(encoded.size(), 2u);
            // encode: file, frames, segmental_snr_db, overall_snr_db, times_real_time
            const CsvRow& row = rows[mode];
            EXPECT_EQ(row[1], std::to_string(mode));
            EXPECT_EQ(row[3], encoded[1][1]) << "frames, mode " << mode;
            EXPECT_EQ(row[4], encoded[1][2]) << "segmental SNR, mode " << mode;
            EXPECT_EQ(row[5], encoded[1][3]) << "overall SNR, mode " << mode;
        }
    }
}

TEST(SweepTable, HasOneRowPerFileAndModeAndTheTotals) {
    const TempDir dir;
    const fs::path second = shortInput(dir, 50);
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), arg(second), "--csv", "-j", "3"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<CsvRow> rows = csvRows(result.out);
    ASSERT_EQ(rows.size(), 1u + 3 * 8);
    EXPECT_EQ(rows[0], kSweepHeader);
    const std::string files[] = {arg(test::samplePath()), arg(second), "(total)"};
    for (int block = 0; block < 3; ++block)
        for (int m = 0; m < 8; ++m) {
            const CsvRow& row = rows[1 + 8 * block + m];
            ASSERT_EQ(row.size(), 6u);
            EXPECT_EQ(row[0], files[block]);
            EXPECT_EQ(row[1], std::to_string(m + 1));
            EXPECT_EQ(row[2], kRates[m]);
        }
    for (int m = 0; m < 8; ++m) {
        const CsvRow& a = rows[1 + m];
        const CsvRow& b = rows[9 + m];
        const CsvRow& total = rows[17 + m];
        const int framesA = std::stoi(a[3]);
        const int framesB = std::stoi(b[3]);
        EXPECT_EQ(framesB, 50);
        EXPECT_EQ(std::stoi(total[3]), framesA + framesB);
        // The segmental SNR in total is the mean over all frames of both files.
        const double segmental =
            (std::stod(a[4]) * framesA + std::stod(b[4]) * framesB) / (framesA + framesB);
        EXPECT_NEAR(std::stod(total[4]), segmental, 1e-9) << "mode " << m + 1;
        // The overall SNR in total lies between the files' overall SNRs.
        const double low = std::min(std::stod(a[5]), std::stod(b[5]));
        const double high = std::max(std::stod(a[5]), std::stod(b[5]));
        EXPECT_GE(std::stod(total[5]), low - 1e-9);
        EXPECT_LE(std::stod(total[5]), high + 1e-9);
    }

    // Aligned for people: a header, then the same 24 rows.
    const test::CliResult table = runCli({"sweep", arg(test::samplePath()), arg(second)});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    const std::vector<CsvRow> lines = csvRows(table.out);
    ASSERT_EQ(lines.size(), 1u + 3 * 8);
    EXPECT_NE(lines[0][0].find("SNRseg [dB]"), std::string::npos);
    EXPECT_EQ(lines[17][0].rfind("(total)", 0), 0u);
}

// A file named twice (by its name, a link or a second name) is one file: its
// rows once, totals as alone, and a word on standard error.
TEST(SweepTable, TheSameFileTwiceIsCountedOnce) {
    const TempDir dir;
    const fs::path input = shortInput(dir, 50);
    fs::create_symlink(input, dir / "link.wav");
    fs::create_hard_link(input, dir / "hard.wav");
    const std::string alone = runCli({"sweep", arg(input), "--csv"}).out;
    ASSERT_EQ(csvRows(alone).size(), 17u);
    for (const fs::path& again : {input, dir / "link.wav", dir / "hard.wav"}) {
        const test::CliResult twice = runCli({"sweep", arg(input), arg(again), "--csv"});
        EXPECT_EQ(twice.exitCode, 0);
        EXPECT_EQ(twice.out, alone) << again;
        EXPECT_EQ(twice.err, "zorvel-cli: " + arg(again) + ": the same file as '" + arg(input) +
                                 "'; counted once\n");
    }
}

// A line break in a name is escaped in the aligned table: the table of a
// name as long as the escaped one, with that name in its place.
TEST(SweepTable, ANameWithALineBreakStaysOnItsRow) {
    const TempDir dir;
    fs::copy_file(shortInput(dir, 5), dir / "a\nb.wav");
    fs::copy_file(dir / "kurz.wav", dir / "a__b.wav");
    const test::CliResult odd = runCli({"sweep", arg(dir / "a\nb.wav")});
    ASSERT_EQ(odd.exitCode, 0) << odd.err;
    std::string plain = runCli({"sweep", arg(dir / "a__b.wav")}).out;
    for (std::size_t at = 0; (at = plain.find("/a__b.wav", at)) != std::string::npos;)
        plain.replace(at, 9, "/a\\nb.wav");
    EXPECT_EQ(odd.out, plain);
}

TEST(SweepErrors, AMissingFileIsReportedAndTheOthersAreCoded) {
    const TempDir dir;
    const fs::path missing = dir / "brak.wav";
    const test::CliResult result =
        runCli({"sweep", arg(missing), arg(test::samplePath()), "--csv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("zorvel-cli: " + arg(missing) + ": "), std::string::npos)
        << result.err;
    EXPECT_EQ(csvRows(result.out).size(), 1u + 8 + 8);

    const test::CliResult badPlot =
        runCli({"sweep", arg(test::samplePath()), "--plot", arg(dir / "x.gif")});
    EXPECT_EQ(badPlot.exitCode, 2);
    EXPECT_EQ(badPlot.out, "");
    EXPECT_TRUE(test::directoryNames(dir.path()).empty());
}

#if __has_include(<QGuiApplication>)
// The figures in total, read back from the CSV (every number in full).
SweepRow totalsOf(const std::vector<CsvRow>& rows) {
    SweepRow total{};
    for (const CsvRow& row : rows) {
        if (row[0] != "(total)") continue;
        const int mode = std::stoi(row[1]);
        total[mode - 1] = {test::modeNumbered(mode),
                           std::stoi(row[3]),
                           std::stod(row[4]),
                           std::stod(row[5]),
                           0,
                           0,
                           std::nullopt};
    }
    return total;
}

TEST(SweepChartFile, SvgHasTheAxesLabelsAndOneLinePerMeasure) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), "--plot", arg(dir / "snr.svg"), "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(test::directoryNames(dir.path()), std::vector<std::string>{"snr.svg"});
    const QByteArray svg = QByteArray::fromStdString(test::readText(dir / "snr.svg"));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());

    QXmlStreamReader xml(svg);
    std::vector<QString> texts;
    std::vector<QStringList> lines;  // the points of the polylines with 8 points
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == QLatin1String("polyline")) {
            const QStringList points =
                xml.attributes().value("points").toString().split(QLatin1Char(' '));
            if (points.size() == 8) lines.push_back(points);
        }
        if (xml.name() == QLatin1String("text")) texts.push_back(xml.readElementText());
    }
    ASSERT_FALSE(xml.hasError());
    for (const char* label :
         {"Przepływność [kb/s]", "SNR [dB]", "SNR segmentowy", "SNR całkowity", "mowa.wav"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), QString::fromUtf8(label)), texts.end())
            << label;
    ASSERT_EQ(lines.size(), 2u);
    // From the lowest rate to the highest: x grows along each line.
    for (const QStringList& points : lines)
        for (int i = 1; i < 8; ++i)
            EXPECT_LT(points[i - 1].section(',', 0, 0).toDouble(),
                      points[i].section(',', 0, 0).toDouble());
}

// A chart named as one of the inputs (by its name, a link or a second name)
// is refused before anything is coded: no table, no chart, the input kept.
TEST(SweepChartFile, AChartThatIsAnInputIsRefusedAndNothingWritten) {
    const TempDir dir;
    fs::rename(shortInput(dir, 20), dir / "s2.png");
    fs::create_symlink("s2.png", dir / "link.png");
    fs::create_hard_link(dir / "s2.png", dir / "hard.png");
    const std::vector<std::uint8_t> before = test::readBytes(dir / "s2.png");
    for (const std::string chart : {"s2.png", "link.png", "hard.png"}) {
        const test::CliResult result =
            runCli({"sweep", arg(test::samplePath()), arg(dir / "s2.png"), "--plot",
                    arg(dir / chart), "-y"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.err, "zorvel-cli: " + arg(dir / "s2.png") + ": output '" +
                                  arg(dir / chart) + "' is the input file itself\n");
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(test::directoryNames(dir.path()).size(), 3u);
        EXPECT_EQ(test::readBytes(dir / "s2.png"), before) << chart;
    }
}

TEST(SweepChartFile, PngIsTheChartOfTheTotals) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"sweep", arg(test::samplePath()), "--plot", arg(dir / "snr.png"), "--csv"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString(arg(dir / "snr.png")), "PNG"));
    const QImage expected =
        pictureImage(describeSweepChart(totalsOf(csvRows(result.out)), QStringLiteral("mowa.wav")));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), expected);
}
#endif

}  // namespace
}  // namespace zorvel
