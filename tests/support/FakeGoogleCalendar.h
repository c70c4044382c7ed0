#pragma once

#include "support/ProblemLog.h"

#include <QAbstractHttpServer>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QNetworkAccessManager>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>

#include <functional>

namespace tolvo::test {

// A loopback stand-in for the Google Calendar v3 subset Tolvo uses, strict about what it
// accepts. Tests seed it and change events "elsewhere" through its C++ control API; it posts
// push notifications to each channel's address like Google does.
class FakeGoogleCalendar : public QAbstractHttpServer
{
    Q_OBJECT
public:
    struct LoggedRequest
    {
        QString method;
        QStringList segments; // decoded path segments after /calendar/v3/
        QUrlQuery query;
        QJsonObject body;
        QByteArray authorization;
    };

    struct Channel
    {
        QString id;
        QString resourceId;
        QString calendarId;
        QString token;
        QUrl address;
        qint64 expiration = 0;
        int messageNumber = 0;
        bool stopped = false;
    };

    explicit FakeGoogleCalendar(QObject *parent = nullptr);

    // Listens on 127.0.0.1 at a free port.
    quint16 start();
    QUrl apiRoot() const; // http://127.0.0.1:<port>/calendar/v3/

    // Requests must carry "Authorization: Bearer <token>" with a token accepted here.
    void acceptAccessToken(const QString &token) { m_accessTokens.insert(token); }
    // Also accept whatever this says is live (the OAuth fake's issued tokens).
    void acceptAccessTokensFrom(std::function<bool(const QString &)> isLive)
    {
        m_isLiveToken = std::move(isLive);
    }
    void revokeAccessTokens() { m_accessTokens.clear(); }
    // Answers 403 insufficientPermissions as if the grant lacked the calendar scopes.
    void setInsufficientScopes(bool on) { m_insufficientScopes = on; }

    void addCalendar(const QString &id, const QString &summary, const QString &color = {},
        const QString &accessRole = QStringLiteral("owner"));
    // Adds an event as if made elsewhere (id, created, updated, status filled when missing).
    QJsonObject addEvent(const QString &calendarId, QJsonObject event);
    void modifyEvent(const QString &calendarId, const QString &eventId, const QJsonObject &changes);
    void deleteEvent(const QString &calendarId, const QString &eventId);
    QJsonObject event(const QString &calendarId, const QString &eventId) const;

    // The next request whose path contains `pathPart` fails with `status` (and `reason`).
    void failNext(const QString &pathPart, int status, const QString &reason = {});
    void setPageSize(int size) { m_pageSize = size; }
    // Every sync token handed out so far becomes unknown (410 fullSyncRequired).
    void expireSyncTokens() { m_syncTokens.clear(); }
    void setChannelLifetimeMs(qint64 ms) { m_channelLifetimeMs = ms; }

    const QList<LoggedRequest> &requests() const { return m_log; }
    QList<LoggedRequest> requestsTo(const QString &method, const QString &lastSegment) const;
    void clearLog() { m_log.clear(); }
    // Requests outside the API it serves (see ProblemLog).
    const QStringList &unexpectedRequests() const { return m_unexpected.entries(); }
    QStringList takeUnexpectedRequests() { return m_unexpected.take(); }
    QList<Channel> channels() const { return m_channels.values(); }
    int notificationsSent() const { return m_notificationsSent; }

signals:
    void notificationPosted(const QString &channelId, const QString &state);

protected:
    bool handleRequest(const QHttpServerRequest &request, QTcpSocket *socket) override;
    void missingHandler(const QHttpServerRequest &request, QTcpSocket *socket) override;

private:
    struct Reply
    {
        int status = 200;
        QJsonObject body;
        bool empty = false;
    };
    struct StoredEvent
    {
        QJsonObject resource;
        qint64 sequence = 0;
    };
    struct Calendar
    {
        QJsonObject entry;
        QList<StoredEvent> events;
    };
    struct Failure
    {
        QString pathPart;
        int status;
        QString reason;
    };

    Reply route(const LoggedRequest &request);
    Reply listCalendars(const LoggedRequest &request);
    Reply listEvents(const QString &calendarId, const LoggedRequest &request);
    Reply watch(const QString &calendarId, const LoggedRequest &request);
    Reply stop(const LoggedRequest &request);
    Reply insert(const QString &calendarId, const LoggedRequest &request);
    Reply update(const QString &calendarId, const QString &eventId, const LoggedRequest &request,
        bool patch);
    Reply remove(const QString &calendarId, const QString &eventId);

    static Reply error(int status, const QString &reason, const QString &message);
    static Reply page(const QList<QJsonObject> &items, int offset, int pageSize,
        const QString &pageKey, const QJsonObject &lastPageExtras);
    StoredEvent *find(const QString &calendarId, const QString &eventId);
    QString nowText() const;
    qint64 nextSequence() { return ++m_sequence; }
    void changed(const QString &calendarId);
    void notify(Channel &channel, const QString &state);
    void applyConference(QJsonObject &event, const QJsonObject &conferenceData, bool versioned);

    QSet<QString> m_accessTokens;
    std::function<bool(const QString &)> m_isLiveToken;
    bool m_insufficientScopes = false;
    QMap<QString, Calendar> m_calendars; // ordered by insertion key below
    QStringList m_calendarOrder;
    QHash<QString, QPair<QString, qint64>> m_syncTokens; // token -> calendar, sequence
    QHash<QString, Channel> m_channels;
    QList<Failure> m_failures;
    QList<LoggedRequest> m_log;
    ProblemLog m_unexpected {QStringLiteral("FakeGoogleCalendar")};
    qint64 m_sequence = 0;
    int m_nextId = 1;
    int m_pageSize = 250;
    qint64 m_channelLifetimeMs = 7LL * 24 * 3600 * 1000;
    int m_notificationsSent = 0;
    quint16 m_port = 0;
    QNetworkAccessManager m_network;
};

} // namespace tolvo::test
