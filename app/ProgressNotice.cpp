#include "app/ProgressNotice.h"

#include <QCoreApplication>
#include <QScreen>

#include "charts/FormFont.h"
#include "ui_ProgressNotice.h"

namespace zorvel {

namespace {

constexpr int kNoticeFontPixels = 13;  // the notice's one line

void setFontPixels(QWidget& widget, int pixels) { widget.setFont(formFont(widget.font(), pixels)); }

}  // namespace

ProgressNotice::ProgressNotice(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::ProgressNotice) {
    ui->setupUi(this);
    setFontPixels(*this, kFormFontPixels);
    setFontPixels(*ui->Label1, kNoticeFontPixels);
}

ProgressNotice::~ProgressNotice() = default;

void ProgressNotice::showNotice(const QString& text) {
    centreOnScreen();
    show();
    ui->Label1->setText(text);
}

void ProgressNotice::paintNow() {
    // A window that has just been shown is drawn once the window system has
    // mapped it; let that happen (no user input is taken) before painting.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

QString ProgressNotice::text() const { return ui->Label1->text(); }

void ProgressNotice::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

}  // namespace zorvel
