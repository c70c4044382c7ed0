#include "platform/OAuthSignIn.h"

#include "platform/LoopbackReceiver.h"

#include <QCoro/QCoroSignal>
#include <QDesktopServices>
#include <QTimer>

#include <memory>

namespace tolvo {

namespace {

QStringList g_hiddenFromLog;
QtMessageHandler g_previousHandler = nullptr;

void dropSecrets(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    for (const QString &secret : std::as_const(g_hiddenFromLog)) {
        if (!secret.isEmpty() && message.contains(secret))
            return;
    }
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

bool withSecretsKeptFromLog(const QStringList &secrets, const std::function<bool()> &action)
{
    const QStringList outer = std::exchange(g_hiddenFromLog, secrets);
    const QtMessageHandler previous = qInstallMessageHandler(dropSecrets);
    // A nested call finds ours installed and must not chain to itself.
    if (previous != dropSecrets)
        g_previousHandler = previous;
    const bool result = action();
    qInstallMessageHandler(previous);
    g_hiddenFromLog = outer;
    return result;
}

BrowserOpener systemBrowserOpener()
{
    return [](const QUrl &url) {
        // However the address is printed, its query is in it.
        const QStringList secrets {url.query(QUrl::FullyEncoded), url.query(QUrl::PrettyDecoded),
            url.query(QUrl::FullyDecoded)};
        return withSecretsKeptFromLog(secrets, [&url] { return QDesktopServices::openUrl(url); });
    };
}

QCoro::Task<Result<TokenResponse>> signIn(
    QNetworkAccessManager *network, SignInOptions options, CancelToken cancel)
{
    if (cancel.isCancelled())
        co_return failure(Error::cancellation());
    auto receiver = std::make_unique<LoopbackReceiver>(options.successPage);
    const Result<QUrl> redirectUri = receiver->start();
    if (!redirectUri)
        co_return failure(redirectUri.error());
    const AuthorizationRequest request = makeAuthorizationRequest(options.config, *redirectUri);
    receiver->expectState(request.state);
    const bool opened = options.openBrowser && options.openBrowser(request.url);
    if (!opened && !options.onPrompt)
        co_return failure(ErrorDomain::oauth, oauthcode::browserFailed,
            QStringLiteral("The browser could not be opened for the sign-in."));
    if (options.onPrompt)
        options.onPrompt(SignInPrompt {request.url, opened});

    // Whichever comes first: the redirect, the timeout or a cancellation. The waiter belongs to
    // this frame, so nothing resumes us after it is gone.
    OneShot done;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &done, &OneShot::fire);
    QObject::connect(receiver->completed(), &OneShot::fired, &done, &OneShot::fire);
    QObject::connect(cancel.state(), &CancelState::cancelled, &done, &OneShot::fire);
    timeout.start(options.timeout);
    co_await qCoro(&done, &OneShot::fired);
    receiver->stop();

    if (cancel.isCancelled())
        co_return failure(Error::cancellation());
    if (!receiver->outcome())
        co_return failure(ErrorDomain::oauth, oauthcode::timedOut,
            QStringLiteral("The browser did not come back from the sign-in."));
    const Result<QString> code = *receiver->outcome();
    if (!code)
        co_return failure(code.error());
    // The exchange is part of the sign-in: a newer sign-in cancels it, and the token
    // endpoint's own timeout bounds it.
    co_return co_await exchangeCode(network, options.config, *code, request.codeVerifier,
        request.redirectUri, options.clock, cancel);
}

} // namespace tolvo
