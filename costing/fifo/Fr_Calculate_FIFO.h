#pragma once

#include <QString>
#include <QWidget>

// The FIFO calculation window.
class TFrCalculate_FIFO : public QWidget {
    Q_OBJECT
public:
    explicit TFrCalculate_FIFO(QWidget* parent = nullptr);

    // Set by start-up before the window is first shown.
    QString AutoRunTime;
    QString ProductFilter;
};
