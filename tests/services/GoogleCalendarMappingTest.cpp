#include "services/GoogleCalendarMapping.h"
#include "core/DateHelpers.h"
#include "platform/GoogleRestClient.h"
#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>

using namespace tolvo;

namespace {
QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(QByteArray(text)).object();
}
const QTimeZone berlin("Europe/Berlin");
} // namespace

class GoogleCalendarMappingTest : public QObject
{
    Q_OBJECT

private slots:
    void calendarEntries()
    {
        const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        const auto full = google::calendarFromResource(
            json("{\"id\":\"a@group\",\"summary\":\"Work\",\"backgroundColor\":\"#ac725e\","
                 "\"accessRole\":\"owner\"}"),
            now);
        QCOMPARE(full.id, QStringLiteral("a@group"));
        QCOMPARE(full.summary, std::optional<QString>("Work"));
        QCOMPARE(full.backgroundColor, std::optional<QString>("#ac725e"));
        QCOMPARE(full.accessRole, std::optional<QString>("owner"));
        QVERIFY(full.isSelected);
        QCOMPARE(full.createdDate, now);
        const auto bare = google::calendarFromResource(json(R"({"id":"b"})"), now);
        QCOMPARE(bare.summary, std::optional<QString>(""));
        QCOMPARE(bare.backgroundColor, std::optional<QString>(""));
        QVERIFY(!bare.accessRole);
    }

