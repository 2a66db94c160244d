// Pictures for the command line: the Qt application the drawing needs for its
// fonts (on the offscreen platform, so no display is needed), and a picture
// written as PNG or SVG through a staged output.
#pragma once

#include <QGuiApplication>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>

#include "files/StagedOutput.h"
#include "plots/Picture.h"

namespace zorvel::cli {

enum class PictureFormat { png, svg };

class OffscreenApplication {
  public:
    OffscreenApplication();

  private:
    int argc_ = 1;
    std::array<char, 11> name_{"zorvel-cli"};
    std::array<char*, 2> argv_{name_.data(), nullptr};
    std::optional<QGuiApplication> application_;
};

// The bytes are made in memory and written through the staged file's
// descriptor: every write is checked (a full disk fails the run), and the
// names go to the system as the bytes given, never through a text conversion.
void writePicture(const Picture& picture, PictureFormat format, const StagedFile& staged);

// A chart file of its own: the picture `describe` gives, drawn with the fonts
// of an offscreen application, written into `name` through a staged output
// that replaces an existing file only with `overwrite`.
void writeChartFile(const std::filesystem::path& name, PictureFormat format,
                    const std::function<Picture()>& describe, StagingArea& area, bool overwrite);

}  // namespace zorvel::cli
