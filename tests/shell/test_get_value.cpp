// The number dialog as a user types into it: box and bar in step, the key
// filter, out-of-range text snapping back, and how OK, Cancel, Enter, Esc
// and the close box end it.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "shell/get_value.h"

using qova::shell::GetValue;

namespace {

// The zoom command's set-up, with a chosen start and lower bound.
void zoomSetUp(GetValue& g, int16_t start = 100, int16_t min = 1) {
    g.InitTheForm(QStringLiteral("ｽﾞｰﾑ ｲﾝ/ｱｳﾄ"), QStringLiteral("拡大率(%):"), 800, min, start, 100, 10, 0);
}

// Types `keys` into the box after selecting its whole text.
void retype(GetValue& g, const QString& keys) {
    g.GetValueBox->selectAll();
    QTest::keyClicks(g.GetValueBox, keys);
}

// Shows `g` modally and runs `during` once it is up; closes it afterwards
// if `during` left it open, so a failing test cannot hang.
int execWith(GetValue& g, const std::function<void()>& during) {
    QTimer::singleShot(0, &g, [&] {
        during();
        if (g.isVisible()) g.reject();
    });
    return g.exec();
}

}  // namespace

class GetValueTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAndSetUp() {
        GetValue g;
        const QStringList texts = {g.windowTitle(), g.GetValueType->text(), g.GetValueBox->text(),
                                   g.Resize_Horz->text(), g.OK->text(), g.Cancel->text()};
        QCOMPARE(texts, (QStringList{"GetValue", "Label1", "Text1", "Resize/Horizontal", "&OK", "ｷｬﾝｾﾙ(&L)"}));
        QVERIFY(g.OK->isDefault());
        QVERIFY(g.findChild<QScrollBar*>(QStringLiteral("GetValueBar")));

