#include "modules/Calendar/CalendarEventMapping.h"
#include "components/Palette.h"
#include "core/Dependencies.h"
#include "services/CacheManager.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

using namespace tolvo;

namespace {
GoogleCalendar calendar(const QString &id, std::optional<QString> color)
{
    GoogleCalendar result;
    result.id = id;
    result.backgroundColor = std::move(color);
    return result;
}
} // namespace

class CalendarEventMappingTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void colours_data()
    {
        QTest::addColumn<QString>("calendarId");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("its calendar's colour") << "work" << QColor("#33B679");
        QTest::newRow("the first of two with one id") << "twice" << QColor("#E67C73");
        QTest::newRow("not cached") << "gone" << palette::accentBlue();
        QTest::newRow("no colour") << "plain" << palette::accentBlue();
        QTest::newRow("empty colour") << "empty" << palette::accentBlue();
        QTest::newRow("unreadable colour") << "junk" << palette::accentBlue();
    }
    void colours()
    {
        QFETCH(QString, calendarId);
        QFETCH(QColor, expected);
        const QList<GoogleCalendar> calendars {calendar("work", "#33B679"),
            calendar("twice", "#E67C73"), calendar("twice", "#000000"),
            calendar("plain", std::nullopt), calendar("empty", QString()),
            calendar("junk", QStringLiteral("#12"))};
        QCOMPARE(calendarEventColor(calendarId, calendars), expected);
    }

    void fields()
    {
        const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        GoogleCalendarEvent full;
        full.id = "google-id";
        full.summary = "Standup";
        full.start = QDateTime(QDate(2025, 3, 4), QTime(14, 0), Qt::UTC);
        full.end = QDateTime(QDate(2025, 3, 4), QTime(14, 30), Qt::UTC);
        full.location = QString();
        full.description = "Notes";
        full.hangoutLink = "https://meet.google.com/x";
        full.isAllDay = true;
        const CalendarEvent mapped
            = makeCalendarEvent(full, "work", {calendar("work", "#33B679")}, now);
        QCOMPARE(mapped.id, full.identifier);
        QCOMPARE(mapped.identifier, "google-id");
        QCOMPARE(mapped.title, "Standup");
        QCOMPARE(mapped.startDate, *full.start);
        QCOMPARE(mapped.endDate, *full.end);
        QCOMPARE(QColor::fromRgba(mapped.color), QColor("#33B679"));
        QCOMPARE(mapped.location, QString());
        QCOMPARE(mapped.notes, "Notes");
        QCOMPARE(mapped.hangoutLink, "https://meet.google.com/x");
        QVERIFY(mapped.isAllDAy);

        // Missing summary, start and end.
        GoogleCalendarEvent bare;
        const CalendarEvent fallback = makeCalendarEvent(bare, "work", {}, now);
        QCOMPARE(fallback.title, QString());
        QCOMPARE(fallback.startDate, now);
        QCOMPARE(fallback.endDate, now);
        QVERIFY(!fallback.location && !fallback.notes && !fallback.hangoutLink);
        QCOMPARE(QColor::fromRgba(fallback.color), palette::accentBlue());
    }

    void listedMeetingsKeepTheirOrderAndReadTheCacheEachTime()
    {
        int reads = 0;
        QList<GoogleCalendar> cached {calendar("work", "#33B679")};
        CacheManager cache = CacheManager::testValue();
        cache.calendars = [&] {
            ++reads;
            return cached;
        };
        DependencyScope scope;
        scope.set(cache);

        GoogleCalendarEvent late;
        late.summary = "late";
        late.start = QDateTime(QDate(2025, 3, 4), QTime(15, 0), Qt::UTC);
        GoogleCalendarEvent early;
        early.summary = "early";
        early.start = QDateTime(QDate(2025, 3, 4), QTime(8, 0), Qt::UTC);
        const QList<EventModelPtr> models {std::make_shared<EventModel>(late, "work"),
            std::make_shared<EventModel>(early, "home")};
        const QList<CalendarEvent> events
            = makeCalendarEvents(models, QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0].title, "late");
        QCOMPARE(events[0].id, late.identifier);
        QCOMPARE(QColor::fromRgba(events[0].color), QColor("#33B679"));
        QCOMPARE(events[1].title, "early");
        QCOMPARE(QColor::fromRgba(events[1].color), palette::accentBlue());
        QCOMPARE(reads, 2);
    }
};

TOLVO_WIDGET_TEST_MAIN(CalendarEventMappingTest)
#include "CalendarEventMappingTest.moc"
