#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include "platform/CrashReporter.h"

#include <QNetworkReply>

using namespace tolvo;
using namespace tolvo::test;

class CrashReporterTest : public QObject
{
    Q_OBJECT

private slots:
    void endpointFromDsn_data()
    {
        QTest::addColumn<QString>("dsn");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("key");
        QTest::addRow("plain") << "https://abc@ingest.example.com/42"
                               << "https://ingest.example.com/api/42/reports/"
                               << "abc";
        QTest::addRow("port and path") << "http://k@127.0.0.1:8080/base/7/"
                                       << "http://127.0.0.1:8080/base/api/7/reports/"
                                       << "k";
        QTest::addRow("empty") << ""
                               << ""
                               << "";
        QTest::addRow("no key") << "https://ingest.example.com/42"
                                << ""
                                << "";
        QTest::addRow("no project") << "https://abc@ingest.example.com/"
                                    << ""
                                    << "";
        QTest::addRow("other scheme") << "ftp://abc@ingest.example.com/42"
                                      << ""
                                      << "";
    }

    void endpointFromDsn()
    {
        QFETCH(QString, dsn);
        QFETCH(QString, url);
        QFETCH(QString, key);
        const auto endpoint = CrashEndpoint::fromDsn(dsn);
        QCOMPARE(endpoint.has_value(), !url.isEmpty());
        if (endpoint) {
            QCOMPARE(endpoint->url.toString(), url);
            QCOMPARE(endpoint->key, key);
        }
    }

    void postsMessagesErrorsAndFeedback()
    {
        FakeReportingServer fake;
        CrashReporter reporter(
            fake.crashDsn(QStringLiteral("k1"), QStringLiteral("5")), QStringLiteral("1.2.3"));
        QVERIFY(reporter.isEnabled());
        const QUuid message = reporter.captureMessage(QStringLiteral("user message"));
        reporter.captureError(Error::http(403, QStringLiteral("Forbidden")));
        reporter.captureFeedback({message, QStringLiteral("Ann"), QStringLiteral("ann@example.com"),
            QStringLiteral("It broke")});
        QTRY_COMPARE(fake.crashReports().size(), 3);
        QVERIFY(fake.problems().isEmpty());

        const auto reports = fake.crashReports();
        QCOMPARE(reports[0].project, QStringLiteral("5"));
        QCOMPARE(reports[0].key, QStringLiteral("k1"));
        QCOMPARE(reports[0].body.value("message").toString(), QStringLiteral("user message"));
        QCOMPARE(reports[0].body.value("event_id").toString(), message.toString(QUuid::Id128));
        QCOMPARE(reports[0].body.value("release").toString(), QStringLiteral("1.2.3"));
        // An error report names the error and nothing more.
        const QJsonObject error = reports[1].body.value("error").toObject();
        QCOMPARE(
            error, (QJsonObject {{"domain", "http"}, {"code", 403}, {"description", "Forbidden"}}));
        QCOMPARE(reports[2].body.value("type").toString(), QStringLiteral("feedback"));
        QCOMPARE(reports[2].body.value("event_id").toString(), message.toString(QUuid::Id128));
        QCOMPARE(reports[2].body.value("comments").toString(), QStringLiteral("It broke"));
    }

    void withoutADsnNothingIsSent()
    {
        CrashReporter reporter(QString(), QStringLiteral("1"));
        QVERIFY(!reporter.isEnabled());
        QVERIFY(!reporter.captureMessage(QStringLiteral("x")).isNull());
        reporter.captureError(Error::http(500, QStringLiteral("Oops")));
        // A capture posts from the event loop: once the queue has run, a send would have made
        // its reply already.
        QCoreApplication::processEvents();
        QVERIFY(reporter.findChildren<QNetworkReply *>().isEmpty());
        // Feedback, which the user waits for, says why it went nowhere.
        const VoidResult sent = QCoro::waitFor(reporter.sendFeedback(QStringLiteral("m"),
            {QUuid(), QStringLiteral("Ann"), QStringLiteral("ann@example.com"),
                QStringLiteral("It broke")}));
        QVERIFY(!sent);
        QVERIFY(sent.error().domain == ErrorDomain::invalidInput);
        QVERIFY(reporter.findChildren<QNetworkReply *>().isEmpty());
    }
};

TOLVO_TEST_MAIN(CrashReporterTest)
#include "CrashReporterTest.moc"
