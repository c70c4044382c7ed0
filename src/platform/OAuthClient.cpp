#include "platform/OAuthClient.h"

#include "platform/HttpErrors.h"

#include <QCoro/QCoroNetworkReply>
#include <QCryptographicHash>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>

#include <memory>

namespace tolvo {

namespace {

constexpr auto base64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

using Fields = QList<std::pair<QString, QString>>;

// Every key and value percent-encoded whole, so that a redirect address or a scope keeps its
// ':' and '/' escaped and the server reads back exactly what was sent.
QByteArray formEncode(const Fields &fields)
{
    QByteArray encoded;
    for (const auto &[key, value] : fields) {
        if (!encoded.isEmpty())
            encoded += '&';
        encoded += QUrl::toPercentEncoding(key) + '=' + QUrl::toPercentEncoding(value);
    }
    return encoded;
}

QString field(const QJsonObject &object, const char *name)
{
    return object.value(QLatin1String(name)).toString();
}

QCoro::Task<Result<TokenResponse>> postToken(QNetworkAccessManager *network, QUrl endpoint,
    Fields form, Clock clock, std::chrono::milliseconds timeout, CancelToken cancel)
{
    if (cancel.isCancelled())
        co_return failure(Error::cancellation());
    QNetworkRequest request(endpoint);
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    std::unique_ptr<QNetworkReply> reply(network->post(request, formEncode(form)));
    armTransferTimeout(reply.get(), timeout);
    QNetworkReply *raw = reply.get();
    cancel.onCancel(raw, [raw] { raw->abort(); });
    co_await qCoro(reply.get()).waitForFinished();
    if (cancel.isCancelled())
        co_return failure(Error::cancellation());
    const int status = httpStatus(*reply);
    if (status == 0) {
        const auto failed = replyFailure(*reply);
        co_return failure(failed ? *failed : transportError(QNetworkReply::UnknownNetworkError));
    }
    co_return parseTokenResponse(status, reply->readAll(), clock);
}

} // namespace

QString randomUrlSafeToken(int bytes)
{
    QByteArray buffer(bytes, Qt::Uninitialized);
    auto *generator = QRandomGenerator::system();
    for (auto &byte : buffer)
        byte = char(generator->bounded(256));
    return QString::fromLatin1(buffer.toBase64(base64Url));
}

QString pkceChallenge(const QString &verifier)
{
    const QByteArray digest
        = QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toBase64(base64Url));
}

AuthorizationRequest makeAuthorizationRequest(
    const OAuthClientConfig &config, const QUrl &redirectUri)
{
    AuthorizationRequest request;
    request.redirectUri = redirectUri;
    request.state = randomUrlSafeToken();
    request.nonce = randomUrlSafeToken();
    request.codeVerifier = randomUrlSafeToken(); // 43 characters, as PKCE asks
    const Fields query {
        {QStringLiteral("response_type"), QStringLiteral("code")},
        {QStringLiteral("client_id"), config.clientId},
        {QStringLiteral("redirect_uri"), redirectUri.toString(QUrl::FullyEncoded)},
        {QStringLiteral("scope"), config.scopes.join(QLatin1Char(' '))},
        {QStringLiteral("state"), request.state},
        {QStringLiteral("nonce"), request.nonce},
        {QStringLiteral("code_challenge"), pkceChallenge(request.codeVerifier)},
        {QStringLiteral("code_challenge_method"), QStringLiteral("S256")},
    };
    request.url = config.authorizationEndpoint;
    request.url.setQuery(QString::fromLatin1(formEncode(query)), QUrl::StrictMode);
    return request;
}

Result<TokenResponse> parseTokenResponse(int httpStatus, const QByteArray &body, const Clock &clock)
{
    const QJsonObject json = QJsonDocument::fromJson(body).object();
    if (httpStatus < 200 || httpStatus >= 300) {
        const QString error = field(json, "error");
        const QString description = field(json, "error_description");
        QString message = error.isEmpty() ? QStringLiteral("HTTP %1").arg(httpStatus) : error;
        if (!description.isEmpty())
            message += QStringLiteral(": ") + description;
        if (error == u"invalid_grant")
            return failure(ErrorDomain::oauth, Error::oauthInvalidGrant, message);
        return failure(ErrorDomain::oauth, httpStatus, message);
    }
    TokenResponse tokens;
    tokens.accessToken = field(json, "access_token");
    tokens.refreshToken = field(json, "refresh_token");
    tokens.idToken = field(json, "id_token");
    tokens.tokenType = field(json, "token_type");
    tokens.scope = field(json, "scope");
    if (tokens.accessToken.isEmpty())
        return failure(ErrorDomain::oauth, oauthcode::malformedResponse,
            QStringLiteral("The token response holds no access token."));
    const QJsonValue expiresIn = json.value(QLatin1String("expires_in"));
    // Some servers send the lifetime as a string.
    const qint64 seconds
        = expiresIn.isString() ? expiresIn.toString().toLongLong() : qint64(expiresIn.toDouble());
    if (seconds > 0)
        tokens.expiresAt = clock().addSecs(seconds);
    return tokens;
}

QCoro::Task<Result<TokenResponse>> exchangeCode(QNetworkAccessManager *network,
    OAuthClientConfig config, QString code, QString codeVerifier, QUrl redirectUri, Clock clock,
    CancelToken cancel)
{
    const Fields form {
        {QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
        {QStringLiteral("code"), code},
        {QStringLiteral("redirect_uri"), redirectUri.toString(QUrl::FullyEncoded)},
        {QStringLiteral("client_id"), config.clientId},
        {QStringLiteral("client_secret"), config.clientSecret},
        {QStringLiteral("code_verifier"), codeVerifier},
    };
    return postToken(network, config.tokenEndpoint, form, std::move(clock), config.requestTimeout,
        std::move(cancel));
}

QCoro::Task<Result<TokenResponse>> refreshTokens(
    QNetworkAccessManager *network, OAuthClientConfig config, QString refreshToken, Clock clock)
{
    const Fields form {
        {QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
        {QStringLiteral("refresh_token"), refreshToken},
        {QStringLiteral("client_id"), config.clientId},
        {QStringLiteral("client_secret"), config.clientSecret},
    };
    return postToken(network, config.tokenEndpoint, form, std::move(clock), config.requestTimeout,
        CancelToken());
}

} // namespace tolvo
