#include "support/ClockedScope.h"
#include "core/CalendarContext.h"
#include "support/TestMain.h"

using namespace tolvo;

class ClockedScopeTest : public QObject
{
    Q_OBJECT

private slots:
    // What the engine reads from the container runs on the one clock, and a timer fires when
    // the clock reaches its deadline, not before.
    void theScopesTimersAndDatesFollowTheClock()
    {
        test::ClockedScope time;
        QCOMPARE(time.now().time().msec(), 0);
        time.open();
        QCOMPARE(Dependencies::current<std::shared_ptr<TimerScheduler>>(), time.scheduler());
        QCOMPARE(Dependencies::current<CalendarContext>().now(), time.now());

        const QDateTime deadline = time.now().addSecs(600);
        int fired = 0;
        time.scheduler()->schedule(deadline, [&fired] { ++fired; });
        time.advanceTo(deadline.addSecs(-1));
        QCOMPARE(fired, 0);
        time.advanceTo(deadline);
        QCOMPARE(fired, 1);
        QCOMPARE(Dependencies::current<CalendarContext>().now(), deadline);
    }

    // A restart: a new scheduler and scope, the time where it was; closing leaves the container
    // as it was before.
    void reopeningKeepsTheTime()
    {
        test::ClockedScope time;
        time.open();
        const std::shared_ptr<TimerScheduler> first = time.scheduler();
        const QDateTime later = time.now().addSecs(3600);
        time.advanceTo(later);
        time.open();
        QVERIFY(time.scheduler() != first);
        QCOMPARE(Dependencies::current<std::shared_ptr<TimerScheduler>>(), time.scheduler());
        QCOMPARE(Dependencies::current<CalendarContext>().now(), later);
        time.close();
        QVERIFY(!time.isOpen());
        QVERIFY(Dependencies::current<std::shared_ptr<TimerScheduler>>() != first);
    }
};

TOLVO_TEST_MAIN(ClockedScopeTest)
#include "ClockedScopeTest.moc"
