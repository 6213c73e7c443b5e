// A long command lets the window repaint but keeps the user's keys and
// clicks for afterwards; one control (an Abort button) may still answer.
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <qpa/qwindowsysteminterface.h>

#include "shell/long_command.h"

using namespace qova;
using Async = QWindowSystemInterface::AsynchronousDelivery;

namespace {

struct Panel {
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    QPushButton* abort = new QPushButton(QStringLiteral("中止"), &window);
    int aborted = 0;
    Panel() {
        auto* row = new QHBoxLayout(&window);
        row->addWidget(edit);
        row->addWidget(abort);
        QObject::connect(abort, &QPushButton::clicked, [this] { ++aborted; });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
    }
    // As the window system delivers them: queued, handled when events run.
    void typeQueued(Qt::Key k, const QString& text) {
        QWindowSystemInterface::handleKeyEvent<Async>(window.windowHandle(), QEvent::KeyPress, k, Qt::NoModifier, text);
        QWindowSystemInterface::handleKeyEvent<Async>(window.windowHandle(), QEvent::KeyRelease, k, Qt::NoModifier, text);
    }
    void clickQueued(QWidget* w) {
        const QPointF at = w->mapTo(&window, w->rect().center());
        const QPointF global = window.mapToGlobal(at);
        QWindowSystemInterface::handleMouseEvent<Async>(window.windowHandle(), at, global, Qt::LeftButton,
                                                        Qt::LeftButton, QEvent::MouseButtonPress);
        QWindowSystemInterface::handleMouseEvent<Async>(window.windowHandle(), at, global, Qt::NoButton,
                                                        Qt::LeftButton, QEvent::MouseButtonRelease);
    }
};

}  // namespace

class TestLongCommand : public QObject {
    Q_OBJECT
private slots:
    void inputWaitsUntilTheCommandEnds() {
        Panel p;
        bool ticked = false;
        QTimer::singleShot(0, [&] { ticked = true; });
        p.typeQueued(Qt::Key_A, "a");
        p.clickQueued(p.abort);
        shell::processEventsDuringCommand();
        QVERIFY(ticked);  // timers (the clock, the gauge's repaint) run
        QVERIFY(p.edit->text().isEmpty());
        QCOMPARE(p.aborted, 0);
        // Back in the event loop the input arrives, none of it lost.
        QTRY_COMPARE(p.edit->text(), QString("a"));
        QTRY_COMPARE(p.aborted, 1);
    }

    void theAnsweringControlAnswersAtOnce() {
        Panel p;
        {
            shell::AnswersDuringCommand abortable(p.abort);
            p.typeQueued(Qt::Key_B, "b");
            p.typeQueued(Qt::Key_C, "c");
            p.clickQueued(p.abort);
            shell::processEventsDuringCommand();
            QCOMPARE(p.aborted, 1);
            QVERIFY(p.edit->text().isEmpty());
        }
        // The command is over: what was typed meanwhile arrives in order.
        QTRY_COMPARE(p.edit->text(), QString("bc"));
        QCOMPARE(p.aborted, 1);
    }
};

QTEST_MAIN(TestLongCommand)
#include "test_long_command.moc"
