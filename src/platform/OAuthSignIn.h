#pragma once

#include "core/CancelToken.h"
#include "core/Clock.h"
#include "platform/OAuthClient.h"

#include <chrono>
#include <functional>

namespace tolvo {

// Opens an address in the user's browser; false when nothing could be opened.
using BrowserOpener = std::function<bool(const QUrl &url)>;

// QDesktopServices::openUrl (needs a QGuiApplication). Qt's own complaints name the address
// they could not open; with the sign-in's state and code challenge in it, it never reaches the
// log.
BrowserOpener systemBrowserOpener();

// Runs `action` with every log message that contains one of `secrets` dropped (main thread).
bool withSecretsKeptFromLog(const QStringList &secrets, const std::function<bool()> &action);

// Where a pending sign-in stands once its address exists.
struct SignInPrompt
{
    QUrl address; // the authorization request the user must open
    bool browserOpened = false; // false: nothing opened it, the user has to
};

struct SignInOptions
{
    OAuthClientConfig config;
    QUrl successPage; // empty: the receiver answers with a small page of its own
    BrowserOpener openBrowser;
    // The system browser never says that the user gave up: without an answer the sign-in ends.
    std::chrono::milliseconds timeout = std::chrono::minutes(10);
    Clock clock = systemClock();
    // Told once the browser was asked to open the address. When it is set, a browser that
    // cannot be opened does not end the sign-in: the user can open the address by hand.
    std::function<void(const SignInPrompt &prompt)> onPrompt;
};

// The installed-application sign-in: a loopback receiver on a free port, the authorization
// request (PKCE S256, random state and nonce) in the browser, then the code exchanged for
// tokens. Ends with the tokens or an error of ErrorDomain::oauth; with the cancellation error
// when `cancel` fires first. `network` must outlive the task.
QCoro::Task<Result<TokenResponse>> signIn(
    QNetworkAccessManager *network, SignInOptions options, CancelToken cancel);

} // namespace tolvo
