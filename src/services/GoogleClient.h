#pragma once

#include "core/Clock.h"
#include "core/Result.h"
#include "core/Subject.h"
#include "platform/AuthorizationSession.h"
#include "platform/CurrentAuthSession.h"
#include "platform/OAuthSignIn.h"
#include "platform/SecretStore.h"
#include "services/LoggerClient.h"

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <memory>

namespace tolvo {

// Google sign-in and the session that signs every Google request. The held session is the
// container's CurrentAuthSession, which the Calendar client reads for each request; it is
// mirrored in the keychain item "Tolvo"/"OAuth" whenever it can authorise, and the item is
// removed otherwise.
struct GoogleClient
{
    static constexpr const char *dependencyKey = "googleClient";

    static constexpr const char *keychainService = "Tolvo";
    static constexpr const char *keychainAccount = "OAuth";

    // Runs the browser sign-in; true when the new session can authorise, false when the sign-in
    // failed (logged), timed out or was replaced by a newer one. Fails only when the keychain
    // cannot be updated.
    std::function<QCoro::Task<Result<bool>>()> authorize;
    // Loads the stored session (saving it back); true when it can still authorise. Fails when
    // nothing is stored or it cannot be read.
    std::function<QCoro::Task<Result<bool>>()> isAuthorized;
    // Forgets the session and removes the keychain item.
    std::function<QCoro::Task<VoidResult>()> resetAuthorization;
    // Loads as `isAuthorized` and returns the held session.
    std::function<QCoro::Task<Result<std::shared_ptr<AuthorizationSession>>>()> authSession;
    // Forgets the session, removes the item, then sends false on `listenAuthorizationChanged`.
    std::function<QCoro::Task<VoidResult>()> signOut;
    // Only `signOut` sends, and always false.
    Publisher<bool> listenAuthorizationChanged;
    // Ends the pending sign-in at once; its `authorize` returns false. Nothing when none runs.
    std::function<void()> cancelSignIn;
    // Each sign-in's address, once the browser was asked to open it, and whether it opened.
    // When it did not, the sign-in waits for the user to open the address by hand.
    Publisher<SignInPrompt> signInPrompts;

    struct Environment
    {
        SecretStore secrets;
        OAuthClientConfig oauth;
        QUrl successPage;
        BrowserOpener openBrowser;
        LoggerClient logger;
        CurrentAuthSessionPtr current;
        std::chrono::milliseconds signInTimeout = std::chrono::minutes(10);
        Clock clock = systemClock();
    };

    // The calendar scopes, in the order they are asked for.
    static QStringList scopes();
    // Endpoints, logger and current-session holder from the container; the client identity
    // from the build.
    static Environment environment(SecretStore secrets, BrowserOpener openBrowser);
    // The one builder of every value: one session object and one subject per value.
    static GoogleClient make(Environment environment);

    static GoogleClient liveValue();
    // An in-memory keychain and a browser that never opens.
    static GoogleClient testValue();
    static GoogleClient previewValue() { return testValue(); }
};

} // namespace tolvo
