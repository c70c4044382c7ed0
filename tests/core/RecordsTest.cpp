#include "core/CalendarChanges.h"
#include "core/CalendarEvent.h"
#include "core/GoogleCalendar.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"
#include "core/SyncRecords.h"
#include "support/TestMain.h"

#include <QJsonDocument>

#include <cmath>
#include <limits>

using namespace tolvo;

namespace {
GoogleCalendarEvent sampleEvent()
{
    GoogleCalendarEvent event;
    event.id = QStringLiteral("evt1");
    event.created = dateComponents(QDateTime(QDate(2025, 3, 1), QTime(8, 0, 0, 450), Qt::UTC));
    event.updated = event.created;
    event.start = QDateTime(QDate(2025, 3, 3), QTime(10, 0), Qt::UTC);
    event.end = QDateTime(QDate(2025, 3, 3), QTime(11, 0), Qt::UTC);
    event.summary = QStringLiteral("Standup");
    event.status = GoogleCalendarEventStatus::confirmed;
    event.reminderMinutes = 10;
    return event;
}

// What a record decoded from `json` holds as its identity, and the identifier it writes back.
struct DecodedIdentity
{
    QUuid identifier;
    QString id;
    QString written;
};

template<typename Record> std::optional<DecodedIdentity> decodedIdentity(const QJsonObject &json)
{
    const auto decoded = Record::fromJson(json);
    if (!decoded)
        return std::nullopt;
    return DecodedIdentity {decoded->identifier, decoded->id,
        decoded->toJson().value(QStringLiteral("identifier")).toString()};
}
} // namespace

class RecordsTest : public QObject
{
    Q_OBJECT

private slots:
    void eventEqualityFollowsIdentity()
    {
        const GoogleCalendarEvent event = sampleEvent();
        const GoogleCalendarEvent copy = event;
        QCOMPARE(copy, event);

        // The same Google event fetched twice is two values.
        const GoogleCalendarEvent refetched = sampleEvent();
        QVERIFY(refetched.identifier != event.identifier);
        QVERIFY(!(refetched == event));

        GoogleCalendarEvent withLink = copy;
        withLink.hangoutLink = QStringLiteral("https://meet.google.com/abc");
        QVERIFY(!(withLink == event));
        QCOMPARE(GoogleCalendarEvent().isFavourite, false);
        QCOMPARE(GoogleCalendarEvent().reminderMinutes, 30);
    }

    void eventJsonRoundTrip()
    {
        const GoogleCalendarEvent event = sampleEvent();
        const QByteArray bytes = QJsonDocument(event.toJson()).toJson();
        const auto decoded = GoogleCalendarEvent::fromJson(QJsonDocument::fromJson(bytes).object());
        QVERIFY(decoded);
        QCOMPARE(*decoded, event);

        QJsonObject missingId = event.toJson();
        missingId.remove(QStringLiteral("id"));
        QVERIFY(!GoogleCalendarEvent::fromJson(missingId));
        QJsonObject badStatus = event.toJson();
        badStatus.insert(QStringLiteral("status"), QStringLiteral("Confirmed"));
        QVERIFY(!GoogleCalendarEvent::fromJson(badStatus));
    }

    void seriesFieldsSurviveTheStoredForm()
    {
        GoogleCalendarEvent master = sampleEvent();
        master.recurrence = {QStringLiteral("RRULE:FREQ=WEEKLY;COUNT=4"),
            QStringLiteral("EXDATE;TZID=Europe/Berlin:20250310T110000")};
        master.startTimeZone = QStringLiteral("Europe/Berlin");
        GoogleCalendarEvent instance = sampleEvent();
        instance.id = QStringLiteral("evt1_20250317T100000Z");
        instance.recurringEventId = QStringLiteral("evt1");
        instance.originalStartTime = QDateTime(QDate(2025, 3, 17), QTime(10, 0), Qt::UTC);
        QVERIFY(master.isSeriesMaster() && !master.isInstance());
        QVERIFY(instance.isInstance() && !instance.isSeriesMaster());
        QVERIFY(!sampleEvent().isSeriesMaster() && !sampleEvent().isInstance());
        for (const GoogleCalendarEvent &event : {master, instance}) {
            const auto decoded = GoogleCalendarEvent::fromJson(event.toJson());
            QVERIFY(decoded);
            QCOMPARE(*decoded, event);
        }

        // A record stored before the series fields existed reads as a single event; a malformed
        // rule list is refused rather than read as no rules.
        QJsonObject older = sampleEvent().toJson();
        QVERIFY(!older.contains(QStringLiteral("recurrence")));
        QVERIFY(!GoogleCalendarEvent::fromJson(older)->isSeriesMaster());
        older.insert(QStringLiteral("recurrence"), QStringLiteral("RRULE:FREQ=DAILY"));
        QVERIFY(!GoogleCalendarEvent::fromJson(older));
    }

