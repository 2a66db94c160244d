// zorvel-cli plot --svg, run as a process: the two SVG files are the chart
// window's pictures of the frame as vectors, the same description its PNG
// files are painted from.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/OffscreenQt.h"
#include "tests/TestSupport.h"
#include "tests/cli/CliRun.h"

#if __has_include(<QGuiApplication>)
#include <QGuiApplication>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include "coder/SpeechCoder.h"
#include "plots/Plots.h"

namespace zorvel {
namespace {

using test::arg;
using test::runCli;
using test::TempDir;

int polylines(const QByteArray& svg) {
    QXmlStreamReader xml(svg);
    int count = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        count += xml.isStartElement() && xml.name() == QLatin1String("polyline");
    }
    EXPECT_FALSE(xml.hasError());
    return count;
}

TEST(PlotSvg, WritesBothPicturesAsTheirVectorDescription) {
    const TempDir dir;
    const test::CliResult result =
        runCli({"plot", arg(test::samplePath()), "--frame", "42", "--svg", "-o", arg(dir / "f42")});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::directoryNames(dir.path()),
              (std::vector<std::string>{"f42-spectrum.svg", "f42-time.svg"}));
    const QByteArray time = QByteArray::fromStdString(test::readText(dir / "f42-time.svg"));
    const QByteArray spectrum = QByteArray::fromStdString(test::readText(dir / "f42-spectrum.svg"));
    EXPECT_TRUE(QSvgRenderer(time).isValid());
    EXPECT_TRUE(QSvgRenderer(spectrum).isValid());
    // Grid 7 + 3 and the traces s'(n), s(n); grid 3 + 8, two responses of 40
    // dashes and |S(f)|.
    EXPECT_EQ(polylines(time), 12);
    EXPECT_EQ(polylines(spectrum), 92);

    SpeechCoder coder(test::samplePath(), CoderMode::rate12_2);
    ASSERT_EQ(coder.goToFrame(42), FrameStep::coded);
    PlotOptions options;
    options.timeGain = timeGainForScale(100.0, kTimeImageHeight);
    EXPECT_EQ(time, pictureSvg(describeTimePicture(kTimeImageWidth, kTimeImageHeight,
                                                   coder.previousFrame(), coder.currentFrame(),
                                                   options)));
    EXPECT_EQ(spectrum,
              pictureSvg(describeSpectrumPicture(kSpectrumImageWidth, kSpectrumImageHeight,
                                                 coder.currentFrame(), options)));
}

}  // namespace
}  // namespace zorvel
#endif
