#include "support/FakeGoogleCalendar.h"
#include "support/TestMain.h"

#include <QCoro/QCoroNetworkReply>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>

using namespace tolvo;
using test::FakeGoogleCalendar;

// The fake itself: what it refuses and what it sends, over raw HTTP.
class FakeGoogleCalendarTest : public QObject
{
    Q_OBJECT

    FakeGoogleCalendar m_google;
    QNetworkAccessManager m_network;

    struct Answer
    {
        int status = 0;
        QJsonObject body;
    };

    Answer call(const QByteArray &method, const QString &path, const QJsonObject &body = {},
        const QByteArray &token = "Bearer good")
    {
        QNetworkRequest request(QUrl(m_google.apiRoot().toString() + path));
        if (!token.isEmpty())
            request.setRawHeader("Authorization", token);
        request.setHeader(
            QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        const QByteArray payload = body.isEmpty() ? QByteArray() : QJsonDocument(body).toJson();
        std::unique_ptr<QNetworkReply> reply(m_network.sendCustomRequest(request, method, payload));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        finished.wait(5000);
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
            QJsonDocument::fromJson(reply->readAll()).object()};
    }

    static QString reason(const Answer &answer)
    {
        return answer.body.value(QStringLiteral("error"))
            .toObject()
            .value(QStringLiteral("errors"))
            .toArray()
            .first()
            .toObject()
            .value(QStringLiteral("reason"))
            .toString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_google.start());
        m_google.acceptAccessToken(QStringLiteral("good"));
        m_google.addCalendar(QStringLiteral("a"), QStringLiteral("A"));
    }

    void refusesWhatGoogleRefuses_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no token") << QByteArray("GET") << "users/me/calendarList" << QByteArray()
                                  << 401 << "authError";
        QTest::newRow("bad token") << QByteArray("GET") << "users/me/calendarList"
                                   << QByteArray("Bearer bad") << 401 << "authError";
        QTest::newRow("unknown sync token")
            << QByteArray("GET") << "calendars/a/events?syncToken=x&showDeleted=true"
            << QByteArray("Bearer good") << 410 << "fullSyncRequired";
        QTest::newRow("token with window")
            << QByteArray("GET") << "calendars/a/events?syncToken=x&timeMin=2025-01-01T00:00:00Z"
            << QByteArray("Bearer good") << 400 << "invalid";
        // Parameters Google refuses beside a sync token, and malformed windows and orders.
        const std::pair<const char *, const char *> refused[] {
            {"token with iCalUID", "syncToken=x&iCalUID=u"},
            {"token with orderBy", "syncToken=x&orderBy=updated"},
            {"token with q", "syncToken=x&q=x"},
            {"token with updatedMin", "syncToken=x&updatedMin=2025-01-01T00:00:00Z"},
            {"token with private property", "syncToken=x&privateExtendedProperty=a%3Db"},
            {"token with shared property", "syncToken=x&sharedExtendedProperty=a%3Db"},
            {"token with timeMax", "syncToken=x&timeMax=2025-01-01T00:00:00Z"},
            {"token without deletions", "syncToken=x&showDeleted=false"},
            {"ordered by start, not single events", "orderBy=startTime"},
            {"window without offset", "timeMin=2025-01-01T00:00:00"},
            {"window of a date", "timeMax=2025-01-01"}};
        for (const auto &[name, query] : refused) {
            QTest::newRow(name) << QByteArray("GET")
                                << QStringLiteral("calendars/a/events?") + QLatin1String(query)
                                << QByteArray("Bearer good") << 400 << "invalid";
        }
        QTest::newRow("ordered single events, window with offsets")
            << QByteArray("GET")
            << "calendars/a/events?singleEvents=true&orderBy=startTime"
               "&timeMin=2025-01-01T00:00:00%2B05:30&timeMax=2025-01-02T00:00:00.000Z"
            << QByteArray("Bearer good") << 200 << "";
        QTest::newRow("unknown calendar") << QByteArray("GET") << "calendars/b/events"
                                          << QByteArray("Bearer good") << 404 << "notFound";
        QTest::newRow("unknown channel") << QByteArray("POST") << "channels/stop"
                                         << QByteArray("Bearer good") << 404 << "notFound";
    }
    void refusesWhatGoogleRefuses()
    {
        QFETCH(QByteArray, method);
        QFETCH(QString, path);
        QFETCH(QByteArray, token);
        QFETCH(int, status);
        QFETCH(QString, reason);
        const Answer answer = call(method, path, {}, token);
        QCOMPARE(answer.status, status);
        QCOMPARE(FakeGoogleCalendarTest::reason(answer), reason);
    }

    void incrementalAnswersCarryCancelledStubs()
    {
        const QJsonObject kept = m_google.addEvent(QStringLiteral("a"), {{"summary", "Kept"}});
        const QJsonObject gone = m_google.addEvent(QStringLiteral("a"), {{"summary", "Gone"}});
        const Answer full = call("GET", QStringLiteral("calendars/a/events?showDeleted=true"));
        QCOMPARE(full.status, 200);
        const QString token = full.body.value(QStringLiteral("nextSyncToken")).toString();
        QVERIFY(!token.isEmpty());

        m_google.deleteEvent(QStringLiteral("a"), gone.value(QStringLiteral("id")).toString());
        const Answer changes
            = call("GET", QStringLiteral("calendars/a/events?showDeleted=true&syncToken=") + token);
        const QJsonArray items = changes.body.value(QStringLiteral("items")).toArray();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().toObject(),
            (QJsonObject {{"id", gone.value(QStringLiteral("id"))}, {"status", "cancelled"}}));
        QVERIFY(!kept.isEmpty());
    }

    void channelsNotifyTheirAddress()
    {
        QHttpServer relay;
        const quint16 port = relay.listen(QHostAddress::LocalHost, 0);
        QList<QPair<QByteArray, QByteArray>> headers;
        relay.route(
            QStringLiteral("/notification-handler"), [&headers](const QHttpServerRequest &request) {
                headers.append({request.value("X-Goog-Resource-State"),
                    request.value("X-Goog-Channel-Token")});
                return QString();
            });
        // Google posts only to https; the fake delivers that over plain HTTP to loopback.
        QJsonObject body {{"id", "CH-1"}, {"type", "web_hook"},
            {"address", QStringLiteral("http://127.0.0.1:%1/notification-handler").arg(port)},
            {"token", "tok"}};
        const Answer plain = call("POST", QStringLiteral("calendars/a/events/watch"), body);
        QCOMPARE(plain.status, 400);
        QCOMPARE(reason(plain), QStringLiteral("push.webhookUrlNotHttps"));
        body.insert(QStringLiteral("address"),
            QStringLiteral("https://127.0.0.1:%1/notification-handler").arg(port));
        const Answer created = call("POST", QStringLiteral("calendars/a/events/watch"), body);
        QCOMPARE(created.status, 200);
        QVERIFY(created.body.value(QStringLiteral("expiration")).isString());
        QTRY_COMPARE(headers.size(), 1);
        QCOMPARE(headers.first(), (QPair<QByteArray, QByteArray>("sync", "tok")));

        QCOMPARE(
            call("POST", QStringLiteral("calendars/a/events/watch"), body).status, 400); // same id
        m_google.addEvent(QStringLiteral("a"), {{"summary", "Elsewhere"}});
        QTRY_COMPARE(headers.size(), 2);
        QCOMPARE(headers.last().first, QByteArray("exists"));

        const QJsonObject stop {
            {"id", "CH-1"}, {"resourceId", created.body.value(QStringLiteral("resourceId"))}};
        QCOMPARE(call("POST", QStringLiteral("channels/stop"), stop).status, 204);
        const int sent = m_google.notificationsSent();
        m_google.addEvent(QStringLiteral("a"), {{"summary", "After stop"}});
        // A notification is posted, if at all, while the change is made.
        QCOMPARE(m_google.notificationsSent(), sent);
        QCOMPARE(headers.size(), 2);
    }

    void writesFollowGoogleRules()
    {
        const QJsonObject empty {{"start", QJsonObject {{"date", "2025-05-10"}}},
            {"end", QJsonObject {{"date", "2025-05-10"}}}};
        const Answer rejected = call("POST", QStringLiteral("calendars/a/events"), empty);
        QCOMPARE(rejected.status, 400);
        QCOMPARE(reason(rejected), QStringLiteral("timeRangeEmpty"));

        QJsonObject meeting {{"summary", "Meet"},
            {"start", QJsonObject {{"dateTime", "2025-05-10T09:00:00Z"}}},
            {"end", QJsonObject {{"dateTime", "2025-05-10T10:00:00Z"}}},
            {"conferenceData", QJsonObject {{"createRequest", QJsonObject {{"requestId", "R"}}}}}};
        const Answer withoutVersion = call("POST", QStringLiteral("calendars/a/events"), meeting);
        QVERIFY(!withoutVersion.body.contains(QStringLiteral("hangoutLink")));
        const Answer withVersion
            = call("POST", QStringLiteral("calendars/a/events?conferenceDataVersion=1"), meeting);
        QVERIFY(withVersion.body.value(QStringLiteral("hangoutLink"))
                    .toString()
                    .startsWith(QStringLiteral("https://meet.google.com/")));
        QCOMPARE(withVersion.body.value(QStringLiteral("created")),
            withVersion.body.value(QStringLiteral("updated")));

        const QString id = withVersion.body.value(QStringLiteral("id")).toString();
        QCOMPARE(call("DELETE", QStringLiteral("calendars/a/events/") + id).status, 204);
        QCOMPARE(call("DELETE", QStringLiteral("calendars/a/events/") + id).status, 410);
        QCOMPARE(call("DELETE", QStringLiteral("calendars/a/events/nope")).status, 404);
        QCOMPARE(call("PATCH", QStringLiteral("calendars/a/events/nope"), meeting).status, 404);
    }

    void unexpectedRequestsAreNoted()
    {
        QCOMPARE(call("GET", QStringLiteral("calendars/a/acl")).status, 404);
        QVERIFY(m_google.takeUnexpectedRequests().last().contains(QStringLiteral("acl")));
    }
};

TOLVO_TEST_MAIN(FakeGoogleCalendarTest)
#include "FakeGoogleCalendarTest.moc"
