#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include "platform/AnalyticsClient.h"

#include <QTcpServer>

#include <QJsonArray>

using namespace tolvo;
using namespace tolvo::test;
using namespace std::chrono_literals;

class AnalyticsClientTest : public QObject
{
    Q_OBJECT

private slots:
    void sendsQueuedEventsWithSuperPropertiesOnFlush()
    {
        FakeReportingServer fake;
        AnalyticsClient client(fake.analyticsUrl());
        QSignalSpy flushed(&client, &AnalyticsClient::flushFinished);
        // Tracked before configure: kept until there is a token.
        client.track(QStringLiteral("early"), {});
        client.flush();
        QCoreApplication::processEvents();
        QCOMPARE(flushed.size(), 0);

        client.configure(QStringLiteral("tok"), 60s);
        client.registerSuperProperties({{"app_version", "1.0"}, {"os_version", "Debian 12"}});
        client.track(QStringLiteral("app_launch"), {{"app_version", "own"}, {"n", 1}});
        client.setUserProperties({{"plan", "free"}});
        QTRY_COMPARE(client.queuedCount(), 3);
        QCOMPARE(client.flushInterval(), 60000ms);
        client.flush();
        QTRY_COMPARE(flushed.size(), 1);
        QCOMPARE(flushed.first().first().toBool(), true);
        QCOMPARE(client.queuedCount(), 0);

        QCOMPARE(fake.analyticsBatches().size(), 1);
        const QJsonObject batch = fake.analyticsBatches().first();
        QCOMPARE(batch.value("token").toString(), QStringLiteral("tok"));
        const QJsonArray entries = batch.value("batch").toArray();
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].toObject().value("event").toString(), QStringLiteral("early"));
        QCOMPARE(entries[0].toObject().value("properties").toObject(),
            (QJsonObject {{"app_version", "1.0"}, {"os_version", "Debian 12"}}));
        QCOMPARE(entries[1].toObject().value("properties").toObject(),
            (QJsonObject {{"app_version", "own"}, {"os_version", "Debian 12"}, {"n", 1}}));
        QCOMPARE(entries[2].toObject().value("type").toString(), QStringLiteral("profile"));
        QCOMPARE(
            entries[2].toObject().value("properties").toObject(), (QJsonObject {{"plan", "free"}}));
    }

    void keepsABatchThatDidNotGetThrough_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("kept");
        QTest::addRow("unavailable") << 503 << 1;
        QTest::addRow("rate limited") << 429 << 1;
        QTest::addRow("refused") << 400 << 0;
    }

    void keepsABatchThatDidNotGetThrough()
    {
        QFETCH(int, status);
        QFETCH(int, kept);
        FakeReportingServer fake;
        fake.setAnalyticsStatus(status);
        AnalyticsClient client(fake.analyticsUrl());
        QSignalSpy flushed(&client, &AnalyticsClient::flushFinished);
        client.configure(QStringLiteral("tok"), 60s);
        client.track(QStringLiteral("signIn"), {});
        client.flush();
        QTRY_COMPARE(flushed.size(), 1);
        QCOMPARE(flushed.first().first().toBool(), false);
        QCOMPARE(client.queuedCount(), kept);
    }

    void aStalledSendEndsAtItsDeadlineAndSendingGoesOn()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        int connections = 0;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (silent.hasPendingConnections()) {
                silent.nextPendingConnection();
                ++connections;
            }
        });
        AnalyticsClient client(
            QUrl(QStringLiteral("http://127.0.0.1:%1/track").arg(silent.serverPort())));
        client.setRequestTimeout(std::chrono::milliseconds(200));
        QSignalSpy flushed(&client, &AnalyticsClient::flushFinished);
        client.configure(QStringLiteral("tok"), 60s);
        client.track(QStringLiteral("signIn"), {});
        client.flush();
        QTRY_COMPARE(flushed.size(), 1);
        QCOMPARE(flushed.first().first().toBool(), false);
        QCOMPARE(client.queuedCount(), 1); // kept for the next send
        client.flush();
        QTRY_COMPARE(flushed.size(), 2); // a second send went out: nothing stays "sending"
        QTRY_VERIFY(connections >= 1);
    }

    void withoutATokenNothingIsKeptOrSent()
    {
        FakeReportingServer fake;
        AnalyticsClient client(fake.analyticsUrl());
        client.track(QStringLiteral("launched"), {});
        client.configure(QString(), 60s);
        client.track(QStringLiteral("signIn"), {});
        QCoreApplication::processEvents();
        QCOMPARE(client.queuedCount(), 0);
        client.flushAndWait(1s);
        QVERIFY(fake.analyticsBatches().isEmpty());
    }

    void flushAndWaitSendsBeforeReturning()
    {
        FakeReportingServer fake;
        AnalyticsClient client(fake.analyticsUrl());
        client.configure(QStringLiteral("tok"), 60s);
        client.track(QStringLiteral("signOut"), {});
        QCoreApplication::processEvents();
        client.flushAndWait(5s);
        QCOMPARE(fake.analyticsBatches().size(), 1);
    }
};

TOLVO_TEST_MAIN(AnalyticsClientTest)
#include "AnalyticsClientTest.moc"
