#include "app/Infoformlib.h"

#include <QCoreApplication>
#include <QScreen>

#include "charts/FormFont.h"
#include "ui_Infoformlib.h"

namespace {

// The forms are drawn for type measured in pixels, which Qt Designer forms
// cannot state; the sizes are set here.
constexpr int kFormFontPixels = 11;
constexpr int kNoticeFontPixels = 13;

void setFontPixels(QWidget& widget, int pixels) {
    widget.setFont(zorvel::formFont(widget.font(), pixels));
}

}  // namespace

TInfoForm::TInfoForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::TInfoForm) {
    ui->setupUi(this);
    setFontPixels(*this, kFormFontPixels);
    setFontPixels(*ui->Label1, kNoticeFontPixels);
}

TInfoForm::~TInfoForm() = default;

void TInfoForm::showNotice(const QString& text) {
    centreOnScreen();
    show();
    ui->Label1->setText(text);
}

void TInfoForm::paintNow() {
    // A window that has just been shown is drawn once the window system has
    // mapped it; let that happen (no user input is taken) before painting.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    repaint();
}

QString TInfoForm::text() const { return ui->Label1->text(); }

void TInfoForm::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}
