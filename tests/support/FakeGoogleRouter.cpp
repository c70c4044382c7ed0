#include "support/FakeGoogleRouter.h"

#include <QHttpServerRequest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUuid>

#include <algorithm>

namespace tolvo::test {

namespace {
QString methodName(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return QStringLiteral("GET");
    case QHttpServerRequest::Method::Post: return QStringLiteral("POST");
    case QHttpServerRequest::Method::Put: return QStringLiteral("PUT");
    case QHttpServerRequest::Method::Patch: return QStringLiteral("PATCH");
    case QHttpServerRequest::Method::Delete: return QStringLiteral("DELETE");
    default: return QStringLiteral("OTHER");
    }
}
// Google's patch semantics: nested objects merge key by key, null removes a key, anything
// else (arrays included) replaces. Merging into an empty object drops the nulls of a full body.
QJsonObject mergePatch(QJsonObject target, const QJsonObject &patch)
{
    for (auto it = patch.begin(); it != patch.end(); ++it) {
        if (it.value().isNull())
            target.remove(it.key());
        else if (it.value().isObject())
            target.insert(
                it.key(), mergePatch(target.value(it.key()).toObject(), it.value().toObject()));
        else
            target.insert(it.key(), it.value());
    }
    return target;
}

// Google refuses a boundary that names both a day and a moment.
std::optional<QString> mixedBoundary(const QJsonObject &event)
{
    for (const char *name : {"start", "end"}) {
        const QJsonObject boundary = event.value(QLatin1String(name)).toObject();
        if (boundary.contains(QStringLiteral("date"))
            && boundary.contains(QStringLiteral("dateTime")))
            return QStringLiteral("Invalid %1 time.").arg(QLatin1String(name));
    }
    return std::nullopt;
}
} // namespace

FakeGoogleRouter::FakeGoogleRouter(FakeGoogleEventStore &store,
    std::function<void(const QString &channelId, const QString &state)> posted)
    : m_store(store)
    , m_posted(std::move(posted))
{
}

void FakeGoogleRouter::failNext(const QString &pathPart, int status, const QString &reason)
{
    m_failures.append({pathPart, status, reason});
}

QList<FakeGoogleRouter::LoggedRequest> FakeGoogleRouter::requestsTo(
    const QString &method, const QString &lastSegment) const
{
    QList<LoggedRequest> matching;
    for (const auto &request : m_log) {
        if (request.method == method && !request.segments.isEmpty()
            && request.segments.last() == lastSegment)
            matching.append(request);
    }
    return matching;
}

FakeGoogleRouter::Reply FakeGoogleRouter::handle(const QHttpServerRequest &request)
{
    LoggedRequest logged;
    logged.method = methodName(request.method());
    const QString path = request.url().path(QUrl::FullyEncoded);
    const QString prefix = QStringLiteral("/calendar/v3/");
    // Decoded once here, so that every rule below reads plain values.
    for (const auto &[key, value] : request.query().queryItems(QUrl::FullyDecoded))
        logged.query.addQueryItem(
            key, QString(value).replace(QLatin1Char('%'), QStringLiteral("%25")));
    logged.body = QJsonDocument::fromJson(request.body()).object();
    logged.authorization = request.value("Authorization");

    if (!path.startsWith(prefix)) {
        m_unexpected.note(logged.method + QLatin1Char(' ') + path);
        return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
    }
    for (const QString &segment : path.mid(prefix.size()).split(QLatin1Char('/')))
        logged.segments.append(QUrl::fromPercentEncoding(segment.toUtf8()));
    m_log.append(logged);
    return route(logged);
}

