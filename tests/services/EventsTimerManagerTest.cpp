#include "services/EventsTimerManager.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

using namespace tolvo;
using test::FakeClock;

// Every case runs on a fake wall clock injected through the container.
class EventsTimerManagerTest : public QObject
{
    Q_OBJECT

    FakeClock m_clock;
    std::shared_ptr<TimerScheduler> m_scheduler;
    std::unique_ptr<DependencyScope> m_scope;
    QStringList m_fired;

    GoogleCalendarEvent event(const QString &id, std::optional<int> startInMinutes,
        std::optional<int> endInMinutes, int reminderMinutes = 30)
    {
        GoogleCalendarEvent e;
        e.id = id;
        if (startInMinutes)
            e.start = m_clock.now().addSecs(60 * *startInMinutes);
        if (endInMinutes)
            e.end = m_clock.now().addSecs(60 * *endInMinutes);
        e.reminderMinutes = reminderMinutes;
        return e;
    }

    EventsTimerManager::Handler record(const QString &label)
    {
        return [this, label](const GoogleCalendarEvent &e) { m_fired << label + ":" + e.id; };
    }

    void advanceMinutes(int minutes)
    {
        m_clock.advance(60 * minutes);
        m_scheduler->checkNow();
    }

private slots:
    void init()
    {
        m_clock = FakeClock();
        m_scheduler = std::make_shared<TimerScheduler>(m_clock.clock());
        m_scope = std::make_unique<DependencyScope>();
        m_scope->set(m_scheduler);
        Dependencies::reset();
        m_fired.clear();
    }
    void cleanup()
    {
        m_scope.reset();
        Dependencies::reset();
    }

    void armsWhatIsStillToCome_data()
    {
        QTest::addColumn<bool>("hasStart");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("hasEnd");
        QTest::addColumn<int>("end");
        QTest::addColumn<bool>("reminderArmed");
        QTest::addColumn<bool>("endArmed");
        QTest::newRow("both ahead") << true << 60 << true << 90 << true << true;
        QTest::newRow("no start") << false << 0 << true << 90 << false << true;
        QTest::newRow("no end") << true << 60 << false << 0 << true << false;
        // A moment that passed before the meeting began still reminds, at once.
        QTest::newRow("reminder exactly now") << true << 30 << true << 60 << true << true;
        QTest::newRow("reminder past, start ahead") << true << 10 << true << 60 << true << true;
        QTest::newRow("started") << true << 0 << true << 60 << false << true;
        QTest::newRow("ended") << true << -60 << true << -1 << false << false;
    }
    void armsWhatIsStillToCome()
    {
        QFETCH(bool, hasStart);
        QFETCH(int, start);
        QFETCH(bool, hasEnd);
        QFETCH(int, end);
        QFETCH(bool, reminderArmed);
        QFETCH(bool, endArmed);
        const auto manager = EventsTimerManager::liveValue();
        const auto e = event(QStringLiteral("e"), hasStart ? std::optional(start) : std::nullopt,
            hasEnd ? std::optional(end) : std::nullopt);
        manager.createTimerWithEvent(e, record("reminder"));
        manager.createEndTimerWithEvent(e, record("end"));
        const auto pair = manager.pair(QStringLiteral("e"));
        QCOMPARE(pair && pair->notificationTimer, reminderArmed);
        QCOMPARE(pair && pair->endTimer, endArmed);
        QCOMPARE(manager.pendingTimerCount(), std::size_t(reminderArmed + endArmed));
    }

    void pairLivesUntilBothSlotsFired()
    {
        const auto manager = EventsTimerManager::liveValue();
        const auto e = event(QStringLiteral("e"), 60, 90);
        manager.createTimerWithEvent(e, record("reminder"));
        manager.createEndTimerWithEvent(e, record("end"));

        advanceMinutes(29);
        QVERIFY(m_fired.isEmpty());
        advanceMinutes(1); // start - 30 min
        QCOMPARE(m_fired, QStringList {"reminder:e"});
        auto pair = manager.pair(QStringLiteral("e"));
        QVERIFY(pair && !pair->notificationTimer && pair->endTimer);

        advanceMinutes(60);
        QCOMPARE(m_fired, (QStringList {"reminder:e", "end:e"}));
        QVERIFY(!manager.pair(QStringLiteral("e")));
        QCOMPARE(manager.pendingTimerCount(), std::size_t(0));
    }

