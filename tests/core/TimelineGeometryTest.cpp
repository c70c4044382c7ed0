#include "core/TimelineGeometry.h"
#include "support/CalendarContexts.h"
#include "support/TestMain.h"

using namespace tolvo;
using namespace tolvo::test;

namespace {
const QTimeZone newYorkZone("America/New_York");

QDateTime ny(int month, int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(2025, month, day), QTime(hour, minute, second), newYorkZone);
}

CalendarEvent meeting(const QString &name, const QDateTime &start, const QDateTime &end)
{
    CalendarEvent result;
    result.id = QUuid::createUuidV5(QUuid(), name);
    result.identifier = name;
    result.title = name;
    result.startDate = start;
    result.endDate = end;
    return result;
}

QStringList titles(const QList<CalendarEvent> &events)
{
    QStringList result;
    for (const CalendarEvent &e : events)
        result << e.title;
    return result;
}
} // namespace

class TimelineGeometryTest : public QObject
{
    Q_OBJECT
private slots:
    void offsetsAndHeights_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("height");
        QTest::newRow("9:15-10:45") << ny(1, 10, 9, 15) << ny(1, 10, 10, 45) << 740.0 << 120.0;
        QTest::newRow("seconds dropped")
            << ny(1, 10, 9, 45, 59) << ny(1, 10, 9, 46) << 780.0 << 0.0;
        QTest::newRow("23:30-0:30 overflows")
            << ny(1, 10, 23, 30) << ny(1, 11, 0, 30) << 1880.0 << 80.0;
        QTest::newRow("zero length") << ny(1, 10, 8) << ny(1, 10, 8) << 640.0 << 0.0;
        QTest::newRow("48 hours") << ny(1, 10, 0) << ny(1, 12, 0) << 0.0 << 3840.0;
        QTest::newRow("29:59 minutes")
            << ny(1, 10, 1) << ny(1, 10, 1, 29, 59) << 80.0 << 80.0 * 29 / 60;
        QTest::newRow("end before start clamps") << ny(1, 10, 10) << ny(1, 10, 9) << 800.0 << 0.0;
        // Spring forward (Mar 9): 01:00-04:00 is two elapsed hours, ending on the 03:00 line.
        QTest::newRow("spring forward") << ny(3, 9, 1) << ny(3, 9, 4) << 80.0 << 160.0;
        // Fall back (Nov 2): 00:00-03:00 is four elapsed hours.
        QTest::newRow("fall back") << ny(11, 2, 0) << ny(11, 2, 3) << 0.0 << 320.0;
    }
    void offsetsAndHeights()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(double, offset);
        QFETCH(double, height);
        QCOMPARE(eventTimeOffset(start, newYork()), offset);
        QCOMPARE(eventHeight(start, end), height);
    }

    void offsetUsesTheContextsWallClock()
    {
        const QDateTime moment(QDate(2025, 1, 10), QTime(14, 30), Qt::UTC);
        QCOMPARE(eventTimeOffset(moment, newYork()), 9.5 * hourHeight);
        QCOMPARE(eventTimeOffset(moment, berlin()), 15.5 * hourHeight);
        QCOMPARE(eventTimeOffset(moment, cairo()), 16.5 * hourHeight);
    }

    void hourLabelsComeFromTheHour()
    {
        const QLocale us("en_US");
        QCOMPARE(hourLabel(0, us), "12 AM");
        QCOMPARE(hourLabel(2, us), "2 AM");
        QCOMPARE(hourLabel(15, us), "3 PM");
        QStringList labels;
        for (int hour = 0; hour < 24; ++hour)
            labels << hourLabel(hour, us);
        QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), 24);
    }

    void overlapLayout_data()
    {
        QTest::addColumn<QList<CalendarEvent>>("events");
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QList<double>>("xs");
        QTest::addColumn<QList<double>>("widths");
        QTest::newRow("empty") << QList<CalendarEvent>() << QStringList() << QList<double>()
                               << QList<double>();
        QTest::newRow("one") << QList {meeting("a", ny(1, 10, 9), ny(1, 10, 10))}
                             << QStringList {"a"} << QList {0.0} << QList {300.0};
        QTest::newRow("equal starts keep input order")
            << QList {meeting("b", ny(1, 10, 9), ny(1, 10, 10)),
                   meeting("a", ny(1, 10, 9), ny(1, 10, 11))}
            << QStringList {"b", "a"} << QList {0.0, 150.0} << QList {150.0, 150.0};
        QTest::newRow("touching is not overlapping")
            << QList {meeting("b", ny(1, 10, 10), ny(1, 10, 11)),
                   meeting("a", ny(1, 10, 9), ny(1, 10, 10))}
            << QStringList {"a", "b"} << QList {0.0, 0.0} << QList {300.0, 300.0};
        QTest::newRow("9-12, 9:30-10, 11-11:30")
            << QList {meeting("c", ny(1, 10, 11), ny(1, 10, 11, 30)),
                   meeting("a", ny(1, 10, 9), ny(1, 10, 12)),
                   meeting("b", ny(1, 10, 9, 30), ny(1, 10, 10))}
            << QStringList {"a", "b", "c"} << QList {0.0, 150.0, 0.0}
            << QList {150.0, 150.0, 300.0};
        QTest::newRow("chain of thirds") << QList {meeting("a", ny(1, 10, 9), ny(1, 10, 10)),
            meeting("b", ny(1, 10, 9, 30), ny(1, 10, 10, 30)),
            meeting("c", ny(1, 10, 10, 15), ny(1, 10, 11))}
                                         << QStringList {"a", "b", "c"} << QList {0.0, 100.0, 200.0}
                                         << QList {100.0, 100.0, 100.0};
        QTest::newRow("zero length inside another")
            << QList {meeting("a", ny(1, 10, 9), ny(1, 10, 10)),
                   meeting("z", ny(1, 10, 9, 30), ny(1, 10, 9, 30))}
            << QStringList {"a", "z"} << QList {0.0, 150.0} << QList {150.0, 150.0};
        QTest::newRow("end before start overlaps nothing")
            << QList {meeting("a", ny(1, 10, 9), ny(1, 10, 10)),
                   meeting("r", ny(1, 10, 9, 30), ny(1, 10, 8))}
            << QStringList {"a", "r"} << QList {0.0, 0.0} << QList {300.0, 300.0};
    }
    void overlapLayout()
    {
        QFETCH(QList<CalendarEvent>, events);
        QFETCH(QStringList, order);
        QFETCH(QList<double>, xs);
        QFETCH(QList<double>, widths);
        const QList<PositionedEvent> laid = layoutOverlappingEvents(events, 300);
        QStringList gotOrder;
        QList<double> gotXs;
        QList<double> gotWidths;
        for (const PositionedEvent &p : laid) {
            gotOrder << p.event.title;
            gotXs << p.xOffset;
            gotWidths << p.width;
        }
        QCOMPARE(gotOrder, order);
        QCOMPARE(gotXs, xs);
        QCOMPARE(gotWidths, widths);
    }

    void agendaMonthIsTakenInTheLocalZone()
    {
        const CalendarContext context = newYork();
        const QList<CalendarEvent> events {
            meeting("last minute", ny(1, 31, 23, 59), ny(2, 1, 0, 30)),
            meeting("next month", ny(2, 1, 0), ny(2, 1, 1)),
            // 03:00 UTC on Feb 1 is still January 31 in New York.
            meeting("utc february", QDateTime(QDate(2025, 2, 1), QTime(3, 0), Qt::UTC),
                QDateTime(QDate(2025, 2, 1), QTime(4, 0), Qt::UTC)),
            meeting("first", ny(1, 1, 0), ny(1, 1, 1)),
            meeting("december", ny(12, 31, 23), ny(12, 31, 23, 30)),
        };
        QCOMPARE(titles(eventsInMonth(events, QDate(2025, 1, 17), context)),
            QStringList({"last minute", "utc february", "first"}));
        QCOMPARE(
            titles(eventsInMonth(events, QDate(2025, 1, 17), berlin())), QStringList({"first"}));
    }

    void agendaGroupsByStartDayInTimeOrder()
    {
        const CalendarContext context = newYork();
        const QList<CalendarEvent> events {
            meeting("30th evening", ny(4, 30, 18), ny(5, 2, 9)),
            meeting("1st late", ny(5, 1, 15), ny(5, 1, 16)),
            meeting("30th morning", ny(4, 30, 8), ny(4, 30, 9)),
            meeting("1st early", ny(5, 1, 9), ny(5, 1, 10)),
            meeting("1st early too", ny(5, 1, 9), ny(5, 1, 9, 30)),
        };
        const auto grouped = groupByDay(events, context);
        QCOMPARE(grouped.size(), size_t(2));
        QCOMPARE(grouped[0].first, QDate(2025, 4, 30));
        QCOMPARE(titles(grouped[0].second), QStringList({"30th morning", "30th evening"}));
        QCOMPARE(grouped[1].first, QDate(2025, 5, 1));
        QCOMPARE(
            titles(grouped[1].second), QStringList({"1st early", "1st early too", "1st late"}));
        QVERIFY(groupByDay({}, context).empty());
        // The 30th-to-2nd event is listed only on the 30th.
        QCOMPARE(titles(eventsStartingOn(events, QDate(2025, 5, 2), context)), QStringList());
    }
};

TOLVO_TEST_MAIN(TimelineGeometryTest)
#include "TimelineGeometryTest.moc"
