#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;
class QTimer;

namespace errors {

// The small red error window. It shows ErrorText and closes by itself nine ticks of Timer1
// after it is shown unless the user closes it first. "Send Error" has nowhere to send to: the
// error is already in the central log, so it only stops the countdown and closes.
class TFrShowError : public QDialog {
    Q_OBJECT
public:
    explicit TFrShowError(QWidget* parent = nullptr);

    // Set by the handler before the dialog is shown.
    QString ErrorText;

    QPlainTextEdit* ErrorBox = nullptr;
    QPushButton* BOk = nullptr;
    QPushButton* BCancel = nullptr;
    QLabel* TimeCount = nullptr;
    QTimer* Timer1 = nullptr;

public slots:
    // One tick of the countdown; Timer1 calls it every second.
    void Timer1Timer();
    void BOkClick();
    void BCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    int countdown_ = 10;
    bool reportSent_ = false;
};

} // namespace errors
