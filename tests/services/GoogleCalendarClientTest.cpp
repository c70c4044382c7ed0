#include "services/GoogleCalendarClient.h"
#include "core/DateHelpers.h"
#include "services/AppDatabase.h"
#include "support/FakeGoogleCalendar.h"
#include "support/FakeOAuthServer.h"
#include "support/StreamCollector.h"
#include "support/SyncTestSupport.h"
#include "support/TestMain.h"

#include <QHttpServer>
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>

using namespace tolvo;
using test::FakeGoogleCalendar;

namespace {
const QString holidays = QStringLiteral("en.german#holiday@group.v.calendar.google.com");
const QTimeZone berlin("Europe/Berlin");

template<typename T> T await(QCoro::Task<T> task)
{
    return QCoro::waitFor(std::move(task));
}

QJsonObject timed(const QDateTime &start, int minutes, const QString &summary = {})
{
    QJsonObject event {
        {QStringLiteral("start"), QJsonObject {{"dateTime", start.toUTC().toString(Qt::ISODate)}}},
        {QStringLiteral("end"),
            QJsonObject {{"dateTime", start.addSecs(60 * minutes).toUTC().toString(Qt::ISODate)}}}};
    if (!summary.isEmpty())
        event.insert(QStringLiteral("summary"), summary);
    return event;
}
} // namespace

// The client against the loopback Calendar fake, over real HTTP.
class GoogleCalendarClientTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeGoogleCalendar> m_google;
    std::unique_ptr<test::FakeOAuthServer> m_oauth;
    CurrentAuthSessionPtr m_current;
    std::shared_ptr<LogRecorder> m_log;
    std::shared_ptr<AuthorizationSession> m_session;
    GoogleCalendarClient m_client;
    QDateTime m_day = QDateTime(QDate(2025, 3, 3), QTime(9, 0), berlin);

    GoogleCalendarClient clientAt(const QUrl &apiRoot, GoogleRestClient::Options rest = noRetries())
    {
        GoogleCalendarClient::Environment environment {apiRoot,
            QUrl(QStringLiteral("https://127.0.0.1:9/relay/")), m_current,
            LoggerClient::recording(m_log), berlin};
        environment.rest = rest;
        return GoogleCalendarClient::make(environment);
    }
    static GoogleRestClient::Options noRetries()
    {
        GoogleRestClient::Options options;
        options.readRetries = 0;
        return options;
    }

    std::shared_ptr<AuthorizationSession> sessionWith(
        const QString &accessToken, const QDateTime &expiresAt)
    {
        return test::sessionWithToken(accessToken, expiresAt, m_oauth->config());
    }

    QList<FakeGoogleCalendar::LoggedRequest> eventLists() const
    {
        return m_google->requestsTo(QStringLiteral("GET"), QStringLiteral("events"));
    }

