#include "platform/LocalCalendarStore.h"
#include "platform/IcsEvent.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace tolvo;

namespace {
QDateTime utc(int year, int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        qFatal("cannot write %s", qUtf8Printable(path));
}

QString dataFile(const QString &name)
{
    return QFINDTESTDATA(QStringLiteral("../data/ics/") + name);
}
} // namespace

class LocalCalendarStoreTest : public QObject
{
    Q_OBJECT

private:
    const QTimeZone m_newYork {QByteArrayLiteral("America/New_York")};
    test::FakeClock m_clock {utc(2025, 3, 3, 9)};
    std::unique_ptr<QTemporaryDir> m_dir;

    LocalCalendarStore::Options options() const
    {
        return {m_newYork, m_clock.clock(), std::chrono::milliseconds(10)};
    }
    QString root() const { return m_dir->filePath(QStringLiteral("calendars")); }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void aNewRootGetsOneLocalCalendar()
    {
        {
            LocalCalendarStore store(root(), options());
            const auto calendars = store.calendars();
            QCOMPARE(calendars.size(), 1);
            QCOMPARE(calendars.first().title, QStringLiteral("Calendar"));
            QVERIFY(calendars.first().source == LocalCalendarSource::local);
            const QDir folder(QDir(root()).filePath(calendars.first().identifier));
            QCOMPARE(
                readAll(folder.filePath(QStringLiteral("displayname"))), QByteArray("Calendar"));
            QCOMPARE(readAll(folder.filePath(QStringLiteral("source"))), QByteArray("local"));
            QVERIFY(!readAll(folder.filePath(QStringLiteral("color"))).isEmpty());
        }
        LocalCalendarStore again(root(), options());
        QCOMPARE(again.calendars().size(), 1);

        // Folders of other tools: no metadata means a local calendar named after its folder.
        QDir(root()).mkpath(QStringLiteral("synced"));
        writeFile(QDir(root()).filePath(QStringLiteral("synced/source")), "caldav");
        QDir(root()).mkpath(QStringLiteral(".hidden-state"));
        const auto calendars = again.calendars();
        QCOMPARE(calendars.size(), 2);
        QCOMPARE(calendars.last().title, QStringLiteral("synced"));
        QVERIFY(calendars.last().source == LocalCalendarSource::calDAV);
    }

    void eventsAreStoredAndFoundAcrossCalendars()
    {
        const QString calendarA = [&] {
            LocalCalendarStore store(root(), options());
            return store.calendars().first().identifier;
        }();
        QString calendarB;
        LocalEvent timed;
        LocalEvent allDay;
        {
            LocalCalendarStore store(root(), options());
            auto created = store.createCalendar(
                QStringLiteral("Home"), QStringLiteral("#FF0000"), LocalCalendarSource::local);
            QVERIFY(created);
            calendarB = created->identifier;

            LocalEvent event;
            event.calendarId = calendarA;
            event.title = QStringLiteral("Review; with, special\\ characters");
            event.notes = QStringLiteral("line one\nline two");
            event.location = QStringLiteral("Room 1");
            event.start = QDateTime(QDate(2025, 3, 4), QTime(10, 0), QTimeZone("Europe/Berlin"));
            event.end = event.start.addSecs(3600);
            auto saved = store.save(event);
            QVERIFY2(saved, saved ? "" : qPrintable(saved.error().describe()));
            QVERIFY(!saved->identifier.isEmpty());
            QCOMPARE(saved->created, m_clock.now());
            QCOMPARE(saved->lastModified, m_clock.now());
            QCOMPARE(saved->start, event.start);
            timed = *saved;

            LocalEvent day;
            day.calendarId = calendarB;
            day.title = QStringLiteral("Holiday");
            day.isAllDay = true;
            day.start = QDate(2025, 3, 5).startOfDay(m_newYork);
            day.end = QDate(2025, 3, 7).startOfDay(m_newYork);
            auto savedDay = store.save(day);
            QVERIFY(savedDay);
            allDay = *savedDay;
            const QByteArray text = readAll(
                QDir(root()).filePath(calendarB + QLatin1Char('/') + allDay.identifier + ".ics"));
            QVERIFY2(text.contains("DTSTART;VALUE=DATE:20250305"), text.constData());
            QVERIFY2(text.contains("DTEND;VALUE=DATE:20250307"), text.constData());
        }

        // A fresh store reads the same events back from disk.
        LocalCalendarStore store(root(), options());
        QCOMPARE(store.event(timed.identifier), timed);
        QCOMPARE(store.event(allDay.identifier), allDay);
        QCOMPARE(timed.notes, QStringLiteral("line one\nline two"));
        QCOMPARE(allDay.start, QDate(2025, 3, 5).startOfDay(m_newYork));
        QCOMPARE(allDay.end, QDate(2025, 3, 7).startOfDay(m_newYork));

        const auto both = store.events(utc(2025, 3, 4, 0), utc(2025, 3, 8, 0));
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.at(0).identifier, timed.identifier);
        QCOMPARE(both.at(0).calendarId, calendarA);
        QCOMPARE(both.at(1).identifier, allDay.identifier);
        QCOMPARE(both.at(1).calendarId, calendarB);
        // Overlap, not containment; and the end is exclusive.
        QCOMPARE(store.events(utc(2025, 3, 4, 9, 30), utc(2025, 3, 4, 9, 31)).size(), 1);
        QCOMPARE(store.events(utc(2025, 3, 4, 10), utc(2025, 3, 5, 0)).size(), 0);

