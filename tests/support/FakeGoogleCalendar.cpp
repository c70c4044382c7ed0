#include "support/FakeGoogleCalendar.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTcpServer>
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

QDateTime boundaryMoment(const QJsonObject &time)
{
    if (time.contains(QStringLiteral("dateTime")))
        return QDateTime::fromString(
            time.value(QStringLiteral("dateTime")).toString(), Qt::ISODateWithMs);
    const QDate date
        = QDate::fromString(time.value(QStringLiteral("date")).toString(), Qt::ISODate);
    return date.isValid() ? QDateTime(date, QTime(0, 0), Qt::UTC) : QDateTime();
}

bool isCancelled(const QJsonObject &event)
{
    return event.value(QStringLiteral("status")).toString() == u"cancelled";
}
} // namespace

FakeGoogleCalendar::FakeGoogleCalendar(QObject *parent)
    : QAbstractHttpServer(parent)
{
}

quint16 FakeGoogleCalendar::start()
{
    m_port = listen(QHostAddress::LocalHost, 0);
    return m_port;
}

QUrl FakeGoogleCalendar::apiRoot() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/v3/").arg(m_port));
}

void FakeGoogleCalendar::addCalendar(
    const QString &id, const QString &summary, const QString &color, const QString &accessRole)
{
    QJsonObject entry {{QStringLiteral("kind"), QStringLiteral("calendar#calendarListEntry")},
        {QStringLiteral("id"), id}};
    if (!summary.isEmpty())
        entry.insert(QStringLiteral("summary"), summary);
    if (!color.isEmpty())
        entry.insert(QStringLiteral("backgroundColor"), color);
    if (!accessRole.isEmpty())
        entry.insert(QStringLiteral("accessRole"), accessRole);
    if (!m_calendars.contains(id))
        m_calendarOrder.append(id);
    m_calendars[id].entry = entry;
}

QJsonObject FakeGoogleCalendar::addEvent(const QString &calendarId, QJsonObject event)
{
    if (!event.contains(QStringLiteral("id")))
        event.insert(QStringLiteral("id"), QStringLiteral("evt%1").arg(m_nextId++));
    if (!event.contains(QStringLiteral("status")))
        event.insert(QStringLiteral("status"), QStringLiteral("confirmed"));
    const QString now = nowText();
    if (!event.contains(QStringLiteral("created")))
        event.insert(QStringLiteral("created"), now);
    if (!event.contains(QStringLiteral("updated")))
        event.insert(QStringLiteral("updated"), event.value(QStringLiteral("created")));
    m_calendars[calendarId].events.append({event, nextSequence()});
    changed(calendarId);
    return event;
}

void FakeGoogleCalendar::modifyEvent(
    const QString &calendarId, const QString &eventId, const QJsonObject &changes)
{
    StoredEvent *stored = find(calendarId, eventId);
    if (!stored)
        return;
    for (auto it = changes.begin(); it != changes.end(); ++it)
        stored->resource.insert(it.key(), it.value());
    if (!changes.contains(QStringLiteral("updated")))
        stored->resource.insert(QStringLiteral("updated"), nowText());
    stored->sequence = nextSequence();
    changed(calendarId);
}

void FakeGoogleCalendar::deleteEvent(const QString &calendarId, const QString &eventId)
{
    modifyEvent(calendarId, eventId, {{QStringLiteral("status"), QStringLiteral("cancelled")}});
}

QJsonObject FakeGoogleCalendar::event(const QString &calendarId, const QString &eventId) const
{
    for (const auto &stored : m_calendars.value(calendarId).events) {
        if (stored.resource.value(QStringLiteral("id")).toString() == eventId)
            return stored.resource;
    }
    return {};
}

void FakeGoogleCalendar::failNext(const QString &pathPart, int status, const QString &reason)
{
    m_failures.append({pathPart, status, reason});
}

