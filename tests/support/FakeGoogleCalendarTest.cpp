#include "support/FakeGoogleCalendar.h"
#include "support/FakeSeriesExpansion.h"
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
        const std::tuple<const char *, const char *, const char *> refused[] {
            {"token with iCalUID", "syncToken=x&iCalUID=u", "invalid"},
            {"token with orderBy", "syncToken=x&orderBy=updated", "invalid"},
            {"token with q", "syncToken=x&q=x", "invalid"},
            {"token with updatedMin", "syncToken=x&updatedMin=2025-01-01T00:00:00Z", "invalid"},
            {"token with private property", "syncToken=x&privateExtendedProperty=a%3Db", "invalid"},
            {"token with shared property", "syncToken=x&sharedExtendedProperty=a%3Db", "invalid"},
            {"token with timeMax", "syncToken=x&timeMax=2025-01-01T00:00:00Z", "invalid"},
            {"token without deletions", "syncToken=x&showDeleted=false", "invalid"},
            {"ordered by start, not single events", "orderBy=startTime", "badRequest"},
            {"window without offset", "timeMin=2025-01-01T00:00:00", "badRequest"},
            {"window of a date", "timeMax=2025-01-01", "badRequest"}};
        for (const auto &[name, query, refusal] : refused) {
            QTest::newRow(name) << QByteArray("GET")
                                << QStringLiteral("calendars/a/events?") + QLatin1String(query)
                                << QByteArray("Bearer good") << 400 << QString::fromLatin1(refusal);
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

    void seriesExpansion_data()
    {
        QTest::addColumn<QDateTime>("first");
        QTest::addColumn<bool>("allDay");
        QTest::addColumn<QStringList>("recurrence");
        QTest::addColumn<QStringList>("keys");
        const QTimeZone berlin("Europe/Berlin");
        const QDateTime wednesday(QDate(2026, 3, 11), QTime(9, 30), berlin); // 08:30Z
        QTest::newRow("weekly, count, across the spring change")
            << wednesday << false << QStringList {"RRULE:FREQ=WEEKLY;COUNT=4"}
            << QStringList {
                   "20260311T083000Z", "20260318T083000Z", "20260325T083000Z", "20260401T073000Z"};
        QTest::newRow("weekly on two days, until a UTC moment")
            << wednesday << false
            << QStringList {"RRULE:FREQ=WEEKLY;BYDAY=WE,FR;UNTIL=20260318T083000Z"}
            << QStringList {"20260311T083000Z", "20260313T083000Z", "20260318T083000Z"};
        QTest::newRow("daily every other day, until a date, one excluded")
            << wednesday << false
            << QStringList {"RRULE:FREQ=DAILY;INTERVAL=2;UNTIL=20260317",
                   "EXDATE;TZID=Europe/Berlin:20260313T093000"}
            << QStringList {"20260311T083000Z", "20260315T083000Z", "20260317T083000Z"};
        QTest::newRow("exclusion in UTC and an added date")
            << wednesday << false
            << QStringList {"RRULE:FREQ=WEEKLY;COUNT=3", "EXDATE:20260318T083000Z",
                   "RDATE;TZID=Europe/Berlin:20260312T140000"}
            << QStringList {"20260311T083000Z", "20260312T130000Z", "20260325T083000Z"};
        QTest::newRow("all-day weekly")
            << QDateTime(QDate(2026, 12, 16), QTime(0, 0), Qt::UTC) << true
            << QStringList {"RRULE:FREQ=WEEKLY;COUNT=2"} << QStringList {"20261216", "20261223"};
        QTest::newRow("an unreadable rule gives nothing")
            << wednesday << false << QStringList {"RRULE:FREQ=SOMETIMES"} << QStringList {};
    }

    void seriesExpansion()
    {
        QFETCH(QDateTime, first);
        QFETCH(bool, allDay);
        QFETCH(QStringList, recurrence);
        QFETCH(QStringList, keys);
        QStringList got;
        const auto occurrences = test::expandSeries(first, allDay, QTimeZone("Europe/Berlin"),
            recurrence, QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::UTC));
        for (const auto &occurrence : occurrences)
            got.append(occurrence.key);
        QCOMPARE(got, keys);
    }

    void seriesAreServedAsGoogleServesThem()
    {
        m_google.addCalendar(QStringLiteral("s"), QStringLiteral("Series"));
        const QJsonObject master
            = m_google.addEvent(QStringLiteral("s"), test::berlinWeeklySeries("weekly", "Sync", 4));
        const QString window
            = QStringLiteral("timeMin=2026-12-01T00:00:00Z&timeMax=2027-01-31T00:00:00Z");
        const auto ids = [](const Answer &answer) {
            QStringList list;
            for (const QJsonValue &item : answer.body.value(QStringLiteral("items")).toArray())
                list.append(item.toObject().value(QStringLiteral("id")).toString());
            return list;
        };
        const Answer instances = call("GET",
            QStringLiteral("calendars/s/events?singleEvents=true&orderBy=startTime&") + window);
        QCOMPARE(ids(instances),
            (QStringList {"weekly_20261216T093000Z", "weekly_20261223T093000Z",
                "weekly_20261230T093000Z", "weekly_20270106T093000Z"}));
        const QJsonObject second
            = instances.body.value(QStringLiteral("items")).toArray().at(1).toObject();
        QCOMPARE(second.value(QStringLiteral("recurringEventId")).toString(), u"weekly");
        QCOMPARE(second.value(QStringLiteral("start")).toObject(),
            (QJsonObject {
                {"dateTime", "2026-12-23T10:30:00+01:00"}, {"timeZone", "Europe/Berlin"}}));
        QCOMPARE(second.value(QStringLiteral("originalStartTime")),
            second.value(QStringLiteral("start")));
        QCOMPARE(second.value(QStringLiteral("end")).toObject().value(QStringLiteral("dateTime")),
            QJsonValue("2026-12-23T11:00:00+01:00"));
        QVERIFY(!second.contains(QStringLiteral("recurrence")));

        // Unexpanded, a series is its master; ordering by start needs expanded series.
        const Answer listing
            = call("GET", QStringLiteral("calendars/s/events?showDeleted=true&") + window);
        QCOMPARE(ids(listing), QStringList {"weekly"});
        QCOMPARE(listing.body.value(QStringLiteral("items")).toArray().first().toObject(), master);
        QCOMPARE(reason(call("GET", QStringLiteral("calendars/s/events?orderBy=startTime"))),
            QStringLiteral("badRequest"));

        // A moved and a deleted instance reach the feed as themselves, not as their master.
        const QString token = listing.body.value(QStringLiteral("nextSyncToken")).toString();
        m_google.modifyEvent(QStringLiteral("s"), QStringLiteral("weekly_20261223T093000Z"),
            {{"start", QJsonObject {{"dateTime", "2026-12-23T14:00:00Z"}}},
                {"end", QJsonObject {{"dateTime", "2026-12-23T14:30:00Z"}}}});
        QCOMPARE(
            call("DELETE", QStringLiteral("calendars/s/events/weekly_20261230T093000Z")).status,
            204);
        QCOMPARE(
            call("GET", QStringLiteral("calendars/s/events/weekly_20270113T093000Z")).status, 404);
        const Answer changes
            = call("GET", QStringLiteral("calendars/s/events?showDeleted=true&syncToken=") + token);
        const QJsonArray changed = changes.body.value(QStringLiteral("items")).toArray();
        QCOMPARE(
            ids(changes), (QStringList {"weekly_20261223T093000Z", "weekly_20261230T093000Z"}));
        QCOMPARE(changed.at(0).toObject().value(QStringLiteral("originalStartTime")),
            second.value(QStringLiteral("originalStartTime")));
        QCOMPARE(changed.at(1).toObject().value(QStringLiteral("status")).toString(), u"cancelled");
        QCOMPARE(changed.at(1).toObject().value(QStringLiteral("recurringEventId")).toString(),
            u"weekly");

        QCOMPARE(ids(call("GET",
                     QStringLiteral("calendars/s/events?singleEvents=true&orderBy=startTime&")
                         + window)),
            (QStringList {
                "weekly_20261216T093000Z", "weekly_20261223T093000Z", "weekly_20270106T093000Z"}));
        m_google.deleteEvent(QStringLiteral("s"), QStringLiteral("weekly"));
        QVERIFY(ids(call("GET", QStringLiteral("calendars/s/events?singleEvents=true&") + window))
                    .isEmpty());
    }

    void heldRequestsAnswerWhenReleased()
    {
        m_google.hold(QStringLiteral("calendarList"));
        QNetworkRequest request(QUrl(m_google.apiRoot().toString() + "users/me/calendarList"));
        request.setRawHeader("Authorization", "Bearer good");
        std::unique_ptr<QNetworkReply> reply(m_network.get(request));
        QTRY_COMPARE(m_google.heldCount(), 1);
        QVERIFY(!reply->isFinished());
        QCOMPARE(call("GET", QStringLiteral("calendars/a/events")).status, 200); // others flow
        m_google.releaseHeld();
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(m_google.heldCount(), 0);
    }

    void patchesMergeNestedObjectsAsGoogleDoes()
    {
        const QJsonObject addOn {
            {"conferenceSolution", QJsonObject {{"key", QJsonObject {{"type", "addOn"}}}}},
            {"entryPoints",
                QJsonArray {
                    QJsonObject {{"entryPointType", "video"}, {"uri", "https://x.example/1"}}}}};
        const QString id = m_google
                               .addEvent(QStringLiteral("a"),
                                   {{"summary", "Sync"},
                                       {"start",
                                           QJsonObject {{"dateTime", "2025-05-10T09:00:00Z"},
                                               {"timeZone", "UTC"}}},
                                       {"end", QJsonObject {{"dateTime", "2025-05-10T10:00:00Z"}}},
                                       {"conferenceData", addOn}})
                               .value(QStringLiteral("id"))
                               .toString();
        const QString path = QStringLiteral("calendars/a/events/") + id;
        const QString versioned = path + QStringLiteral("?conferenceDataVersion=1");

        // A day beside the stored moment would leave both in "start": refused, nothing kept.
        const Answer mixed = call("PATCH", path, {{"start", QJsonObject {{"date", "2025-05-10"}}}});
        QCOMPARE(mixed.status, 400);
        QCOMPARE(mixed.body.value("error").toObject().value("message").toString(),
            QStringLiteral("Invalid start time."));
        QCOMPARE(
            m_google.event(QStringLiteral("a"), id).value("start").toObject().value("dateTime"),
            QJsonValue("2025-05-10T09:00:00Z"));

        // Null removes a key, the rest of a nested object stays; the conference is untouched.
        const Answer allDay = call("PATCH", versioned,
            {{"start", QJsonObject {{"date", "2025-05-10"}, {"dateTime", QJsonValue::Null}}},
                {"end", QJsonObject {{"date", "2025-05-11"}, {"dateTime", QJsonValue::Null}}}});
        QCOMPARE(allDay.status, 200);
        QCOMPARE(allDay.body.value("start").toObject(),
            (QJsonObject {{"date", "2025-05-10"}, {"timeZone", "UTC"}}));
        QCOMPARE(allDay.body.value("conferenceData").toObject(), addOn);

        // A conference without a way in is refused; null removes it.
        const Answer emptied = call(
            "PATCH", versioned, {{"conferenceData", QJsonObject {{"entryPoints", QJsonArray()}}}});
        QCOMPARE(emptied.status, 400);
        QCOMPARE(call("PATCH", versioned, {{"conferenceData", QJsonValue::Null}})
                     .body.contains(QStringLiteral("conferenceData")),
            false);
    }

    void unexpectedRequestsAreNoted()
    {
        QCOMPARE(call("GET", QStringLiteral("calendars/a/acl")).status, 404);
        QVERIFY(m_google.takeUnexpectedRequests().last().contains(QStringLiteral("acl")));
    }
};

TOLVO_TEST_MAIN(FakeGoogleCalendarTest)
#include "FakeGoogleCalendarTest.moc"
