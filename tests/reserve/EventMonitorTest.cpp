#include "reserve/EventMonitor.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QKeyEvent>
#include <QWidget>

using namespace tolvo;

namespace {

class KeyTarget : public QWidget
{
public:
    int presses = 0;

protected:
    void keyPressEvent(QKeyEvent *) override { ++presses; }
};

using Kind = EventMonitor::EventKind;

// A local monitor of key presses that counts what it sees and passes it on.
std::unique_ptr<EventMonitor> countingMonitor(int &seen)
{
    return std::make_unique<EventMonitor>(EventMonitor::MonitorType::local, Kind::keyDown, nullptr,
        [&seen](QEvent *event) -> QEvent * {
            ++seen;
            return event;
        });
}

} // namespace

class EventMonitorTest : public QObject
{
    Q_OBJECT

    KeyTarget *m_target = nullptr;

    void press(Qt::Key key = Qt::Key_A)
    {
        QTest::keyClick(m_target->windowHandle(), key);
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        m_target = new KeyTarget;
        m_target->setFocusPolicy(Qt::StrongFocus);
        m_target->resize(100, 100);
        m_target->show();
        m_target->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_target));
        m_target->setFocus();
    }

    void cleanup()
    {
        delete m_target;
        test::deleteTopLevelWindows();
    }

    void startsOnlyWithTheHandlerOfItsType_data()
    {
        QTest::addColumn<bool>("local");
        QTest::addColumn<bool>("globalHandler");
        QTest::addColumn<bool>("localHandler");
        QTest::addColumn<bool>("running");
        QTest::newRow("local without its handler") << true << true << false << false;
        QTest::newRow("local with its handler") << true << false << true << true;
        QTest::newRow("global without its handler") << false << false << true << false;
        // Other applications' input is out of reach on this desktop.
        QTest::newRow("global with its handler") << false << true << false << false;
    }

    void startsOnlyWithTheHandlerOfItsType()
    {
        QFETCH(bool, local);
        QFETCH(bool, globalHandler);
        QFETCH(bool, localHandler);
        QFETCH(bool, running);
        if (!local && globalHandler)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot be watched"));
        EventMonitor monitor(
            local ? EventMonitor::MonitorType::local : EventMonitor::MonitorType::global,
            Kind::keyDown, globalHandler ? EventMonitor::GlobalHandler([](QEvent *) {}) : nullptr,
            localHandler ? EventMonitor::LocalHandler([](QEvent *event) { return event; })
                         : nullptr);
        monitor.start();
        QCOMPARE(monitor.isRunning(), running);
        monitor.stop();
        monitor.stop(); // twice is harmless
        QVERIFY(!monitor.isRunning());
    }

    void aLocalMonitorSeesSwallowsOrPassesKeys()
    {
        bool swallow = false;
        QList<int> seen;
        EventMonitor monitor(EventMonitor::MonitorType::local, Kind::keyDown, nullptr,
            [&](QEvent *event) -> QEvent * {
                seen << static_cast<QKeyEvent *>(event)->key();
                return swallow ? nullptr : event;
            });
        monitor.start();
        press(Qt::Key_A);
        QCOMPARE(seen, QList<int> {Qt::Key_A}); // once, though the key also reaches widgets
        QCOMPARE(m_target->presses, 1);
        swallow = true;
        press(Qt::Key_B);
        QCOMPARE(seen, (QList<int> {Qt::Key_A, Qt::Key_B}));
        QCOMPARE(m_target->presses, 1);
    }

    void theMaskChoosesTheEvents()
    {
        int seen = 0;
        EventMonitor monitor(
            EventMonitor::MonitorType::local, Kind::keyUp, nullptr, [&](QEvent *event) -> QEvent * {
                ++seen;
                return event;
            });
        monitor.start();
        press(); // a press and a release
        QCOMPARE(seen, 1);
        QCOMPARE(m_target->presses, 1);

        QMouseEvent left(QEvent::MouseButtonPress, QPointF(), QPointF(), Qt::LeftButton,
            Qt::LeftButton, Qt::NoModifier);
        QMouseEvent right(QEvent::MouseButtonPress, QPointF(), QPointF(), Qt::RightButton,
            Qt::RightButton, Qt::NoModifier);
        QVERIFY(EventMonitor::matches(Kind::leftMouseDown, &left));
        QVERIFY(!EventMonitor::matches(Kind::leftMouseDown, &right));
        QVERIFY(EventMonitor::matches(Kind::rightMouseDown, &right));
        QVERIFY(!EventMonitor::matches(Kind::leftMouseUp, &left));
    }

    void aSecondStartReplacesTheFirst()
    {
        int seen = 0;
        const auto monitor = countingMonitor(seen);
        monitor->start();
        monitor->start();
        press();
        QCOMPARE(seen, 1);
        monitor->stop();
        press();
        QCOMPARE(seen, 1);
    }

    void aDestroyedMonitorIsSilent()
    {
        int seen = 0;
        {
            const auto monitor = countingMonitor(seen);
            monitor->start();
            press();
        }
        press();
        QCOMPARE(seen, 1);
        QCOMPARE(m_target->presses, 2);
    }

    void aHandlerMayStopItsOwnMonitor()
    {
        int seen = 0;
        std::unique_ptr<EventMonitor> monitor;
        monitor = std::make_unique<EventMonitor>(
            EventMonitor::MonitorType::local, Kind::keyDown, nullptr, [&](QEvent *) -> QEvent * {
                ++seen;
                monitor.reset();
                return nullptr;
            });
        monitor->start();
        press();
        press();
        QCOMPARE(seen, 1);
        QCOMPARE(m_target->presses, 1);
    }
};

TOLVO_WIDGET_TEST_MAIN(EventMonitorTest)
#include "EventMonitorTest.moc"
