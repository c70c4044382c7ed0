#pragma once

#include "platform/OAuthSignIn.h"
#include "support/ProblemLog.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

class QHttpServer;
class QHttpServerRequest;
class QHttpServerResponse;
class QNetworkAccessManager;

namespace tolvo::test {

// Google's OAuth endpoints on loopback, strict about what a sign-in must send: the
// authorization request (client id, response_type=code, loopback redirect, the scopes in
// order, state, nonce, PKCE S256 challenge) and the token exchange (client id and secret, the
// same redirect, a verifier that matches the challenge). Refresh tokens can be revoked, after
// which a refresh is answered 400 `invalid_grant`. Anything unexpected is answered 400 and
// noted in `problems()` (see ProblemLog).
//
// It can run on a server of its own or add its routes to a shared one (the Calendar fake's).
class FakeOAuthServer : public QObject
{
    Q_OBJECT
public:
    // What the user "does" in the browser.
    enum class Decision { approve, deny, forgeState, ignore };

    explicit FakeOAuthServer(QObject *parent = nullptr);
    FakeOAuthServer(QHttpServer *server, QUrl base, QObject *parent = nullptr);
    ~FakeOAuthServer() override;

    QUrl authorizationEndpoint() const;
    QUrl tokenEndpoint() const;
    static QString clientId() { return QStringLiteral("123-fake.apps.googleusercontent.com"); }
    static QString clientSecret() { return QStringLiteral("fake-secret"); }
    static QStringList scopes();
    OAuthClientConfig config() const;

    void setDecision(Decision decision) { m_decision = decision; }
    void setAccessTokenLifetime(int seconds) { m_lifetime = seconds; }
    void revokeRefreshTokens();
    // The next token request is answered with this status and {"error": "server_error"}.
    void failNextTokenRequest(int status) { m_failNextStatus = status; }

    // A browser that follows the authorization address (and its redirects) with plain HTTP.
    BrowserOpener browser();

    int exchangeCount() const { return m_exchanges; }
    int refreshCount() const { return m_refreshes; }
    QList<QUrlQuery> authorizationRequests() const { return m_authorizations; }
    QStringList problems() const { return m_problems.entries(); }
    QStringList takeProblems() { return m_problems.take(); }
    bool isValidAccessToken(const QString &token) const { return m_accessTokens.contains(token); }

private:
    struct Grant
    {
        QString challenge;
        QString redirectUri;
    };

    void addRoutes(QHttpServer *server);
    QHttpServerResponse authorizationAnswer(const QHttpServerRequest &request);
    QHttpServerResponse tokenAnswer(const QHttpServerRequest &request);
    QHttpServerResponse refuse(const QString &problem);
    QHttpServerResponse issueTokens(const QString &refreshToken);

    QHttpServer *m_server = nullptr;
    QUrl m_base;
    QNetworkAccessManager *m_browserNetwork;
    Decision m_decision = Decision::approve;
    int m_lifetime = 3600;
    int m_failNextStatus = 0;
    int m_counter = 0;
    int m_exchanges = 0;
    int m_refreshes = 0;
    QHash<QString, Grant> m_codes;
    QSet<QString> m_refreshTokens;
    QSet<QString> m_accessTokens;
    QList<QUrlQuery> m_authorizations;
    ProblemLog m_problems {QStringLiteral("FakeOAuthServer")};
};

} // namespace tolvo::test
