// The picture renderers need a Qt application for their fonts: one for the
// whole run of a suite, on the offscreen platform, gone before the process ends.
#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <array>
#include <memory>

namespace zorvel::test {

class OffscreenQt : public ::testing::Environment {
  public:
    void SetUp() override {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application_ = std::make_unique<QGuiApplication>(argc_, argv_.data());
    }
    void TearDown() override { application_.reset(); }

  private:
    int argc_ = 1;
    std::array<char, 12> name_{"zorvel-test"};
    std::array<char*, 2> argv_{name_.data(), nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

[[maybe_unused]] inline const ::testing::Environment* const kOffscreenQt =
    ::testing::AddGlobalTestEnvironment(new OffscreenQt);

}  // namespace zorvel::test
