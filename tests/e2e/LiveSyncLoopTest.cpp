#include "LiveSyncFixture.h"
#include "support/TestMain.h"

#include "services/SyncCalendarsClient.h"

#include <QDir>

using namespace tolvo;
using test::LiveSyncFixture;

namespace {
const QString calendarA = QStringLiteral("team#a@group.calendar.google.com");
const QString calendarB = QStringLiteral("b@example.com");

QJsonObject meeting(const QString &summary, int inMinutes)
{
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(60 * inMinutes);
    return {{"summary", summary},
        {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
        {"end", QJsonObject {{"dateTime", start.addSecs(1800).toString(Qt::ISODate)}}}};
}

bool hasLocal(const LiveSyncFixture &fixture, const QString &title)
{
    for (const auto &event : fixture.localEvents()) {
        if (event.title == title)
            return true;
    }
    return false;
}

QStringList changedSummaries(const LiveSyncFixture::Received &received)
{
    QStringList summaries;
    for (const GoogleCalendarChange &change : test::changesOf(received, calendarA))
        summaries.append(change.event().summary.value_or(QString()));
    return summaries;
}
} // namespace

// A change made on the Calendar fake travels through its push channel, the relay, the event
// stream and the engine to the sync stream and into the local calendar.
class LiveSyncLoopTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSyncFixture> m_loop;

private slots:
    void init()
    {
        m_loop = std::make_unique<LiveSyncFixture>();
        QVERIFY(m_loop->ready);
        m_loop->google.addCalendar(calendarA, QStringLiteral("Team"));
        m_loop->google.addCalendar(calendarB, QStringLiteral("B"));
    }
    void cleanup()
    {
        if (m_loop->ready)
            QCoro::waitFor(m_loop->client.cleanUpAll());
        m_loop.reset();
    }

    void aChangeElsewhereArrivesAndIsCopied()
    {
        m_loop->google.addEvent(calendarA, meeting(QStringLiteral("Existing"), 60));
        const auto received = m_loop->open({calendarA});
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(1));
        QCOMPARE(m_loop->rows().size(), 1);
        const auto watch
            = m_loop->google.requestsTo(QStringLiteral("POST"), QStringLiteral("watch"))
                  .first()
                  .body;
        QCOMPARE(watch.value(QStringLiteral("token")).toString(),
            LiveSyncFixture::streamName(calendarA));
        QCOMPARE(watch.value(QStringLiteral("address")).toString(),
            QStringLiteral("https://127.0.0.1:%1/notification-handler")
                .arg(m_loop->backend.port()));

        // Google's "sync" message reaches the listener, which reports nothing new; what was
        // there before the follow is copied all the same.
        QTRY_VERIFY(!received->items.isEmpty());
        QVERIFY(test::changesOf(*received, calendarA).isEmpty());
        QTRY_VERIFY(hasLocal(*m_loop, QStringLiteral("Existing")));

        const QJsonObject added
            = m_loop->google.addEvent(calendarA, meeting(QStringLiteral("Planning"), 90));
        QTRY_COMPARE(test::changesOf(*received, calendarA).size(), 1);
        QCOMPARE(test::changesOf(*received, calendarA).first().kind(),
            GoogleCalendarChange::Kind::added);
        QTRY_VERIFY(hasLocal(*m_loop, QStringLiteral("Planning")));
        const QString id = added.value(QStringLiteral("id")).toString();
        QTRY_VERIFY(m_loop->database.retrieveEventMapping(id).value_or(std::nullopt).has_value());

        m_loop->google.modifyEvent(calendarA, id,
            {{"summary", "Planning, moved"},
                {"updated", QDateTime::currentDateTimeUtc().addSecs(5).toString(Qt::ISODate)}});
        QTRY_COMPARE(test::changesOf(*received, calendarA).size(), 2);
        QCOMPARE(test::changesOf(*received, calendarA).last().kind(),
            GoogleCalendarChange::Kind::modified);
        QTRY_VERIFY(hasLocal(*m_loop, QStringLiteral("Planning, moved")));

