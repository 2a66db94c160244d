#include "app/ProgressNotice.h"

#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>

#include "charts/FormFont.h"
#include "ui_ProgressNotice.h"

namespace zorvel {

namespace {

constexpr int kNoticeFontPixels = 13;  // the notice's one line

// Under the line of text, within the notice's 440 x 60.
constexpr QRect kBarPlace{32, 32, 290, 19};
constexpr QRect kStopButtonPlace{332, 29, 80, 25};

void setFontPixels(QWidget& widget, int pixels) { widget.setFont(formFont(widget.font(), pixels)); }

}  // namespace

ProgressNotice::ProgressNotice(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), ui(new Ui::ProgressNotice) {
    ui->setupUi(this);
    setFontPixels(*this, kFormFontPixels);
    setFontPixels(*ui->Label1, kNoticeFontPixels);
    bar_ = new QProgressBar(this);
    bar_->setGeometry(kBarPlace);
    bar_->setRange(0, 100);
    stopButton_ = new QPushButton(QStringLiteral("Przerwij"), this);
    stopButton_->setGeometry(kStopButtonPlace);
    connect(stopButton_, &QPushButton::clicked, this, [this] {
        if (stop_) stop_();
    });
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, [this] {
        if (stop_) stop_();
    });
    hideProgress();
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

void ProgressNotice::showProgress(std::function<void()> stop) {
    stop_ = std::move(stop);
    bar_->setValue(0);
    bar_->show();
    stopButton_->setEnabled(true);
    stopButton_->show();
    stopButton_->setFocus();
}

void ProgressNotice::setProgress(int percent) { bar_->setValue(percent); }

void ProgressNotice::hideProgress() {
    stop_ = nullptr;
    bar_->hide();
    stopButton_->hide();
}

void ProgressNotice::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

}  // namespace zorvel
