#include "services/GoogleCalendarClient.h"

#include "core/CalendarContext.h"
#include "core/StartTask.h"
#include "core/Unimplemented.h"
#include "platform/GoogleRestClient.h"
#include "services/GoogleCalendarMapping.h"

#include <QHash>
#include <QJsonDocument>
#include <QUuid>

namespace tolvo {

namespace {

// The state every operation shares: the REST client and the per-calendar sync tokens.
class CalendarSession : public QObject
{
public:
    explicit CalendarSession(GoogleCalendarClient::Environment environment)
        : env(std::move(environment))
        , rest(env.apiRoot, env.current, env.rest)
    {
        if (env.current) {
            // Only a sign-out forgets the positions: a failed or replaced sign-in keeps them,
            // or the next listing would report every event of the calendar as a change.
            connect(env.current.get(), &CurrentAuthSession::signedOut, this, [this] {
                syncTokens.clear();
                if (env.tokens)
                    logIfFailed(env.tokens->clear());
            });
        }
    }

    template<typename T> Result<T> logged(Result<T> result)
    {
        if (!result)
            env.logger.logError(result.error());
        return result;
    }

    void logIfFailed(const VoidResult &result)
    {
        if (!result)
            env.logger.logError(result.error());
    }

    // The held position, read from the store the first time a calendar is asked for.
    QString token(const QString &calendarId)
    {
        const auto held = syncTokens.constFind(calendarId);
        if (held != syncTokens.constEnd())
            return *held;
        QString token;
        if (env.tokens) {
            const auto stored = env.tokens->load(calendarId);
            if (stored && *stored)
                token = **stored;
            else if (!stored)
                env.logger.logError(stored.error());
        }
        syncTokens.insert(calendarId, token);
        return token;
    }

    VoidResult keepToken(const QString &calendarId, const QString &token)
    {
        syncTokens.insert(calendarId, token);
        if (!env.tokens)
            return {};
        return token.isEmpty() ? env.tokens->remove(calendarId)
                               : env.tokens->store(calendarId, token);
    }

