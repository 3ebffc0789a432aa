#include "errors/TFrShowError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTimer>

#include <gtest/gtest.h>

using errors::TFrShowError;

namespace {

void tick(TFrShowError& dialog, int times) {
    for (int i = 0; i < times; ++i)
        dialog.Timer1Timer();
}

void expectButton(const QPushButton* button, const QString& text, const QRect& geometry) {
    EXPECT_EQ(button->text(), text);
    EXPECT_EQ(button->geometry(), geometry);
    EXPECT_TRUE(button->font().bold());
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
}

} // namespace

TEST(FrShowError, LayoutOfTheRedWindow) {
    TFrShowError dialog;
    EXPECT_EQ(dialog.windowTitle(), "Windows Error Message");
    EXPECT_EQ(dialog.minimumSize(), QSize(344, 101));
    EXPECT_EQ(dialog.maximumSize(), QSize(344, 101));
    EXPECT_EQ(dialog.palette().color(QPalette::Window), QColor(Qt::red));
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_FALSE(flags & (Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowSystemMenuHint | Qt::WindowContextHelpButtonHint));

    EXPECT_EQ(dialog.ErrorBox->geometry(), QRect(0, 0, 344, 65));
    EXPECT_TRUE(dialog.ErrorBox->isReadOnly());
    EXPECT_EQ(dialog.ErrorBox->palette().color(QPalette::Base), QColor(Qt::red));
    EXPECT_EQ(dialog.ErrorBox->palette().color(QPalette::Text),
              QApplication::palette().color(QPalette::Base));

    expectButton(dialog.BOk, "Send Error", QRect(94, 70, 75, 25));
    expectButton(dialog.BCancel, "Don't Send", QRect(198, 70, 75, 25));
    EXPECT_EQ(dialog.TimeCount->pos(), QPoint(32, 75));
    EXPECT_TRUE(dialog.TimeCount->font().bold());
    EXPECT_EQ(dialog.TimeCount->font().pixelSize(), 16);
    EXPECT_EQ(dialog.Timer1->interval(), 1000);
    EXPECT_TRUE(dialog.Timer1->isActive());
}

TEST(FrShowError, ShowingPlacesFillsAndFocusesDontSend) {
    TFrShowError dialog;
    dialog.ErrorText = "\rCANNOT OPEN\r";
    dialog.TimeCount->setText("5");
    dialog.show();

    EXPECT_EQ(dialog.pos(), QPoint(50, 100));
    EXPECT_EQ(dialog.TimeCount->text(), "");
    // The bare carriage returns break the lines: an empty first line, then the message.
    const QTextDocument* document = dialog.ErrorBox->document();
    ASSERT_GE(document->blockCount(), 2);
    EXPECT_EQ(document->findBlockByNumber(0).text(), "");
    EXPECT_EQ(document->findBlockByNumber(1).text(), "CANNOT OPEN");

    ASSERT_EQ(dialog.focusWidget(), dialog.BCancel);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog.focusWidget(), &enter);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(FrShowError, ClosesItselfOnTheNinthTick) {
    TFrShowError dialog;
    dialog.show();
    tick(dialog, 8);
    EXPECT_TRUE(dialog.isVisible());
    tick(dialog, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(FrShowError, SendErrorStopsTheCountdownAndEveryShowStartsAfresh) {
    TFrShowError dialog;
    dialog.show();
    tick(dialog, 3);
    dialog.BOk->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    // A countdown still running would close it a second time as "Don't Send".
    tick(dialog, 10);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Shown again: the flag is cleared and the countdown starts from 10.
    dialog.show();
    tick(dialog, 8);
    EXPECT_TRUE(dialog.isVisible());
    tick(dialog, 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(FrShowError, ModalDisplayEndsByTheTimerAlone) {
    TFrShowError dialog;
    dialog.Timer1->setInterval(5);
    bool stuck = false;
    QTimer::singleShot(5000, &dialog, [&] {
        stuck = true;
        dialog.done(QDialog::Accepted);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_FALSE(stuck);
    EXPECT_GE(clock.elapsed(), 8 * 5);
}