        m_loop->google.deleteEvent(calendarA, id);
        QTRY_COMPARE(test::changesOf(*received, calendarA).size(), 3);
        QCOMPARE(test::changesOf(*received, calendarA).last().kind(),
            GoogleCalendarChange::Kind::deleted);
        QTRY_VERIFY(!hasLocal(*m_loop, QStringLiteral("Planning, moved")));
        QTRY_VERIFY(!m_loop->database.retrieveEventMapping(id).value_or(std::nullopt).has_value());
        QVERIFY(!received->ended);
    }

    void nothingIsLostWhileTheRelayIsDown()
    {
        const auto received = m_loop->open({calendarA});
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(1));
        // The stream must outlive the engine's minimum pass, or its end is taken for a
        // misbehaving stream rather than an outage. The pass began before the relay saw the
        // subscriber, so moving on from here is on the safe side.
        m_loop->skipAhead(m_loop->timings().minimumPass);
        m_loop->backend.stop();
        // Google's notification for this change finds no relay at all.
        m_loop->google.addEvent(calendarA, meeting(QStringLiteral("During the outage"), 30));
        QTRY_COMPARE(m_loop->google.notificationsAnswered(), m_loop->google.notificationsSent());
        QVERIFY(m_loop->backend.start());
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(1));
        QTRY_COMPARE(test::changesOf(*received, calendarA).size(), 1);
        QCOMPARE(test::changesOf(*received, calendarA).first().event().summary,
            std::optional<QString>("During the outage"));
        // Exactly once: later signals bring nothing more. The listener reports in turn, so a
        // repeat would come before the last change.
        m_loop->google.addEvent(calendarA, meeting(QStringLiteral("After"), 30));
        QTRY_COMPARE(test::changesOf(*received, calendarA).size(), 2);
        m_loop->google.addEvent(calendarA, meeting(QStringLiteral("Later"), 30));
        QTRY_VERIFY(changedSummaries(*received).endsWith(QStringLiteral("Later")));
        QCOMPARE(
            changedSummaries(*received), (QStringList {"During the outage", "After", "Later"}));
    }

    // A weekly series on Google, one occurrence moved and one cancelled, reaches the local
    // calendar as one series file that reads back with both.
    void aRecurringSeriesIsCopiedAsOneSeries()
    {
        m_loop->google.addEvent(calendarA, test::berlinWeeklySeries("weekly", "Weekly sync", 6));
        [[maybe_unused]] const auto received = m_loop->open({calendarA}); // kept open
        const QString uid = copyIdentifier(calendarA, QStringLiteral("weekly"));
        QTRY_VERIFY(m_loop->store->event(uid));
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(1));

        m_loop->google.modifyEvent(calendarA, QStringLiteral("weekly_20261223T093000Z"),
            {{"summary", "Weekly sync, later"},
                {"start", QJsonObject {{"dateTime", "2026-12-23T14:00:00Z"}}},
                {"end", QJsonObject {{"dateTime", "2026-12-23T14:30:00Z"}}}});
        m_loop->google.deleteEvent(calendarA, QStringLiteral("weekly_20261230T093000Z"));
        QTRY_VERIFY_WITH_TIMEOUT(m_loop->store->event(uid)->overrides.size() == 1
                && m_loop->store->event(uid)->recurrence.size() == 2,
            20000);

        const QDateTime first(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
        const QList<LocalEvent> listed = m_loop->store->events(first, first.addYears(9000));
        QCOMPARE(listed.size(), 1);
        const LocalEvent &series = listed.first();
        QCOMPARE(series.identifier, uid);
        QCOMPARE(series.title, QStringLiteral("Weekly sync"));
        QCOMPARE(series.start, QDateTime(QDate(2026, 12, 16), QTime(9, 30), Qt::UTC));
        QCOMPARE(series.timeZone, QStringLiteral("Europe/Berlin"));
        QCOMPARE(series.recurrence,
            (QStringList {"RRULE:FREQ=WEEKLY;COUNT=6", "EXDATE:20261230T093000Z"}));
        const LocalOccurrence &moved = series.overrides.first();
        QCOMPARE(moved.recurrenceId, QDateTime(QDate(2026, 12, 23), QTime(9, 30), Qt::UTC));
        QCOMPARE(moved.title, QStringLiteral("Weekly sync, later"));
        QCOMPARE(moved.start, QDateTime(QDate(2026, 12, 23), QTime(14, 0), Qt::UTC));

        // One file, in the series' own zone, which other calendar tools can expand.
        const QString calendarId = m_loop->store->calendars().first().identifier;
        const QStringList files = QDir(QDir(m_loop->store->root()).filePath(calendarId))
                                      .entryList({QStringLiteral("*.ics")}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile file(QDir(m_loop->store->root()).filePath(calendarId + u'/' + files.first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        for (const char *line :
            {"BEGIN:VTIMEZONE", "TZID:Europe/Berlin", "DTSTART;TZID=Europe/Berlin:20261216T103000",
                "RECURRENCE-ID;TZID=Europe/Berlin:20261223T103000"})
            QVERIFY2(text.contains(line), text.constData());
    }

    // An occurrence cancelled on Google and then restored shows again in the local calendar:
    // no excluded date is left to hide it, also once a whole listing went over the copy.
    void aRestoredOccurrenceShowsAgain()
    {
        m_loop->google.addEvent(calendarA, test::berlinWeeklySeries("weekly", "Weekly sync", 6));
        [[maybe_unused]] const auto received = m_loop->open({calendarA}); // kept open
        const QString uid = copyIdentifier(calendarA, QStringLiteral("weekly"));
        QTRY_VERIFY(m_loop->store->event(uid));
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(1));
        const QString occurrence = QStringLiteral("weekly_20261230T093000Z");
        m_loop->google.deleteEvent(calendarA, occurrence);
        QTRY_VERIFY_WITH_TIMEOUT(m_loop->store->event(uid)->recurrence.size() == 2, 20000);

        m_loop->google.modifyEvent(
            calendarA, occurrence, {{"status", "confirmed"}, {"summary", "Weekly sync, back"}});
        QTRY_VERIFY_WITH_TIMEOUT(m_loop->store->event(uid)->overrides.size() == 1, 20000);
        const auto check = [&] {
            const auto series = m_loop->store->event(uid);
            QCOMPARE(series->recurrence, QStringList {"RRULE:FREQ=WEEKLY;COUNT=6"});
            QCOMPARE(series->overrides.size(), 1);
            QCOMPARE(series->overrides.first().title, QStringLiteral("Weekly sync, back"));
        };
        check();

        // Google forgets the position: the next change brings a whole listing.
        m_loop->google.expireSyncTokens();
        m_loop->google.addEvent(calendarA, meeting(QStringLiteral("After the listing"), 30));
        QTRY_VERIFY_WITH_TIMEOUT(hasLocal(*m_loop, QStringLiteral("After the listing")), 20000);
        check();
    }

    void channelsRenewAndCleanUpStopsEverything()
    {
        m_loop->google.setChannelLifetimeMs(300);
        const auto received = m_loop->open({calendarA});
        QTRY_VERIFY_WITH_TIMEOUT(
            m_loop->google.requestsTo(QStringLiteral("POST"), QStringLiteral("watch")).size() >= 3,
            5000);
        m_loop->google.setChannelLifetimeMs(3'600'000);
        QTRY_COMPARE(m_loop->rows().first().channelId,
            m_loop->google.requestsTo(QStringLiteral("POST"), QStringLiteral("watch"))
                .last()
                .body.value(QStringLiteral("id"))
                .toString());

        QVERIFY(QCoro::waitFor(m_loop->client.cleanUp(calendarA)));
        QVERIFY(m_loop->rows().isEmpty());
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(0));
        const int fetches
            = m_loop->google.requestsTo(QStringLiteral("GET"), QStringLiteral("events")).size();
        // Every channel is stopped or expired, so the change signals nobody, and nothing
        // listens that a signal could reach.
        const int sent = m_loop->google.notificationsSent();
        m_loop->google.addEvent(calendarA, meeting(QStringLiteral("Unfollowed"), 30));
        QCOMPARE(m_loop->google.notificationsSent(), sent);
        QVERIFY(!m_loop->session->isListening(calendarA));
        QCOMPARE(m_loop->google.requestsTo(QStringLiteral("GET"), QStringLiteral("events")).size(),
            fetches);
        QVERIFY(test::changesOf(*received, calendarA).isEmpty());
    }

    void signOutKeepsOnlyTheRowsItCouldNotStop()
    {
        const auto received = m_loop->open({calendarA, calendarB});
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(1));
        QTRY_COMPARE(m_loop->subscribers(calendarB), std::size_t(1));
        m_loop->google.failNext(QStringLiteral("channels/stop"), 404);
        QVERIFY(QCoro::waitFor(m_loop->client.cleanUpAll()));
        QCOMPARE(m_loop->rows().size(), 1);
        QTRY_COMPARE(m_loop->subscribers(calendarA), std::size_t(0));
        QTRY_COMPARE(m_loop->subscribers(calendarB), std::size_t(0));
        QVERIFY(!received->error);
    }
};

TOLVO_TEST_MAIN(LiveSyncLoopTest)
#include "LiveSyncLoopTest.moc"
