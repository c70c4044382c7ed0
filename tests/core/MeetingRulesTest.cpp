#include "core/MeetingRules.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

using namespace tolvo;

Q_DECLARE_METATYPE(tolvo::CalendarViewType)

namespace {

QList<GoogleCalendar> calendars(const QString &ids)
{
    QList<GoogleCalendar> list;
    for (const QString &id : ids.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        GoogleCalendar calendar;
        calendar.id = id;
        list.append(calendar);
    }
    return list;
}

CalendarContext context(const char *zone, Qt::DayOfWeek firstDay, QDateTime now = {})
{
    test::FakeClock clock(now.isValid() ? now : QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
    return {QTimeZone(zone), QLocale::c(), firstDay, clock.clock()};
}

} // namespace

class MeetingRulesTest : public QObject
{
    Q_OBJECT

private slots:
    void displayedDays_data()
    {
        QTest::addColumn<CalendarViewType>("view");
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<int>("firstDay");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        const QDateTime newYearsEve(QDate(2024, 12, 31), QTime(15, 30), QTimeZone("Europe/Berlin"));
        QTest::newRow("day at 15:30 is the whole day")
            << CalendarViewType::day << newYearsEve << int(Qt::Monday) << QDate(2024, 12, 31)
            << QDate(2024, 12, 31);
        QTest::newRow("year-boundary week, Monday first")
            << CalendarViewType::week << newYearsEve << int(Qt::Monday) << QDate(2024, 12, 30)
            << QDate(2025, 1, 5);
        QTest::newRow("year-boundary week, Sunday first")
            << CalendarViewType::week << newYearsEve << int(Qt::Sunday) << QDate(2024, 12, 29)
            << QDate(2025, 1, 4);
        QTest::newRow("week, Saturday first, on a Saturday")
            << CalendarViewType::week
            << QDateTime(QDate(2025, 3, 8), QTime(8, 0), QTimeZone("Europe/Berlin"))
            << int(Qt::Saturday) << QDate(2025, 3, 8) << QDate(2025, 3, 14);
        QTest::newRow("month, leap February")
            << CalendarViewType::month
            << QDateTime(QDate(2024, 2, 10), QTime(0, 0), QTimeZone("Europe/Berlin"))
            << int(Qt::Monday) << QDate(2024, 2, 1) << QDate(2024, 2, 29);
        QTest::newRow("agenda is the month")
            << CalendarViewType::agenda << newYearsEve << int(Qt::Monday) << QDate(2024, 12, 1)
            << QDate(2024, 12, 31);
        // 23:30 UTC on the 31st is already the 1st in Berlin.
        QTest::newRow("the day is read in the user's zone")
            << CalendarViewType::month << QDateTime(QDate(2024, 12, 31), QTime(23, 30), Qt::UTC)
            << int(Qt::Monday) << QDate(2025, 1, 1) << QDate(2025, 1, 31);
    }

    void displayedDays()
    {
        QFETCH(CalendarViewType, view);
        QFETCH(QDateTime, date);
        QFETCH(int, firstDay);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        const DayRange range
            = tolvo::displayedDays(view, date, context("Europe/Berlin", Qt::DayOfWeek(firstDay)));
        QCOMPARE(range.first, first);
        QCOMPARE(range.last, last);
    }

    void dayRangeCoversWholeDaysAcrossDaylightSaving()
    {
        const QTimeZone berlin("Europe/Berlin");
        const DayRange spring {QDate(2025, 3, 30), QDate(2025, 3, 30)};
        QCOMPARE(spring.startIn(berlin), QDateTime(QDate(2025, 3, 29), QTime(23, 0), Qt::UTC));
        QCOMPARE(spring.endIn(berlin), QDateTime(QDate(2025, 3, 30), QTime(21, 59, 59), Qt::UTC));
    }

