#include "components/ClickCountDetector.h"
#include "components/ClickCounter.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QTimer>
#include <QWidget>

using namespace tolvo;

// The mouse hook QtTest exports: events with chosen timestamps go through the real path.
Q_WIDGETS_EXPORT void qt_handleMouseEvent(QWindow *window, const QPointF &local,
    const QPointF &global, Qt::MouseButtons state, Qt::MouseButton button, QEvent::Type type,
    Qt::KeyboardModifiers mods, int timestamp);

namespace {

struct Row
{
    QWidget *widget;
    QStringList *log;
};

void press(QWidget *target, int timestamp, Qt::MouseButton button = Qt::LeftButton)
{
    QWindow *window = target->window()->windowHandle();
    const QPointF local = target->mapTo(target->window(), QPointF(10, 10));
    const QPointF global = target->mapToGlobal(QPointF(10, 10));
    qt_handleMouseEvent(
        window, local, global, button, button, QEvent::MouseButtonPress, Qt::NoModifier, timestamp);
    qt_handleMouseEvent(window, local, global, Qt::NoButton, button, QEvent::MouseButtonRelease,
        Qt::NoModifier, timestamp + 20);
    QCoreApplication::processEvents();
}

// Returns once every timer armed so far for less than `span` has had its turn: Qt fires due
// timers in the order of their deadlines, so a timer armed now for `span` comes after them
// however late the process runs. For checks that something did not happen.
bool timersBeforeRan(int span)
{
    bool passed = false;
    QObject marker;
    QTimer::singleShot(span, Qt::PreciseTimer, &marker, [&passed] { passed = true; });
    return QTest::qWaitFor([&passed] { return passed; }, span + 30'000);
}

QString name(MouseClickType type)
{
    return type == MouseClickType::single ? QStringLiteral("single") : QStringLiteral("double");
}

} // namespace

class PointerDetectorsTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void countsClicks_data()
    {
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<QList<int>>("xs");
        QTest::addColumn<QList<int>>("counts");
        QTest::newRow("one") << QList<int> {0} << QList<int> {0} << QList<int> {1};
        QTest::newRow("double") << QList<int> {0, 100} << QList<int> {0, 0} << QList<int> {1, 2};
        QTest::newRow("triple") << QList<int> {0, 100, 200} << QList<int> {0, 1, 2}
                                << QList<int> {1, 2, 3};
        QTest::newRow("slow") << QList<int> {0, 401} << QList<int> {0, 0} << QList<int> {1, 1};
        QTest::newRow("at the interval")
            << QList<int> {0, 400} << QList<int> {0, 0} << QList<int> {1, 2};
        QTest::newRow("moved away")
            << QList<int> {0, 100} << QList<int> {0, 6} << QList<int> {1, 1};
        QTest::newRow("restarts after a pause") << QList<int> {0, 100, 1000,
            1100} << QList<int> {0, 0, 0, 0} << QList<int> {1, 2, 1, 2};
    }

    void countsClicks()
    {
        QFETCH(QList<int>, times);
        QFETCH(QList<int>, xs);
        QFETCH(QList<int>, counts);
        ClickCounter counter(400, 5);
        QList<int> actual;
        for (qsizetype i = 0; i < times.size(); ++i)
            actual << counter.press(quint64(1000 + times[i]), QPointF(xs[i], 0));
        QCOMPARE(actual, counts);
    }

    void tellsSingleFromDoubleClicks_data()
    {
        QTest::addColumn<QList<int>>("times");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("single") << QList<int> {0} << QStringList {"single"};
        QTest::newRow("fast double") << QList<int> {0, 100} << QStringList {"double"};
        QTest::newRow("triple") << QList<int> {0, 100, 200} << QStringList {"double", "double"};
    }

    void tellsSingleFromDoubleClicks()
    {
        QFETCH(QList<int>, times);
        QFETCH(QStringList, expected);
        QWidget window;
        window.resize(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList log;
        new ClickCountDetector(&window, [&log](MouseClickType type) { log << name(type); });
        static int base = 100000;
        base += 10000;
        for (int t : times)
            press(&window, base + t);
        QVERIFY2(!log.contains("single"), "nothing early");
        // Past twice the single-click delay, whatever was to be told has been told.
        QVERIFY(timersBeforeRan(2 * ClickCountDetector::singleClickDelayMs));
        QCOMPARE(log, expected);
    }

    void slowDoubleGivesSingleThenDouble()
    {
        QWidget window;
        window.resize(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList log;
        new ClickCountDetector(&window, [&log](MouseClickType type) { log << name(type); });
        press(&window, 500000);
        // The single click is told when the double-click interval has passed on the timer.
        QTRY_COMPARE(log, QStringList {"single"});
        press(&window, 500300);
        QCOMPARE(log, (QStringList {"single", "double"}));
    }

    void ignoresOtherButtonsAndKeepsPressesFromTheParent()
    {
        QWidget window;
        window.resize(200, 100);
        auto *block = new QWidget(&window);
        block->setGeometry(0, 0, 50, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int parentPresses = 0;
        struct Counter : QObject
        {
            int *count;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::MouseButtonPress)
                    ++*count;
                return false;
            }
        } counter;
        counter.count = &parentPresses;
        window.installEventFilter(&counter);
        QStringList log;
        new ClickCountDetector(block, [&log](MouseClickType type) { log << name(type); });
        press(block, 700000, Qt::RightButton);
        press(block, 800000);
        QTRY_COMPARE(log, QStringList {"single"});
        QVERIFY(timersBeforeRan(2 * ClickCountDetector::singleClickDelayMs));
        QCOMPARE(log, QStringList {"single"});
        QCOMPARE(parentPresses, 1); // the right click only
    }

    void aPendingSingleDiesWithItsWidget()
    {
        QWidget window;
        window.resize(100, 100);
        auto *block = new QWidget(&window);
        block->setGeometry(0, 0, 50, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto log = std::make_shared<QStringList>();
        new ClickCountDetector(block, [log](MouseClickType type) { *log << name(type); });
        press(block, 900000);
        delete block;
        QVERIFY(timersBeforeRan(2 * ClickCountDetector::singleClickDelayMs));
        QVERIFY(log->isEmpty());
    }
};

TOLVO_WIDGET_TEST_MAIN(PointerDetectorsTest)
#include "PointerDetectorsTest.moc"
