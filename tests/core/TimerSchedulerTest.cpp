#include "core/TimerScheduler.h"
#include "core/StartTask.h"
#include "core/Timers.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

using namespace tolvo;
using test::FakeClock;

class TimerSchedulerTest : public QObject
{
    Q_OBJECT

private slots:
    void nothingFiresEarly()
    {
        FakeClock clock;
        TimerScheduler scheduler(clock.clock());
        int fired = 0;
        scheduler.schedule(clock.now().addSecs(60), [&fired] { ++fired; });
        clock.advanceMs(59'999);
        scheduler.checkNow();
        QCOMPARE(fired, 0);
        clock.advanceMs(1);
        scheduler.checkNow();
        QCOMPARE(fired, 1);
        scheduler.checkNow();
        QCOMPARE(fired, 1);
        QCOMPARE(scheduler.pendingCount(), std::size_t(0));
    }

    void farDeadlinesFireAtTheirWallTime()
    {
        // Beyond what a single QTimer interval can hold (about 24.8 days).
        FakeClock clock;
        TimerScheduler scheduler(clock.clock());
        const QDateTime deadline = clock.now().addDays(40);
        QDateTime firedAt;
        scheduler.schedule(deadline, [&] { firedAt = clock.now(); });
        // The wake-up never waits longer than the re-check period.
        QVERIFY(scheduler.currentWait() <= TimerScheduler::maximumWait);
        for (int day = 0; day < 39; ++day) {
            clock.advance(86400);
            scheduler.checkNow();
        }
        QVERIFY(!firedAt.isValid());
        clock.set(deadline.addSecs(-1));
        scheduler.checkNow();
        QVERIFY(!firedAt.isValid());
        clock.set(deadline);
        scheduler.checkNow();
        QCOMPARE(firedAt, deadline);
    }

    void dueTimersFireInDeadlineOrderAndMayCancelEachOther()
    {
        FakeClock clock;
        TimerScheduler scheduler(clock.clock());
        QStringList order;
        TimerScheduler::TimerId third = 0;
        scheduler.schedule(clock.now().addSecs(30), [&] { order << "b"; });
        scheduler.schedule(clock.now().addSecs(10), [&] {
            order << "a";
            scheduler.cancel(third);
        });
        third = scheduler.schedule(clock.now().addSecs(20), [&] { order << "c"; });
        clock.advance(60);
        scheduler.checkNow();
        QCOMPARE(order, (QStringList {"a", "b"}));
        QVERIFY(!scheduler.cancel(third));
    }

    void aPauseEndsWhenTheClockPassesItOrOnCancel()
    {
        FakeClock clock;
        auto scheduler = std::make_shared<TimerScheduler>(clock.clock());
        std::optional<VoidResult> ended;
        const auto pause = [&](CancelToken token) -> QCoro::Task<> {
            ended = co_await sleepFor(scheduler, std::chrono::seconds(10), token);
        };
        startDetached(pause(CancelToken()));
        QCOMPARE(scheduler->nextDeadline(), clock.now().addSecs(10));
        clock.advanceMs(9'999);
        scheduler->checkNow();
        QVERIFY(!ended);
        clock.advanceMs(1);
        scheduler->checkNow();
        QTRY_VERIFY(ended);
        QVERIFY(*ended);

        // Cancelled, it ends at once and leaves no timer behind.
        ended.reset();
        CancelToken token;
        startDetached(pause(token));
        QCOMPARE(scheduler->pendingCount(), std::size_t(1));
        token.cancel();
        QTRY_VERIFY(ended);
        QVERIFY(!*ended && ended->error().isCancellation());
        QCOMPARE(scheduler->pendingCount(), std::size_t(0));
        QVERIFY(!scheduler->nextDeadline().isValid());
    }

    void realTimerWakesUp()
    {
        // One short real deadline through the event loop, on the system clock.
        TimerScheduler scheduler;
        bool fired = false;
        scheduler.schedule(QDateTime::currentDateTimeUtc().addMSecs(20), [&] { fired = true; });
        QTRY_VERIFY(fired);
    }

    void firedAndCancelledTimersLeaveTheList()
    {
        FakeClock clock;
        auto scheduler = std::make_shared<TimerScheduler>(clock.clock());
        Timers timers(scheduler);
        GoogleCalendarEvent event;
        event.id = QStringLiteral("e1");
        QString seen;
        const TimerRef first = makeTimer(
            clock.now().addSecs(5), event, [&](const GoogleCalendarEvent &e) { seen = e.id; },
            timers);
        const TimerRef second = makeTimer(clock.now().addSecs(50), event, {}, timers);
        const CalendarChannel channel {
            QStringLiteral("cal"), 0, QStringLiteral("r"), QStringLiteral("c")};
        QString renewed;
        makeChannelTimer(
            clock.now().addSecs(5), channel,
            [&](const CalendarChannel &c) { renewed = c.calendarId; }, timers);
        QCOMPARE(timers.timers().size(), std::size_t(3));

        clock.advance(5);
        scheduler->checkNow();
        QCOMPARE(seen, QStringLiteral("e1"));
        QCOMPARE(renewed, QStringLiteral("cal"));
        QVERIFY(!first->isValid());
        QCOMPARE(timers.timers().size(), std::size_t(1));

        timers.cancel(second);
        QVERIFY(!second->isValid());
        QVERIFY(timers.timers().empty());
        QCOMPARE(scheduler->pendingCount(), std::size_t(0));
    }

    void destroyingTheListCancelsItsTimers()
    {
        FakeClock clock;
        auto scheduler = std::make_shared<TimerScheduler>(clock.clock());
        bool fired = false;
        {
            Timers timers(scheduler);
            makeTimer(
                clock.now().addSecs(5), GoogleCalendarEvent(),
                [&](const GoogleCalendarEvent &) { fired = true; }, timers);
        }
        clock.advance(10);
        scheduler->checkNow();
        QVERIFY(!fired);
        QCOMPARE(scheduler->pendingCount(), std::size_t(0));
    }
};

TOLVO_TEST_MAIN(TimerSchedulerTest)
#include "TimerSchedulerTest.moc"
