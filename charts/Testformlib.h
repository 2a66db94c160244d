// The chart window TTestForm (instance TestForm).
#pragma once

#include <QString>
#include <QWidget>

class TTestForm : public QWidget {
    Q_OBJECT
public:
    explicit TTestForm(QWidget* parent = nullptr);
    void openForFile(const QString& fileName, int mode, bool noAdaptiveCodebook);
};