    void upcomingDaysAndMidnight()
    {
        const QDateTime lateEvening(QDate(2025, 3, 3), QTime(22, 30), Qt::UTC); // 23:30 in Berlin
        const CalendarContext berlin = context("Europe/Berlin", Qt::Monday, lateEvening);
        // Four weeks past tomorrow's refresh: the longest lead Google allows still finds its
        // meeting.
        QCOMPARE(upcomingDays(berlin), (DayRange {QDate(2025, 3, 3), QDate(2025, 3, 31)}));
        QCOMPARE(nextLocalMidnight(lateEvening, berlin.zone),
            QDateTime(QDate(2025, 3, 3), QTime(23, 0), Qt::UTC));
        // Exactly at midnight the next one is a day later.
        const QDateTime midnight(QDate(2025, 3, 3), QTime(23, 0), Qt::UTC);
        QCOMPARE(nextLocalMidnight(midnight, berlin.zone),
            QDateTime(QDate(2025, 3, 4), QTime(23, 0), Qt::UTC));
    }

    void calendarListDifference_data()
    {
        QTest::addColumn<QString>("handled");
        QTest::addColumn<QString>("wanted");
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<QStringList>("inserted");
        QTest::newRow("first load") << ""
                                    << "a,b" << QStringList() << QStringList {"a", "b"};
        QTest::newRow("same") << "a,b"
                              << "a,b" << QStringList() << QStringList();
        QTest::newRow("follow one") << "a,b"
                                    << "a,c,b" << QStringList() << QStringList {"c"};
        QTest::newRow("unfollow one") << "a,b,c"
                                      << "a,c" << QStringList {"b"} << QStringList();
        QTest::newRow("moved counts twice") << "a,b,c"
                                            << "c,a,b" << QStringList {"c"} << QStringList {"c"};
        QTest::newRow("all gone") << "a,b"
                                  << "" << QStringList {"a", "b"} << QStringList();
    }

    void calendarListDifference()
    {
        QFETCH(QString, handled);
        QFETCH(QString, wanted);
        QFETCH(QStringList, removed);
        QFETCH(QStringList, inserted);
        const CalendarListDifference difference
            = tolvo::calendarListDifference(calendars(handled), calendars(wanted));
        QCOMPARE(difference.removed, removed);
        QCOMPARE(difference.inserted, inserted);
    }

    void sortsByStartWithNowForMissingStarts()
    {
        const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        GoogleCalendarEvent late, early, undated;
        late.id = "late";
        late.start = now.addSecs(3600);
        early.id = "early";
        early.start = now.addSecs(-3600);
        undated.id = "undated";
        const QList<GoogleCalendarEvent> sorted = sortedByStart({late, undated, early}, now);
        QCOMPARE(sorted.at(0).id, "early");
        QCOMPARE(sorted.at(1).id, "undated");
        QCOMPARE(sorted.at(2).id, "late");
    }

    void notificationDateText()
    {
        const AppDateFormatter formatter(QLocale(QLocale::English), QTimeZone::utc());
        const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        GoogleCalendarEvent event;
        event.start = QDateTime(QDate(2025, 3, 5), QTime(14, 0), Qt::UTC);
        event.end = QDateTime(QDate(2025, 3, 5), QTime(15, 0), Qt::UTC);
        QCOMPARE(
            tolvo::notificationDateText(event, now, formatter), "5 March 2025 at 14:00 - 15:00");
        event.end.reset();
        QCOMPARE(tolvo::notificationDateText(event, now, formatter), "5 March 2025 at 14:00");
        event.start.reset();
        QCOMPARE(tolvo::notificationDateText(event, now, formatter), "3 March 2025 at 09:00");
    }

    void writableRolesAndSeries()
    {
        QVERIFY(canWriteCalendar(QStringLiteral("owner")));
        QVERIFY(canWriteCalendar(QStringLiteral("writer")));
        QVERIFY(!canWriteCalendar(QStringLiteral("reader")));
        QVERIFY(!canWriteCalendar(QStringLiteral("freeBusyReader")));
        QVERIFY(!canWriteCalendar(std::nullopt));

        QVERIFY(isInstanceOfSeries("abc_20250303T090000Z", "abc"));
        QVERIFY(!isInstanceOfSeries("abc", "abc"));
        QVERIFY(!isInstanceOfSeries("abcd_20250303", "abc"));
        QVERIFY(!isInstanceOfSeries("abc_", "abc"));
        QVERIFY(!isInstanceOfSeries("_x", ""));
    }
};

TOLVO_TEST_MAIN(MeetingRulesTest)
#include "MeetingRulesTest.moc"
