#include "costing/fifo/Fr_Calculate_FIFO.h"

TFrCalculate_FIFO::TFrCalculate_FIFO(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FrCalculate_FIFO"));
    setWindowTitle(QStringLiteral("โปรแกรมคำนวณต้นทุน FIFO"));
}