        g.Resize_Horz->setChecked(false);
        g.InitTheForm(QStringLiteral("題"), QStringLiteral("幅:"), 500, -20, -7, 50, 5, 0);
        QCOMPARE(g.windowTitle(), QStringLiteral("題"));
        QCOMPARE(g.GetValueType->text(), QStringLiteral("幅:"));
        const QScrollBar* bar = g.GetValueBar;
        QCOMPARE((QList<int>{bar->maximum(), bar->minimum(), bar->value(), bar->pageStep(), bar->singleStep()}),
                 (QList<int>{500, -20, -7, 50, 5}));
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("-7"));
        QCOMPARE(g.UserResult(), int16_t(0));
        // Set-up always checks the box, shown or not.
        QVERIFY(g.Resize_Horz->isHidden());
        QCOMPARE(g.GetResizeHorz(), int16_t(-1));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY((g.frameGeometry().center() - screen.center()).manhattanLength() <= 2);
    }

    void typingKeepsBarInStepAndSnapsBack() {
        GetValue g;
        zoomSetUp(g);
        retype(g, "9");
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("9"));
        QCOMPARE(g.GetValueBar->value(), 9);
        QTest::keyClicks(g.GetValueBox, "99");
        // "999" is past 800: the text goes back to the bar's 99, caret at the end.
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("99"));
        QCOMPARE(g.GetValueBox->cursorPosition(), 2);
        QCOMPARE(g.GetValueBar->value(), 99);
        QTest::keyClick(g.GetValueBox, Qt::Key_Backspace);
        QCOMPARE(g.GetValueBar->value(), 9);

        // Emptying the box leaves the bar where it was.
        QTest::keyClick(g.GetValueBox, Qt::Key_Backspace);
        QCOMPARE(g.GetValueBox->text(), QString());
        QCOMPARE(g.GetValueBar->value(), 9);

        // Too many digits for 16 bits: refused by the range, not wrapped.
        g.GetValueBox->setText(QStringLiteral("99999999999"));
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("9"));
        QCOMPARE(g.GetValueBar->value(), 9);
    }

    void minusAlone_data() {
        QTest::addColumn<int>("minimum");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bar");
        QTest::newRow("minimum 1 snaps back") << 1 << "100" << 100;
        QTest::newRow("minimum 0 moves to 0") << 0 << "-" << 0;
        QTest::newRow("minimum below 0 moves to 0") << -50 << "-" << 0;
    }
    void minusAlone() {
        QFETCH(int, minimum);
        QFETCH(QString, text);
        QFETCH(int, bar);
        GetValue g;
        zoomSetUp(g, 100, int16_t(minimum));
        retype(g, "-");
        QCOMPARE(g.GetValueBox->text(), text);
        QCOMPARE(g.GetValueBar->value(), bar);
        if (minimum < 0) {
            QTest::keyClicks(g.GetValueBox, "35");
            QCOMPARE(g.GetValueBar->value(), -35);
        }
    }

    void keyFilter_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("after");   // the box after the key, starting from "12" with the caret at the end
        QTest::newRow("digit") << int(Qt::Key_3) << 0 << "3" << "123";
        QTest::newRow("minus") << int(Qt::Key_Minus) << 0 << "-" << "12-";
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << "\b" << "1";
        QTest::newRow("letter") << int(Qt::Key_A) << 0 << "a" << "12";
        QTest::newRow("blank") << int(Qt::Key_Space) << 0 << " " << "12";
        QTest::newRow("decimal point") << int(Qt::Key_Period) << 0 << "." << "12";
        QTest::newRow("plus") << int(Qt::Key_Plus) << 0 << "+" << "12";
        QTest::newRow("full-width digit") << int(Qt::Key_unknown) << 0 << "３" << "12";
        QTest::newRow("ctrl+v") << int(Qt::Key_V) << int(Qt::ControlModifier) << "" << "12";
        // Keys that type nothing still edit: the caret moves, Delete deletes.
        QTest::newRow("left then delete") << int(Qt::Key_Left) << 0 << "" << "12";
    }
    void keyFilter() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, text);
        QFETCH(QString, after);
        QApplication::clipboard()->setText(QStringLiteral("5"));
        GetValue g;
        zoomSetUp(g);
        retype(g, "12");
        QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
        QApplication::sendEvent(g.GetValueBox, &press);
        QCOMPARE(g.GetValueBox->text(), after);
        if (key == Qt::Key_Left) {
            QTest::keyClick(g.GetValueBox, Qt::Key_Delete);
            QCOMPARE(g.GetValueBox->text(), QStringLiteral("1"));
        }
    }

    void barAndBoxDoNotFightEachOther() {
        GetValue g;
        zoomSetUp(g);
        // Moving the bar rewrites the text; the text handler leaves the bar be.
        g.GetValueBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("200"));
        QCOMPARE(g.GetValueBar->value(), 200);
        // Typing moves the bar; the guard is clear again afterwards.
        retype(g, "7");
        QCOMPARE(g.GetValueBar->value(), 7);
        g.GetValueBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("17"));
    }

    void okAcceptsOnlyANumberInRange() {
        GetValue g;
        zoomSetUp(g, 250);
        bool stayedOpen = false;
        const int r = execWith(g, [&] {
            // Shown: the box has the focus with all its text selected.
            QVERIFY(QTest::qWaitForWindowActive(&g));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g.GetValueBox));
            QCOMPARE(g.GetValueBox->selectedText(), QStringLiteral("250"));
            QTest::keyClick(g.GetValueBox, Qt::Key_Backspace);
            g.OK->click();
            stayedOpen = g.isVisible();
            QTest::keyClicks(g.GetValueBox, "37");
            QTest::keyClick(g.GetValueBox, Qt::Key_Return);   // Enter is OK
        });
        QVERIFY(stayedOpen);
        QCOMPARE(r, int(QDialog::Accepted));
        QVERIFY(g.isHidden());
        QCOMPARE(g.UserResult(), int16_t(-1));
        QCOMPARE(g.GetAmount(), 37);

        // Set up again: the earlier OK no longer counts.
        zoomSetUp(g, 250);
        QCOMPARE(g.UserResult(), int16_t(0));
    }

    void cancelEscAndCloseBoxConfirmNothing_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Cancel") << 0;
        QTest::newRow("Esc") << 1;
        QTest::newRow("close box") << 2;
    }
    void cancelEscAndCloseBoxConfirmNothing() {
        QFETCH(int, how);
        GetValue g;
        zoomSetUp(g);
        execWith(g, [&] {
            retype(g, "420");
            if (how == 0) g.Cancel->click();
            else if (how == 1) QTest::keyClick(g.GetValueBox, Qt::Key_Escape);
            else g.close();
        });
        QVERIFY(g.isHidden());
        QCOMPARE(g.UserResult(), int16_t(0));
        QCOMPARE(g.GetValueBar->value(), 420);
    }

    // The bar is a tab stop after the box; Right, Down and PageDown raise
    // the value, Left, Up and PageUp lower it, and the box follows.
    void barWorksFromTheKeyboard() {
        GetValue g;
        zoomSetUp(g, 300);
        execWith(g, [&] {
            QTRY_VERIFY(g.GetValueBox->hasFocus());
            QTest::keyClick(g.GetValueBox, Qt::Key_Tab);
            QVERIFY(g.GetValueBar->hasFocus());
            QTest::keyClick(g.GetValueBar, Qt::Key_Right);
            QCOMPARE(g.GetValueBar->value(), 310);
            QTest::keyClick(g.GetValueBar, Qt::Key_PageDown);
            QCOMPARE(g.GetValueBar->value(), 410);
            QTest::keyClick(g.GetValueBar, Qt::Key_Down);
            QCOMPARE(g.GetValueBar->value(), 420);
            QTest::keyClick(g.GetValueBar, Qt::Key_Left);
            QTest::keyClick(g.GetValueBar, Qt::Key_Up);
            QCOMPARE(g.GetValueBar->value(), 400);
            QTest::keyClick(g.GetValueBar, Qt::Key_PageUp);
            QCOMPARE(g.GetValueBar->value(), 300);
            QCOMPARE(g.GetValueBox->text(), QString("300"));
            QTest::keyClick(g.GetValueBar, Qt::Key_End);
            QCOMPARE(g.GetValueBox->text(), QString("800"));
            QTest::keyClick(g.GetValueBar, Qt::Key_Return);  // Enter still accepts
        });
        QCOMPARE(g.UserResult(), int16_t(-1));
        QCOMPARE(g.GetAmount(), 800);
    }
};

QTEST_MAIN(GetValueTest)
#include "test_get_value.moc"