        // Moving to another calendar keeps the identifier and leaves one file.
        LocalEvent moved = timed;
        moved.calendarId = calendarB;
        m_clock.advance(60);
        auto savedMove = store.save(moved);
        QVERIFY(savedMove);
        QCOMPARE(savedMove->lastModified, m_clock.now());
        QCOMPARE(savedMove->created, timed.created);
        QCOMPARE(store.event(timed.identifier)->calendarId, calendarB);
        QCOMPARE(QDir(QDir(root()).filePath(calendarA)).entryList({"*.ics"}).size(), 0);

        QVERIFY(store.remove(timed.identifier));
        QVERIFY(!store.event(timed.identifier));
        const auto missing = store.remove(timed.identifier);
        QVERIFY(!missing);
        QCOMPARE(missing.error().code, int(LocalCalendarStore::eventNotFound));

        LocalEvent nowhere = allDay;
        nowhere.calendarId = QStringLiteral("no such calendar");
        const auto refused = store.save(nowhere);
        QVERIFY(!refused);
        QCOMPARE(refused.error().code, int(LocalCalendarStore::calendarNotFound));
    }

    void filesOfOtherProgramsAreRead_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("identifier"); // empty: the file is skipped
        QTest::addColumn<QString>("title");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<bool>("allDay");

        QTest::newRow("IANA zone with VTIMEZONE, folded, unknown properties")
            << "zoned.ics"
            << "zoned-1@example.com"
            << "Planning, quarterly" << utc(2025, 7, 3, 12) << utc(2025, 7, 3, 13, 30) << false;
        QTest::newRow("vendor-prefixed zone")
            << "vendor-prefix.ics"
            << "prefixed-1"
            << "Prefixed zone" << utc(2025, 1, 10, 14) << utc(2025, 1, 10, 15) << false;
        QTest::newRow("Windows zone name")
            << "windows-zone.ics"
            << "windows-1"
            << "Windows zone" << utc(2025, 1, 10, 8) << utc(2025, 1, 10, 9) << false;
        QTest::newRow("zone defined only in the file")
            << "custom-zone.ics"
            << "custom-zone-1"
            << "Zone defined only in the file" << utc(2025, 1, 10, 4) << utc(2025, 1, 10, 5)
            << false;
        QTest::newRow("all-day over two days")
            << "all-day.ics"
            << "all-day-1"
            << "Conference" << QDate(2025, 3, 3).startOfDay(m_newYork).toUTC()
            << QDate(2025, 3, 5).startOfDay(m_newYork).toUTC() << true;
        QTest::newRow("recurrence with an override before the master")
            << "recurring.ics"
            << "weekly-1"
            << "Standup" << utc(2025, 3, 3, 9) << utc(2025, 3, 3, 9, 15) << false;
        QTest::newRow("floating time with a duration")
            << "floating.ics"
            << "floating-1"
            << "Floating with duration" << utc(2025, 1, 10, 14) << utc(2025, 1, 10, 14, 45)
            << false;
        QTest::newRow("no UID, LF line ends")
            << "no-uid.ics"
            << "no-uid"
            << "No UID and LF line ends" << utc(2025, 1, 10, 9) << utc(2025, 1, 10, 10) << false;
        QTest::newRow("a task, no event") << "todo.ics"
                                          << ""
                                          << "" << QDateTime() << QDateTime() << false;
        QTest::newRow("binary garbage") << "garbage.ics"
                                        << ""
                                        << "" << QDateTime() << QDateTime() << false;
        QTest::newRow("truncated") << "truncated.ics"
                                   << ""
                                   << "" << QDateTime() << QDateTime() << false;
    }

    void filesOfOtherProgramsAreRead()
    {
        QFETCH(QString, file);
        QFETCH(QString, identifier);
        QFETCH(QString, title);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(bool, allDay);

        const QString source = dataFile(file);
        QVERIFY(!source.isEmpty());
        const QByteArray original = readAll(source);
        LocalCalendarStore store(root(), options());
        const QString calendarId = store.calendars().first().identifier;
        const QString copy = QDir(root()).filePath(calendarId + QLatin1Char('/') + file);
        QVERIFY(QFile::copy(source, copy));

        const auto events = store.events(utc(2024, 1, 1, 0), utc(2026, 1, 1, 0));
        if (identifier.isEmpty()) {
            QCOMPARE(events.size(), 0);
            // Skipped, never touched: a save next to it leaves it as it was.
            LocalEvent other;
            other.calendarId = calendarId;
            other.start = utc(2025, 3, 3, 9);
            QVERIFY(store.save(other));
            QCOMPARE(store.events(utc(2024, 1, 1, 0), utc(2026, 1, 1, 0)).size(), 1);
            QCOMPARE(readAll(copy), original);
            return;
        }
        QCOMPARE(events.size(), 1);
        const LocalEvent event = events.first();
        QCOMPARE(event.identifier, identifier);
        QCOMPARE(event.calendarId, calendarId);
        QCOMPARE(event.title, title);
        QCOMPARE(event.start.toUTC(), start);
        QCOMPARE(event.end.toUTC(), end);
        QCOMPARE(event.isAllDay, allDay);
        QCOMPARE(store.event(identifier), event);
    }

    void theRestOfAForeignEventSurvivesAnEdit()
    {
        LocalCalendarStore store(root(), options());
        const QString calendarId = store.calendars().first().identifier;
        QVERIFY(QFile::copy(dataFile(QStringLiteral("recurring.ics")),
            QDir(root()).filePath(calendarId + QStringLiteral("/recurring.ics"))));
        QVERIFY(QFile::copy(dataFile(QStringLiteral("zoned.ics")),
            QDir(root()).filePath(calendarId + QStringLiteral("/zoned.ics"))));

        auto weekly = store.event(QStringLiteral("weekly-1"));
        QVERIFY(weekly);
        weekly->title = QStringLiteral("Standup, renamed");
        QVERIFY(store.save(*weekly));
        auto zoned = store.event(QStringLiteral("zoned-1@example.com"));
        QVERIFY(zoned);
        zoned->start = zoned->start.addSecs(3600);
        zoned->end = zoned->end.addSecs(3600);
        QVERIFY(store.save(*zoned));

        const QByteArray weeklyText = readAll(QDir(root()).filePath(calendarId + "/recurring.ics"));
        for (const char *kept :
            {"RRULE:FREQ=WEEKLY;COUNT=10", "EXDATE:20250310T090000Z", "BEGIN:VALARM",
                "TRIGGER:-PT10M", "mailto:someone@example.com", "SUMMARY:Standup (moved)",
                "RECURRENCE-ID:20250317T090000Z", "SUMMARY:Standup\\, renamed"}) {
            QVERIFY2(weeklyText.contains(kept), kept);
        }
        const QByteArray zonedText = readAll(QDir(root()).filePath(calendarId + "/zoned.ics"));
        for (const char *kept : {"X-UNKNOWN;X-PARAM=1:kept as is", "X-SOMEVENDOR-COLOR:red",
                 "X-WR-CALNAME:Work", "CREATED:20250301T080000Z", "DTSTART:20250703T130000Z"}) {
            QVERIFY2(zonedText.contains(kept), kept);
        }
        LocalCalendarStore fresh(root(), options());
        QCOMPARE(fresh.event(QStringLiteral("zoned-1@example.com"))->notes, zoned->notes);
        QCOMPARE(
            fresh.event(QStringLiteral("weekly-1"))->title, QStringLiteral("Standup, renamed"));
    }

    void aReadScopeLooksAtTheDiskOnceButSeesItsOwnWrites()
    {
        LocalCalendarStore store(root(), options());
        const QString calendarId = store.calendars().first().identifier;
        const QString outside = QDir(root()).filePath(calendarId + QStringLiteral("/outside.ics"));
        LocalEvent event;
        event.calendarId = calendarId;
        event.title = QStringLiteral("Standup");
        event.start = utc(2025, 3, 4, 9);
        event.end = event.start.addSecs(900);
        QString id;
        {
            const LocalCalendarStore::ReadScope scope(store);
            QVERIFY(!store.event(QStringLiteral("all-day-1")));
            // Another program's file, written during the pass, waits for the next one...
            QVERIFY(QFile::copy(dataFile(QStringLiteral("all-day.ics")), outside));
            QVERIFY(!store.event(QStringLiteral("all-day-1")));
            // ...but what the store itself writes is read back at once.
            const auto saved = store.save(event);
            QVERIFY(saved);
            id = saved->identifier;
            QCOMPARE(store.event(id)->title, QStringLiteral("Standup"));
        }
        QVERIFY(store.event(QStringLiteral("all-day-1")));

        // Presence in a span, without a listing: the span is half-open like `events`.
        QVERIFY(store.hasEventIn(id, event.start.addSecs(600), event.end.addSecs(600)));
        QVERIFY(!store.hasEventIn(id, event.end, event.end.addSecs(3600)));
        QVERIFY(!store.hasEventIn(QStringLiteral("unknown"), event.start, event.end));
    }

    void changesOnDiskAreNoticed()
    {
        LocalCalendarStore store(root(), options());
        const QString calendarId = store.calendars().first().identifier;
        const QString path = QDir(root()).filePath(calendarId + QStringLiteral("/outside.ics"));
        QSignalSpy changed(&store, &LocalCalendarStore::storeChanged);

        // A new file from another program.
        QFile::copy(dataFile(QStringLiteral("all-day.ics")), path);
        QVERIFY(changed.wait(5000));
        QVERIFY(store.event(QStringLiteral("all-day-1")));

        // An atomic replace, twice: the watch on the file is re-armed each time.
        for (const char *title : {"First", "Second"}) {
            changed.clear();
            writeFile(path,
                readAll(dataFile(QStringLiteral("all-day.ics"))).replace("Conference", title));
            QVERIFY(changed.wait(5000));
            QCOMPARE(store.event(QStringLiteral("all-day-1"))->title, QString::fromLatin1(title));
        }

        // An edit in place, which only the watch on the file itself reports.
        changed.clear();
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray text = file.readAll().replace("Second", "Third!");
            file.seek(0);
            file.write(text);
        }
        QVERIFY(changed.wait(5000));
        QCOMPARE(store.event(QStringLiteral("all-day-1"))->title, QStringLiteral("Third!"));

        // A new calendar folder.
        changed.clear();
        QVERIFY(store.createCalendar(QStringLiteral("Extra"), {}, LocalCalendarSource::local));
        QVERIFY(changed.wait(5000));
    }
};

TOLVO_TEST_MAIN(LocalCalendarStoreTest)
#include "LocalCalendarStoreTest.moc"
