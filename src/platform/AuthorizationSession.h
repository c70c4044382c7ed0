#pragma once

#include "core/Clock.h"
#include "core/OneShot.h"
#include "core/Result.h"
#include "platform/OAuthClient.h"

#include <QCoro/QCoroTask>
#include <QNetworkRequest>
#include <QObject>

#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace tolvo {

// A signed-in Google session: its tokens and their refresh. It signs requests, refreshing the
// access token first when it has expired (or is about to); concurrent callers share one
// refresh. A refresh answered `invalid_grant` ends the session's ability to authorise. Lives on
// the main thread; share it through std::shared_ptr.
class AuthorizationSession : public QObject,
                             public std::enable_shared_from_this<AuthorizationSession>
{
    Q_OBJECT
public:
    static std::shared_ptr<AuthorizationSession> create(
        OAuthClientConfig config, TokenResponse tokens, Clock clock = systemClock());
    // The keychain form back into a session; a decoding error for anything else.
    static Result<std::shared_ptr<AuthorizationSession>> fromJson(
        const QByteArray &json, OAuthClientConfig config, Clock clock = systemClock());
    ~AuthorizationSession() override;

    // The keychain form: tokens and expiry.
    QByteArray toJson() const;

    // Whether the session can still sign requests: it has a refresh token, or an access token
    // that has not expired, and no refresh was refused.
    bool canAuthorize() const;
    const TokenResponse &tokens() const { return m_tokens; }

    // A valid access token, refreshed first when needed.
    QCoro::Task<Result<QString>> accessToken();
    // `request` with "Authorization: Bearer <token>".
    QCoro::Task<Result<QNetworkRequest>> authorize(QNetworkRequest request);

    // Google refused `accessToken` (401): the next authorize refreshes it first, unless a
    // refresh already replaced it.
    void rejectAccessToken(const QString &accessToken);

    // How long before its expiry an access token is already refreshed.
    static constexpr int expiryLeewaySeconds = 60;

signals:
    // A refresh replaced the tokens.
    void tokensChanged();

private:
    struct Refresh
    {
        OneShot done;
        std::optional<Result<QString>> result;
    };

    AuthorizationSession(OAuthClientConfig config, TokenResponse tokens, Clock clock);
    bool accessTokenIsFresh() const;
    static QCoro::Task<Result<QString>> fetchAccessToken(
        std::shared_ptr<AuthorizationSession> self);
    static QCoro::Task<> runRefresh(
        std::shared_ptr<AuthorizationSession> self, std::shared_ptr<Refresh> refresh);

    OAuthClientConfig m_config;
    TokenResponse m_tokens;
    Clock m_clock;
    std::optional<Error> m_refusal; // set once a refresh is refused for good
    std::shared_ptr<Refresh> m_refresh; // the refresh in flight
    QNetworkAccessManager *m_network = nullptr;
};

} // namespace tolvo
