#include "core/Snooze.h"
#include "support/TestMain.h"

using namespace tolvo;

class SnoozeTest : public QObject
{
    Q_OBJECT

private slots:
    void snoozeMoment_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("hasStart");
        QTest::addColumn<int>("startInSeconds");
        QTest::addColumn<bool>("armed");
        QTest::addColumn<int>("expectedInSeconds");
        QTest::newRow("minute, start far") << int(SnoozeTime::minute) << true << 600 << true << 60;
        QTest::newRow("five, start far")
            << int(SnoozeTime::fiveMinutes) << true << 600 << true << 300;
        QTest::newRow("five, start sooner")
            << int(SnoozeTime::fiveMinutes) << true << 120 << false << 0;
        QTest::newRow("minute, exactly start")
            << int(SnoozeTime::minute) << true << 60 << true << 60;
        QTest::newRow("until event") << int(SnoozeTime::untilEvent) << true << 600 << true << 600;
        QTest::newRow("until event, started")
            << int(SnoozeTime::untilEvent) << true << -60 << true << -60;
        QTest::newRow("until event, no start")
            << int(SnoozeTime::untilEvent) << false << 0 << true << 0;
        QTest::newRow("minute, no start") << int(SnoozeTime::minute) << false << 0 << false << 0;
        QTest::newRow("not defined") << int(SnoozeTime::notDefined) << true << 600 << false << 0;
    }
    void snoozeMoment()
    {
        QFETCH(int, choice);
        QFETCH(bool, hasStart);
        QFETCH(int, startInSeconds);
        QFETCH(bool, armed);
        QFETCH(int, expectedInSeconds);
        const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        GoogleCalendarEvent event;
        if (hasStart)
            event.start = now.addSecs(startInSeconds);
        if (choice == int(SnoozeTime::notDefined))
            QTest::ignoreMessage(QtWarningMsg, "Ignored a snooze without a chosen time.");
        const auto moment = tolvo::snoozeMoment(SnoozeTime(choice), event, now);
        QCOMPARE(moment.has_value(), armed);
        if (!armed)
            return;
        QCOMPARE(*moment, now.addSecs(expectedInSeconds));
    }
};

TOLVO_TEST_MAIN(SnoozeTest)
#include "SnoozeTest.moc"
