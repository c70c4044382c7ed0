#pragma once

#include "core/CancelToken.h"
#include "core/Clock.h"
#include "core/Result.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

#include <chrono>

class QNetworkAccessManager;

namespace tolvo {

// Codes of ErrorDomain::oauth besides HTTP statuses and Error::oauthInvalidGrant (-10).
namespace oauthcode {
inline constexpr int accessDenied = -1; // the user refused, or the server answered an error
inline constexpr int stateMismatch = -2; // the redirect's state is not the one we sent
inline constexpr int timedOut = -3; // the browser never came back
inline constexpr int listenerFailed = -4; // no loopback port to receive the redirect
inline constexpr int browserFailed = -5; // the browser could not be opened
inline constexpr int malformedResponse = -6; // the token endpoint's answer is unusable
inline constexpr int noRefreshToken = -7; // an expired session that cannot be refreshed
} // namespace oauthcode

// The installed-application client and the server it signs in with.
struct OAuthClientConfig
{
    QUrl authorizationEndpoint;
    QUrl tokenEndpoint;
    QString clientId;
    QString clientSecret;
    QStringList scopes; // sent in this order
    // A token request that moves no byte for this long ends with a timeout.
    std::chrono::milliseconds requestTimeout {30'000};
};

// One authorization request: the browser address and the secrets that check its answer.
struct AuthorizationRequest
{
    QUrl url;
    QUrl redirectUri;
    QString state;
    QString nonce;
    QString codeVerifier;
};

// What the token endpoint hands out. `expiresAt` is invalid when the server gave no lifetime.
struct TokenResponse
{
    QString accessToken;
    QString refreshToken;
    QString idToken;
    QString tokenType;
    QString scope;
    QDateTime expiresAt;

    friend bool operator==(const TokenResponse &, const TokenResponse &) = default;
};

// URL-safe base64 (no padding) of `bytes` random bytes from the system generator.
QString randomUrlSafeToken(int bytes = 32);
// The PKCE S256 challenge of a verifier.
QString pkceChallenge(const QString &verifier);

// A request with fresh random state, nonce and verifier, `response_type=code` and nothing else.
AuthorizationRequest makeAuthorizationRequest(
    const OAuthClientConfig &config, const QUrl &redirectUri);

// The token endpoint's answer as tokens, or as an error: `invalid_grant` carries
// Error::oauthInvalidGrant, any other HTTP failure its status. The message names the OAuth
// error only, never a token.
Result<TokenResponse> parseTokenResponse(
    int httpStatus, const QByteArray &body, const Clock &clock);

// Trades an authorization code for tokens.
// A cancelled token ends the exchange at once with the cancellation error.
QCoro::Task<Result<TokenResponse>> exchangeCode(QNetworkAccessManager *network,
    OAuthClientConfig config, QString code, QString codeVerifier, QUrl redirectUri, Clock clock,
    CancelToken cancel = CancelToken());

// Gets a new access token with a refresh token. The answer's refresh token is empty when the
// server kept the old one.
QCoro::Task<Result<TokenResponse>> refreshTokens(
    QNetworkAccessManager *network, OAuthClientConfig config, QString refreshToken, Clock clock);

} // namespace tolvo
