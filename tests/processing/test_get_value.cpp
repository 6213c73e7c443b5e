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

#include "processing/get_value.h"

using qova::processing::GetValue;

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
        QCOMPARE(g.objectName(), QStringLiteral("GetValue"));
        QCOMPARE(g.windowTitle(), QStringLiteral("GetValue"));
        QCOMPARE(g.GetValueType->text(), QStringLiteral("Label1"));
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("Text1"));
        QCOMPARE(g.Resize_Horz->text(), QStringLiteral("Resize/Horizontal"));
        QCOMPARE(g.OK->text(), QStringLiteral("&OK"));
        QCOMPARE(g.Cancel->text(), QStringLiteral("ｷｬﾝｾﾙ(&L)"));
        QVERIFY(g.OK->isDefault());
        QCOMPARE(g.UserResult(), int16_t(0));
        for (const char* name : {"GetValueType", "GetValueBox", "GetValueBar", "Resize_Horz", "OK", "Cancel"})
            QVERIFY2(g.findChild<QWidget*>(QLatin1String(name)), name);

        g.Resize_Horz->setChecked(false);
        g.InitTheForm(QStringLiteral("題"), QStringLiteral("幅:"), 500, -20, -7, 50, 5, 0);
        QCOMPARE(g.windowTitle(), QStringLiteral("題"));
        QCOMPARE(g.GetValueType->text(), QStringLiteral("幅:"));
        QCOMPARE(g.GetValueBar->maximum(), 500);
        QCOMPARE(g.GetValueBar->minimum(), -20);
        QCOMPARE(g.GetValueBar->value(), -7);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("-7"));
        QCOMPARE(g.GetValueBar->pageStep(), 50);
        QCOMPARE(g.GetValueBar->singleStep(), 5);
        // Set-up always checks the box, shown or not.
        QVERIFY(g.Resize_Horz->isHidden());
        QCOMPARE(g.GetResizeHorz(), int16_t(-1));
        g.InitTheForm(QStringLiteral("題"), QStringLiteral("幅:"), 500, 1, 10, 50, 5, 1);
        QVERIFY(!g.Resize_Horz->isHidden());
        g.Resize_Horz->setChecked(false);
        QCOMPARE(g.GetResizeHorz(), int16_t(0));

        // Centred on the screen.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect outer = g.frameGeometry();
        QVERIFY(qAbs(outer.center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(outer.center().y() - screen.center().y()) <= 1);
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
        // "-" is let through (here it reads as 0 and snaps back).
        QVERIFY(qova::processing::acceptsTypedCharacter(QLatin1Char('-')));
    }

    void barAndBoxDoNotFightEachOther() {
        GetValue g;
        zoomSetUp(g);
        // Dragging the bar rewrites the text; the text handler leaves the bar be.
        g.GetValueBar->setValue(250);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("250"));
        QCOMPARE(g.GetValueBar->value(), 250);
        g.GetValueBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("350"));
        g.GetValueBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("340"));
        // Typing moves the bar and the text stays as typed; the guard is
        // clear again afterwards, so both directions keep working.
        retype(g, "7");
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("7"));
        QCOMPARE(g.GetValueBar->value(), 7);
        QTest::keyClicks(g.GetValueBox, "0");
        QCOMPARE(g.GetValueBar->value(), 70);
        g.GetValueBar->setValue(8);
        QCOMPARE(g.GetValueBox->text(), QStringLiteral("8"));
        retype(g, "800");
        QCOMPARE(g.GetValueBar->value(), 800);
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
};

QTEST_MAIN(GetValueTest)
#include "test_get_value.moc"