FakeGoogleRouter::Reply FakeGoogleRouter::route(const LoggedRequest &request)
{
    const QByteArray bearer = "Bearer ";
    const QString token = QString::fromUtf8(request.authorization.mid(bearer.size()));
    if (!request.authorization.startsWith(bearer)
        || !(m_accessTokens.contains(token) || (m_isLiveToken && m_isLiveToken(token))))
        return error(401, QStringLiteral("authError"), QStringLiteral("Invalid Credentials"));
    if (m_insufficientScopes)
        return error(403, QStringLiteral("insufficientPermissions"),
            QStringLiteral("Insufficient Permission"));
    const QString joined = request.segments.join(QLatin1Char('/'));
    for (int i = 0; i < m_failures.size(); ++i) {
        if (joined.contains(m_failures.at(i).pathPart)) {
            const Failure failure = m_failures.takeAt(i);
            return error(failure.status,
                failure.reason.isEmpty() ? QStringLiteral("backendError") : failure.reason,
                QStringLiteral("Injected failure"));
        }
    }

    const QStringList &s = request.segments;
    const QString &m = request.method;
    if (s == QStringList {"users", "me", "calendarList"} && m == u"GET")
        return listCalendars(request);
    if (s == QStringList {"channels", "stop"} && m == u"POST")
        return stop(request);
    if (s.size() >= 3 && s.at(0) == u"calendars" && s.at(2) == u"events") {
        const QString &calendarId = s.at(1);
        if (!m_store.hasCalendar(calendarId))
            return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
        if (s.size() == 3 && m == u"GET")
            return listEvents(calendarId, request);
        if (s.size() == 3 && m == u"POST")
            return insert(calendarId, request);
        if (s.size() == 4 && s.at(3) == u"watch" && m == u"POST")
            return watch(calendarId, request);
        if (s.size() == 4 && s.at(3) != u"watch" && m == u"GET") {
            const QJsonObject found = m_store.event(calendarId, s.at(3));
            if (found.isEmpty())
                return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
            return Reply {200, found, false};
        }
        if (s.size() == 4 && (m == u"PUT" || m == u"PATCH"))
            return update(calendarId, s.at(3), request, m == u"PATCH");
        if (s.size() == 4 && m == u"DELETE")
            return remove(calendarId, s.at(3));
    }
    m_unexpected.note(m + QLatin1Char(' ') + joined);
    return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
}

FakeGoogleRouter::Reply FakeGoogleRouter::listCalendars(const LoggedRequest &request)
{
    const QString pageToken = request.query.queryItemValue(QStringLiteral("pageToken"));
    const int offset = pageToken.isEmpty() ? 0 : pageToken.section(QLatin1Char(':'), 1).toInt();
    return page(m_store.calendarEntries(), offset, m_pageSize, QStringLiteral("calendars"),
        {{QStringLiteral("kind"), QStringLiteral("calendar#calendarList")}});
}

FakeGoogleRouter::Reply FakeGoogleRouter::listEvents(
    const QString &calendarId, const LoggedRequest &request)
{
    const QUrlQuery &query = request.query;
    const QString syncToken = query.queryItemValue(QStringLiteral("syncToken"));
    const bool showDeleted = query.queryItemValue(QStringLiteral("showDeleted")) == u"true";
    const QString pageToken = query.queryItemValue(QStringLiteral("pageToken"));
    // A page token carries the offset and the sequence the listing started at.
    const int offset = pageToken.isEmpty() ? 0 : pageToken.section(QLatin1Char(':'), 1, 1).toInt();
    const qint64 snapshot = pageToken.isEmpty()
        ? m_store.sequence()
        : pageToken.section(QLatin1Char(':'), 2, 2).toLongLong();
    const int pageSize = query.hasQueryItem(QStringLiteral("maxResults"))
        ? std::min(m_pageSize, query.queryItemValue(QStringLiteral("maxResults")).toInt())
        : m_pageSize;

    QList<QJsonObject> items;
    if (!syncToken.isEmpty()) {
        if (query.hasQueryItem(QStringLiteral("timeMin"))
            || query.hasQueryItem(QStringLiteral("timeMax")))
            return error(
                400, QStringLiteral("invalid"), QStringLiteral("syncToken with a time window"));
        if (query.queryItemValue(QStringLiteral("showDeleted")) == u"false")
            return error(
                400, QStringLiteral("invalid"), QStringLiteral("syncToken without deleted events"));
        const auto changes = m_store.changesSince(calendarId, syncToken, snapshot);
        if (!changes)
            return error(410, QStringLiteral("fullSyncRequired"),
                QStringLiteral("Sync token is no longer valid"));
        items = *changes;
    } else {
        const QDateTime timeMin = QDateTime::fromString(
            query.queryItemValue(QStringLiteral("timeMin")), Qt::ISODateWithMs);
        const QDateTime timeMax = QDateTime::fromString(
            query.queryItemValue(QStringLiteral("timeMax")), Qt::ISODateWithMs);
        if ((query.hasQueryItem(QStringLiteral("timeMin")) && !timeMin.isValid())
            || (query.hasQueryItem(QStringLiteral("timeMax")) && !timeMax.isValid()))
            return error(400, QStringLiteral("badRequest"), QStringLiteral("Bad time bound"));
        const bool singleEvents = query.queryItemValue(QStringLiteral("singleEvents")) == u"true";
        const bool byStartTime = query.queryItemValue(QStringLiteral("orderBy")) == u"startTime";
        if (byStartTime && !singleEvents)
            return error(400, QStringLiteral("badRequest"),
                QStringLiteral(
                    "The requested ordering is not available for the particular query."));
        items = m_store.eventsWithin(
            calendarId, timeMin, timeMax, showDeleted, byStartTime, singleEvents);
    }

    Reply reply = page(items, offset, pageSize, QStringLiteral("events:%1").arg(snapshot),
        {{QStringLiteral("kind"), QStringLiteral("calendar#events")}});
    // Only the last page hands out the position to resume from.
    if (!reply.body.contains(QStringLiteral("nextPageToken")))
        reply.body.insert(
            QStringLiteral("nextSyncToken"), m_store.issueSyncToken(calendarId, snapshot));
    return reply;
}

