#include "support/FakeOAuthServer.h"

#include "platform/OAuthClient.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace tolvo::test {

namespace {

QString value(const QUrlQuery &query, const char *key)
{
    return query.queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
}

// Form bodies encode spaces as '+'.
QUrlQuery formBody(const QByteArray &body)
{
    QByteArray text = body;
    text.replace('+', ' ');
    return QUrlQuery(QString::fromUtf8(text));
}

QHttpServerResponse oauthError(const char *error, QHttpServerResponse::StatusCode status)
{
    return QHttpServerResponse(QJsonObject {{QStringLiteral("error"), QLatin1String(error)},
                                   {QStringLiteral("error_description"), QLatin1String(error)}},
        status);
}

} // namespace

FakeOAuthServer::FakeOAuthServer(QObject *parent)
    : QObject(parent)
    , m_server(new QHttpServer(this))
    , m_browserNetwork(new QNetworkAccessManager(this))
{
    const quint16 port = m_server->listen(QHostAddress::LocalHost, 0);
    m_base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    addRoutes(m_server);
}

FakeOAuthServer::FakeOAuthServer(QHttpServer *server, QUrl base, QObject *parent)
    : QObject(parent)
    , m_base(std::move(base))
    , m_browserNetwork(new QNetworkAccessManager(this))
{
    addRoutes(server);
}

FakeOAuthServer::~FakeOAuthServer() = default;

QUrl FakeOAuthServer::authorizationEndpoint() const
{
    return QUrl(m_base.toString() + QStringLiteral("/o/oauth2/v2/auth"));
}

QUrl FakeOAuthServer::tokenEndpoint() const
{
    return QUrl(m_base.toString() + QStringLiteral("/token"));
}

QStringList FakeOAuthServer::scopes()
{
    return {QStringLiteral("https://www.googleapis.com/auth/calendar"),
        QStringLiteral("https://www.googleapis.com/auth/calendar.events")};
}

OAuthClientConfig FakeOAuthServer::config() const
{
    return {authorizationEndpoint(), tokenEndpoint(), clientId(), clientSecret(), scopes()};
}

void FakeOAuthServer::revokeRefreshTokens()
{
    m_refreshTokens.clear();
    m_accessTokens.clear();
}

