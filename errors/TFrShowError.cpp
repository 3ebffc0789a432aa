#include "errors/TFrShowError.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>

namespace errors {

namespace {

void styleButton(QPushButton* button, const QRect& geometry) {
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    button->setCursor(Qt::PointingHandCursor);
    button->setGeometry(geometry);
}

} // namespace

TFrShowError::TFrShowError(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("FrShowError");
    setWindowTitle("Windows Error Message");
    setFont(QFont("MS Sans Serif", 8));
    setFixedSize(344, 101);

    QPalette red = palette();
    red.setColor(QPalette::Window, Qt::red);
    setPalette(red);
    setAutoFillBackground(true);

    ErrorBox = new QPlainTextEdit(this);
    ErrorBox->setObjectName("ErrorBox");
    ErrorBox->setReadOnly(true);
    ErrorBox->setGeometry(0, 0, 344, 65);
    QPalette box = ErrorBox->palette();
    box.setColor(QPalette::Base, Qt::red);
    // Text in the usual background colour of edit boxes: white in the standard scheme.
    box.setColor(QPalette::Text, QApplication::palette().color(QPalette::Base));
    ErrorBox->setPalette(box);

    BOk = new QPushButton("Send Error", this);
    BOk->setObjectName("BOk");
    styleButton(BOk, QRect(94, 70, 75, 25));
    connect(BOk, &QPushButton::clicked, this, &TFrShowError::BOkClick);

    BCancel = new QPushButton("Don't Send", this);
    BCancel->setObjectName("BCancel");
    styleButton(BCancel, QRect(198, 70, 75, 25));
    connect(BCancel, &QPushButton::clicked, this, &TFrShowError::BCancelClick);

    TimeCount = new QLabel(this);
    TimeCount->setObjectName("TimeCount");
    QFont countFont = TimeCount->font();
    countFont.setBold(true);
    countFont.setPixelSize(16);
    TimeCount->setFont(countFont);
    TimeCount->move(32, 75);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TFrShowError::Timer1Timer);
    Timer1->start();
}

void TFrShowError::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // restored by the window system, not a new show
    move(50, 100);
    ErrorBox->setPlainText(ErrorText);
    // Enter then closes the dialog without sending.
    BCancel->setFocus();
    reportSent_ = false;
    countdown_ = 10;
    TimeCount->clear();
}

void TFrShowError::Timer1Timer() {
    if (reportSent_)
        return;
    --countdown_;
    if (countdown_ == 1)
        BCancelClick();
}

void TFrShowError::BOkClick() {
    reportSent_ = true;
    accept();
}

void TFrShowError::BCancelClick() {
    reject();
}

} // namespace errors