FakeGoogleRouter::Reply FakeGoogleRouter::page(const QList<QJsonObject> &items, int offset,
    int pageSize, const QString &pageKey, const QJsonObject &lastPageExtras)
{
    QJsonArray pageItems;
    for (int i = offset; i < items.size() && i < offset + pageSize; ++i)
        pageItems.append(items.at(i));
    Reply reply;
    reply.body.insert(QStringLiteral("items"), pageItems);
    reply.body.insert(QStringLiteral("kind"), lastPageExtras.value(QStringLiteral("kind")));
    if (offset + pageSize < items.size()) {
        // Keys are "<kind>:<offset>[:<snapshot>]".
        const QString kind = pageKey.section(QLatin1Char(':'), 0, 0);
        const QString snapshot = pageKey.section(QLatin1Char(':'), 1, 1);
        QString next = kind + QLatin1Char(':') + QString::number(offset + pageSize);
        if (!snapshot.isEmpty())
            next += QLatin1Char(':') + snapshot;
        reply.body.insert(QStringLiteral("nextPageToken"), next);
    } else {
        for (auto it = lastPageExtras.begin(); it != lastPageExtras.end(); ++it)
            reply.body.insert(it.key(), it.value());
    }
    return reply;
}

FakeGoogleRouter::Reply FakeGoogleRouter::watch(
    const QString &calendarId, const LoggedRequest &request)
{
    const QJsonObject &body = request.body;
    const QString id = body.value(QStringLiteral("id")).toString();
    if (id.isEmpty() || m_channels.contains(id))
        return error(
            400, QStringLiteral("channelIdNotUnique"), QStringLiteral("Channel id not unique"));
    if (body.value(QStringLiteral("type")).toString() != u"web_hook")
        return error(400, QStringLiteral("invalid"), QStringLiteral("Unknown channel type"));
    const QUrl address(body.value(QStringLiteral("address")).toString());
    if (!address.isValid() || address.scheme().isEmpty())
        return error(400, QStringLiteral("invalid"), QStringLiteral("Bad address"));

    Channel channel;
    channel.id = id;
    channel.resourceId = QStringLiteral("res-%1").arg(m_store.takeId());
    channel.calendarId = calendarId;
    channel.token = body.value(QStringLiteral("token")).toString();
    channel.address = address;
    channel.expiration = m_clock().toMSecsSinceEpoch() + m_channelLifetimeMs;
    m_channels.insert(id, channel);

    Reply reply;
    reply.body = {{QStringLiteral("kind"), QStringLiteral("api#channel")},
        {QStringLiteral("id"), id}, {QStringLiteral("resourceId"), channel.resourceId},
        {QStringLiteral("resourceUri"), eventsUri(calendarId)},
        {QStringLiteral("token"), channel.token},
        {QStringLiteral("expiration"), QString::number(channel.expiration)}};
    // Google confirms a new channel with a "sync" message right away.
    notify(m_channels[id], QStringLiteral("sync"));
    return reply;
}

FakeGoogleRouter::Reply FakeGoogleRouter::stop(const LoggedRequest &request)
{
    const QString id = request.body.value(QStringLiteral("id")).toString();
    const QString resourceId = request.body.value(QStringLiteral("resourceId")).toString();
    auto channel = m_channels.find(id);
    if (channel == m_channels.end() || channel->stopped || channel->resourceId != resourceId)
        return error(404, QStringLiteral("notFound"), QStringLiteral("Channel not found"));
    channel->stopped = true;
    Reply reply;
    reply.status = 204;
    reply.empty = true;
    return reply;
}

