#pragma once

#include "core/Clock.h"
#include "support/FakeGoogleEventStore.h"
#include "support/ProblemLog.h"

#include <QJsonObject>
#include <QList>
#include <QNetworkAccessManager>
#include <QSet>
#include <QUrl>
#include <QUrlQuery>

#include <functional>
#include <optional>

class QHttpServerRequest;

namespace tolvo::test {

// The HTTP face of the Google fake: reads each request, checks its credentials, answers the
// Calendar v3 routes from the event store and keeps the watch channels it posts changes to.
class FakeGoogleRouter
{
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

    struct Reply
    {
        int status = 200;
        QJsonObject body;
        bool empty = false;
    };

    // `posted` hears of every push notification sent, with its channel id and state.
    FakeGoogleRouter(FakeGoogleEventStore &store,
        std::function<void(const QString &channelId, const QString &state)> posted);

    void setApiRoot(const QUrl &root) { m_apiRoot = root; }
    Reply handle(const QHttpServerRequest &request);
    // Tells the live channels of the calendar that its events changed.
    void changed(const QString &calendarId);

    void acceptAccessToken(const QString &token) { m_accessTokens.insert(token); }
    void acceptAccessTokensFrom(std::function<bool(const QString &)> isLive)
    {
        m_isLiveToken = std::move(isLive);
    }
    void revokeAccessTokens() { m_accessTokens.clear(); }
    void setInsufficientScopes(bool on) { m_insufficientScopes = on; }
    void failNext(const QString &pathPart, int status, const QString &reason);
    void setPageSize(int size) { m_pageSize = size; }
    void setChannelLifetimeMs(qint64 ms) { m_channelLifetimeMs = ms; }
    // Channel expirations are counted from this clock's time.
    void setClock(Clock clock) { m_clock = std::move(clock); }

    const QList<LoggedRequest> &requests() const { return m_log; }
    QList<LoggedRequest> requestsTo(const QString &method, const QString &lastSegment) const;
    void clearLog() { m_log.clear(); }
    ProblemLog &unexpected() { return m_unexpected; }
    const ProblemLog &unexpected() const { return m_unexpected; }
    QList<Channel> channels() const { return m_channels.values(); }
    int notificationsSent() const { return m_notificationsSent; }
    // Posts that ended, delivered or refused.
    int notificationsAnswered() const { return m_notificationsAnswered; }

private:
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
    QString eventsUri(const QString &calendarId) const;
    void notify(Channel &channel, const QString &state);
    // Applies a write's conferenceData (absent, null, a create request or a conference of its
    // own); a refusal when what would be stored is no conference Google accepts.
    std::optional<Reply> applyConference(
        QJsonObject &event, const QJsonValue &conferenceData, bool versioned);

    FakeGoogleEventStore &m_store;
    std::function<void(const QString &, const QString &)> m_posted;
    QUrl m_apiRoot;
    QSet<QString> m_accessTokens;
    std::function<bool(const QString &)> m_isLiveToken;
    bool m_insufficientScopes = false;
    QHash<QString, Channel> m_channels;
    QList<Failure> m_failures;
    QList<LoggedRequest> m_log;
    ProblemLog m_unexpected {QStringLiteral("FakeGoogleCalendar")};
    int m_pageSize = 250;
    qint64 m_channelLifetimeMs = 7LL * 24 * 3600 * 1000;
    Clock m_clock = systemClock();
    int m_notificationsSent = 0;
    int m_notificationsAnswered = 0;
    QNetworkAccessManager m_network;
};

} // namespace tolvo::test
