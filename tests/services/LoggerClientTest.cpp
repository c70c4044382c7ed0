#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include "platform/CrashReporter.h"
#include "services/LoggerClient.h"

using namespace tolvo;
using namespace tolvo::test;

class LoggerClientTest : public QObject
{
    Q_OBJECT

private slots:
    void recordsOnlyErrorsWithTheirPrefix_data()
    {
        QTest::addColumn<LogLevel>("level");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("recorded");
        QTest::addRow("info") << LogLevel::info << "fetched 3 calendars" << QStringList();
        QTest::addRow("warning") << LogLevel::warning << "slow answer" << QStringList();
        QTest::addRow("error") << LogLevel::error << "Watch failed"
                               << QStringList {"[ERROR] Watch failed"};
        QTest::addRow("error, spaces kept") << LogLevel::error << " two  spaces \n"
                                            << QStringList {"[ERROR]  two  spaces \n"};
        QTest::addRow("error, empty") << LogLevel::error << "" << QStringList {"[ERROR] "};
    }

    void recordsOnlyErrorsWithTheirPrefix()
    {
        QFETCH(LogLevel, level);
        QFETCH(QString, message);
        QFETCH(QStringList, recorded);
        const auto recorder = std::make_shared<LogRecorder>();
        LoggerClient::recording(recorder).log(message, level);
        QCOMPARE(recorder->messages(), recorded);
        QVERIFY(recorder->errors().isEmpty());
    }

    void errorsGoToTheErrorCapture()
    {
        const auto recorder = std::make_shared<LogRecorder>();
        const Error error
            = Error::make(ErrorDomain::oauth, Error::oauthInvalidGrant, "invalid_grant");
        LoggerClient::recording(recorder).logError(error);
        QCOMPARE(recorder->errors(), QList<Error> {error});
        QVERIFY(recorder->messages().isEmpty());
    }

    // The live value reaches the process's crash reporter once it is started.
    void liveValueReportsThroughTheCrashReporter()
    {
        FakeReportingServer fake;
        const LoggerClient logger = LoggerClient::liveValue();
        logger.log(QStringLiteral("before start"), LogLevel::error); // goes nowhere
        CrashReporter::start(fake.crashDsn(), QStringLiteral("1.0"));
        logger.log(QStringLiteral("ignored"), LogLevel::info);
        logger.log(QStringLiteral("sync ended"), LogLevel::error);
        logger.logError(Error::http(404, QStringLiteral("Not Found")));
        QTRY_COMPARE(fake.crashReports().size(), 2);
        QCOMPARE(fake.crashReports()[0].body.value("message").toString(),
            QStringLiteral("[ERROR] sync ended"));
        QCOMPARE(fake.crashReports()[1].body.value("error").toObject().value("code").toInt(), 404);
    }
};

TOLVO_TEST_MAIN(LoggerClientTest)
#include "LoggerClientTest.moc"