FakeGoogleRouter::Reply FakeGoogleRouter::insert(
    const QString &calendarId, const LoggedRequest &request)
{
    QJsonObject event = request.body;
    const QJsonValue conference = event.take(QStringLiteral("conferenceData"));
    event = mergePatch({}, event);
    if (const auto mixed = mixedBoundary(event))
        return error(400, QStringLiteral("invalid"), *mixed);
    const QDateTime start
        = FakeGoogleEventStore::boundaryMoment(event.value(QStringLiteral("start")).toObject());
    const QDateTime end
        = FakeGoogleEventStore::boundaryMoment(event.value(QStringLiteral("end")).toObject());
    if (!start.isValid() || !end.isValid() || end <= start)
        return error(400, QStringLiteral("timeRangeEmpty"),
            QStringLiteral("The specified time range is empty."));
    const bool versioned
        = request.query.queryItemValue(QStringLiteral("conferenceDataVersion")) == u"1";
    event.remove(QStringLiteral("id"));
    if (auto refused = applyConference(event, conference, versioned))
        return *refused;
    Reply reply;
    reply.body = m_store.addEvent(calendarId, event);
    return reply;
}

FakeGoogleRouter::Reply FakeGoogleRouter::update(
    const QString &calendarId, const QString &eventId, const LoggedRequest &request, bool patch)
{
    const QJsonObject stored = m_store.event(calendarId, eventId);
    if (stored.isEmpty() || FakeGoogleEventStore::isCancelled(stored))
        return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
    QJsonObject changes = request.body;
    const bool versioned
        = request.query.queryItemValue(QStringLiteral("conferenceDataVersion")) == u"1";
    const QJsonValue conference = changes.take(QStringLiteral("conferenceData"));
    QJsonObject event = mergePatch(patch ? stored : QJsonObject {}, changes);
    // What a write cannot set, or only through the conference rules below, stays as stored.
    for (const char *kept : {"id", "created", "status", "iCalUID", "recurringEventId",
             "originalStartTime", "hangoutLink", "conferenceData"}) {
        if (stored.contains(QLatin1String(kept)))
            event.insert(QLatin1String(kept), stored.value(QLatin1String(kept)));
        else
            event.remove(QLatin1String(kept));
    }
    if (const auto mixed = mixedBoundary(event))
        return error(400, QStringLiteral("invalid"), *mixed);
    if (auto refused = applyConference(event, conference, versioned))
        return *refused;
    Reply reply;
    reply.body = m_store.replaceEvent(calendarId, event);
    return reply;
}

FakeGoogleRouter::Reply FakeGoogleRouter::remove(const QString &calendarId, const QString &eventId)
{
    const QJsonObject stored = m_store.event(calendarId, eventId);
    if (stored.isEmpty())
        return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
    if (FakeGoogleEventStore::isCancelled(stored))
        return error(410, QStringLiteral("deleted"), QStringLiteral("Resource has been deleted"));
    m_store.deleteEvent(calendarId, eventId);
    Reply reply;
    reply.status = 204;
    reply.empty = true;
    return reply;
}

