#include "core/Dependencies.h"
#include "services/CacheManager.h"
#include "services/DateManager.h"
#include "support/IssueRecorder.h"
#include "support/TestMain.h"

#include <QTimeZone>

using namespace tolvo;

namespace {
GoogleCalendar calendar(const char *id)
{
    GoogleCalendar c;
    c.id = QString::fromLatin1(id);
    return c;
}

GoogleCalendarEvent makeEvent(const char *id, const char *summary)
{
    GoogleCalendarEvent e;
    e.id = QString::fromLatin1(id);
    e.summary = QString::fromLatin1(summary);
    return e;
}
} // namespace

class CacheAndDateManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void storeEventReplacesBySameId()
    {
        const auto cache = CacheManager::liveValue();
        cache.storeEvent(makeEvent("a", "first"));
        cache.storeEvent(makeEvent("b", "other"));
        cache.storeEvent(makeEvent("a", "second"));
        const auto events = cache.events();
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0).summary, std::optional<QString>("second"));
        QCOMPARE(events.at(1).id, QStringLiteral("b"));
    }

    void calendarStoresAreAnnouncedEveryTimeAndSynchronously()
    {
        const auto cache = CacheManager::liveValue();
        cache.storeCalendars({calendar("early")});

        QObject receiver;
        QList<QList<GoogleCalendar>> received;
        QList<GoogleCalendar> seenInside;
        auto subscription = cache.listenCalendarChanges.subscribe(
            &receiver, [&](const QList<GoogleCalendar> &list) {
                received << list;
                // Re-entrant reads are fine: the lock is recursive.
                seenInside = cache.calendars();
            });
        QVERIFY(received.isEmpty()); // no replay of the earlier list
        QCOMPARE(cache.calendars(), QList<GoogleCalendar> {calendar("early")});

        const QList<GoogleCalendar> list {calendar("a"), calendar("b")};
        cache.storeCalendars(list);
        cache.storeCalendars(list);
        QCOMPARE(received.size(), 2); // identical stores are not de-duplicated
        QCOMPARE(received.last(), list);
        QCOMPARE(seenInside, list);
    }

    void testValuesReportEveryOperation()
    {
        const auto cache = Dependencies::current<CacheManager>();
        const auto dates = Dependencies::current<DateManager>();
        test::IssueRecorder recorder;
        cache.storeCalendars({calendar("a")});
        cache.storeEvent(makeEvent("e", "Standup"));
        QVERIFY(cache.calendars().isEmpty());
        QVERIFY(cache.events().isEmpty());
        int values = 0;
        cache.listenCalendarChanges.subscribe(
            nullptr, [&](const QList<GoogleCalendar> &) { ++values; });
        QCOMPARE(values, 0);
        dates.selectDate(QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
        QVERIFY(!dates.selectedDate().isValid());
        dates.listenDateSelection();
        QCOMPARE(recorder.issues(),
            (QStringList {
                "Unimplemented: 'CacheManager.storeCalendars'",
                "Unimplemented: 'CacheManager.storeEvent'",
                "Unimplemented: 'CacheManager.calendars'",
                "Unimplemented: 'CacheManager.events'",
                "Unimplemented: 'CacheManager.listenCalendarChanges'",
                "Unimplemented: 'DateManager.selectDate'",
                "Unimplemented: 'DateManager.selectedDate'",
                "Unimplemented: 'DateManager.listenDateSelection'",
            }));
    }

    void selectedDateStartsAtCreationAndRepeats()
    {
        const QDateTime before = QDateTime::currentDateTime();
        const auto dates = DateManager::liveValue();
        const QDateTime created = dates.selectedDate();
        QVERIFY(created >= before.addMSecs(-1) && created <= QDateTime::currentDateTime());

        QObject receiver;
        QList<QDateTime> direct;
        auto subscription = dates.listenDateSelection().subscribe(
            &receiver, [&](const QDateTime &date) { direct << date; });
        QCOMPARE(direct, QList<QDateTime> {created});

        const QDateTime picked(QDate(2025, 3, 3), QTime(9, 0));
        dates.selectDate(picked);
        dates.selectDate(picked);
        QCOMPARE(direct, (QList<QDateTime> {created, picked, picked}));
        QCOMPARE(dates.selectedDate(), picked);
    }

    void queuedSubscribersGetTheCurrentDateLater()
    {
        // Screens subscribe from their constructor and must not get the date inside it.
        const auto dates = DateManager::liveValue();
        QObject receiver;
        QList<QDateTime> queued;
        auto subscription = dates.listenDateSelection().subscribe(
            &receiver, [&](const QDateTime &date) { queued << date; }, Qt::QueuedConnection);
        QVERIFY(queued.isEmpty());
        QTRY_COMPARE(queued.size(), 1);
    }

    void aDateManagerStartsWhereItIsTold()
    {
        const QDateTime start(QDate(2025, 6, 2), QTime(8, 30), QTimeZone("Europe/Berlin"));
        const auto dates = DateManager::startingAt(start);
        QCOMPARE(dates.selectedDate(), start);
        const DateManager copy = dates;
        const QDateTime picked(QDate(2025, 1, 1), QTime(0, 0));
        copy.selectDate(picked);
        QCOMPARE(dates.selectedDate(), picked);
    }
};

TOLVO_TEST_MAIN(CacheAndDateManagerTest)
#include "CacheAndDateManagerTest.moc"
