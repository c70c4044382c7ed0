#pragma once

#include "support/FakeGoogleEventStore.h"
#include "support/FakeGoogleRouter.h"

#include <QAbstractHttpServer>
#include <QHttpServerResponder>
#include <QJsonObject>
#include <QList>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

namespace tolvo::test {

// A loopback stand-in for the Google Calendar v3 subset Tolvo uses, strict about what it
// accepts. Tests seed it and change events "elsewhere" through its C++ control API; it posts
// push notifications to each channel's address like Google does.
class FakeGoogleCalendar : public QAbstractHttpServer
{
    Q_OBJECT
public:
    using LoggedRequest = FakeGoogleRouter::LoggedRequest;
    using Channel = FakeGoogleRouter::Channel;

    explicit FakeGoogleCalendar(QObject *parent = nullptr);

    // The relay as Google knows it: https on the same host and port. Google takes only https
    // push addresses; the fake delivers to them over plain HTTP, playing the TLS-terminating
    // proxy that stands in front of a real relay.
    static QUrl behindTls(QUrl relay)
    {
        relay.setScheme(QStringLiteral("https"));
        return relay;
    }

    // Listens on 127.0.0.1 at a free port.
    quint16 start();
    QUrl apiRoot() const; // http://127.0.0.1:<port>/calendar/v3/

    // Requests must carry "Authorization: Bearer <token>" with a token accepted here.
    void acceptAccessToken(const QString &token) { m_router.acceptAccessToken(token); }
    // Also accept whatever this says is live (the OAuth fake's issued tokens).
    void acceptAccessTokensFrom(std::function<bool(const QString &)> isLive)
    {
        m_router.acceptAccessTokensFrom(std::move(isLive));
    }
    void revokeAccessTokens() { m_router.revokeAccessTokens(); }
    // Answers 403 insufficientPermissions as if the grant lacked the calendar scopes.
    void setInsufficientScopes(bool on) { m_router.setInsufficientScopes(on); }

    void addCalendar(const QString &id, const QString &summary, const QString &color = {},
        const QString &accessRole = QStringLiteral("owner"))
    {
        m_store.addCalendar(id, summary, color, accessRole);
    }
    // Adds an event as if made elsewhere (id, created, updated, status filled when missing).
    QJsonObject addEvent(const QString &calendarId, QJsonObject event)
    {
        return m_store.addEvent(calendarId, std::move(event));
    }
    void modifyEvent(const QString &calendarId, const QString &eventId, const QJsonObject &changes)
    {
        m_store.modifyEvent(calendarId, eventId, changes);
    }
    void deleteEvent(const QString &calendarId, const QString &eventId)
    {
        m_store.deleteEvent(calendarId, eventId);
    }
    QJsonObject event(const QString &calendarId, const QString &eventId) const
    {
        return m_store.event(calendarId, eventId);
    }

    // The next request whose path contains `pathPart` fails with `status` (and `reason`).
    void failNext(const QString &pathPart, int status, const QString &reason = {})
    {
        m_router.failNext(pathPart, status, reason);
    }
    // Requests whose path contains `pathPart` are answered only when released (with the
    // answer made when they arrived), as a slow Google would.
    void hold(const QString &pathPart) { m_held.append(pathPart); }
    // Answers every held request and holds no more.
    void releaseHeld();
    int heldCount() const { return int(m_waiting.size()); }
    void setPageSize(int size) { m_router.setPageSize(size); }
    // Every sync token handed out so far becomes unknown (410 fullSyncRequired).
    void expireSyncTokens() { m_store.expireSyncTokens(); }
    void setChannelLifetimeMs(qint64 ms) { m_router.setChannelLifetimeMs(ms); }
    // The clock the channel expirations are counted from (the system's by default).
    void setClock(Clock clock) { m_router.setClock(std::move(clock)); }

    const QList<LoggedRequest> &requests() const { return m_router.requests(); }
    QList<LoggedRequest> requestsTo(const QString &method, const QString &lastSegment) const
    {
        return m_router.requestsTo(method, lastSegment);
    }
    void clearLog() { m_router.clearLog(); }
    // Requests outside the API it serves (see ProblemLog).
    const QStringList &unexpectedRequests() const { return m_router.unexpected().entries(); }
    QStringList takeUnexpectedRequests() { return m_router.unexpected().take(); }
    QList<Channel> channels() const { return m_router.channels(); }
    int notificationsSent() const { return m_router.notificationsSent(); }
    // Sent notifications whose post ended, delivered or refused.
    int notificationsAnswered() const { return m_router.notificationsAnswered(); }

signals:
    void notificationPosted(const QString &channelId, const QString &state);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    // The store is declared first: the router holds on to it.
    FakeGoogleEventStore m_store;
    FakeGoogleRouter m_router;
    quint16 m_port = 0;
    struct Waiting
    {
        std::unique_ptr<QHttpServerResponder> responder;
        FakeGoogleRouter::Reply reply;
    };
    QStringList m_held;
    std::vector<Waiting> m_waiting;
};

// A weekly series as an organiser creates it on Google: 10:30-11:00 in Berlin, from Wednesday
// 16 December 2026, `count` occurrences.
QJsonObject berlinWeeklySeries(const QString &id, const QString &summary, int count);

} // namespace tolvo::test