BrowserOpener FakeOAuthServer::browser()
{
    return [network = QPointer<QNetworkAccessManager>(m_browserNetwork)](const QUrl &url) {
        if (!network)
            return false;
        QNetworkRequest request(url);
        request.setAttribute(
            QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkReply *reply = network->get(request);
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        return true;
    };
}

void FakeOAuthServer::addRoutes(QHttpServer *server)
{
    server->route(QStringLiteral("/o/oauth2/v2/auth"), QHttpServerRequest::Method::Get,
        [this](const QHttpServerRequest &request) { return authorizationAnswer(request); });
    server->route(QStringLiteral("/token"), QHttpServerRequest::Method::Post,
        [this](const QHttpServerRequest &request) { return tokenAnswer(request); });
}

QHttpServerResponse FakeOAuthServer::refuse(const QString &problem)
{
    m_problems.note(problem);
    return QHttpServerResponse(problem, QHttpServerResponse::StatusCode::BadRequest);
}

QHttpServerResponse FakeOAuthServer::authorizationAnswer(const QHttpServerRequest &request)
{
    const QUrlQuery query(request.url());
    m_authorizations.append(query);
    static const QRegularExpression loopback(
        QStringLiteral("^http://(127\\.0\\.0\\.1|\\[::1\\]):[0-9]+/$"));
    const QString redirect = value(query, "redirect_uri");
    if (value(query, "client_id") != clientId())
        return refuse(QStringLiteral("unknown client_id"));
    if (value(query, "response_type") != u"code")
        return refuse(QStringLiteral("response_type is not code"));
    if (!loopback.match(redirect).hasMatch())
        return refuse(QStringLiteral("redirect_uri is not a loopback address: ") + redirect);
    if (value(query, "scope") != scopes().join(QLatin1Char(' ')))
        return refuse(QStringLiteral("unexpected scope: ") + value(query, "scope"));
    if (value(query, "state").isEmpty() || value(query, "nonce").isEmpty())
        return refuse(QStringLiteral("state or nonce missing"));
    if (value(query, "code_challenge_method") != u"S256"
        || value(query, "code_challenge").size() != 43)
        return refuse(QStringLiteral("no PKCE S256 challenge"));
    if (query.queryItems().size() != 8)
        return refuse(QStringLiteral("unexpected parameters"));

    QUrlQuery answer;
    QString state = value(query, "state");
    switch (m_decision) {
    case Decision::ignore: return QHttpServerResponse(QStringLiteral("Waiting for the user"));
    case Decision::deny:
        answer.addQueryItem(QStringLiteral("error"), QStringLiteral("access_denied"));
        break;
    case Decision::forgeState: state = QStringLiteral("forged"); [[fallthrough]];
    case Decision::approve: {
        const QString code = QStringLiteral("code-%1").arg(++m_counter);
        m_codes.insert(code, Grant {value(query, "code_challenge"), redirect});
        answer.addQueryItem(QStringLiteral("code"), code);
        break;
    }
    }
    answer.addQueryItem(QStringLiteral("state"), state);
    QUrl location(redirect);
    location.setQuery(answer);
    QHttpServerResponse response(QHttpServerResponse::StatusCode::Found);
    response.setHeader("Location", location.toEncoded());
    return response;
}

QHttpServerResponse FakeOAuthServer::issueTokens(const QString &refreshToken)
{
    const QString access = QStringLiteral("access-%1").arg(++m_counter);
    m_accessTokens.insert(access);
    QJsonObject body {
        {QStringLiteral("access_token"), access},
        {QStringLiteral("expires_in"), m_lifetime},
        {QStringLiteral("token_type"), QStringLiteral("Bearer")},
        {QStringLiteral("scope"), scopes().join(QLatin1Char(' '))},
    };
    if (!refreshToken.isEmpty())
        body.insert(QStringLiteral("refresh_token"), refreshToken);
    return QHttpServerResponse(body);
}

QHttpServerResponse FakeOAuthServer::tokenAnswer(const QHttpServerRequest &request)
{
    const QUrlQuery form = formBody(request.body());
    if (const int status = std::exchange(m_failNextStatus, 0))
        return oauthError("server_error", QHttpServerResponse::StatusCode(status));
    if (value(form, "client_id") != clientId() || value(form, "client_secret") != clientSecret())
        return oauthError("invalid_client", QHttpServerResponse::StatusCode::Unauthorized);
    const QString grantType = value(form, "grant_type");
    if (grantType == u"authorization_code") {
        ++m_exchanges;
        const auto grant = m_codes.constFind(value(form, "code"));
        if (grant == m_codes.cend())
            return oauthError("invalid_grant", QHttpServerResponse::StatusCode::BadRequest);
        const Grant used = *grant;
        m_codes.erase(grant); // a code is good once
        if (value(form, "redirect_uri") != used.redirectUri) {
            m_problems.note(QStringLiteral("redirect_uri differs in the exchange"));
            return oauthError("invalid_grant", QHttpServerResponse::StatusCode::BadRequest);
        }
        if (pkceChallenge(value(form, "code_verifier")) != used.challenge) {
            m_problems.note(QStringLiteral("PKCE verifier does not match the challenge"));
            return oauthError("invalid_grant", QHttpServerResponse::StatusCode::BadRequest);
        }
        const QString refresh = QStringLiteral("refresh-%1").arg(++m_counter);
        m_refreshTokens.insert(refresh);
        return issueTokens(refresh);
    }
    if (grantType == u"refresh_token") {
        ++m_refreshes;
        if (!m_refreshTokens.contains(value(form, "refresh_token")))
            return oauthError("invalid_grant", QHttpServerResponse::StatusCode::BadRequest);
        return issueTokens(QString());
    }
    return oauthError("unsupported_grant_type", QHttpServerResponse::StatusCode::BadRequest);
}

} // namespace tolvo::test
