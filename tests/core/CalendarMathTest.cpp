#include "core/CalendarMath.h"
#include "support/CalendarContexts.h"
#include "support/TestMain.h"

using namespace tolvo;
using namespace tolvo::test;

namespace {
CalendarContext contextNamed(const QString &name)
{
    if (name == QLatin1String("newYork"))
        return newYork();
    if (name == QLatin1String("berlin"))
        return berlin();
    return cairo();
}

QDateTime local(const CalendarContext &context, QDate day, QTime time)
{
    return QDateTime(day, time, context.zone);
}
} // namespace

class CalendarMathTest : public QObject
{
    Q_OBJECT
private slots:
    void contextsFollowTheirLocales()
    {
        QCOMPARE(newYork().firstDayOfWeek, Qt::Sunday);
        QCOMPARE(berlin().firstDayOfWeek, Qt::Monday);
        QCOMPARE(cairo().firstDayOfWeek, Qt::Saturday);
    }

    void weekStartFollowsTheFirstWeekday_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDate>("start");
        // Wednesday 2025-01-15.
        QTest::newRow("wednesday, Sunday first")
            << "newYork" << QDate(2025, 1, 15) << QDate(2025, 1, 12);
        QTest::newRow("wednesday, Monday first")
            << "berlin" << QDate(2025, 1, 15) << QDate(2025, 1, 13);
        QTest::newRow("wednesday, Saturday first")
            << "cairo" << QDate(2025, 1, 15) << QDate(2025, 1, 11);
        QTest::newRow("the first weekday starts its week (Sun)")
            << "newYork" << QDate(2025, 1, 12) << QDate(2025, 1, 12);
        QTest::newRow("the first weekday starts its week (Mon)")
            << "berlin" << QDate(2025, 1, 13) << QDate(2025, 1, 13);
        QTest::newRow("the first weekday starts its week (Sat)")
            << "cairo" << QDate(2025, 1, 11) << QDate(2025, 1, 11);
        QTest::newRow("the last weekday (Sat)")
            << "newYork" << QDate(2025, 1, 18) << QDate(2025, 1, 12);
        QTest::newRow("the last weekday (Fri)")
            << "cairo" << QDate(2025, 1, 17) << QDate(2025, 1, 11);
        QTest::newRow("across the year") << "berlin" << QDate(2026, 1, 1) << QDate(2025, 12, 29);
    }
    void weekStartFollowsTheFirstWeekday()
    {
        QFETCH(QString, context);
        QFETCH(QDate, day);
        QFETCH(QDate, start);
        const CalendarContext ctx = contextNamed(context);
        QCOMPARE(weekStart(day, ctx.firstDayOfWeek), start);
        const QList<QDate> week = weekDays(day, ctx.firstDayOfWeek);
        QCOMPARE(week.size(), 7);
        QCOMPARE(week.first(), start);
        QCOMPARE(week.last(), start.addDays(6));
        QVERIFY(week.contains(day));
    }

    void headerTitles_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<CalendarViewType>("type");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("title");
        QTest::newRow("day") << "newYork" << CalendarViewType::day << QDate(2025, 1, 10)
                             << "Friday, Jan 10";
        QTest::newRow("week in one month")
            << "newYork" << CalendarViewType::week << QDate(2025, 1, 15) << "Jan 12 - 18, 2025";
        // The year is the one of the week's last day.
        QTest::newRow("week across the year")
            << "newYork" << CalendarViewType::week << QDate(2026, 12, 31) << "Dec 27 - 2, 2027";
        QTest::newRow("week, Monday first")
            << "berlin" << CalendarViewType::week << QDate(2025, 12, 31) << "Dez. 29 - 4, 2026";
        QTest::newRow("month") << "newYork" << CalendarViewType::month << QDate(2025, 1, 31)
                               << "January 2025";
        QTest::newRow("agenda") << "newYork" << CalendarViewType::agenda << QDate(2025, 1, 31)
                                << "January 2025";
        // The calendar year, not the week-based one (Jan 1 2027 is in week 53 of 2026).
        QTest::newRow("month, week year differs")
            << "berlin" << CalendarViewType::month << QDate(2027, 1, 1) << "Januar 2027";
    }
    void headerTitles()
    {
        QFETCH(QString, context);
        QFETCH(CalendarViewType, type);
        QFETCH(QDate, day);
        QFETCH(QString, title);
        const CalendarContext ctx = contextNamed(context);
        QCOMPARE(headerTitle(type, local(ctx, day, QTime(12, 0)), ctx), title);
    }

    void weekTitleOfASaturdayFirstLocaleStartsOnSaturday()
    {
        const CalendarContext ctx = cairo();
        const QString title
            = headerTitle(CalendarViewType::week, local(ctx, QDate(2025, 1, 15), QTime(9, 0)), ctx);
        QCOMPARE(title,
            ctx.locale.toString(QDate(2025, 1, 11), QStringLiteral("MMM d")) + QStringLiteral(" - ")
                + ctx.locale.toString(QDate(2025, 1, 17), QStringLiteral("d, yyyy")));
        QCOMPARE(headerTitle(CalendarViewType::month, QDateTime(), ctx), QString());
    }

    void theTitleUsesTheLocalDay()
    {
        // 03:00 UTC on the 11th is still the 10th in New York and already the 11th in Berlin.
        const QDateTime moment(QDate(2025, 1, 11), QTime(3, 0), Qt::UTC);
        QCOMPARE(headerTitle(CalendarViewType::day, moment, newYork()), "Friday, Jan 10");
        QCOMPARE(headerTitle(CalendarViewType::day, moment, berlin()), "Samstag, Jan. 11");
    }

    void monthGrid_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<int>("miniCount");
        QTest::newRow("Feb 2026, Monday first")
            << "berlin" << QDate(2026, 2, 14) << QDate(2026, 1, 26) << 35;
        // Feb 2026 begins on a Sunday: four rows in the mini month.
        QTest::newRow("Feb 2026, Sunday first")
            << "newYork" << QDate(2026, 2, 14) << QDate(2026, 2, 1) << 28;
        QTest::newRow("Feb 2026, Saturday first")
            << "cairo" << QDate(2026, 2, 14) << QDate(2026, 1, 31) << 35;
        // Saturday the 1st of a 31-day month: all six rows.
        QTest::newRow("Mar 2025, Sunday first")
            << "newYork" << QDate(2025, 3, 31) << QDate(2025, 2, 23) << 42;
        QTest::newRow("Sep 2025, 1st is the first weekday")
            << "berlin" << QDate(2025, 9, 1) << QDate(2025, 9, 1) << 35;
        QTest::newRow("Feb 2025, Saturday first")
            << "cairo" << QDate(2025, 2, 28) << QDate(2025, 2, 1) << 28;
        QTest::newRow("Aug 2025, Saturday first")
            << "cairo" << QDate(2025, 8, 31) << QDate(2025, 7, 26) << 42;
    }
    void monthGrid()
    {
        QFETCH(QString, context);
        QFETCH(QDate, day);
        QFETCH(QDate, first);
        QFETCH(int, miniCount);
        const CalendarContext ctx = contextNamed(context);

        const QList<QDate> grid = monthGrid42(day, ctx.firstDayOfWeek);
        QCOMPARE(grid.size(), 42);
        QCOMPARE(grid.first(), first);
        QCOMPARE(grid.last(), first.addDays(41));
        QCOMPARE(grid.first().dayOfWeek(), int(ctx.firstDayOfWeek));

        const QList<QDate> mini = miniMonthDays(day, ctx.firstDayOfWeek);
        QCOMPARE(mini.size(), miniCount);
        QCOMPARE(mini.first(), first);
        const QDate last(day.year(), day.month(), day.daysInMonth());
        QVERIFY(mini.contains(last));
        QVERIFY(mini.last().daysTo(last) > -7);
    }

    void weekdayNamesStartOnTheFirstWeekday()
    {
        const QStringList us = weekdaySymbols(newYork(), QLocale::ShortFormat);
        QCOMPARE(us, QStringList({"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}));
        const QStringList de = weekdaySymbols(berlin(), QLocale::ShortFormat);
        QCOMPARE(de.first(), QLocale(QLocale::German).dayName(Qt::Monday, QLocale::ShortFormat));
        QCOMPARE(de.last(), QLocale(QLocale::German).dayName(Qt::Sunday, QLocale::ShortFormat));
        const CalendarContext eg = cairo();
        const QStringList ar = weekdaySymbols(eg, QLocale::ShortFormat);
        QCOMPARE(ar.first(), eg.locale.dayName(Qt::Saturday, QLocale::ShortFormat));
        QCOMPARE(ar.last(), eg.locale.dayName(Qt::Friday, QLocale::ShortFormat));
    }

    void stepping_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<CalendarViewType>("type");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<int>("by");
        QTest::addColumn<QDateTime>("to");
        const QTimeZone ny("America/New_York");
        const QTimeZone be("Europe/Berlin");
        QTest::newRow("Jan 31 + month") << "newYork" << CalendarViewType::month
                                        << QDateTime(QDate(2025, 1, 31), QTime(10, 15), ny) << 1
                                        << QDateTime(QDate(2025, 2, 28), QTime(10, 15), ny);
        QTest::newRow("Jan 31 + month, leap year")
            << "newYork" << CalendarViewType::month
            << QDateTime(QDate(2024, 1, 31), QTime(10, 15), ny) << 1
            << QDateTime(QDate(2024, 2, 29), QTime(10, 15), ny);
        QTest::newRow("agenda steps a month")
            << "berlin" << CalendarViewType::agenda
            << QDateTime(QDate(2025, 3, 31), QTime(8, 0), be) << -1
            << QDateTime(QDate(2025, 2, 28), QTime(8, 0), be);
        QTest::newRow("week") << "berlin" << CalendarViewType::week
                              << QDateTime(QDate(2025, 12, 29), QTime(8, 0), be) << 1
                              << QDateTime(QDate(2026, 1, 5), QTime(8, 0), be);
        QTest::newRow("day keeps the wall clock over DST")
            << "berlin" << CalendarViewType::day << QDateTime(QDate(2025, 3, 29), QTime(9, 0), be)
            << 1 << QDateTime(QDate(2025, 3, 30), QTime(9, 0), be);
        // 02:30 does not exist on Mar 30 2025 in Berlin: the step lands on 03:00.
        QTest::newRow("day into a DST gap")
            << "berlin" << CalendarViewType::day << QDateTime(QDate(2025, 3, 29), QTime(2, 30), be)
            << 1 << QDateTime(QDate(2025, 3, 30), QTime(1, 0), Qt::UTC);
    }
    void stepping()
    {
        QFETCH(QString, context);
        QFETCH(CalendarViewType, type);
        QFETCH(QDateTime, from);
        QFETCH(int, by);
        QFETCH(QDateTime, to);
        const auto stepped = stepDate(type, from, by, contextNamed(context));
        QVERIFY(stepped.has_value());
        QCOMPARE(stepped->toUTC(), to.toUTC());
        QVERIFY(!stepDate(type, QDateTime(), by, contextNamed(context)).has_value());
    }

    void localDaysFollowTheZone()
    {
        const QDateTime moment(QDate(2025, 6, 1), QTime(2, 0), Qt::UTC);
        QVERIFY(isOnLocalDay(moment, QDate(2025, 5, 31), newYork()));
        QVERIFY(isOnLocalDay(moment, QDate(2025, 6, 1), berlin()));
        QVERIFY(!isOnLocalDay(QDateTime(), QDate(2025, 6, 1), berlin()));
        // A day whose midnight is skipped still has a start.
        CalendarContext santiago = newYork();
        santiago.zone = QTimeZone("America/Santiago");
        const QDateTime start = startOfLocalDay(QDate(2024, 9, 8), santiago);
        QVERIFY(start.isValid());
        QCOMPARE(start.toTimeZone(santiago.zone).time(), QTime(1, 0));
    }
};

TOLVO_TEST_MAIN(CalendarMathTest)
#include "CalendarMathTest.moc"
