#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include "core/LogCategories.h"
#include "platform/CrashReporter.h"
#include "services/LoggerClient.h"

using namespace tolvo;
using namespace tolvo::test;

namespace {
struct Line
{
    QString category;
    QtMsgType type;
    QString text;
};
QList<Line> captured;
void capture(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    captured.append(Line {QString::fromLatin1(context.category), type, text});
}
} // namespace

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

    // Nothing new is printed by default: debug lines, and the logger's lower levels, wait for
    // a logging rule.
    void categoriesAreQuietUntilAsked_data()
    {
        QTest::addColumn<QString>("category");
        QTest::addColumn<bool>("debug");
        QTest::addColumn<bool>("info");
        QTest::addColumn<bool>("warning");
        QTest::addRow("sync") << lcSync().categoryName() << false << true << true;
        QTest::addRow("store") << lcStore().categoryName() << false << true << true;
        QTest::addRow("db") << lcDb().categoryName() << false << true << true;
        QTest::addRow("session") << lcSession().categoryName() << false << true << true;
        QTest::addRow("instance") << lcInstance().categoryName() << false << true << true;
        QTest::addRow("logger") << lcLog().categoryName() << false << false << false;
    }

    void categoriesAreQuietUntilAsked()
    {
        QFETCH(QString, category);
        QFETCH(bool, debug);
        QFETCH(bool, info);
        QFETCH(bool, warning);
        QVERIFY(category.startsWith(QStringLiteral("tolvo.")));
        const QList<const QLoggingCategory *> all {
            &lcSync(), &lcStore(), &lcDb(), &lcSession(), &lcInstance(), &lcLog()};
        for (const QLoggingCategory *each : all) {
            if (QLatin1String(each->categoryName()) != category)
                continue;
            QCOMPARE(each->isDebugEnabled(), debug);
            QCOMPARE(each->isInfoEnabled(), info);
            QCOMPARE(each->isWarningEnabled(), warning);
            QVERIFY(each->isCriticalEnabled());
        }
    }

    // Asked for, the logger's info and warning lines show under "tolvo.log"; errors still go
    // to the reporter only.
    void lowerLevelsShowWhenAskedFor()
    {
        QLoggingCategory::setFilterRules(
            QStringLiteral("tolvo.log.info=true\ntolvo.log.warning=true"));
        captured.clear();
        const QtMessageHandler previous = qInstallMessageHandler(capture);
        const auto recorder = std::make_shared<LogRecorder>();
        const LoggerClient logger = LoggerClient::recording(recorder);
        logger.log(QStringLiteral("stoped channel c-1"), LogLevel::info);
        logger.log(QStringLiteral("slow answer"), LogLevel::warning);
        logger.log(QStringLiteral("Watch failed"), LogLevel::error);
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        QCOMPARE(captured.size(), 2);
        QCOMPARE(captured[0].category, QStringLiteral("tolvo.log"));
        QCOMPARE(captured[0].type, QtInfoMsg);
        QCOMPARE(captured[0].text, QStringLiteral("stoped channel c-1"));
        QCOMPARE(captured[1].type, QtWarningMsg);
        QCOMPARE(recorder->messages(), QStringList {QStringLiteral("[ERROR] Watch failed")});
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
