#pragma once

#include "platform/AuthorizationSession.h"
#include "platform/CurrentAuthSession.h"
#include "services/CalendarSyncSession.h"

#include <QDateTime>

#include <memory>

namespace tolvo::test {

// A session whose access token is good until `expiresAt`; its refresh token is one no token
// endpoint knows.
std::shared_ptr<AuthorizationSession> sessionWithToken(const QString &accessToken,
    const QDateTime &expiresAt = QDateTime::currentDateTimeUtc().addSecs(3600),
    OAuthClientConfig config = {});

// A current-session holder already signed in with `accessToken`.
CurrentAuthSessionPtr signedInAs(const QString &accessToken);

// The live sync's pauses and retries in tens of milliseconds, so tests run fast; the stream
// timeouts stay in seconds, as test streams send no keep-alives.
SyncTimings fastSyncTimings();

} // namespace tolvo::test