    GoogleCalendarClient::Environment env;
    GoogleRestClient rest;
    // An empty text: no position (also remembered, so the store is read once per calendar).
    QHash<QString, QString> syncTokens;
};

using SessionPtr = std::shared_ptr<CalendarSession>;

QList<GoogleCalendarEvent> mapEvents(const QJsonArray &items, const QTimeZone &zone)
{
    QList<GoogleCalendarEvent> events;
    events.reserve(items.size());
    for (const QJsonValue &item : items)
        events.append(google::eventFromResource(item.toObject(), zone));
    return events;
}

QStringList eventsPath(const QString &calendarId)
{
    return {QStringLiteral("calendars"), calendarId, QStringLiteral("events")};
}

QCoro::Task<Result<QList<GoogleCalendar>>> fetchCalendarList(
    SessionPtr self, std::shared_ptr<AuthorizationSession> session)
{
    if (session && self->env.current)
        self->env.current->setSession(session);
    const QStringList path {
        QStringLiteral("users"), QStringLiteral("me"), QStringLiteral("calendarList")};
    auto listing = co_await self->rest.list(path);
    if (!listing)
        co_return self->logged<QList<GoogleCalendar>>(failure(listing.error()));
    QList<GoogleCalendar> calendars;
    const QDateTime now = self->env.clock();
    for (const QJsonValue &entry : listing->items)
        calendars.append(google::calendarFromResource(entry.toObject(), now));
    co_return calendars;
}

QCoro::Task<Result<GoogleRestClient::Listing>> listIncremental(
    SessionPtr self, QString calendarId, QString position)
{
    QUrlQuery query;
    if (!position.isEmpty())
        query.addQueryItem(QStringLiteral("syncToken"), position);
    query.addQueryItem(QStringLiteral("showDeleted"), QStringLiteral("true"));
    auto listing = co_await self->rest.list(eventsPath(calendarId), query);
    co_return listing;
}

QCoro::Task<Result<GoogleEventListing>> fetchEventListing(SessionPtr self, QString calendarId)
{
    QString position = self->token(calendarId);
    auto listing = co_await listIncremental(self, calendarId, position);
    bool complete = position.isEmpty();
    if (!listing && listing.error().code == 410 && !position.isEmpty()) {
        // Google no longer knows the position: list the calendar anew. What changed in
        // between cannot be told from what was there, so the listing is a whole one.
        Error expired = listing.error();
        expired.message
            = QStringLiteral("The sync position of a calendar expired; listing it anew (%1)")
                  .arg(expired.message);
        self->env.logger.logError(expired);
        self->logIfFailed(self->keepToken(calendarId, QString()));
        listing = co_await listIncremental(self, calendarId, QString());
        complete = true;
    }
    if (!listing)
        co_return self->logged<GoogleEventListing>(failure(listing.error()));
    co_return GoogleEventListing {
        mapEvents(listing->items, self->env.zone), complete, listing->nextSyncToken};
}

QCoro::Task<Result<QList<GoogleCalendarEvent>>> fetchEvents(SessionPtr self, QString calendarId)
{
    const bool hadPosition = !self->token(calendarId).isEmpty();
    auto listing = co_await fetchEventListing(self, calendarId);
    if (!listing)
        co_return failure(listing.error());
    self->logIfFailed(self->keepToken(calendarId, listing->syncToken));
    // A re-list after an expired position is a baseline, not a list of changes.
    if (hadPosition && listing->complete)
        co_return QList<GoogleCalendarEvent>();
    co_return listing->events;
}

QCoro::Task<Result<QList<GoogleCalendarEvent>>> fetchEventsForDate(
    SessionPtr self, QDateTime start, QDateTime end, QString calendarId)
{
    QUrlQuery query = google::dayWindowQuery(start, end, self->env.zone);
    query.addQueryItem(QStringLiteral("singleEvents"), QStringLiteral("true"));
    query.addQueryItem(QStringLiteral("orderBy"), QStringLiteral("startTime"));
    auto listing = co_await self->rest.list(eventsPath(calendarId), query);
    if (!listing)
        co_return self->logged<QList<GoogleCalendarEvent>>(failure(listing.error()));
    co_return mapEvents(listing->items, self->env.zone);
}

QCoro::Task<Result<CalendarChannel>> watch(SessionPtr self, QString calendarId)
{
    const QString channelId = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QStringList path = eventsPath(calendarId);
    path.append(QStringLiteral("watch"));
    const QJsonObject body = google::watchBody(channelId, calendarId, self->env.backendBase);
    auto answer = co_await self->rest.send("POST", path, QUrlQuery(), body);
    if (!answer)
        co_return self->logged<CalendarChannel>(failure(answer.error()));
    co_return self->logged(google::channelFromWatchAnswer(calendarId, *answer));
}

QCoro::Task<Result<bool>> stop(SessionPtr self, QString channelId, QString resourceId)
{
    const QStringList path {QStringLiteral("channels"), QStringLiteral("stop")};
    const QJsonObject body {
        {QStringLiteral("id"), channelId}, {QStringLiteral("resourceId"), resourceId}};
    auto answer = co_await self->rest.send("POST", path, QUrlQuery(), body);
    if (!answer)
        co_return self->logged<bool>(failure(answer.error()));
    self->env.logger.log(QStringLiteral("stoped channel ") + channelId, LogLevel::info);
    co_return true;
}

QCoro::Task<Result<bool>> write(
    SessionPtr self, CalendarEventRequest request, google::WriteKind kind)
{
    QStringList path = eventsPath(request.calendar.id);
    bool hasMeet = false;
    if (kind == google::WriteKind::update) {
        if (!request.eventId)
            co_return false;
        path.append(*request.eventId);
        if (request.shouldCreateGoogleMeet && !request.hadGoogleMeet) {
            auto current = co_await self->rest.send("GET", path);
            if (!current)
                co_return self->logged<bool>(failure(current.error()));
            hasMeet = !current->value(QStringLiteral("hangoutLink")).toString().isEmpty();
        }
    }
    const google::EventWrite write = google::eventWrite(request, kind, hasMeet, self->env.zone);
    QUrlQuery query;
    if (write.conferenceDataVersion)
        query.addQueryItem(QStringLiteral("conferenceDataVersion"), QStringLiteral("1"));
    // A patch keeps what the form does not edit (attendees, recurrence, colour...).
    const QByteArray method = kind == google::WriteKind::create ? "POST" : "PATCH";
    auto answer = co_await self->rest.send(method, path, query, write.body);
    if (!answer)
        co_return self->logged<bool>(failure(answer.error()));
    self->env.logger.log(
        QString::fromUtf8(QJsonDocument(*answer).toJson(QJsonDocument::Compact)), LogLevel::info);
    co_return true;
}

QCoro::Task<Result<bool>> deleteEvent(SessionPtr self, DeleteEventRequest request)
{
    QStringList path = eventsPath(request.calendarId);
    path.append(request.eventId);
    auto answer = co_await self->rest.send("DELETE", path);
    if (!answer)
        co_return self->logged<bool>(failure(answer.error()));
    self->env.logger.log(QString(), LogLevel::info);
    co_return true;
}

} // namespace

GoogleCalendarClient::Environment GoogleCalendarClient::environment()
{
    const auto endpoints = Dependencies::current<Endpoints>();
    Environment environment {endpoints.calendarApiRoot, endpoints.backendBase,
        Dependencies::current<CurrentAuthSessionPtr>(), Dependencies::current<LoggerClient>()};
    environment.tokens = SyncTokenStore::over(Dependencies::current<DatabaseClient>());
    // All-day dates, day windows and creation times follow the user's calendar, not whatever
    // the process happens to read from the system.
    const auto context = Dependencies::current<CalendarContext>();
    environment.zone = context.zone;
    environment.clock = context.clock;
    return environment;
}

SyncTokenStore SyncTokenStore::over(const DatabaseClient &database)
{
    return {database.syncToken, database.storeSyncToken, database.deleteSyncToken,
        database.deleteAllSyncTokens};
}

GoogleCalendarClient GoogleCalendarClient::make(Environment environment)
{
    auto self = std::make_shared<CalendarSession>(std::move(environment));
    GoogleCalendarClient client;
    client.fetchCalendarList = [self](std::shared_ptr<AuthorizationSession> session) {
        return tolvo::fetchCalendarList(self, std::move(session));
    };
    client.fetchEvents
        = [self](const QString &calendarId) { return tolvo::fetchEvents(self, calendarId); };
    client.fetchEventListing
        = [self](const QString &calendarId) { return tolvo::fetchEventListing(self, calendarId); };
    client.commitSyncToken = [self](const QString &calendarId, const QString &token) {
        return self->keepToken(calendarId, token);
    };
    client.forgetSyncToken
        = [self](const QString &calendarId) { return self->keepToken(calendarId, QString()); };
    client.watch = [self](const QString &calendarId) { return tolvo::watch(self, calendarId); };
    client.stop = [self](const QString &channelId, const QString &resourceId) {
        return tolvo::stop(self, channelId, resourceId);
    };
    client.fetchEventsForDate
        = [self](const QDateTime &start, const QDateTime &end, const QString &calendarId) {
              return tolvo::fetchEventsForDate(self, start, end, calendarId);
          };
    client.createEvent = [self](const CalendarEventRequest &request) {
        return write(self, request, google::WriteKind::create);
    };
    client.deleteEvent
        = [self](const DeleteEventRequest &request) { return tolvo::deleteEvent(self, request); };
    client.updateEvent = [self](const CalendarEventRequest &request) {
        return write(self, request, google::WriteKind::update);
    };
    return client;
}

GoogleCalendarClient GoogleCalendarClient::liveValue()
{
    return make(environment());
}

GoogleCalendarClient GoogleCalendarClient::testValue()
{
    constexpr const char *name = "GoogleCalendarClient";
    GoogleCalendarClient client;
    client.fetchCalendarList
        = unimplemented<Async<QList<GoogleCalendar>>(std::shared_ptr<AuthorizationSession>)>(
            name, "fetchCalendarList");
    client.fetchEvents
        = unimplemented<Async<QList<GoogleCalendarEvent>>(const QString &)>(name, "fetchEvents");
    client.fetchEventListing
        = unimplemented<Async<GoogleEventListing>(const QString &)>(name, "fetchEventListing");
    client.commitSyncToken
        = unimplemented<VoidResult(const QString &, const QString &)>(name, "commitSyncToken");
    client.forgetSyncToken = unimplemented<VoidResult(const QString &)>(name, "forgetSyncToken");
    client.watch = unimplemented<Async<CalendarChannel>(const QString &)>(name, "watch");
    client.stop = unimplemented<Async<bool>(const QString &, const QString &)>(name, "stop");
    client.fetchEventsForDate = unimplemented<Async<QList<GoogleCalendarEvent>>(
        const QDateTime &, const QDateTime &, const QString &)>(name, "fetchEventsForDate");
    client.createEvent
        = unimplemented<Async<bool>(const CalendarEventRequest &)>(name, "createEvent");
    client.deleteEvent
        = unimplemented<Async<bool>(const DeleteEventRequest &)>(name, "deleteEvent");
    client.updateEvent
        = unimplemented<Async<bool>(const CalendarEventRequest &)>(name, "updateEvent");
    return client;
}

GoogleCalendarClient GoogleCalendarClient::sample()
{
    GoogleCalendarClient client;
    client.fetchCalendarList = [](std::shared_ptr<AuthorizationSession>) {
        GoogleCalendar tasks;
        tasks.id = QStringLiteral("1");
        tasks.summary = QStringLiteral("Tasks");
        tasks.backgroundColor = QStringLiteral("#000000");
        tasks.accessRole = QStringLiteral("owner");
        GoogleCalendar events;
        events.id = QStringLiteral("2");
        events.summary = QStringLiteral("Events");
        events.backgroundColor = QStringLiteral("#ac725e");
        events.accessRole = QStringLiteral("owner");
        return readyTask<Result<QList<GoogleCalendar>>>(QList<GoogleCalendar> {tasks, events});
    };
    client.fetchEvents = [](const QString &) {
        return readyTask<Result<QList<GoogleCalendarEvent>>>(QList<GoogleCalendarEvent>());
    };
    client.fetchEventListing = [](const QString &) {
        return readyTask<Result<GoogleEventListing>>(
            GoogleEventListing {{}, true, QStringLiteral("sample-sync-token")});
    };
    client.commitSyncToken = [](const QString &, const QString &) { return VoidResult(); };
    client.forgetSyncToken = [](const QString &) { return VoidResult(); };
    client.watch = [](const QString &) {
        return readyTask<Result<CalendarChannel>>(CalendarChannel {QStringLiteral("123"),
            1263816378173617.0, QStringLiteral("f123asd"), QStringLiteral("11111")});
    };
    client.stop = [](const QString &, const QString &) { return readyTask<Result<bool>>(true); };
    client.fetchEventsForDate = [](const QDateTime &, const QDateTime &, const QString &) {
        return readyTask<Result<QList<GoogleCalendarEvent>>>(QList<GoogleCalendarEvent>());
    };
    client.createEvent = [](const CalendarEventRequest &) { return readyTask<Result<bool>>(true); };
    client.deleteEvent = [](const DeleteEventRequest &) { return readyTask<Result<bool>>(true); };
    client.updateEvent = [](const CalendarEventRequest &) { return readyTask<Result<bool>>(true); };
    return client;
}

} // namespace tolvo