    void eventMapping_data()
    {
        QTest::addColumn<QByteArray>("resource");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint64>("reminder");
        QTest::addColumn<bool>("allDay");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<bool>("hasSummary");
        const auto utc = [](int y, int m, int d, int h, int min, int s = 0, int ms = 0) {
            return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), Qt::UTC);
        };
        QTest::newRow("timed with offset and fractions") << QByteArray(
            R"({"id":"e","status":"confirmed","summary":"S","start":{"dateTime":"2025-03-03T10:00:00.250+01:00"},"end":{"dateTime":"2025-03-03T11:00:00Z"},"reminders":{"useDefault":false,"overrides":[{"method":"popup","minutes":10},{"method":"email","minutes":60}]}})")
                                                         << "Europe/Berlin"
                                                         << int(GoogleCalendarEventStatus::
                                                                    confirmed)
                                                         << qint64(10) << false
                                                         << utc(2025, 3, 3, 9, 0, 0, 250)
                                                         << utc(2025, 3, 3, 11, 0) << true;
        QTest::newRow("cancelled, empty overrides")
            << QByteArray(R"({"id":"e","status":"cancelled","reminders":{"overrides":[]}})")
            << "Europe/Berlin" << int(GoogleCalendarEventStatus::cancelled) << qint64(30) << false
            << QDateTime() << QDateTime() << false;
        QTest::newRow("reminder beyond four weeks") << QByteArray(
            R"({"id":"e","status":"confirmed","reminders":{"overrides":[{"minutes":1e18}]}})")
                                                    << "UTC"
                                                    << int(GoogleCalendarEventStatus::confirmed)
                                                    << qint64(40320) << false << QDateTime()
                                                    << QDateTime() << false;
        QTest::newRow("unknown status") << QByteArray(R"({"id":"e","status":"Confirmed"})") << "UTC"
                                        << int(GoogleCalendarEventStatus::tentative) << qint64(30)
                                        << false << QDateTime() << QDateTime() << false;
        QTest::newRow("no status")
            << QByteArray(R"({"id":"e"})") << "UTC" << int(GoogleCalendarEventStatus::tentative)
            << qint64(30) << false << QDateTime() << QDateTime() << false;
        QTest::newRow("all day in Berlin")
            << QByteArray(R"({"id":"e","start":{"date":"2024-05-10"},"end":{"date":"2024-05-11"}})")
            << "Europe/Berlin" << int(GoogleCalendarEventStatus::tentative) << qint64(30) << true
            << utc(2024, 5, 9, 22, 0) << utc(2024, 5, 10, 22, 0) << false;
        // Far east of UTC the date must still be its own local day.
        QTest::newRow("all day in Auckland")
            << QByteArray(R"({"id":"e","start":{"date":"2024-05-10"},"end":{"date":"2024-05-11"}})")
            << "Pacific/Auckland" << int(GoogleCalendarEventStatus::tentative) << qint64(30) << true
            << utc(2024, 5, 9, 12, 0) << utc(2024, 5, 10, 12, 0) << false;
        QTest::newRow("all day in Kiritimati (UTC+14)")
            << QByteArray(R"({"id":"e","start":{"date":"2024-05-10"},"end":{"date":"2024-05-11"}})")
            << "Pacific/Kiritimati" << int(GoogleCalendarEventStatus::tentative) << qint64(30)
            << true << utc(2024, 5, 9, 10, 0) << utc(2024, 5, 10, 10, 0) << false;
        // A time without an offset is the calendar's wall time, not the machine's.
        QTest::newRow("timed without offset in New York") << QByteArray(
            R"({"id":"e","start":{"dateTime":"2025-03-03T09:00:00"},"end":{"dateTime":"2025-03-03T09:30:00"}})")
                                                          << "America/New_York"
                                                          << int(GoogleCalendarEventStatus::
                                                                     tentative)
                                                          << qint64(30) << false
                                                          << utc(2025, 3, 3, 14, 0)
                                                          << utc(2025, 3, 3, 14, 30) << false;
        QTest::newRow("timed start, date end") << QByteArray(
            R"({"id":"e","start":{"dateTime":"2024-05-10T08:00:00Z"},"end":{"date":"2024-05-11"}})")
                                               << "UTC" << int(GoogleCalendarEventStatus::tentative)
                                               << qint64(30) << false << utc(2024, 5, 10, 8, 0)
                                               << utc(2024, 5, 11, 0, 0) << false;
    }
    void eventMapping()
    {
        QFETCH(QByteArray, resource);
        QFETCH(QString, zone);
        QFETCH(int, status);
        QFETCH(qint64, reminder);
        QFETCH(bool, allDay);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(bool, hasSummary);
        const auto event = google::eventFromResource(
            QJsonDocument::fromJson(resource).object(), QTimeZone(zone.toUtf8()));
        QCOMPARE(event.id, QStringLiteral("e"));
        QCOMPARE(int(*event.status), status);
        QCOMPARE(event.reminderMinutes, reminder);
        QCOMPARE(event.isAllDay, allDay);
        QCOMPARE(event.start.value_or(QDateTime()), start);
        QCOMPARE(event.end.value_or(QDateTime()), end);
        QCOMPARE(event.summary.has_value(), hasSummary);
    }

    void seriesFieldsAreRead()
    {
        const auto master = google::eventFromResource(json(R"({"id":"s","recurrence":
            ["RRULE:FREQ=WEEKLY;BYDAY=WE","EXDATE;TZID=Europe/Berlin:20261223T093000"],
            "start":{"dateTime":"2026-12-16T09:30:00+01:00","timeZone":"Europe/Berlin"},
            "end":{"dateTime":"2026-12-16T10:00:00+01:00","timeZone":"Europe/Berlin"}})"),
            berlin);
        QVERIFY(master.isSeriesMaster());
        QCOMPARE(master.recurrence.size(), 2);
        QCOMPARE(master.startTimeZone, std::optional<QString>(QStringLiteral("Europe/Berlin")));
        QVERIFY(!master.isInstance());

        const auto instance = google::eventFromResource(json(R"({"id":"s_20261230T083000Z",
            "recurringEventId":"s","originalStartTime":{"dateTime":"2026-12-30T09:30:00+01:00"},
            "start":{"dateTime":"2026-12-30T11:00:00+01:00"}})"),
            berlin);
        QVERIFY(instance.isInstance() && !instance.isSeriesMaster());
        QCOMPARE(instance.recurringEventId, std::optional<QString>(QStringLiteral("s")));
        QCOMPARE(instance.originalStartTime,
            std::optional<QDateTime>(QDateTime(QDate(2026, 12, 30), QTime(8, 30), Qt::UTC)));

        // A cancelled instance in the change feed carries little more than its keys.
        const auto cancelled = google::eventFromResource(json(R"({"id":"s_20270106",
            "status":"cancelled","recurringEventId":"s","originalStartTime":{"date":"2027-01-06"}})"),
            berlin);
        QVERIFY(cancelled.isInstance());
        QCOMPARE(cancelled.originalStartTime,
            std::optional<QDateTime>(QDateTime(QDate(2027, 1, 6), QTime(0, 0), berlin)));
        QVERIFY(!google::eventFromResource(json(R"({"id":"e","recurrence":[]})"), berlin)
                     .isSeriesMaster());
    }

    void createdAndUpdatedDropFractions()
    {
        const auto event = google::eventFromResource(
            json(
                R"({"id":"e","created":"2025-03-01T08:00:00.120Z","updated":"2025-03-01T08:00:00.980Z"})"),
            berlin);
        QVERIFY(event.created);
        QCOMPARE(event.created, event.updated);
        QVERIFY(!google::eventFromResource(json(R"({"id":"e"})"), berlin).created);
    }

    void dayWindowFollowsEachDaysOffset()
    {
        // 30 March 2025 switches Berlin from +01:00 to +02:00 during the day.
        const QUrlQuery query
            = google::dayWindowQuery(QDateTime(QDate(2025, 3, 30), QTime(12, 0), berlin),
                QDateTime(QDate(2025, 3, 30), QTime(12, 0), berlin), berlin);
        QCOMPARE(query.queryItemValue(QStringLiteral("timeMin")),
            QStringLiteral("2025-03-30T00:00:00+01:00"));
        QCOMPARE(query.queryItemValue(QStringLiteral("timeMax")),
            QStringLiteral("2025-03-30T23:59:59+02:00"));
    }

    void watchBodyAndAnswer()
    {
        const QJsonObject body = google::watchBody(QStringLiteral("ABC-1"), QStringLiteral("cal@x"),
            QUrl(QStringLiteral("https://relay.example/")));
        QCOMPARE(body.keys(), (QStringList {"address", "id", "token", "type"}));
        QCOMPARE(body.value(QStringLiteral("address")).toString(),
            QStringLiteral("https://relay.example/notification-handler"));
        QCOMPARE(body.value(QStringLiteral("type")).toString(), QStringLiteral("web_hook"));
        QCOMPARE(
            body.value(QStringLiteral("token")).toString(), sha256Hex(QStringLiteral("cal@x")));

        const auto asString = google::channelFromWatchAnswer(QStringLiteral("cal@x"),
            json(R"({"id":"ABC-1","resourceId":"r1","expiration":"1426325213000"})"));
        QVERIFY(asString);
        QCOMPARE(asString->expiration, 1426325213000.0);
        QCOMPARE(asString->channelId, QStringLiteral("ABC-1"));
        QCOMPARE(asString->calendarId, QStringLiteral("cal@x"));
        const auto asNumber = google::channelFromWatchAnswer(
            QStringLiteral("c"), json(R"({"id":"i","resourceId":"r","expiration":1426325213000})"));
        QCOMPARE(asNumber->expiration, 1426325213000.0);
        QVERIFY(!google::channelFromWatchAnswer(
            QStringLiteral("c"), json(R"({"id":"i","resourceId":"r"})")));
        QVERIFY(!google::channelFromWatchAnswer(
            QStringLiteral("c"), json(R"({"resourceId":"r","expiration":"1"})")));
        QVERIFY(!google::channelFromWatchAnswer(
            QStringLiteral("c"), json(R"({"id":"i","resourceId":"r","expiration":"soon"})")));
    }

    void writeBodies_data()
    {
        QTest::addColumn<bool>("update");
        QTest::addColumn<bool>("meet");
        QTest::addColumn<bool>("hadMeet"); // when the form opened
        QTest::addColumn<bool>("hasMeet"); // at Google, just before the update
        QTest::addColumn<bool>("allDay");
        QTest::addColumn<QString>("conference"); // "", "create", "remove"
        QTest::addColumn<bool>("version");
        QTest::newRow("create, meet, timed")
            << false << true << false << false << false << "create" << true;
        QTest::newRow("create, meet, all day")
            << false << true << false << false << true << "create" << true;
        QTest::newRow("create, timed") << false << false << false << false << false << "" << false;
        QTest::newRow("create, all day") << false << false << false << false << true << "" << false;
        QTest::newRow("update, meet turned on")
            << true << true << false << false << false << "create" << true;
        QTest::newRow("update, meet turned on, one there by now")
            << true << true << false << true << false << "" << false;
        QTest::newRow("update, meet kept") << true << true << true << true << false << "" << false;
        QTest::newRow("update, meet turned on, all day")
            << true << true << false << false << true << "create" << true;
        QTest::newRow("update, meet turned off")
            << true << false << true << true << false << "remove" << true;
        QTest::newRow("update, never a meet, timed")
            << true << false << false << false << false << "" << false;
        QTest::newRow("update, never a meet, all day")
            << true << false << false << false << true << "" << false;
    }
    void writeBodies()
    {
        QFETCH(bool, update);
        QFETCH(bool, meet);
        QFETCH(bool, hadMeet);
        QFETCH(bool, hasMeet);
        QFETCH(bool, allDay);
        QFETCH(QString, conference);
        QFETCH(bool, version);
        CalendarEventRequest request;
        request.title = QStringLiteral("Review");
        request.startDate = QDateTime(QDate(2025, 7, 10), QTime(0, 0), berlin);
        request.endDate
            = allDay ? request.startDate : QDateTime(QDate(2025, 7, 10), QTime(10, 30), berlin);
        if (!allDay)
            request.startDate = QDateTime(QDate(2025, 7, 10), QTime(9, 30), berlin);
        request.reminderTime = 15;
        request.shouldCreateGoogleMeet = meet;
        request.hadGoogleMeet = hadMeet;
        request.isAllDay = allDay;
        request.location = QStringLiteral("Room 4");
        request.eventId = QStringLiteral("e1");
        const auto write = google::eventWrite(request,
            update ? google::WriteKind::update : google::WriteKind::create, hasMeet, berlin);
        const QJsonObject &body = write.body;
        QCOMPARE(write.conferenceDataVersion, version);
        QCOMPARE(body.value(QStringLiteral("summary")).toString(), QStringLiteral("Review"));
        QVERIFY(!body.contains(QStringLiteral("description")));
        // Only an edit carries the place; a new event is made without one.
        QCOMPARE(body.contains(QStringLiteral("location")), update);
        if (update)
            QCOMPARE(body.value(QStringLiteral("location")).toString(), QStringLiteral("Room 4"));
        const QJsonObject start = body.value(QStringLiteral("start")).toObject();
        const QJsonObject end = body.value(QStringLiteral("end")).toObject();
        // An update clears the other form, as Google merges a patched boundary into the
        // stored one (an event switched between all-day and timed would hold both).
        QJsonObject startWanted;
        QJsonObject endWanted;
        if (allDay) {
            // Winter or summer, the date is the chosen local day; the end is exclusive.
            startWanted = {{"date", "2025-07-10"}};
            endWanted = {{"date", "2025-07-11"}};
        } else {
            startWanted = {{"dateTime", "2025-07-10T09:30:00+02:00"}};
            endWanted = {{"dateTime", "2025-07-10T10:30:00+02:00"}};
        }
        if (update) {
            const QString other = allDay ? QStringLiteral("dateTime") : QStringLiteral("date");
            startWanted.insert(other, QJsonValue::Null);
            endWanted.insert(other, QJsonValue::Null);
        }
        QCOMPARE(start, startWanted);
        QCOMPARE(end, endWanted);
        const QJsonObject reminders = body.value(QStringLiteral("reminders")).toObject();
        QCOMPARE(reminders.value(QStringLiteral("useDefault")).toBool(true), false);
        QCOMPARE(reminders.value(QStringLiteral("overrides")).toArray(),
            (QJsonArray {QJsonObject {{"method", "email"}, {"minutes", 15}}}));
        const QJsonObject data = body.value(QStringLiteral("conferenceData")).toObject();
        if (conference.isEmpty()) {
            QVERIFY(!body.contains(QStringLiteral("conferenceData")));
        } else if (conference == u"remove") {
            QVERIFY(body.value(QStringLiteral("conferenceData")).isNull());
        } else {
            const QJsonObject create = data.value(QStringLiteral("createRequest")).toObject();
            const QString requestId = create.value(QStringLiteral("requestId")).toString();
            QCOMPARE(requestId.size(), 36);
            QCOMPARE(requestId, requestId.toUpper());
            QCOMPARE(create.value(QStringLiteral("conferenceSolutionKey")).toObject(),
                (QJsonObject {{"type", "hangoutsMeet"}}));
        }
    }

    void freshRequestIdEveryTime()
    {
        CalendarEventRequest request;
        request.startDate = QDateTime(QDate(2025, 1, 1), QTime(9, 0), Qt::UTC);
        request.endDate = request.startDate.addSecs(3600);
        request.shouldCreateGoogleMeet = true;
        const auto id = [&] {
            return google::eventWrite(request, google::WriteKind::create, false, berlin)
                .body.value(QStringLiteral("conferenceData"))
                .toObject()
                .value(QStringLiteral("createRequest"))
                .toObject()
                .value(QStringLiteral("requestId"))
                .toString();
        };
        QVERIFY(id() != id());
    }

    void googleErrors_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("reason");
        const auto body = [](int code, const char *reason) {
            return QStringLiteral(
                R"({"error":{"code":%1,"message":"m","errors":[{"domain":"global","reason":"%2","message":"m"}]}})")
                .arg(code)
                .arg(QLatin1String(reason))
                .toUtf8();
        };
        QTest::newRow("401") << 401 << body(401, "authError") << 401 << "authError";
        QTest::newRow("403 scopes")
            << 403 << body(403, "insufficientPermissions") << 403 << "insufficientPermissions";
        QTest::newRow("403 rate") << 403 << body(403, "rateLimitExceeded") << 429
                                  << "rateLimitExceeded";
        QTest::newRow("403 user rate")
            << 403 << body(403, "userRateLimitExceeded") << 429 << "userRateLimitExceeded";
        QTest::newRow("404") << 404 << body(404, "notFound") << 404 << "notFound";
        QTest::newRow("410") << 410 << body(410, "fullSyncRequired") << 410 << "fullSyncRequired";
        QTest::newRow("not json") << 502 << QByteArray("<html>bad gateway</html>") << 502 << "";
    }
    void googleErrors()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        QFETCH(QString, reason);
        const Error error = googleErrorFromResponse(status, body);
        QVERIFY(error.domain == ErrorDomain::http);
        QCOMPARE(error.code, code);
        QCOMPARE(error.reason, reason);
        QVERIFY(!error.message.isEmpty());
    }
};

TOLVO_TEST_MAIN(GoogleCalendarMappingTest)
#include "GoogleCalendarMappingTest.moc"