QList<FakeGoogleCalendar::LoggedRequest> FakeGoogleCalendar::requestsTo(
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

bool FakeGoogleCalendar::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
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

    Reply reply;
    if (!path.startsWith(prefix)) {
        m_unexpected.note(logged.method + QLatin1Char(' ') + path);
        reply = error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
    } else {
        for (const QString &segment : path.mid(prefix.size()).split(QLatin1Char('/')))
            logged.segments.append(QUrl::fromPercentEncoding(segment.toUtf8()));
        m_log.append(logged);
        reply = route(logged);
    }

    QHttpServerResponder responder = makeResponder(request, socket);
    if (reply.empty) {
        responder.write(QHttpServerResponder::StatusCode(reply.status));
    } else {
        responder.write(QJsonDocument(reply.body), QHttpServerResponder::StatusCode(reply.status));
    }
    return true;
}

void FakeGoogleCalendar::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::route(const LoggedRequest &request)
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
        if (!m_calendars.contains(calendarId))
            return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
        if (s.size() == 3 && m == u"GET")
            return listEvents(calendarId, request);
        if (s.size() == 3 && m == u"POST")
            return insert(calendarId, request);
        if (s.size() == 4 && s.at(3) == u"watch" && m == u"POST")
            return watch(calendarId, request);
        if (s.size() == 4 && s.at(3) != u"watch" && m == u"GET") {
            const QJsonObject found = event(calendarId, s.at(3));
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

FakeGoogleCalendar::Reply FakeGoogleCalendar::listCalendars(const LoggedRequest &request)
{
    QList<QJsonObject> items;
    for (const QString &id : m_calendarOrder)
        items.append(m_calendars.value(id).entry);
    const QString pageToken = request.query.queryItemValue(QStringLiteral("pageToken"));
    const int offset = pageToken.isEmpty() ? 0 : pageToken.section(QLatin1Char(':'), 1).toInt();
    return page(items, offset, m_pageSize, QStringLiteral("calendars"),
        {{QStringLiteral("kind"), QStringLiteral("calendar#calendarList")}});
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::listEvents(
    const QString &calendarId, const LoggedRequest &request)
{
    const QUrlQuery &query = request.query;
    const QString syncToken = query.queryItemValue(QStringLiteral("syncToken"));
    const bool showDeleted = query.queryItemValue(QStringLiteral("showDeleted")) == u"true";
    const QString pageToken = query.queryItemValue(QStringLiteral("pageToken"));
    // A page token carries the offset and the sequence the listing started at.
    const int offset = pageToken.isEmpty() ? 0 : pageToken.section(QLatin1Char(':'), 1, 1).toInt();
    const qint64 snapshot
        = pageToken.isEmpty() ? m_sequence : pageToken.section(QLatin1Char(':'), 2, 2).toLongLong();
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
        const auto token = m_syncTokens.constFind(syncToken);
        if (token == m_syncTokens.constEnd() || token->first != calendarId)
            return error(410, QStringLiteral("fullSyncRequired"),
                QStringLiteral("Sync token is no longer valid"));
        for (const auto &stored : m_calendars.value(calendarId).events) {
            if (stored.sequence <= token->second || stored.sequence > snapshot)
                continue;
            if (isCancelled(stored.resource))
                items.append({{QStringLiteral("id"), stored.resource.value(QStringLiteral("id"))},
                    {QStringLiteral("status"), QStringLiteral("cancelled")}});
            else
                items.append(stored.resource);
        }
    } else {
        const QDateTime timeMin = QDateTime::fromString(
            query.queryItemValue(QStringLiteral("timeMin")), Qt::ISODateWithMs);
        const QDateTime timeMax = QDateTime::fromString(
            query.queryItemValue(QStringLiteral("timeMax")), Qt::ISODateWithMs);
        if ((query.hasQueryItem(QStringLiteral("timeMin")) && !timeMin.isValid())
            || (query.hasQueryItem(QStringLiteral("timeMax")) && !timeMax.isValid()))
            return error(400, QStringLiteral("badRequest"), QStringLiteral("Bad time bound"));
        for (const auto &stored : m_calendars.value(calendarId).events) {
            if (isCancelled(stored.resource) && !showDeleted)
                continue;
            const QDateTime start
                = boundaryMoment(stored.resource.value(QStringLiteral("start")).toObject());
            const QDateTime end
                = boundaryMoment(stored.resource.value(QStringLiteral("end")).toObject());
            if (timeMin.isValid() && end.isValid() && end <= timeMin)
                continue;
            if (timeMax.isValid() && start.isValid() && start >= timeMax)
                continue;
            items.append(stored.resource);
        }
        if (query.queryItemValue(QStringLiteral("orderBy")) == u"startTime") {
            std::stable_sort(
                items.begin(), items.end(), [](const QJsonObject &a, const QJsonObject &b) {
                    return boundaryMoment(a.value(QStringLiteral("start")).toObject())
                        < boundaryMoment(b.value(QStringLiteral("start")).toObject());
                });
        }
    }

    const QString token = QStringLiteral("sync-%1-%2").arg(m_syncTokens.size() + 1).arg(snapshot);
    Reply reply = page(items, offset, pageSize, QStringLiteral("events:%1").arg(snapshot),
        {{QStringLiteral("kind"), QStringLiteral("calendar#events")},
            {QStringLiteral("nextSyncToken"), token}});
    if (reply.body.contains(QStringLiteral("nextSyncToken")))
        m_syncTokens.insert(token, {calendarId, snapshot});
    return reply;
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::page(const QList<QJsonObject> &items, int offset,
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

FakeGoogleCalendar::Reply FakeGoogleCalendar::watch(
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
    channel.resourceId = QStringLiteral("res-%1").arg(m_nextId++);
    channel.calendarId = calendarId;
    channel.token = body.value(QStringLiteral("token")).toString();
    channel.address = address;
    channel.expiration = QDateTime::currentMSecsSinceEpoch() + m_channelLifetimeMs;
    m_channels.insert(id, channel);

    Reply reply;
    reply.body = {{QStringLiteral("kind"), QStringLiteral("api#channel")},
        {QStringLiteral("id"), id}, {QStringLiteral("resourceId"), channel.resourceId},
        {QStringLiteral("resourceUri"),
            apiRoot().toString() + QStringLiteral("calendars/")
                + QString::fromUtf8(QUrl::toPercentEncoding(calendarId))
                + QStringLiteral("/events")},
        {QStringLiteral("token"), channel.token},
        {QStringLiteral("expiration"), QString::number(channel.expiration)}};
    // Google confirms a new channel with a "sync" message right away.
    notify(m_channels[id], QStringLiteral("sync"));
    return reply;
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::stop(const LoggedRequest &request)
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

FakeGoogleCalendar::Reply FakeGoogleCalendar::insert(
    const QString &calendarId, const LoggedRequest &request)
{
    QJsonObject event = request.body;
    const QDateTime start = boundaryMoment(event.value(QStringLiteral("start")).toObject());
    const QDateTime end = boundaryMoment(event.value(QStringLiteral("end")).toObject());
    if (!start.isValid() || !end.isValid() || end <= start)
        return error(400, QStringLiteral("timeRangeEmpty"),
            QStringLiteral("The specified time range is empty."));
    const bool versioned
        = request.query.queryItemValue(QStringLiteral("conferenceDataVersion")) == u"1";
    const QJsonObject conference = event.take(QStringLiteral("conferenceData")).toObject();
    event.remove(QStringLiteral("id"));
    applyConference(event, conference, versioned);
    Reply reply;
    reply.body = addEvent(calendarId, event);
    return reply;
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::update(
    const QString &calendarId, const QString &eventId, const LoggedRequest &request, bool patch)
{
    StoredEvent *stored = find(calendarId, eventId);
    if (!stored || isCancelled(stored->resource))
        return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
    QJsonObject changes = request.body;
    const bool versioned
        = request.query.queryItemValue(QStringLiteral("conferenceDataVersion")) == u"1";
    const QJsonObject conference = changes.take(QStringLiteral("conferenceData")).toObject();
    QJsonObject event = patch ? stored->resource : QJsonObject {};
    for (auto it = changes.begin(); it != changes.end(); ++it)
        event.insert(it.key(), it.value());
    for (const char *kept : {"id", "created", "status", "iCalUID"})
        event.insert(QLatin1String(kept), stored->resource.value(QLatin1String(kept)));
    if (!patch && stored->resource.contains(QStringLiteral("hangoutLink")))
        event.insert(
            QStringLiteral("hangoutLink"), stored->resource.value(QStringLiteral("hangoutLink")));
    applyConference(event, conference, versioned);
    event.insert(QStringLiteral("updated"), nowText());
    stored->resource = event;
    stored->sequence = nextSequence();
    changed(calendarId);
    Reply reply;
    reply.body = event;
    return reply;
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::remove(
    const QString &calendarId, const QString &eventId)
{
    StoredEvent *stored = find(calendarId, eventId);
    if (!stored)
        return error(404, QStringLiteral("notFound"), QStringLiteral("Not Found"));
    if (isCancelled(stored->resource))
        return error(410, QStringLiteral("deleted"), QStringLiteral("Resource has been deleted"));
    deleteEvent(calendarId, eventId);
    Reply reply;
    reply.status = 204;
    reply.empty = true;
    return reply;
}

void FakeGoogleCalendar::applyConference(
    QJsonObject &event, const QJsonObject &conferenceData, bool versioned)
{
    if (!versioned || conferenceData.isEmpty())
        return;
    if (conferenceData.contains(QStringLiteral("createRequest"))) {
        const QString code = QUuid::createUuid().toString(QUuid::Id128).left(10);
        event.insert(QStringLiteral("hangoutLink"),
            QStringLiteral("https://meet.google.com/%1-%2-%3")
                .arg(code.left(3), code.mid(3, 4), code.mid(7, 3)));
    } else if (conferenceData.value(QStringLiteral("entryPoints")).toArray().isEmpty()) {
        event.remove(QStringLiteral("hangoutLink"));
    }
}

FakeGoogleCalendar::Reply FakeGoogleCalendar::error(
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

FakeGoogleCalendar::StoredEvent *FakeGoogleCalendar::find(
    const QString &calendarId, const QString &eventId)
{
    auto calendar = m_calendars.find(calendarId);
    if (calendar == m_calendars.end())
        return nullptr;
    for (auto &stored : calendar->events) {
        if (stored.resource.value(QStringLiteral("id")).toString() == eventId)
            return &stored;
    }
    return nullptr;
}

QString FakeGoogleCalendar::nowText() const
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

void FakeGoogleCalendar::changed(const QString &calendarId)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (auto &channel : m_channels) {
        if (channel.calendarId == calendarId && !channel.stopped && channel.expiration > now)
            notify(channel, QStringLiteral("exists"));
    }
}

void FakeGoogleCalendar::notify(Channel &channel, const QString &state)
{
    QNetworkRequest request(channel.address);
    request.setRawHeader("X-Goog-Channel-ID", channel.id.toUtf8());
    request.setRawHeader("X-Goog-Channel-Token", channel.token.toUtf8());
    request.setRawHeader("X-Goog-Channel-Expiration",
        QDateTime::fromMSecsSinceEpoch(channel.expiration, Qt::UTC)
            .toString(QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"))
            .toUtf8());
    request.setRawHeader("X-Goog-Resource-ID", channel.resourceId.toUtf8());
    request.setRawHeader("X-Goog-Resource-URI",
        (apiRoot().toString() + QStringLiteral("calendars/")
            + QString::fromUtf8(QUrl::toPercentEncoding(channel.calendarId))
            + QStringLiteral("/events"))
            .toUtf8());
    request.setRawHeader("X-Goog-Resource-State", state.toUtf8());
    request.setRawHeader("X-Goog-Message-Number", QByteArray::number(++channel.messageNumber));
    request.setHeader(QNetworkRequest::ContentLengthHeader, 0);
    QNetworkReply *reply = m_network.post(request, QByteArray());
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    ++m_notificationsSent;
    emit notificationPosted(channel.id, state);
}

} // namespace tolvo::test
