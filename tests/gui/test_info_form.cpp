// The progress notice InfoForm: its frameless window, sizes, bold label and
// showNotice, which shows the window centred and then sets the text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include "app/ProgressNotice.h"

namespace {

using zorvel::ProgressNotice;

QLabel& noticeLabel(ProgressNotice& form) {
    auto* label = form.findChild<QLabel*>("Label1");
    if (label == nullptr) throw std::runtime_error("no Label1");
    return *label;
}

TEST(InfoFormTest, StartsHiddenFramelessWithItsCaptionAndText) {
    ProgressNotice form;
    EXPECT_EQ(form.objectName(), "InfoForm");
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.isWindow());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(form.windowTitle(), "Informacja");
    EXPECT_EQ(form.text(), QString::fromUtf8("Kodowanie trwa. Proszę czekac..."));
    EXPECT_EQ(noticeLabel(form).text(), form.text());
}

TEST(InfoFormTest, SizesAndFontsFollowTheForm) {
    ProgressNotice form;
    // The client area of 440 x 33 is held to the minimum height of 60.
    EXPECT_EQ(form.size(), QSize(440, 60));
    EXPECT_EQ(form.minimumSize(), QSize(240, 60));
    EXPECT_EQ(form.maximumSize(), QSize(450, 87));
    EXPECT_EQ(form.font().family(), "MS Sans Serif");
    EXPECT_EQ(form.font().pixelSize(), 11);

    QLabel& label = noticeLabel(form);
    EXPECT_EQ(label.geometry(), QRect(32, 8, 440, 60));
    EXPECT_EQ(label.minimumSize(), QSize(300, 60));
    EXPECT_EQ(label.maximumSize(), QSize(440, 60));
    EXPECT_TRUE(label.font().bold());
    EXPECT_EQ(label.font().pixelSize(), 13);
    EXPECT_EQ(label.font().family(), "MS Sans Serif");
    EXPECT_TRUE(label.alignment().testFlag(Qt::AlignTop));
}

TEST(InfoFormTest, ShowNoticeShowsTheTextCentredOnTheScreen) {
    ProgressNotice form;
    const QString text = QString::fromUtf8("Kodowanie w trybie 6.70 [kb/s] trwa. Proszę czekac...");
    form.showNotice(text);
    form.paintNow();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.text(), text);

    const QRect screen = form.screen()->availableGeometry();
    const QPoint offset = form.frameGeometry().center() - screen.center();
    EXPECT_LE(std::abs(offset.x()), 1) << offset.x();
    EXPECT_LE(std::abs(offset.y()), 1) << offset.y();

    // The whole text fits in the window at its 13-pixel bold type.
    QLabel& label = noticeLabel(form);
    const int textRight = label.x() + label.fontMetrics().horizontalAdvance(text);
    EXPECT_LE(textRight, form.width());

    form.hide();
    form.showNotice(QString::fromUtf8("Kodowanie w trybie 12.2 [kb/s] trwa. Proszę czekac..."));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.text(),
              QString::fromUtf8("Kodowanie w trybie 12.2 [kb/s] trwa. Proszę czekac..."));
}

}  // namespace