private slots:
    void init()
    {
        m_google = std::make_unique<FakeGoogleCalendar>();
        QVERIFY(m_google->start());
        m_oauth = std::make_unique<test::FakeOAuthServer>();
        m_google->acceptAccessToken(QStringLiteral("live"));
        m_current = std::make_shared<CurrentAuthSession>();
        m_log = std::make_shared<LogRecorder>();
        m_session
            = sessionWith(QStringLiteral("live"), QDateTime::currentDateTimeUtc().addSecs(3600));
        m_client = clientAt(m_google->apiRoot());
        m_google->addCalendar(
            QStringLiteral("work@example.com"), QStringLiteral("Work"), QStringLiteral("#ac725e"));
        m_google->addCalendar(holidays, QString(), QString(), QString());
        m_google->addCalendar(QStringLiteral("third"), QStringLiteral("Third"));
    }
    void cleanup()
    {
        QVERIFY2(m_google->unexpectedRequests().isEmpty(),
            qPrintable(m_google->unexpectedRequests().join(QLatin1Char('\n'))));
    }

    void calendarListMakesTheSessionCurrentAndFollowsPages()
    {
        m_google->setPageSize(1);
        const auto calendars = await(m_client.fetchCalendarList(m_session));
        QVERIFY2(calendars, calendars ? "" : qPrintable(calendars.error().describe()));
        QCOMPARE(m_current->session(), m_session);
        QCOMPARE(calendars->size(), 3);
        QCOMPARE(calendars->at(0).backgroundColor, std::optional<QString>("#ac725e"));
        QCOMPARE(calendars->at(1).id, holidays);
        QCOMPARE(calendars->at(1).summary, std::optional<QString>(""));
        QVERIFY(!calendars->at(1).accessRole);
        const auto pages
            = m_google->requestsTo(QStringLiteral("GET"), QStringLiteral("calendarList"));
        QCOMPARE(pages.size(), 3);
        QVERIFY(!pages.at(0).query.hasQueryItem(QStringLiteral("pageToken")));
        QVERIFY(pages.at(2).query.hasQueryItem(QStringLiteral("pageToken")));
        QCOMPARE(pages.at(0).authorization, QByteArray("Bearer live"));
    }

    void incrementalListsKeepOneTokenPerCalendar()
    {
        m_current->setSession(m_session);
        for (int i = 0; i < 5; ++i)
            m_google->addEvent(holidays, timed(m_day.addSecs(3600 * i), 30));
        m_google->setPageSize(2);

        const auto all = await(m_client.fetchEvents(holidays));
        QVERIFY(all);
        QCOMPARE(all->size(), 5);
        QCOMPARE(eventLists().size(), 3); // three pages, the id with "#" and "@" intact
        QCOMPARE(eventLists().first().segments.at(1), holidays);
        QVERIFY(!eventLists().first().query.hasQueryItem(QStringLiteral("syncToken")));
        QCOMPARE(eventLists().first().query.queryItemValue(QStringLiteral("showDeleted")),
            QStringLiteral("true"));

        // Another calendar never sends this calendar's token.
        m_google->clearLog();
        QVERIFY(await(m_client.fetchEvents(QStringLiteral("work@example.com"))));
        QVERIFY(!eventLists().first().query.hasQueryItem(QStringLiteral("syncToken")));

        m_google->modifyEvent(holidays, all->at(1).id, {{"summary", "Moved"}});
        m_google->deleteEvent(holidays, all->at(2).id);
        m_google->clearLog();
        const auto changes = await(m_client.fetchEvents(holidays));
        QVERIFY(changes);
        QCOMPARE(changes->size(), 2);
        QVERIFY(eventLists().first().query.hasQueryItem(QStringLiteral("syncToken")));
        QCOMPARE(changes->at(0).summary, std::optional<QString>("Moved"));
        QCOMPARE(changes->at(1).status, std::optional(GoogleCalendarEventStatus::cancelled));
        QCOMPARE(changes->at(1).id, all->at(2).id);
    }

    void expiredTokenGivesABaselineAndNoChanges()
    {
        m_current->setSession(m_session);
        m_google->addEvent(holidays, timed(m_day, 30));
        QVERIFY(await(m_client.fetchEvents(holidays)));
        m_google->expireSyncTokens();
        m_google->addEvent(holidays, timed(m_day, 30));
        m_google->clearLog();

        const auto changes = await(m_client.fetchEvents(holidays));
        QVERIFY(changes);
        QVERIFY(changes->isEmpty());
        QCOMPARE(eventLists().size(), 2);
        QVERIFY(eventLists().at(0).query.hasQueryItem(QStringLiteral("syncToken")));
        QVERIFY(!eventLists().at(1).query.hasQueryItem(QStringLiteral("syncToken")));

        // The fresh baseline's token is used from then on.
        m_google->addEvent(holidays, timed(m_day, 45, QStringLiteral("New")));
        const auto next = await(m_client.fetchEvents(holidays));
        QCOMPARE(next->size(), 1);
        QCOMPARE(next->first().summary, std::optional<QString>("New"));
    }

    void dayListsAskForSingleEventsAndLeaveTheToken()
    {
        m_current->setSession(m_session);
        m_google->addEvent(holidays, timed(m_day.addDays(1), 30, QStringLiteral("Tomorrow")));
        m_google->addEvent(holidays, timed(m_day.addSecs(3600), 30, QStringLiteral("Later")));
        m_google->addEvent(holidays, timed(m_day, 30, QStringLiteral("Sooner")));
        QVERIFY(await(m_client.fetchEvents(holidays)));
        const QString token = eventLists().last().query.queryItemValue(QStringLiteral("syncToken"));

        m_google->clearLog();
        const auto day = await(m_client.fetchEventsForDate(m_day, m_day, holidays));
        QVERIFY(day);
        QCOMPARE(day->size(), 2);
        QCOMPARE(day->at(0).summary, std::optional<QString>("Sooner"));
        const QUrlQuery query = eventLists().first().query;
        QCOMPARE(query.queryItemValue(QStringLiteral("timeMin")),
            QStringLiteral("2025-03-03T00:00:00+01:00"));
        QCOMPARE(query.queryItemValue(QStringLiteral("timeMax")),
            QStringLiteral("2025-03-03T23:59:59+01:00"));
        QCOMPARE(query.queryItemValue(QStringLiteral("singleEvents")), QStringLiteral("true"));
        QCOMPARE(query.queryItemValue(QStringLiteral("orderBy")), QStringLiteral("startTime"));
        QVERIFY(!query.hasQueryItem(QStringLiteral("syncToken")));

        // The incremental position is untouched: nothing new since it.
        const auto changes = await(m_client.fetchEvents(holidays));
        QVERIFY(changes && changes->isEmpty());
    }

    void failuresCarryTheirCodesAndAreLogged_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<int>("code");
        QTest::newRow("no session: 401") << "unsigned" << 401;
        QTest::newRow("grant lacks scopes: 403") << "scopes" << 403;
        QTest::newRow("rate limited 403: 429") << "rate" << 429;
        QTest::newRow("unknown calendar: 404") << "unknown" << 404;
        QTest::newRow("connection refused") << "refused" << 0;
        QTest::newRow("refresh refused: -10") << "revoked" << Error::oauthInvalidGrant;
    }
    void failuresCarryTheirCodesAndAreLogged()
    {
        QFETCH(QString, situation);
        QFETCH(int, code);
        GoogleCalendarClient client = m_client;
        QString calendar = QStringLiteral("work@example.com");
        if (situation != u"unsigned")
            m_current->setSession(m_session);
        if (situation == u"scopes")
            m_google->setInsufficientScopes(true);
        if (situation == u"rate")
            m_google->failNext(QStringLiteral("events"), 403, QStringLiteral("rateLimitExceeded"));
        if (situation == u"unknown")
            calendar = QStringLiteral("nobody@example.com");
        if (situation == u"refused") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            const quint16 port = closed.serverPort();
            closed.close();
            client = clientAt(QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/v3/").arg(port)));
        }
        if (situation == u"revoked")
            m_current->setSession(
                sessionWith(QStringLiteral("stale"), QDateTime::currentDateTimeUtc().addSecs(-10)));

        const auto result = await(client.fetchEvents(calendar));
        QVERIFY(!result);
        if (situation == u"refused")
            QVERIFY(result.error().domain == ErrorDomain::network);
        else
            QCOMPARE(result.error().code, code);
        QCOMPARE(m_log->errors().size(), 1);
        QCOMPARE(m_log->errors().first(), result.error());
    }

    void watchSendsTheExactBodyAndReadsTheAnswer()
    {
        m_current->setSession(m_session);
        QSignalSpy posted(m_google.get(), &FakeGoogleCalendar::notificationPosted);
        const auto first = await(m_client.watch(holidays));
        const auto second = await(m_client.watch(holidays));
        QVERIFY(first && second);
        const auto watches = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("watch"));
        QCOMPARE(watches.size(), 2);
        const QJsonObject body = watches.first().body;
        QCOMPARE(body.keys(), (QStringList {"address", "id", "token", "type"}));
        QCOMPARE(body.value(QStringLiteral("address")).toString(),
            QStringLiteral("https://127.0.0.1:9/relay/notification-handler"));
        QCOMPARE(body.value(QStringLiteral("token")).toString(), sha256Hex(holidays));
        const QString id = body.value(QStringLiteral("id")).toString();
        QCOMPARE(id.size(), 36);
        QCOMPARE(id, id.toUpper());
        QCOMPARE(first->channelId, id);
        QVERIFY(first->channelId != second->channelId);
        QCOMPARE(
            watches.at(1).body.value(QStringLiteral("token")), body.value(QStringLiteral("token")));
        QCOMPARE(first->calendarId, holidays);
        QVERIFY(first->expiration > QDateTime::currentMSecsSinceEpoch());
        QCOMPARE(posted.size(), 2); // Google's "sync" message for each new channel
        QCOMPARE(posted.first().at(1).toString(), QStringLiteral("sync"));

        QCOMPARE(await(m_client.stop(first->channelId, first->resourceId)), Result<bool>(true));
        const auto again = await(m_client.stop(first->channelId, first->resourceId));
        QVERIFY(!again);
        QCOMPARE(again.error().code, 404);
    }

    void writesCreatePatchAndDelete()
    {
        m_current->setSession(m_session);
        CalendarEventRequest request;
        request.title = QStringLiteral("Planning");
        request.calendar.id = holidays;
        request.startDate = m_day;
        request.endDate = m_day.addSecs(1800);
        request.shouldCreateGoogleMeet = true;
        QCOMPARE(await(m_client.createEvent(request)), Result<bool>(true));
        const auto inserts = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("events"));
        QCOMPARE(inserts.size(), 1);
        QCOMPARE(inserts.first().query.queryItemValue(QStringLiteral("conferenceDataVersion")),
            QStringLiteral("1"));
        const auto created = await(m_client.fetchEvents(holidays));
        QCOMPARE(created->size(), 1);
        const GoogleCalendarEvent event = created->first();
        QVERIFY(event.hangoutLink);
        QCOMPARE(event.start, std::optional(m_day.toUTC()));

        // A one-day all-day event is accepted (the end date is exclusive).
        CalendarEventRequest allDay = request;
        allDay.isAllDay = true;
        allDay.shouldCreateGoogleMeet = false;
        allDay.endDate = allDay.startDate;
        QCOMPARE(await(m_client.createEvent(allDay)), Result<bool>(true));

        // An update patches: what the form does not edit stays; a Meet link is kept.
        m_google->modifyEvent(
            holidays, event.id, {{"attendees", QJsonArray {QJsonObject {{"email", "a@b.c"}}}}});
        CalendarEventRequest edit = request;
        edit.eventId = event.id;
        edit.title = QStringLiteral("Planning, moved");
        edit.location = QStringLiteral("Room 2");
        QCOMPARE(await(m_client.updateEvent(edit)), Result<bool>(true));
        const QJsonObject stored = m_google->event(holidays, event.id);
        QCOMPARE(
            stored.value(QStringLiteral("summary")).toString(), QStringLiteral("Planning, moved"));
        QCOMPARE(stored.value(QStringLiteral("location")).toString(), QStringLiteral("Room 2"));
        QCOMPARE(stored.value(QStringLiteral("attendees")).toArray().size(), 1);
        QCOMPARE(stored.value(QStringLiteral("hangoutLink")).toString(), *event.hangoutLink);
        QCOMPARE(m_google->requestsTo(QStringLiteral("PATCH"), event.id).size(), 1);

        CalendarEventRequest noId = edit;
        noId.eventId.reset();
        m_google->clearLog();
        QCOMPARE(await(m_client.updateEvent(noId)), Result<bool>(false));
        QVERIFY(m_google->requests().isEmpty());

        const DeleteEventRequest removal {holidays, event.id};
        QCOMPARE(await(m_client.deleteEvent(removal)), Result<bool>(true));
        const auto twice = await(m_client.deleteEvent(removal));
        QVERIFY(!twice);
        QCOMPARE(twice.error().code, 410);
    }

    void aServerThatNeverAnswersTimesOut()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        GoogleRestClient::Options rest = noRetries();
        rest.transferTimeout = std::chrono::milliseconds(200);
        GoogleCalendarClient client = clientAt(
            QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/v3/").arg(silent.serverPort())),
            rest);
        m_current->setSession(m_session);
        const auto answer = test::startRecorded(client.fetchEvents(holidays));
        QTRY_VERIFY_WITH_TIMEOUT(answer->has_value(), 10'000);
        const auto &result = **answer;
        QVERIFY(!result);
        QVERIFY(result.error().domain == ErrorDomain::network);
        QCOMPARE(result.error().code, networkcode::timedOut);
    }

    void aRefusedAccessTokenIsRefreshedOnceAndBusyReadsBackOff()
    {
        // Google refuses a token that has not expired yet: one refresh, then the request
        // again (here the refresh is refused too, which ends it).
        m_current->setSession(
            sessionWith(QStringLiteral("revoked"), QDateTime::currentDateTimeUtc().addSecs(3600)));
        const auto refused = await(m_client.fetchEvents(holidays));
        QVERIFY(!refused);
        QCOMPARE(m_oauth->refreshCount(), 1);
        QCOMPARE(eventLists().size(), 1);

        // 503, then 429: read again after a jittered wait; a write is not repeated.
        m_current->setSession(m_session);
        GoogleRestClient::Options rest;
        rest.retryBase = std::chrono::milliseconds(5);
        GoogleCalendarClient patient = clientAt(m_google->apiRoot(), rest);
        m_google->clearLog();
        m_google->failNext(QStringLiteral("events"), 503);
        m_google->failNext(QStringLiteral("events"), 403, QStringLiteral("rateLimitExceeded"));
        QVERIFY(await(patient.fetchEvents(holidays)));
        QCOMPARE(eventLists().size(), 3);
        m_google->failNext(QStringLiteral("events"), 503);
        CalendarEventRequest request;
        request.calendar.id = holidays;
        request.title = QStringLiteral("Once");
        request.startDate = m_day;
        request.endDate = m_day.addSecs(1800);
        QVERIFY(!await(patient.createEvent(request)));
        QCOMPARE(m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("events")).size(), 1);
    }

    void onlySignOutForgetsTokens()
    {
        m_current->setSession(m_session);
        m_google->addEvent(holidays, timed(m_day, 30));
        QVERIFY(await(m_client.fetchEvents(holidays)));
        // A failed sign-in empties the session for a moment; the position stays.
        m_current->setSession(nullptr);
        m_current->setSession(m_session);
        m_google->clearLog();
        const auto kept = await(m_client.fetchEvents(holidays));
        QVERIFY(kept && kept->isEmpty());
        QVERIFY(eventLists().first().query.hasQueryItem(QStringLiteral("syncToken")));

        m_current->signOut();
        m_current->setSession(m_session);
        m_google->clearLog();
        QVERIFY(await(m_client.fetchEvents(holidays)));
        QVERIFY(!eventLists().first().query.hasQueryItem(QStringLiteral("syncToken")));
    }

    void positionsOutliveTheProcessUntilCommittedOrForgotten()
    {
        QTemporaryDir folder;
        auto database = AppDatabase::open(folder.filePath(QStringLiteral("db.sqlite")));
        QVERIFY(database);
        const DatabaseClient store = DatabaseClient::over(*database);
        const auto clientOverStore = [&] {
            auto environment = GoogleCalendarClient::Environment {m_google->apiRoot(),
                QUrl(QStringLiteral("https://127.0.0.1:9/relay/")), m_current,
                LoggerClient::recording(m_log), berlin};
            environment.tokens = SyncTokenStore::over(store);
            return GoogleCalendarClient::make(environment);
        };
        m_current->setSession(m_session);
        m_google->addEvent(holidays, timed(m_day, 30, QStringLiteral("Before")));

        auto first = clientOverStore();
        const auto whole = await(first.fetchEventListing(holidays));
        QVERIFY(whole && whole->complete);
        QCOMPARE(whole->events.size(), 1);
        // Not kept until committed: a crash here lists everything again.
        QVERIFY(!store.syncToken(holidays).value());
        QVERIFY(first.commitSyncToken(holidays, whole->syncToken));
        QCOMPARE(store.syncToken(holidays).value(), std::optional<QString>(whole->syncToken));

        // A new process (a new client over the same file) goes on from the kept position.
        m_google->addEvent(holidays, timed(m_day, 45, QStringLiteral("While closed")));
        auto second = clientOverStore();
        const auto changes = await(second.fetchEventListing(holidays));
        QVERIFY(changes && !changes->complete);
        QCOMPARE(changes->events.size(), 1);
        QCOMPARE(changes->events.first().summary, std::optional<QString>("While closed"));

        // An expired position is logged once, as an error, and the re-list is a whole one.
        QVERIFY(second.commitSyncToken(holidays, changes->syncToken));
        m_google->expireSyncTokens();
        const auto errorsBefore = m_log->errors().size();
        const auto relisted = await(second.fetchEventListing(holidays));
        QVERIFY(relisted && relisted->complete);
        QCOMPARE(relisted->events.size(), 2);
        QCOMPARE(m_log->errors().size(), errorsBefore + 1);
        QCOMPARE(m_log->errors().last().code, 410);

        QVERIFY(second.commitSyncToken(holidays, relisted->syncToken));
        QVERIFY(second.forgetSyncToken(holidays));
        QVERIFY(!store.syncToken(holidays).value());
        QVERIFY(second.commitSyncToken(holidays, relisted->syncToken));
        m_current->signOut();
        QVERIFY(!store.syncToken(holidays).value());
    }
};

TOLVO_TEST_MAIN(GoogleCalendarClientTest)
#include "GoogleCalendarClientTest.moc"
