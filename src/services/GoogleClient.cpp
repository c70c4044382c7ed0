#include "services/GoogleClient.h"

#include "BuildConfig.h"
#include "core/Endpoints.h"
#include "core/LogCategories.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>

namespace tolvo {

namespace {

// The state behind one GoogleClient value. Owned by the application object, so that it lives
// as long as any task can resume into it.
class GoogleSession : public QObject
{
public:
    GoogleSession(GoogleClient::Environment settings, QObject *parent)
        : QObject(parent)
        , environment(std::move(settings))
        , subject(Subject<bool>::passthrough())
        , prompts(Subject<SignInPrompt>::passthrough())
        , network(new QNetworkAccessManager(this))
    {
    }

    GoogleClient::Environment environment;
    std::shared_ptr<Subject<bool>> subject;
    std::shared_ptr<Subject<SignInPrompt>> prompts;
    QNetworkAccessManager *network;
    CancelToken pendingSignIn;
};

using SessionRef = QPointer<GoogleSession>;

Error gone()
{
    return Error::make(ErrorDomain::other, 0, QStringLiteral("The Google client has ended."));
}

const QString &account()
{
    static const QString name = QString::fromLatin1(GoogleClient::keychainAccount);
    return name;
}

// Holds `session` first, then mirrors it in the keychain: saved when it can authorise, the
// item removed otherwise. A keychain failure leaves the new session held.
QCoro::Task<VoidResult> setAuthSession(
    SessionRef self, std::shared_ptr<AuthorizationSession> session)
{
    if (!self)
        co_return failure(gone());
    self->environment.current->setSession(session);
    qCDebug(lcSession, "Session %s",
        !session                      ? "cleared"
            : session->canAuthorize() ? "held and stored"
                                      : "held; it cannot authorise, so not stored");
    const SecretStore secrets = self->environment.secrets;
    if (session && session->canAuthorize())
        co_return co_await secrets.write(account(), session->toJson());
    co_return co_await secrets.remove(account());
}

QCoro::Task<Result<bool>> authorize(SessionRef self)
{
    if (!self)
        co_return failure(gone());
    // A sign-in that never came back is replaced by this one.
    self->pendingSignIn.cancel();
    const CancelToken cancel;
    self->pendingSignIn = cancel;
    const auto &environment = self->environment;
    SignInOptions options {environment.oauth, environment.successPage, environment.openBrowser,
        environment.signInTimeout, environment.clock};
    options.onPrompt
        = [prompts = self->prompts](const SignInPrompt &prompt) { prompts->send(prompt); };
    const Result<TokenResponse> tokens = co_await signIn(self->network, std::move(options), cancel);
    if (!self)
        co_return failure(gone());
    if (!tokens) {
        // Replaced by a newer sign-in: that one decides what is held.
        if (tokens.error().isCancellation())
            co_return false;
        qCDebug(lcSession, "Sign-in failed: %s", qUtf8Printable(tokens.error().describe()));
        self->environment.logger.logError(tokens.error());
        CO_TRY(co_await setAuthSession(self, nullptr));
        co_return false;
    }
    auto session
        = AuthorizationSession::create(self->environment.oauth, *tokens, self->environment.clock);
    CO_TRY(co_await setAuthSession(self, session));
    co_return session->canAuthorize();
}

// Reads the stored session, holds it and saves it back; answers the held session.
QCoro::Task<Result<std::shared_ptr<AuthorizationSession>>> load(SessionRef self)
{
    if (!self)
        co_return failure(gone());
    const SecretStore secrets = self->environment.secrets;
    const OAuthClientConfig config = self->environment.oauth;
    const Clock clock = self->environment.clock;
    CO_TRY_ASSIGN(const std::optional<QByteArray> stored, secrets.read(account()));
    qCDebug(lcSession, "Stored session %s", stored ? "found" : "missing");
    if (!stored)
        co_return failure(ErrorDomain::keychain, keychaincode::notFound,
            QStringLiteral("No Google sign-in is stored."));
    const auto session = AuthorizationSession::fromJson(*stored, config, clock);
    if (!session)
        co_return failure(session.error());
    CO_TRY(co_await setAuthSession(self, *session));
    if (!self)
        co_return failure(gone());
    co_return self->environment.current->session();
}

QCoro::Task<Result<bool>> isAuthorized(SessionRef self)
{
    CO_TRY_ASSIGN(const auto held, load(self));
    co_return held && held->canAuthorize();
}

QCoro::Task<VoidResult> signOut(SessionRef self)
{
    if (self)
        self->environment.current->signOut();
    CO_TRY(co_await setAuthSession(self, nullptr));
    qCDebug(lcSession, "Signed out");
    if (self)
        self->subject->send(false);
    co_return VoidResult {};
}

} // namespace

QStringList GoogleClient::scopes()
{
    return {QStringLiteral("https://www.googleapis.com/auth/calendar"),
        QStringLiteral("https://www.googleapis.com/auth/calendar.events")};
}

GoogleClient::Environment GoogleClient::environment(SecretStore secrets, BrowserOpener openBrowser)
{
    const auto endpoints = Dependencies::current<Endpoints>();
    Environment environment;
    environment.secrets = std::move(secrets);
    environment.oauth = OAuthClientConfig {endpoints.authorization, endpoints.token,
        QString::fromUtf8(buildconfig::googleClientId),
        QString::fromUtf8(buildconfig::googleClientSecret), scopes()};
    environment.successPage = endpoints.successPage;
    environment.openBrowser = std::move(openBrowser);
    environment.logger = Dependencies::current<LoggerClient>();
    environment.current = Dependencies::current<CurrentAuthSessionPtr>();
    return environment;
}

GoogleClient GoogleClient::make(Environment environment)
{
    const SessionRef session
        = new GoogleSession(std::move(environment), QCoreApplication::instance());
    return GoogleClient {
        [session] { return tolvo::authorize(session); },
        [session] { return tolvo::isAuthorized(session); },
        [session] { return setAuthSession(session, nullptr); },
        [session] { return load(session); },
        [session] { return tolvo::signOut(session); },
        session->subject->publisher(),
        [session] {
            if (session)
                session->pendingSignIn.cancel();
        },
        session->prompts->publisher(),
    };
}

GoogleClient GoogleClient::liveValue()
{
    return make(environment(
        SecretStore::keychain(QString::fromLatin1(keychainService)), systemBrowserOpener()));
}

GoogleClient GoogleClient::testValue()
{
    return make(environment(SecretStore::inMemory(std::make_shared<InMemorySecrets>()),
        [](const QUrl &) { return false; }));
}

} // namespace tolvo