std::optional<FakeGoogleRouter::Reply> FakeGoogleRouter::applyConference(
    QJsonObject &event, const QJsonValue &conferenceData, bool versioned)
{
    // Without conferenceDataVersion=1 Google leaves the conference as it is.
    if (!versioned || conferenceData.isUndefined())
        return std::nullopt;
    if (conferenceData.isNull()) {
        event.remove(QStringLiteral("conferenceData"));
        event.remove(QStringLiteral("hangoutLink"));
        return std::nullopt;
    }
    const QJsonObject given = conferenceData.toObject();
    const QJsonObject storedConference = event.value(QStringLiteral("conferenceData")).toObject();
    const QString requestId = given.value(QStringLiteral("createRequest"))
                                  .toObject()
                                  .value(QStringLiteral("requestId"))
                                  .toString();
    const QString storedRequestId = storedConference.value(QStringLiteral("createRequest"))
                                        .toObject()
                                        .value(QStringLiteral("requestId"))
                                        .toString();
    if (given.contains(QStringLiteral("createRequest")) && requestId != storedRequestId) {
        const QString code = QUuid::createUuid().toString(QUuid::Id128).left(10);
        const QString link = QStringLiteral("https://meet.google.com/%1-%2-%3")
                                 .arg(code.left(3), code.mid(3, 4), code.mid(7, 3));
        event.insert(QStringLiteral("hangoutLink"), link);
        event.insert(QStringLiteral("conferenceData"),
            QJsonObject {{QStringLiteral("createRequest"),
                             QJsonObject {{QStringLiteral("requestId"), requestId},
                                 {QStringLiteral("status"),
                                     QJsonObject {{QStringLiteral("statusCode"),
                                         QStringLiteral("success")}}}}},
                {QStringLiteral("conferenceSolution"),
                    QJsonObject {
                        {QStringLiteral("key"),
                            QJsonObject {{QStringLiteral("type"), QStringLiteral("hangoutsMeet")}}},
                        {QStringLiteral("name"), QStringLiteral("Google Meet")}}},
                {QStringLiteral("entryPoints"),
                    QJsonArray {
                        QJsonObject {{QStringLiteral("entryPointType"), QStringLiteral("video")},
                            {QStringLiteral("uri"), link}}}},
                {QStringLiteral("conferenceId"), code}});
        return std::nullopt;
    }
    // A conference of its own (an add-on's, or Meet's kept as it was): it needs a solution and
    // at least one way in.
    const QJsonObject merged = mergePatch(storedConference, given);
    const QString type = merged.value(QStringLiteral("conferenceSolution"))
                             .toObject()
                             .value(QStringLiteral("key"))
                             .toObject()
                             .value(QStringLiteral("type"))
                             .toString();
    if (type.isEmpty() || merged.value(QStringLiteral("entryPoints")).toArray().isEmpty())
        return error(400, QStringLiteral("invalid"), QStringLiteral("Invalid conference data."));
    event.insert(QStringLiteral("conferenceData"), merged);
    if (type != u"hangoutsMeet")
        event.remove(QStringLiteral("hangoutLink"));
    return std::nullopt;
}

FakeGoogleRouter::Reply FakeGoogleRouter::error(
    int status, const QString &reason, const QString &message)
{
    Reply reply;
    reply.status = status;
    reply.body = {{QStringLiteral("error"),
        QJsonObject {{QStringLiteral("code"), status}, {QStringLiteral("message"), message},
            {QStringLiteral("errors"),
                QJsonArray {QJsonObject {{QStringLiteral("domain"), QStringLiteral("global")},
                    {QStringLiteral("reason"), reason}, {QStringLiteral("message"), message}}}}}}};
    return reply;
}

QString FakeGoogleRouter::eventsUri(const QString &calendarId) const
{
    return m_apiRoot.toString() + QStringLiteral("calendars/")
        + QString::fromUtf8(QUrl::toPercentEncoding(calendarId)) + QStringLiteral("/events");
}

void FakeGoogleRouter::changed(const QString &calendarId)
{
    const qint64 now = m_clock().toMSecsSinceEpoch();
    for (auto &channel : m_channels) {
        if (channel.calendarId == calendarId && !channel.stopped && channel.expiration > now)
            notify(channel, QStringLiteral("exists"));
    }
}

void FakeGoogleRouter::notify(Channel &channel, const QString &state)
{
    QNetworkRequest request(channel.address);
    request.setRawHeader("X-Goog-Channel-ID", channel.id.toUtf8());
    request.setRawHeader("X-Goog-Channel-Token", channel.token.toUtf8());
    request.setRawHeader("X-Goog-Channel-Expiration",
        QDateTime::fromMSecsSinceEpoch(channel.expiration, Qt::UTC)
            .toString(QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
            .toUtf8());
    request.setRawHeader("X-Goog-Resource-ID", channel.resourceId.toUtf8());
    request.setRawHeader("X-Goog-Resource-URI", eventsUri(channel.calendarId).toUtf8());
    request.setRawHeader("X-Goog-Resource-State", state.toUtf8());
    request.setRawHeader("X-Goog-Message-Number", QByteArray::number(++channel.messageNumber));
    request.setHeader(QNetworkRequest::ContentLengthHeader, 0);
    QNetworkReply *reply = m_network.post(request, QByteArray());
    // The reply belongs to m_network, which goes with this router.
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        ++m_notificationsAnswered;
        reply->deleteLater();
    });
    ++m_notificationsSent;
    if (m_posted)
        m_posted(channel.id, state);
}

} // namespace tolvo::test
