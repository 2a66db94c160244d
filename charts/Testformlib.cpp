#include "charts/Testformlib.h"

TTestForm::TTestForm(QWidget* parent) : QWidget(parent) {
    setObjectName("TestForm");
    setWindowTitle("TestForm");
}

void TTestForm::openForFile(const QString&, int, bool) {}
