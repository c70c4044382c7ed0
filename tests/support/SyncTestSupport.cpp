#include "support/SyncTestSupport.h"

namespace tolvo::test {

std::shared_ptr<AuthorizationSession> sessionWithToken(
    const QString &accessToken, const QDateTime &expiresAt, OAuthClientConfig config)
{
    TokenResponse tokens;
    tokens.accessToken = accessToken;
    tokens.refreshToken = QStringLiteral("refresh-unknown-to-the-fake");
    tokens.tokenType = QStringLiteral("Bearer");
    tokens.expiresAt = expiresAt;
    return AuthorizationSession::create(std::move(config), tokens);
}

CurrentAuthSessionPtr signedInAs(const QString &accessToken)
{
    auto current = std::make_shared<CurrentAuthSession>();
    current->setSession(sessionWithToken(accessToken));
    return current;
}

SyncTimings fastSyncTimings()
{
    using namespace std::chrono_literals;
    SyncTimings timings;
    timings.pause = 50ms;
    timings.minimumPass = 100ms;
    timings.retryFirst = 50ms;
    timings.retryMaximum = 200ms;
    timings.stream.head = 2s;
    timings.stream.idle = 5s;
    return timings;
}

} // namespace tolvo::test
