#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>

using namespace tolvo::test;

class FakeReportingServerTest : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager m_network;

    int post(const QUrl &url, const QByteArray &body, const QByteArray &key = {})
    {
        QNetworkRequest request(url);
        request.setHeader(
            QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        if (!key.isEmpty())
            request.setRawHeader("X-Tolvo-Key", key);
        std::unique_ptr<QNetworkReply> reply(m_network.post(request, body));
        QCoro::waitFor(qCoro(reply.get()).waitForFinished());
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }

private slots:
    void recordsEachEndpoint()
    {
        FakeReportingServer fake;
        QCOMPARE(post(fake.analyticsUrl(), R"({"token":"t","batch":[]})"), 200);
        QCOMPARE(fake.analyticsBatches().size(), 1);
        QCOMPARE(fake.analyticsBatches().first().value("token").toString(), QStringLiteral("t"));

        fake.setAnalyticsStatus(503);
        QCOMPARE(post(fake.analyticsUrl(), R"({"token":"t"})"), 503);

        const QUrl reports(
            QStringLiteral("http://127.0.0.1:%1/api/7/reports/").arg(fake.analyticsUrl().port()));
        QCOMPARE(post(reports, R"({"event_id":"e"})", "k"), 200);
        QCOMPARE(fake.crashReports().size(), 1);
        QCOMPARE(fake.crashReports().first().project, QStringLiteral("7"));
        QCOMPARE(fake.crashReports().first().key, QStringLiteral("k"));

        fake.setFeed(R"({"version":"9.0"})");
        std::unique_ptr<QNetworkReply> reply(m_network.get(QNetworkRequest(fake.feedUrl())));
        QCoro::waitFor(qCoro(reply.get()).waitForFinished());
        QCOMPARE(reply->readAll(), QByteArray(R"({"version":"9.0"})"));
        QCOMPARE(fake.feedRequests(), 1);
        QVERIFY(fake.problems().isEmpty());
    }

    void refusesWhatIsNotJsonOrNotAnEndpoint()
    {
        FakeReportingServer fake;
        QCOMPARE(post(fake.analyticsUrl(), "token=t"), 400);
        QCOMPARE(post(QUrl(fake.analyticsUrl().toString() + "/extra"), "{}"), 404);
        QCOMPARE(fake.takeProblems().size(), 2);
        QVERIFY(fake.analyticsBatches().isEmpty());
    }
};

TOLVO_TEST_MAIN(FakeReportingServerTest)
#include "FakeReportingServerTest.moc"
