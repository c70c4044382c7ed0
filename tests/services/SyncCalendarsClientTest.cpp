#include "services/SyncCalendarsClient.h"
#include "core/Dependencies.h"
#include "platform/LocalCalendarStore.h"
#include "services/AppDatabase.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

#include <QCoro/QCoroTask>
#include <QTemporaryDir>

using namespace tolvo;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {
QDateTime utc(int year, int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

GoogleCalendarEvent googleEvent(const QString &id, const QString &summary)
{
    GoogleCalendarEvent event;
    event.id = id;
    event.summary = summary;
    event.description = summary + QStringLiteral(" notes");
    event.location = QStringLiteral("Room 2");
    event.start = utc(2025, 3, 10, 9);
    event.end = utc(2025, 3, 10, 10);
    return event;
}

const QTimeZone berlin(QByteArrayLiteral("Europe/Berlin"));

// Six weeks of a 10:30 meeting in Berlin from Wednesday 16 December 2026.
GoogleCalendarEvent weeklySeries()
{
    GoogleCalendarEvent series = googleEvent(QStringLiteral("weekly"), QStringLiteral("Sync"));
    series.start = QDateTime(QDate(2026, 12, 16), QTime(10, 30), berlin);
    series.end = series.start->addSecs(1800);
    series.startTimeZone = QStringLiteral("Europe/Berlin");
    series.recurrence = {QStringLiteral("RRULE:FREQ=WEEKLY;COUNT=6")};
    return series;
}

// The series' occurrence at `original`, as Google lists it once it was changed or cancelled.
GoogleCalendarEvent occurrenceOf(const GoogleCalendarEvent &series, const QDateTime &original)
{
    GoogleCalendarEvent event = series;
    event.id = series.id + QLatin1Char('_')
        + original.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    event.recurrence.clear();
    event.recurringEventId = series.id;
    event.originalStartTime = original;
    event.start = original;
    event.end = original.addSecs(1800);
    return event;
}

// "add g1 Title", "modify g1 Title", "delete g1"; a title "!nostart" makes an event the store
// refuses.
GoogleCalendarChange parseChange(const QString &text)
{
    const QStringList words = text.trimmed().split(QLatin1Char(' '));
    GoogleCalendarEvent event = googleEvent(words.value(1), words.value(2));
    if (words.value(2) == u"!nostart") {
        event.start.reset();
        event.end.reset();
    }
    if (words.first() == u"add")
        return GoogleCalendarChange::added(event);
    if (words.first() == u"modify")
        return GoogleCalendarChange::modified(event);
    return GoogleCalendarChange::deleted(event);
}
} // namespace

class SyncCalendarsClientTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeClock m_clock {utc(2025, 3, 9, 12)};
    std::shared_ptr<LocalCalendarStore> m_store;
    UserDefaultsClient m_settings;
    DatabaseClient m_database;
    AppleCalendarClient m_apple;
    QList<Error> m_logged;
    SyncCalendarsClient m_copier;

    VoidResult copy(const QList<GoogleCalendarChange> &changes)
    {
        return QCoro::waitFor(
            m_copier.syncGoogleChangesToLocal(changes, QStringLiteral("g"), m_store));
    }
    QList<LocalEvent> allEvents() const
    {
        return m_store->events(utc(2000, 1, 1, 0), utc(2100, 1, 1, 0));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_shared<LocalCalendarStore>(m_dir->filePath(QStringLiteral("calendars")),
            LocalCalendarStore::Options {
                QTimeZone::utc(), m_clock.clock(), std::chrono::milliseconds(10)});
        m_settings = UserDefaultsClient::atPath(m_dir->filePath(QStringLiteral("settings.ini")));
        auto database = AppDatabase::open(m_dir->filePath(QStringLiteral("db.sqlite")));
        QVERIFY(database);
        m_database = DatabaseClient::over(*database, m_clock.clock());
        m_apple = AppleCalendarClient::over(std::make_shared<AppleCalendarSession>(
            m_store, m_settings, CalendarAccessPrompt {}, m_clock.clock()));
        m_apple.storeCalendar(m_store->calendars().first());
        m_logged.clear();
        m_copier = SyncCalendarsClient::over(std::make_shared<SyncCalendarsSession>(
            m_apple, m_database, CacheManager {},
            [this](const Error &error) { m_logged.append(error); }, m_clock.clock()));
    }

    void scenarios_data()
    {
        QTest::addColumn<QStringList>("calls"); // one call per entry, changes split by ';'
        QTest::addColumn<QStringList>("copies"); // "googleId=title" of every mapped copy
        QTest::addColumn<int>("events"); // events in the store afterwards
        QTest::addColumn<int>("logged");

        QTest::newRow("added") << QStringList {"add g1 First"} << QStringList {"g1=First"} << 1
                               << 0;
        QTest::newRow("added, then modified") << QStringList {"add g1 First", "modify g1 Second"}
                                              << QStringList {"g1=Second"} << 1 << 0;
        QTest::newRow("added, modified, deleted")
            << QStringList {"add g1 First", "modify g1 Second", "delete g1"} << QStringList {} << 0
            << 0;
        QTest::newRow("modified without a mapping makes the copy")
            << QStringList {"modify g1 Second"} << QStringList {"g1=Second"} << 1 << 0;
        QTest::newRow("added twice keeps one copy")
            << QStringList {"add g1 First", "add g1 Again"} << QStringList {"g1=Again"} << 1 << 0;
        QTest::newRow("copy removed by hand, then modified")
            << QStringList {"add g1 First", "!removeCopy g1", "modify g1 Second"}
            << QStringList {"g1=Second"} << 1 << 0;
        QTest::newRow("deleted without a mapping")
            << QStringList {"delete g1"} << QStringList {} << 0 << 0;
        QTest::newRow("copy removed by hand, then deleted")
            << QStringList {"add g1 First", "!removeCopy g1", "delete g1"} << QStringList {} << 0
            << 0;
        QTest::newRow("no chosen calendar")
            << QStringList {"!unchoose", "add g1 First", "modify g2 X"} << QStringList {} << 0 << 0;
        QTest::newRow("no chosen calendar still updates existing copies")
            << QStringList {"add g1 First", "!unchoose", "modify g1 Second"}
            << QStringList {"g1=Second"} << 1 << 0;
        QTest::newRow("a failing change does not stop the batch")
            << QStringList {"add g1 First; add g2 !nostart; add g3 Third"}
            << QStringList {"g1=First", "g3=Third"} << 2 << 1;
    }

    void scenarios()
    {
        QFETCH(QStringList, calls);
        QFETCH(QStringList, copies);
        QFETCH(int, events);
        QFETCH(int, logged);

        std::optional<qint64> firstRowId;
        for (const QString &call : calls) {
            if (call == u"!unchoose") {
                m_settings.remove(QString::fromLatin1(UserDefaultsClient::appleCalendarIdKey));
                continue;
            }
            if (call.startsWith(u"!removeCopy")) {
                const auto mapping = m_database.retrieveEventMapping(call.section(' ', 1));
                QVERIFY(mapping && *mapping);
                QVERIFY(m_store->remove((*mapping)->ekEventIdentifier));
                continue;
            }
            QList<GoogleCalendarChange> changes;
            for (const QString &change : call.split(QLatin1Char(';')))
                changes.append(parseChange(change));
            m_clock.advance(60);
            const VoidResult copied = copy(changes);
            // A batch with a failed change says so, after doing the rest.
            QCOMPARE(bool(copied), logged == 0);
            if (!firstRowId) {
                const auto mapping = m_database.retrieveEventMapping(QStringLiteral("g1"));
                if (mapping && *mapping)
                    firstRowId = (*mapping)->id;
            }
        }

        QStringList found;
        for (const QString &googleId : QStringList {"g1", "g2", "g3"}) {
            const auto mapping = m_database.retrieveEventMapping(googleId);
            QVERIFY(mapping);
            if (!*mapping)
                continue;
            const auto event = m_store->event((*mapping)->ekEventIdentifier);
            QVERIFY2(event, "a mapping names a missing event");
            found.append(googleId + QLatin1Char('=') + event->title);
            if (googleId == u"g1") {
                QCOMPARE((*mapping)->id, firstRowId); // rows are updated, not replaced
                QCOMPARE((*mapping)->lastSynchronizedDate, m_clock.now());
            }
        }
        QCOMPARE(found, copies);
        QCOMPARE(allEvents().size(), events);
        QCOMPARE(m_logged.size(), logged);
    }

    void theFieldsAreCopied()
    {
        GoogleCalendarEvent event = googleEvent(QStringLiteral("g1"), QStringLiteral("Offsite"));
        event.isAllDay = true;
        event.start = utc(2025, 3, 12, 0);
        event.end = utc(2025, 3, 14, 0);
        event.hangoutLink = QStringLiteral("https://meet.example/abc");
        QVERIFY(copy({GoogleCalendarChange::added(event)}));
        auto copies = allEvents();
        QCOMPARE(copies.size(), 1);
        LocalEvent local = copies.first();
        QCOMPARE(local.calendarId, m_store->calendars().first().identifier);
        QCOMPARE(local.title, QStringLiteral("Offsite"));
        QCOMPARE(local.notes, QStringLiteral("Offsite notes"));
        QCOMPARE(local.location, QStringLiteral("Room 2"));
        QVERIFY(local.isAllDay);
        QCOMPARE(local.start, utc(2025, 3, 12, 0));
        QCOMPARE(local.end, utc(2025, 3, 14, 0));
        QVERIFY(!local.url);

        // Without a start or end the copy keeps its own; absent texts are cleared.
        GoogleCalendarEvent changed = event;
        changed.isAllDay = false;
        changed.start.reset();
        changed.end = utc(2025, 3, 12, 18);
        changed.summary.reset();
        changed.description.reset();
        QVERIFY(copy({GoogleCalendarChange::modified(changed)}));
        local = *m_store->event(local.identifier);
        QCOMPARE(local.start, utc(2025, 3, 12, 0));
        QCOMPARE(local.end, utc(2025, 3, 12, 18));
        QVERIFY(!local.isAllDay);
        QCOMPARE(local.title, QString());
        QVERIFY(!local.notes);
        QCOMPARE(m_logged.size(), 0);
    }

    void aFailedCopyIsJournaledAndRetriedWithBackoff()
    {
        GoogleCalendarEvent broken = googleEvent(QStringLiteral("g1"), QStringLiteral("Broken"));
        broken.start.reset();
        broken.end.reset();
        const VoidResult copied = copy({GoogleCalendarChange::added(broken)});
        QVERIFY(!copied);
        QCOMPARE(CalendarSyncError::fromError(copied.error())->kind,
            CalendarSyncError::Kind::eventSyncFailed);
        QCOMPARE(m_logged.size(), 1);
        auto pending = m_database.pendingCopies().value();
        QCOMPARE(pending.size(), 1);
        QCOMPARE(pending.first().attempts, 1);
        QCOMPARE(pending.first().nextAttempt, m_clock.now().addSecs(30));

        // Not due yet: nothing is tried. Due and still failing: the wait doubles.
        const auto store = m_store;
        auto next = QCoro::waitFor(m_copier.retryPendingCopies(store));
        QCOMPARE(next.value(), std::optional<QDateTime>(m_clock.now().addSecs(30)));
        m_clock.advance(30);
        next = QCoro::waitFor(m_copier.retryPendingCopies(store));
        QCOMPARE(next.value(), std::optional<QDateTime>(m_clock.now().addSecs(60)));
        QCOMPARE(m_database.pendingCopies().value().first().attempts, 2);

        // A newer state of the event that copies clears the entry.
        QVERIFY(copy({GoogleCalendarChange::modified(
            googleEvent(QStringLiteral("g1"), QStringLiteral("Fixed")))}));
        QVERIFY(m_database.pendingCopies().value().isEmpty());
        QCOMPARE(allEvents().size(), 1);
        QCOMPARE(allEvents().first().title, QStringLiteral("Fixed"));
        QCOMPARE(
            QCoro::waitFor(m_copier.retryPendingCopies(store)).value(), std::optional<QDateTime>());

        // A whole listing without the event: it is gone, and so is its entry; another
        // calendar's entry stays.
        broken.id = QStringLiteral("g2");
        QVERIFY(!copy({GoogleCalendarChange::added(broken)}));
        broken.id = QStringLiteral("h1");
        QVERIFY(!QCoro::waitFor(m_copier.syncGoogleChangesToLocal(
            {GoogleCalendarChange::added(broken)}, QStringLiteral("h"), m_store)));
        QCOMPARE(m_database.pendingCopies().value().size(), 2);
        QVERIFY(QCoro::waitFor(m_copier.reconcileGoogleEventsToLocal(
            {googleEvent(QStringLiteral("g1"), QStringLiteral("Fixed"))}, QStringLiteral("g"),
            m_store)));
        pending = m_database.pendingCopies().value();
        QCOMPARE(pending.size(), 1);
        QCOMPARE(pending.first().googleEventId, QStringLiteral("h1"));
    }

    void aCopyWhoseMappingRowWasLostIsAdoptedNotDuplicated()
    {
        QVERIFY(copy({GoogleCalendarChange::added(
            googleEvent(QStringLiteral("g1"), QStringLiteral("First")))}));
        QCOMPARE(allEvents().first().identifier,
            copyIdentifier(QStringLiteral("g"), QStringLiteral("g1")));
        // A crash between the copy and its row.
        QVERIFY(m_database.deleteEventMapping(QStringLiteral("g1")));
        QVERIFY(copy({GoogleCalendarChange::modified(
            googleEvent(QStringLiteral("g1"), QStringLiteral("Second")))}));
        QCOMPARE(allEvents().size(), 1);
        QCOMPARE(allEvents().first().title, QStringLiteral("Second"));
        QVERIFY(m_database.retrieveEventMapping(QStringLiteral("g1")).value());
        // And deleted without its row.
        QVERIFY(m_database.deleteEventMapping(QStringLiteral("g1")));
        QVERIFY(copy({GoogleCalendarChange::deleted(googleEvent(QStringLiteral("g1"), {}))}));
        QVERIFY(allEvents().isEmpty());
    }

    void aWholeListingRemovesTheCopiesItNoLongerHas()
    {
        QVERIFY(copy({GoogleCalendarChange::added(googleEvent(QStringLiteral("g1"), "One")),
            GoogleCalendarChange::added(googleEvent(QStringLiteral("g2"), "Two")),
            GoogleCalendarChange::added(googleEvent(QStringLiteral("g3"), "Three"))}));
        // g3's row lost in a crash: only its UID ties it to the calendar.
        QVERIFY(m_database.deleteEventMapping(QStringLiteral("g3")));
        // Another calendar's copy is not this listing's business.
        QVERIFY(QCoro::waitFor(m_copier.syncGoogleChangesToLocal(
            {GoogleCalendarChange::added(googleEvent(QStringLiteral("h1"), "Other"))},
            QStringLiteral("h"), m_store)));

        const QList<GoogleCalendarEvent> listed {googleEvent(QStringLiteral("g2"), "Two, moved"),
            googleEvent(QStringLiteral("g4"), "Four")};
        QVERIFY(QCoro::waitFor(
            m_copier.reconcileGoogleEventsToLocal(listed, QStringLiteral("g"), m_store)));
        QStringList titles;
        for (const LocalEvent &event : allEvents())
            titles.append(event.title);
        titles.sort();
        QCOMPARE(titles, (QStringList {"Four", "Other", "Two, moved"}));
        QVERIFY(!m_database.retrieveEventMapping(QStringLiteral("g1")).value());
        // Listing again changes nothing on disk.
        const QDateTime modified = m_store->event(copyIdentifier("g", "g2"))->lastModified;
        m_clock.advance(60);
        QVERIFY(QCoro::waitFor(
            m_copier.reconcileGoogleEventsToLocal(listed, QStringLiteral("g"), m_store)));
        QCOMPARE(m_store->event(copyIdentifier("g", "g2"))->lastModified, modified);
        QCOMPARE(m_logged.size(), 0);
    }

    // Google texts the store keeps in another form still compare equal to the copy: listing
    // them again writes nothing (no new DTSTAMP for every tool that syncs the folder).
    void anUnchangedCopyIsNotWrittenAgain_data()
    {
        QTest::addColumn<std::optional<QString>>("description");
        QTest::addColumn<std::optional<QString>>("location");

        QTest::newRow("empty texts") << std::optional<QString>("") << std::optional<QString>("");
        QTest::newRow("CRLF") << std::optional<QString>("one\r\ntwo")
                              << std::optional<QString>("Room\r2");
        QTest::newRow("control characters")
            << std::optional<QString>("a\u0001b\u007f") << std::optional<QString>("\u0002");
    }

    void anUnchangedCopyIsNotWrittenAgain()
    {
        QFETCH(std::optional<QString>, description);
        QFETCH(std::optional<QString>, location);

        GoogleCalendarEvent event = googleEvent(QStringLiteral("g1"), QStringLiteral("Texts"));
        event.description = description;
        event.location = location;
        QVERIFY(QCoro::waitFor(
            m_copier.reconcileGoogleEventsToLocal({event}, QStringLiteral("g"), m_store)));
        const auto copy = m_store->event(copyIdentifier("g", "g1"));
        QVERIFY(copy);
        m_clock.advance(60);
        QVERIFY(QCoro::waitFor(
            m_copier.reconcileGoogleEventsToLocal({event}, QStringLiteral("g"), m_store)));
        QCOMPARE(m_store->event(copyIdentifier("g", "g1")), copy);
    }

    // A series reaches the local calendar as one series: its rules, a changed occurrence as
    // an override and a cancelled one as an excluded date, kept through later series changes.
    void aSeriesIsCopiedAsASeries()
    {
        GoogleCalendarEvent series = weeklySeries();
        const QDateTime secondStart(QDate(2026, 12, 23), QTime(10, 30), berlin);
        GoogleCalendarEvent moved = occurrenceOf(series, secondStart);
        QCOMPARE(moved.id, QStringLiteral("weekly_20261223T093000Z"));
        moved.summary = QStringLiteral("Sync, later");
        moved.start = utc(2026, 12, 23, 14);
        moved.end = utc(2026, 12, 23, 15);
        GoogleCalendarEvent cancelled = occurrenceOf(series, secondStart.addDays(7));
        cancelled.status = GoogleCalendarEventStatus::cancelled;

        // Occurrences listed before their series still go into it.
        QVERIFY(QCoro::waitFor(m_copier.reconcileGoogleEventsToLocal(
            {moved, cancelled, series}, QStringLiteral("g"), m_store)));
        const auto check = [&](const QString &title) {
            const QList<LocalEvent> all = allEvents();
            QCOMPARE(all.size(), 1);
            const LocalEvent &copy = all.first();
            QCOMPARE(copy.title, title);
            QCOMPARE(copy.start, *series.start);
            QCOMPARE(copy.timeZone, QStringLiteral("Europe/Berlin"));
            QCOMPARE(copy.recurrence,
                (QStringList {"RRULE:FREQ=WEEKLY;COUNT=6", "EXDATE:20261230T093000Z"}));
            QCOMPARE(copy.overrides.size(), 1);
            QCOMPARE(copy.overrides.first().recurrenceId, secondStart);
            QCOMPARE(copy.overrides.first().title, QStringLiteral("Sync, later"));
            QCOMPARE(copy.overrides.first().start, utc(2026, 12, 23, 14));
            QCOMPARE(copy.overrides.first().end, utc(2026, 12, 23, 15));
        };
        check(QStringLiteral("Sync"));
        QCOMPARE(m_logged.size(), 0);

        // The series renamed: its changed and cancelled occurrences stay.
        series.summary = QStringLiteral("Weekly sync");
        QVERIFY(copy({GoogleCalendarChange::modified(series)}));
        check(QStringLiteral("Weekly sync"));
        // Listing it all again writes nothing.
        const QDateTime modified = allEvents().first().lastModified;
        m_clock.advance(60);
        QVERIFY(QCoro::waitFor(m_copier.reconcileGoogleEventsToLocal(
            {series, moved, cancelled}, QStringLiteral("g"), m_store)));
        QCOMPARE(allEvents().first().lastModified, modified);

        // The moved occurrence cancelled after all: excluded, no longer overridden.
        moved.status = GoogleCalendarEventStatus::cancelled;
        QVERIFY(copy({GoogleCalendarChange::deleted(moved)}));
        QCOMPARE(allEvents().first().overrides.size(), 0);
        QCOMPARE(allEvents().first().recurrence.size(), 3);

        // The series deleted: its whole file goes.
        QVERIFY(copy({GoogleCalendarChange::deleted(series)}));
        QVERIFY(allEvents().isEmpty());
    }

    // An occurrence cancelled and then restored shows again: the override that brings it
    // back takes the place of its excluded date, in a change and in a whole listing, and also
    // in a copy that an earlier run left holding both.
    void aRestoredOccurrenceIsNoLongerExcluded()
    {
        const GoogleCalendarEvent series = weeklySeries();
        GoogleCalendarEvent occurrence
            = occurrenceOf(series, QDateTime(QDate(2026, 12, 30), QTime(10, 30), berlin));
        occurrence.status = GoogleCalendarEventStatus::cancelled;
        QVERIFY(QCoro::waitFor(m_copier.reconcileGoogleEventsToLocal(
            {series, occurrence}, QStringLiteral("g"), m_store)));
        const QString uid = copyIdentifier(QStringLiteral("g"), series.id);
        QCOMPARE(m_store->event(uid)->recurrence.size(), 2);

        occurrence.status = GoogleCalendarEventStatus::confirmed;
        occurrence.summary = QStringLiteral("Sync, back on");
        const auto check = [&] {
            const auto copy = m_store->event(uid);
            QVERIFY(copy);
            QCOMPARE(copy->recurrence, QStringList {"RRULE:FREQ=WEEKLY;COUNT=6"});
            QCOMPARE(copy->overrides.size(), 1);
            QCOMPARE(copy->overrides.first().recurrenceId, *occurrence.originalStartTime);
            QCOMPARE(copy->overrides.first().title, QStringLiteral("Sync, back on"));
        };
        QVERIFY(copy({GoogleCalendarChange::modified(occurrence)}));
        check();
        QVERIFY(QCoro::waitFor(m_copier.reconcileGoogleEventsToLocal(
            {series, occurrence}, QStringLiteral("g"), m_store)));
        check();

        LocalEvent both = *m_store->event(uid);
        both.recurrence.append(QStringLiteral("EXDATE:20261230T093000Z"));
        QVERIFY(m_store->save(both));
        QCOMPARE(m_store->event(uid)->recurrence.size(), 2);
        QVERIFY(QCoro::waitFor(m_copier.reconcileGoogleEventsToLocal(
            {series, occurrence}, QStringLiteral("g"), m_store)));
        check();
        QCOMPARE(m_logged.size(), 0);
    }

    // A series deleted on Google comes with its cancelled occurrences: once the series' copy
    // is gone they have nothing left to hide, and the batch leaves nothing to retry. While the
    // series' own copy waits in the journal, its cancelled occurrence waits too.
    void cancelledOccurrencesOfASeriesWithoutACopy()
    {
        GoogleCalendarEvent series = weeklySeries();
        GoogleCalendarEvent occurrence
            = occurrenceOf(series, QDateTime(QDate(2026, 12, 23), QTime(10, 30), berlin));
        occurrence.status = GoogleCalendarEventStatus::cancelled;
        QVERIFY(copy({GoogleCalendarChange::added(series)}));
        QVERIFY(copy(
            {GoogleCalendarChange::deleted(series), GoogleCalendarChange::deleted(occurrence)}));
        QVERIFY(allEvents().isEmpty());
        QVERIFY(m_database.pendingCopies().value().isEmpty());
        QVERIFY(m_logged.isEmpty());

        GoogleCalendarEvent broken = series;
        broken.start.reset();
        broken.end.reset();
        QVERIFY(!copy({GoogleCalendarChange::added(broken)}));
        QVERIFY(!copy({GoogleCalendarChange::deleted(occurrence)}));
        QCOMPARE(m_database.pendingCopies().value().size(), 2);
        QVERIFY(copy({GoogleCalendarChange::modified(series)}));
        m_clock.advance(30);
        QCOMPARE(QCoro::waitFor(m_copier.retryPendingCopies(m_store)).value(),
            std::optional<QDateTime>());
        QCOMPARE(m_store->event(copyIdentifier(QStringLiteral("g"), series.id))->recurrence,
            (QStringList {"RRULE:FREQ=WEEKLY;COUNT=6", "EXDATE:20261223T093000Z"}));
    }

    void theContainerBuildsTheCopierAndItsServices()
    {
        // The copier reads the local calendar client, which must not read the copier back.
        Dependencies::reset();
        const auto copier = SyncCalendarsClient::liveValue();
        QVERIFY(copier.syncGoogleChangesToLocal);
        const auto apple = Dependencies::current<AppleCalendarClient>();
        QVERIFY(apple.eventStore());
        QCOMPARE(apple.eventStore()->calendars().size(), 1);
        QVERIFY(QCoro::waitFor(copier.syncGoogleChangesToLocal({}, QString(), apple.eventStore())));
        Dependencies::reset();
    }
};

TOLVO_TEST_MAIN(SyncCalendarsClientTest)
#include "SyncCalendarsClientTest.moc"
