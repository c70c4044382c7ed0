#include "core/AlertType.h"
#include "support/TestMain.h"

using namespace tolvo;

class AlertTypeTest : public QObject
{
    Q_OBJECT
private slots:
    void everyCaseHasItsTexts_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("labels");
        const QStringList ok {"OK"};
        const QStringList refresh {"Refresh", "Ok"};
        QTest::newRow("error") << 0 << "Error occurred"
                               << "%1 is not a key: {0}" << ok;
        QTest::newRow("eventCreatedSuccessfully") << 1 << "Event created"
                                                  << "Event already created. Enjoy" << ok;
        QTest::newRow("eventUpdatedSuccessfully") << 2 << "Event updated"
                                                  << "Event updated successfully. Enjoy" << ok;
        QTest::newRow("reportSendedSuccessfully")
            << 3 << "Report sent"
            << "We receive your report. Thank you for feedback" << ok;
        QTest::newRow("authenticationScopesError")
            << 4 << "Error occurred"
            << "Insufficient authentication scopes. Please allow access to Tolvo on your Google "
               "account and press Refresh button"
            << refresh;
        QTest::newRow("expiredToken")
            << 5 << "Error occurred"
            << "Access to your Google Calendar account expired or revoked. Please sign in again to "
               "Tolvo with your Google account by pressing Refresh button"
            << refresh;
        QTest::newRow("emptyInputs")
            << 6 << "Empty inputs"
            << "One of required inputs is empty. Please fill all of them" << ok;
        QTest::newRow("wrongStartDate") << 7 << "Wrong time inputs"
                                        << "Start time cannot be greater then end time" << ok;
        QTest::newRow("equalDates") << 8 << "Wrong time inputs"
                                    << "Start time cannot be equal end time" << ok;
        QTest::newRow("simpleError") << 9 << "Error occurred"
                                     << "Something went wrong" << ok;
        QTest::newRow("calendarSelection") << 10 << "Choose a Local Calendar"
                                           << "To move forward select calendar" << ok;
    }

    void everyCaseHasItsTexts()
    {
        QFETCH(int, index);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QStringList, labels);
        int handled = 0;
        const auto handler = [&handled] { ++handled; };
        const QList<AlertType> alerts {
            AlertType::error(Error::make(ErrorDomain::http, 500, "%1 is not a key: {0}")),
            AlertType::eventCreatedSuccessfully(handler),
            AlertType::eventUpdatedSuccessfully(handler),
            AlertType::reportSendedSuccessfully(handler),
            AlertType::authenticationScopesError(handler),
            AlertType::expiredToken(handler),
            AlertType::emptyInputs(),
            AlertType::wrongStartDate(),
            AlertType::equalDates(),
            AlertType::simpleError(),
            AlertType::calendarSelection(),
        };
        const AlertType &alert = alerts.at(index);
        QCOMPARE(int(alert.kind()), index);
        const AlertSpec spec = alertSpec(alert);
        QCOMPARE(spec.title, title);
        QCOMPARE(spec.message, message);
        QStringList actual;
        for (const auto &button : spec.buttons)
            actual << button.label;
        QCOMPARE(actual, labels);

        // Only the first button of a case with a handler runs it; "Ok" does nothing.
        for (const auto &button : spec.buttons) {
            if (button.action)
                button.action();
        }
        const bool carriesHandler = index >= 1 && index <= 5;
        QCOMPARE(handled, carriesHandler ? 1 : 0);
        if (spec.buttons.size() == 2)
            QVERIFY(!spec.buttons[1].action);
    }

    void itemAnnouncesEverySetAndOnlyRealClears()
    {
        AlertItem item;
        QSignalSpy changed(&item, &AlertItem::changed);
        item.set(AlertType::simpleError());
        item.set(AlertType::simpleError());
        QCOMPARE(changed.count(), 2);
        item.clear();
        item.clear();
        QCOMPARE(changed.count(), 3);
        QVERIFY(!item.isSet());
    }
};

TOLVO_TEST_MAIN(AlertTypeTest)
#include "AlertTypeTest.moc"
