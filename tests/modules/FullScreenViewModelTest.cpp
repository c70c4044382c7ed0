#include "modules/FullScreenNotification/FullScreenViewModel.h"
#include "support/TestMain.h"

using namespace tolvo;

class FullScreenViewModelTest : public QObject
{
    Q_OBJECT
private slots:
    void timeRangeText_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no start") << QString() << QString() << "";
        QTest::newRow("no start, an end") << QString() << "2025-03-05T10:00:00Z"
                                          << "";
        QTest::newRow("start only") << "2025-03-05T09:30:00Z" << QString() << "09:30";
        QTest::newRow("both") << "2025-03-05T09:30:00Z"
                              << "2025-03-05T10:00:00Z"
                              << "09:30 - 10:00";
        QTest::newRow("past midnight") << "2025-03-05T23:45:00Z"
                                       << "2025-03-06T00:15:00Z"
                                       << "23:45 - 00:15";
    }

    void timeRangeText()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, expected);
        GoogleCalendarEvent event;
        if (!start.isEmpty())
            event.start = QDateTime::fromString(start, Qt::ISODate);
        if (!end.isEmpty())
            event.end = QDateTime::fromString(end, Qt::ISODate);
        const AppDateFormatter formatter(QLocale(QLocale::German), QTimeZone::utc());
        FullScreenViewModel viewModel(event, formatter);
        QCOMPARE(viewModel.timeRangeText(), expected);
    }

    void startsUndecidedAndAnnouncesEveryChoice()
    {
        GoogleCalendarEvent event;
        FullScreenViewModel viewModel(event);
        QCOMPARE(viewModel.title(), QString());
        QCOMPARE(viewModel.timeToMeeting(), QString());
        QCOMPARE(viewModel.snoozeTime(), SnoozeTime::notDefined);
        QSignalSpy spy(&viewModel, &FullScreenViewModel::snoozeTimeChanged);
        viewModel.setSnoozeTime(SnoozeTime::minute);
        viewModel.setSnoozeTime(SnoozeTime::minute);
        QCOMPARE(spy.count(), 2);
    }

    void meetingUrl_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("usable");
        QTest::newRow("meet") << "https://meet.google.com/abc-defg-hij" << true;
        QTest::newRow("padded") << " https://meet.google.com/abc-defg-hij\n" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("script") << "javascript:alert(1)" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("no host") << "https://" << false;
    }

    void meetingUrl()
    {
        QFETCH(QString, link);
        QFETCH(bool, usable);
        GoogleCalendarEvent event;
        event.hangoutLink = link;
        QCOMPARE(FullScreenViewModel(event).meetingUrl().has_value(), usable);
        event.hangoutLink.reset();
        QVERIFY(!FullScreenViewModel(event).meetingUrl());
    }
};

TOLVO_GUI_TEST_MAIN(FullScreenViewModelTest)
#include "FullScreenViewModelTest.moc"