    void rearmingCancelsTheDisplacedTimer()
    {
        // A stale end timer must not fire at the old end once the event has moved.
        const auto manager = EventsTimerManager::liveValue();
        manager.createEndTimerWithEvent(event(QStringLiteral("e"), 0, 60), record("old"));
        manager.createEndTimerWithEvent(event(QStringLiteral("e"), 0, 60), record("duplicate"));
        QCOMPARE(manager.pendingTimerCount(), std::size_t(1));
        manager.modifyTimerWithEvent(
            event(QStringLiteral("e"), 1440, 1500), EventTimerType::end, record("moved"));
        QCOMPARE(manager.pendingTimerCount(), std::size_t(1));
        advanceMinutes(61);
        QVERIFY(m_fired.isEmpty());
        advanceMinutes(1500);
        QCOMPARE(m_fired, QStringList {"moved:e"});
    }

    void aPassedReminderComesAtOnceButOnlyOnce()
    {
        // Moved to start in 5 minutes (or re-armed by a reload after the machine slept through
        // the moment): the reminder is due and the meeting is still to come.
        const auto manager = EventsTimerManager::liveValue();
        manager.createTimerWithEvent(event(QStringLiteral("e"), 60, 90), record("reminder"));
        manager.modifyTimerWithEvent(
            event(QStringLiteral("e"), 5, 90), EventTimerType::notification, record("moved"));
        m_scheduler->checkNow();
        QCOMPARE(m_fired, QStringList {"moved:e"});

        // Once it has come, a later re-arm past its moment stays quiet.
        manager.modifyTimerWithEvent(
            event(QStringLiteral("e"), 5, 90), EventTimerType::notification, record("again"));
        QVERIFY(!manager.pair(QStringLiteral("e")));
        QCOMPARE(manager.pendingTimerCount(), std::size_t(0));
        // Moved into the future, it is reminded again at its new moment.
        manager.modifyTimerWithEvent(
            event(QStringLiteral("e"), 45, 90), EventTimerType::notification, record("later"));
        advanceMinutes(15);
        QCOMPARE(m_fired, (QStringList {"moved:e", "later:e"}));
        // A meeting that has begun is not reminded.
        manager.modifyTimerWithEvent(
            event(QStringLiteral("g"), -1, 30), EventTimerType::notification, record("begun"));
        m_scheduler->checkNow();
        QCOMPARE(m_fired.size(), 2);

        // Without a pair, modify just arms.
        manager.modifyTimerWithEvent(
            event(QStringLiteral("f"), 60, 90), EventTimerType::end, record("end"));
        QVERIFY(manager.pair(QStringLiteral("f"))->endTimer);
    }

    void removeTimerLeavesSnoozesAlone()
    {
        const auto manager = EventsTimerManager::liveValue();
        const auto e = event(QStringLiteral("e"), 60, 90);
        manager.createTimerWithEvent(e, record("reminder"));
        manager.createEndTimerWithEvent(e, record("end"));
        manager.createTimerWithDate(m_clock.now().addSecs(300), e, record("snooze"));
        manager.removeTimer(event(QStringLiteral("unknown"), 60, 90));
        QCOMPARE(manager.pendingTimerCount(), std::size_t(3));

        manager.removeTimer(e);
        QVERIFY(!manager.pair(QStringLiteral("e")));
        QCOMPARE(manager.pendingTimerCount(), std::size_t(1));
        advanceMinutes(120);
        QCOMPARE(m_fired, QStringList {"snooze:e"});
    }

    void clearTimersCancelsEverything()
    {
        const auto manager = EventsTimerManager::liveValue();
        const auto e = event(QStringLiteral("e"), 60, 90);
        manager.createTimerWithEvent(e, record("reminder"));
        manager.createSnoozeWithEvent(e, m_clock.now().addSecs(60), record("snooze"));
        manager.clearTimers();
        QCOMPARE(manager.pendingTimerCount(), std::size_t(0));
        advanceMinutes(120);
        QVERIFY(m_fired.isEmpty());
    }

    void handlerGetsTheEventAsArmed()
    {
        const auto manager = EventsTimerManager::liveValue();
        auto e = event(QStringLiteral("e"), 60, 90);
        e.summary = QStringLiteral("Before");
        GoogleCalendarEvent received;
        manager.createTimerWithEvent(
            e, [&](const GoogleCalendarEvent &armed) { received = armed; });
        advanceMinutes(30);
        QCOMPARE(received, e);
    }
};

TOLVO_TEST_MAIN(EventsTimerManagerTest)
#include "EventsTimerManagerTest.moc"
