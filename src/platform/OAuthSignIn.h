#pragma once

#include "core/CancelToken.h"
#include "core/Clock.h"
#include "platform/OAuthClient.h"

#include <chrono>
#include <functional>

namespace tolvo {

// Opens an address in the user's browser; false when nothing could be opened.
using BrowserOpener = std::function<bool(const QUrl &url)>;

// QDesktopServices::openUrl (needs a QGuiApplication).
BrowserOpener systemBrowserOpener();

struct SignInOptions
{
    OAuthClientConfig config;
    QUrl successPage; // empty: the receiver answers with a small page of its own
    BrowserOpener openBrowser;
    // The system browser never says that the user gave up: without an answer the sign-in ends.
    std::chrono::milliseconds timeout = std::chrono::minutes(10);
    Clock clock = systemClock();
};

// The installed-application sign-in: a loopback receiver on a free port, the authorization
// request (PKCE S256, random state and nonce) in the browser, then the code exchanged for
// tokens. Ends with the tokens or an error of ErrorDomain::oauth; with the cancellation error
// when `cancel` fires first. `network` must outlive the task.
QCoro::Task<Result<TokenResponse>> signIn(
    QNetworkAccessManager *network, SignInOptions options, CancelToken cancel);

} // namespace tolvo
