#include "support/FakeGoogleCalendar.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>

#include <algorithm>

namespace tolvo::test {

FakeGoogleCalendar::FakeGoogleCalendar(QObject *parent)
    : QAbstractHttpServer(parent)
    , m_router(m_store, [this](const QString &channelId, const QString &state) {
        emit notificationPosted(channelId, state);
    })
{
    m_store.onChange([this](const QString &calendarId) { m_router.changed(calendarId); });
}

quint16 FakeGoogleCalendar::start()
{
    m_port = listen(QHostAddress::LocalHost, 0);
    m_router.setApiRoot(apiRoot());
    return m_port;
}

QUrl FakeGoogleCalendar::apiRoot() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/v3/").arg(m_port));
}

namespace {
void answer(QHttpServerResponder &responder, const FakeGoogleRouter::Reply &reply)
{
    if (reply.empty) {
        responder.write(QHttpServerResponder::StatusCode(reply.status));
    } else {
        responder.write(QJsonDocument(reply.body), QHttpServerResponder::StatusCode(reply.status));
    }
}
} // namespace

bool FakeGoogleCalendar::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const FakeGoogleRouter::Reply reply = m_router.handle(request);
    QHttpServerResponder responder = makeResponder(request, socket);
    const QString path = request.url().path();
    const bool held = std::any_of(m_held.cbegin(), m_held.cend(),
        [&path](const QString &part) { return path.contains(part); });
    if (held) {
        m_waiting.push_back({std::make_unique<QHttpServerResponder>(std::move(responder)), reply});
        return true;
    }
    answer(responder, reply);
    return true;
}

void FakeGoogleCalendar::releaseHeld()
{
    m_held.clear();
    std::vector<Waiting> waiting = std::move(m_waiting);
    m_waiting.clear();
    for (Waiting &entry : waiting)
        answer(*entry.responder, entry.reply);
}

void FakeGoogleCalendar::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

QJsonObject berlinWeeklySeries(const QString &id, const QString &summary, int count)
{
    const auto at = [](const char *dateTime) {
        return QJsonObject {{"dateTime", dateTime}, {"timeZone", "Europe/Berlin"}};
    };
    return {{"id", id}, {"summary", summary},
        {"recurrence", QJsonArray {QStringLiteral("RRULE:FREQ=WEEKLY;COUNT=%1").arg(count)}},
        {"start", at("2026-12-16T10:30:00+01:00")}, {"end", at("2026-12-16T11:00:00+01:00")}};
}

} // namespace tolvo::test
