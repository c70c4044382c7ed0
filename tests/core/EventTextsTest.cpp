#include "core/EventTexts.h"
#include "support/CalendarContexts.h"
#include "support/TestMain.h"

using namespace tolvo;
using namespace tolvo::test;

class EventTextsTest : public QObject
{
    Q_OBJECT
private slots:
    void meetingLinks_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("opens");
        QTest::newRow("meet") << "https://meet.google.com/abc-defg-hij" << true;
        QTest::newRow("plain http") << "http://example.com/room" << true;
        QTest::newRow("upper-case scheme") << "HTTPS://example.com" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("custom handler") << "zoommtg://zoom.us/join?confno=1" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("no host") << "https://" << false;
        QTest::newRow("junk") << "not a link" << false;
    }
    void meetingLinks()
    {
        QFETCH(QString, link);
        QFETCH(bool, opens);
        QCOMPARE(meetingLinkUrl(link).has_value(), opens);
    }

    void timeTexts()
    {
        const CalendarContext us = newYork();
        CalendarEvent event;
        event.startDate = QDateTime(QDate(2025, 1, 10), QTime(18, 5), Qt::UTC);
        event.endDate = QDateTime(QDate(2025, 1, 10), QTime(19, 30), Qt::UTC);
        QCOMPARE(timeRangeText(event, us), "1:05 PM - 2:30 PM");
        QCOMPARE(agendaTimeText(event, us), "1:05 PM - 2:30 PM");
        QCOMPARE(detailsTimeText(event, us), "Jan 10, 2025, 1:05 PM - Jan 10, 2025, 2:30 PM");
        QCOMPARE(timeRangeText(event, berlin()), "19:05 - 20:30");
        event.isAllDAy = true;
        QCOMPARE(detailsTimeText(event, us), "All-Day Event");
        QCOMPARE(agendaTimeText(event, us), "All-Day Event");
    }

    // Times never carry seconds, and the date part reads in the locale's order.
    void localeFormats_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("dateTime");
        QTest::newRow("C") << "C"
                           << "09:30"
                           << "10 Jan 2025, 09:30";
        QTest::newRow("en_US") << "en_US"
                               << "9:30 AM"
                               << "Jan 10, 2025, 9:30 AM";
        QTest::newRow("de_DE") << "de_DE"
                               << "09:30"
                               << "10. Jan. 2025, 09:30";
        QTest::newRow("fr_FR") << "fr_FR"
                               << "09:30"
                               << "10 janv. 2025, 09:30";
        QTest::newRow("ja_JP") << "ja_JP"
                               << "9:30"
                               << "2025年1月10日, 9:30";
    }
    void localeFormats()
    {
        QFETCH(QString, locale);
        QFETCH(QString, time);
        QFETCH(QString, dateTime);
        CalendarContext context = newYork();
        context.locale = QLocale(locale);
        context.zone = QTimeZone::utc();
        const QDateTime moment(QDate(2025, 1, 10), QTime(9, 30, 45), Qt::UTC);
        QCOMPARE(shortTime(moment, context), time);
        QCOMPARE(mediumDateTime(moment, context), dateTime);
        QVERIFY(!shortTimeFormat(context.locale).contains(QLatin1Char('s')));
    }
};

TOLVO_TEST_MAIN(EventTextsTest)
#include "EventTextsTest.moc"