    void dateComponentsDropFractions()
    {
        const QDateTime a(QDate(2025, 3, 1), QTime(8, 0, 0, 1), Qt::UTC);
        const QDateTime b(QDate(2025, 3, 1), QTime(8, 0, 0, 999), Qt::UTC);
        QCOMPARE(dateComponents(a), dateComponents(b));
        QVERIFY(!dateComponents(QDateTime()));
    }

    void statusIsCaseSensitive_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("expected"); // -1: no status
        QTest::newRow("confirmed") << "confirmed" << int(GoogleCalendarEventStatus::confirmed);
        QTest::newRow("tentative") << "tentative" << int(GoogleCalendarEventStatus::tentative);
        QTest::newRow("cancelled") << "cancelled" << int(GoogleCalendarEventStatus::cancelled);
        QTest::newRow("upper") << "CANCELLED" << -1;
        QTest::newRow("capital") << "Confirmed" << -1;
        QTest::newRow("empty") << "" << -1;
    }
    void statusIsCaseSensitive()
    {
        QFETCH(QString, raw);
        QFETCH(int, expected);
        const auto status = googleCalendarEventStatus(raw);
        QCOMPARE(status ? int(*status) : -1, expected);
        if (status)
            QCOMPARE(rawValue(*status), raw);
    }

    void timeToReminder_data()
    {
        QTest::addColumn<bool>("hasStart");
        QTest::addColumn<int>("startInMinutes");
        QTest::addColumn<int>("reminderMinutes");
        QTest::addColumn<double>("expected");
        QTest::newRow("no start") << false << 0 << 30 << 0.0;
        QTest::newRow("10 min ahead, 30 lead") << true << 10 << 30 << -1200.0;
        QTest::newRow("45 min ahead, 30 lead") << true << 45 << 30 << 900.0;
        QTest::newRow("zero lead") << true << 5 << 0 << 300.0;
        QTest::newRow("exactly now") << true << 30 << 30 << 0.0;
    }
    void timeToReminder()
    {
        QFETCH(bool, hasStart);
        QFETCH(int, startInMinutes);
        QFETCH(int, reminderMinutes);
        QFETCH(double, expected);
        const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        GoogleCalendarEvent event;
        if (hasStart)
            event.start = now.addSecs(60 * startInMinutes);
        event.reminderMinutes = reminderMinutes;
        QCOMPARE(event.timeToReminder(now), expected);
    }

    void reminderMinutesStayWithinWhatGoogleAllows_data()
    {
        QTest::addColumn<double>("minutes");
        QTest::addColumn<qint64>("expected"); // -1: not a number at all
        QTest::newRow("ordinary") << 10.0 << qint64(10);
        QTest::newRow("fraction") << 10.9 << qint64(10);
        QTest::newRow("four weeks") << 40320.0 << qint64(40320);
        QTest::newRow("beyond") << 40321.0 << qint64(40320);
        QTest::newRow("1e18") << 1e18 << qint64(40320);
        QTest::newRow("1e300") << 1e300 << qint64(40320);
        QTest::newRow("negative") << -5.0 << qint64(0);
        QTest::newRow("-1e300") << -1e300 << qint64(0);
        QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << qint64(-1);
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << qint64(-1);
    }
    void reminderMinutesStayWithinWhatGoogleAllows()
    {
        QFETCH(double, minutes);
        QFETCH(qint64, expected);
        const auto clamped = reminderMinutesFrom(minutes);
        QCOMPARE(clamped.value_or(-1), expected);

        // A stored record carries the same rule; a lead set in code is bounded when used.
        QJsonObject stored = sampleEvent().toJson();
        stored.insert(QStringLiteral("reminderMinutes"), minutes);
        const auto decoded = GoogleCalendarEvent::fromJson(stored);
        if (expected >= 0 && std::isfinite(minutes))
            QCOMPARE(decoded ? decoded->reminderMinutes : -1, expected);
        GoogleCalendarEvent event;
        event.start = QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
        event.reminderMinutes = std::numeric_limits<qint64>::max();
        QCOMPARE(*event.reminderMoment(), event.start->addSecs(-60 * maxReminderMinutes));
    }

    void calendarsCompareById()
    {
        GoogleCalendar a;
        a.id = QStringLiteral("work@example.com");
        a.backgroundColor = QStringLiteral("#ff0000");
        GoogleCalendar b;
        b.id = a.id;
        b.summary = QStringLiteral("Other");
        b.isSelected = false;
        QCOMPARE(a, b);
        QCOMPARE(qHash(a), qHash(b));
        GoogleCalendar c = a;
        c.id = QStringLiteral("home@example.com");
        QVERIFY(!(a == c));

        const auto decoded = GoogleCalendar::fromJson(a.toJson());
        QVERIFY(decoded);
        QCOMPARE(decoded->identifier, a.identifier);
        QCOMPARE(decoded->backgroundColor, a.backgroundColor);
        QCOMPARE(decoded->createdDate.toMSecsSinceEpoch(), a.createdDate.toMSecsSinceEpoch());
    }

    // Both Google records carry the same identity: a local UUID and Google's own id.
    void recordIdentityDecoding_data()
    {
        QTest::addColumn<bool>("isEvent");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value"); // undefined: the key is removed
        QTest::addColumn<bool>("decodes");
        const QJsonValue absent(QJsonValue::Undefined);
        const QString uuid = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e");
        const QString nilUuid = QStringLiteral("00000000-0000-0000-0000-000000000000");
        for (const bool isEvent : {false, true}) {
            const char *record = isEvent ? "event" : "calendar";
            const auto row
                = [&](const char *name, const char *key, const QJsonValue &value, bool decodes) {
                      QTest::addRow("%s, %s", record, name)
                          << isEvent << QString::fromLatin1(key) << value << decodes;
                  };
            row("good", "identifier", uuid, true);
            row("braced identifier", "identifier", u'{' + uuid + u'}', true);
            row("missing identifier", "identifier", absent, false);
            row("null identifier", "identifier", QJsonValue::Null, false);
            row("non-UUID identifier", "identifier", QStringLiteral("evt1"), false);
            row("nil UUID identifier", "identifier", nilUuid, false);
            row("numeric identifier", "identifier", 7, false);
            row("missing id", "id", absent, false);
            row("numeric id", "id", 7, false);
        }
    }
    void recordIdentityDecoding()
    {
        QFETCH(bool, isEvent);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(bool, decodes);
        GoogleCalendar calendar;
        calendar.id = QStringLiteral("work@example.com");
        QJsonObject json = isEvent ? sampleEvent().toJson() : calendar.toJson();
        if (value.isUndefined())
            json.remove(key);
        else
            json.insert(key, value);

        const auto identity = isEvent ? decodedIdentity<GoogleCalendarEvent>(json)
                                      : decodedIdentity<GoogleCalendar>(json);
        QCOMPARE(identity.has_value(), decodes);
        if (!decodes)
            return;
        const QUuid expected
            = QUuid::fromString(json.value(QStringLiteral("identifier")).toString());
        QCOMPARE(identity->identifier, expected);
        QCOMPARE(identity->id, json.value(QStringLiteral("id")).toString());
        QCOMPARE(identity->written, expected.toString(QUuid::WithoutBraces));
    }

    void channelRoundTripAndRequiredKeys()
    {
        const CalendarChannel channel {
            QStringLiteral("cal"), 1741003200123.0, QStringLiteral("res"), QStringLiteral("chan")};
        const QByteArray bytes = QJsonDocument(channel.toJson()).toJson();
        const auto decoded = CalendarChannel::fromJson(QJsonDocument::fromJson(bytes).object());
        QVERIFY(decoded);
        QCOMPARE(*decoded, channel);
        QCOMPARE(
            decoded->expirationDate(), QDateTime(QDate(2025, 3, 3), QTime(12, 0, 0, 123), Qt::UTC));

        for (const char *key : {"calendarId", "expiration", "resourceId", "channelId"}) {
            QJsonObject json = channel.toJson();
            json.remove(QLatin1String(key));
            QVERIFY2(!CalendarChannel::fromJson(json), key);
        }
    }

    void mappingIdMayBeAbsentOrNull()
    {
        EventMapping mapping {std::nullopt, QStringLiteral("local-1"), QStringLiteral("evt1"),
            QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC)};
        QJsonObject json = mapping.toJson();
        QVERIFY(json.value(QStringLiteral("id")).isNull());
        QCOMPARE(*EventMapping::fromJson(json), mapping);
        json.remove(QStringLiteral("id"));
        QCOMPARE(*EventMapping::fromJson(json), mapping);
        json.insert(QStringLiteral("id"), 42);
        QCOMPARE(EventMapping::fromJson(json)->id, std::optional<qint64>(42));
        json.remove(QStringLiteral("googleEventId"));
        QVERIFY(!EventMapping::fromJson(json));
    }

    void sseEventDecoding_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("channelId"); // empty: absent
        QTest::newRow("state only") << QByteArray(R"({"state":"sync"})") << true << "";
        QTest::newRow("with channel")
            << QByteArray(R"({"state":"exists","channelId":"c1"})") << true << "c1";
        QTest::newRow("null channel")
            << QByteArray(R"({"state":"sync","channelId":null})") << true << "";
        QTest::newRow("no state") << QByteArray(R"({"channelId":"c1"})") << false << "";
        QTest::newRow("not json") << QByteArray("ping") << false << "";
        QTest::newRow("array") << QByteArray("[1]") << false << "";
    }
    void sseEventDecoding()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(QString, channelId);
        const auto event = SSEEvent::fromJson(text);
        QCOMPARE(bool(event), valid);
        if (!valid)
            return;
        QCOMPARE(event->channelId.value_or(QString()), channelId);
        QCOMPARE(event->channelId.has_value(), !channelId.isEmpty());
        // Written back, an absent channel id is left out.
        QCOMPARE(event->toJson().contains("channelId"), !channelId.isEmpty());
    }

    void calendarEventEqualityAndHash()
    {
        CalendarEvent a {QUuid::createUuid(), QStringLiteral("evt1"), QStringLiteral("Standup"),
            QDateTime(QDate(2025, 3, 3), QTime(10, 0), Qt::UTC),
            QDateTime(QDate(2025, 3, 3), QTime(11, 0), Qt::UTC), 0xff3066be, std::nullopt,
            QStringLiteral("Agenda"), std::nullopt, false};
        CalendarEvent b = a;
        QCOMPARE(a, b);
        QCOMPARE(qHash(a), qHash(b));
        b.notes = QStringLiteral("Other agenda");
        QVERIFY(!(a == b));
        QVERIFY(qHash(a) != qHash(b));
        b = a;
        b.color = 0xff379bff;
        QVERIFY(!(a == b));
    }

    void notificationStatusEquality()
    {
        const GoogleCalendarEvent event = sampleEvent();
        const GoogleCalendarEvent copy = event;
        QCOMPARE(NotificationStatus::showed(event), NotificationStatus::showed(copy));
        QVERIFY(!(NotificationStatus::showed(event) == NotificationStatus::showed(sampleEvent())));
        QCOMPARE(NotificationStatus::idle(), NotificationStatus::idle());
        QVERIFY(!(NotificationStatus::idle() == NotificationStatus::showed(event)));
    }

    void changesCarryTheirPayload()
    {
        const GoogleCalendarEvent event = sampleEvent();
        const auto change = GoogleCalendarChange::deleted(event);
        QCOMPARE(change.kind(), GoogleCalendarChange::Kind::deleted);
        QCOMPARE(change.event(), event);

        const auto update = CalendarSyncUpdate::googleChanges(
            QStringLiteral("cal"), {GoogleCalendarChange::added(event)});
        QVERIFY(update.google());
        QVERIFY(!update.local());
        QCOMPARE(update.calendarId(), QStringLiteral("cal"));
        // It travels through queued signals.
        const QVariant boxed = QVariant::fromValue(update);
        QCOMPARE(boxed.value<CalendarSyncUpdate>().google()->changes.size(), 1);

        const auto local = AppleCalendarChange::deleted(QStringLiteral("uid-1"));
        QCOMPARE(local.kind(), AppleCalendarChange::Kind::deleted);

        const CalendarSyncError error {CalendarSyncError::Kind::eventNotFound, {}};
        const auto roundTrip = CalendarSyncError::fromError(error.toError());
        QVERIFY(roundTrip);
        QCOMPARE(roundTrip->kind, CalendarSyncError::Kind::eventNotFound);
        QVERIFY(!CalendarSyncError::fromError(Error::http(500, {})));
    }

    void requestsDefaults()
    {
        CalendarEventRequest newEvent;
        QVERIFY(!newEvent.eventId);
        CalendarEventRequest update;
        update.eventId = sampleEvent().id;
        QCOMPARE(*update.eventId, QStringLiteral("evt1"));
    }
};

TOLVO_TEST_MAIN(RecordsTest)
#include "RecordsTest.moc"
