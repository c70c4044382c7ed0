#include "platform/AuthorizationSession.h"

#include <QCoro/QCoroSignal>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

#include "core/DateHelpers.h"
#include "core/StartTask.h"

namespace tolvo {

AuthorizationSession::AuthorizationSession(
    OAuthClientConfig config, TokenResponse tokens, Clock clock)
    : m_config(std::move(config))
    , m_tokens(std::move(tokens))
    , m_clock(std::move(clock))
{
}

AuthorizationSession::~AuthorizationSession() = default;

std::shared_ptr<AuthorizationSession> AuthorizationSession::create(
    OAuthClientConfig config, TokenResponse tokens, Clock clock)
{
    return std::shared_ptr<AuthorizationSession>(
        new AuthorizationSession(std::move(config), std::move(tokens), std::move(clock)));
}

Result<std::shared_ptr<AuthorizationSession>> AuthorizationSession::fromJson(
    const QByteArray &json, OAuthClientConfig config, Clock clock)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    const QJsonObject object = document.object();
    const auto text
        = [&object](const char *name) { return object.value(QLatin1String(name)).toString(); };
    TokenResponse tokens;
    tokens.accessToken = text("accessToken");
    tokens.refreshToken = text("refreshToken");
    tokens.idToken = text("idToken");
    tokens.tokenType = text("tokenType");
    tokens.scope = text("scope");
    const QString expiresAt = text("expiresAt");
    if (!expiresAt.isEmpty())
        tokens.expiresAt = parseIsoDateTime(expiresAt, QTimeZone::utc());
    if (parseError.error != QJsonParseError::NoError || !document.isObject()
        || (tokens.accessToken.isEmpty() && tokens.refreshToken.isEmpty())
        || (!expiresAt.isEmpty() && !tokens.expiresAt.isValid()))
        return failure(
            ErrorDomain::decoding, 0, QStringLiteral("The stored sign-in is not a session."));
    return create(std::move(config), std::move(tokens), std::move(clock));
}

QByteArray AuthorizationSession::toJson() const
{
    QJsonObject object {
        {QStringLiteral("accessToken"), m_tokens.accessToken},
        {QStringLiteral("refreshToken"), m_tokens.refreshToken},
        {QStringLiteral("idToken"), m_tokens.idToken},
        {QStringLiteral("tokenType"), m_tokens.tokenType},
        {QStringLiteral("scope"), m_tokens.scope},
    };
    if (m_tokens.expiresAt.isValid())
        object.insert(
            QStringLiteral("expiresAt"), m_tokens.expiresAt.toUTC().toString(Qt::ISODateWithMs));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool AuthorizationSession::accessTokenIsFresh() const
{
    if (m_tokens.accessToken.isEmpty())
        return false;
    if (!m_tokens.expiresAt.isValid())
        return true;
    return m_clock().secsTo(m_tokens.expiresAt) > expiryLeewaySeconds;
}

bool AuthorizationSession::canAuthorize() const
{
    if (m_refusal)
        return false;
    return !m_tokens.refreshToken.isEmpty() || accessTokenIsFresh();
}

void AuthorizationSession::rejectAccessToken(const QString &accessToken)
{
    if (!accessToken.isEmpty() && accessToken == m_tokens.accessToken)
        m_tokens.expiresAt = m_clock().addSecs(-1);
}

QCoro::Task<Result<QString>> AuthorizationSession::accessToken()
{
    return fetchAccessToken(shared_from_this());
}

QCoro::Task<Result<QNetworkRequest>> AuthorizationSession::authorize(QNetworkRequest request)
{
    CO_TRY_ASSIGN(const QString token, accessToken());
    request.setRawHeader("Authorization", "Bearer " + token.toUtf8());
    co_return request;
}

QCoro::Task<Result<QString>> AuthorizationSession::fetchAccessToken(
    std::shared_ptr<AuthorizationSession> self)
{
    if (self->m_refusal)
        co_return failure(*self->m_refusal);
    // QCoro moves from a co_returned lvalue: hand out copies, never the member itself.
    if (self->accessTokenIsFresh())
        co_return QString(self->m_tokens.accessToken);
    if (self->m_tokens.refreshToken.isEmpty())
        co_return failure(ErrorDomain::oauth, oauthcode::noRefreshToken,
            QStringLiteral("The sign-in has expired and cannot be renewed."));
    // One refresh at a time: later callers wait for the one in flight.
    std::shared_ptr<Refresh> refresh = self->m_refresh;
    if (!refresh) {
        refresh = std::make_shared<Refresh>();
        self->m_refresh = refresh;
        startDetached(runRefresh(self, refresh));
    }
    if (!refresh->result)
        co_await qCoro(&refresh->done, &OneShot::fired);
    co_return Result<QString>(*refresh->result);
}

QCoro::Task<> AuthorizationSession::runRefresh(
    std::shared_ptr<AuthorizationSession> self, std::shared_ptr<Refresh> refresh)
{
    if (!self->m_network)
        self->m_network = new QNetworkAccessManager(self.get());
    const Result<TokenResponse> answer = co_await refreshTokens(
        self->m_network, self->m_config, self->m_tokens.refreshToken, self->m_clock);
    if (answer) {
        TokenResponse tokens = *answer;
        // Google keeps the refresh token unless it sends a new one.
        if (tokens.refreshToken.isEmpty())
            tokens.refreshToken = self->m_tokens.refreshToken;
        if (tokens.idToken.isEmpty())
            tokens.idToken = self->m_tokens.idToken;
        self->m_tokens = std::move(tokens);
        refresh->result = self->m_tokens.accessToken;
    } else {
        if (answer.error().code == Error::oauthInvalidGrant)
            self->m_refusal = answer.error();
        refresh->result = failure(answer.error());
    }
    self->m_refresh.reset();
    if (answer)
        emit self->tokensChanged();
    refresh->done.fire();
}

} // namespace tolvo
