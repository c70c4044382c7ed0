#include "support/FakeClock.h"
#include "support/FakeOAuthServer.h"
#include "support/TestMain.h"

#include "core/StartTask.h"
#include "services/GoogleClient.h"

using namespace tolvo;
using namespace tolvo::test;
using namespace std::chrono_literals;

namespace {

// One GoogleClient over the fake server, an in-memory keychain and a recording logger.
struct Fixture
{
    FakeOAuthServer fake;
    std::shared_ptr<InMemorySecrets> secrets = std::make_shared<InMemorySecrets>();
    std::shared_ptr<LogRecorder> log = std::make_shared<LogRecorder>();
    CurrentAuthSessionPtr current = std::make_shared<CurrentAuthSession>();
    FakeClock clock;
    // Real time: generous, so that a loaded machine still completes a sign-in; a test of the
    // browser that never comes back shortens it and makes the client again.
    std::chrono::milliseconds signInTimeout = 30s;
    GoogleClient client = make();
    QList<bool> published;
    Subscription subscription = client.listenAuthorizationChanged.subscribe(
        nullptr, [this](const bool &value) { published.append(value); });

    // A client as a fresh launch makes it, over the same keychain.
    GoogleClient make()
    {
        GoogleClient::Environment environment;
        environment.secrets = SecretStore::inMemory(secrets);
        environment.oauth = fake.config();
        environment.openBrowser = fake.browser();
        environment.logger = LoggerClient::recording(log);
        environment.current = current;
        environment.signInTimeout = signInTimeout;
        environment.clock = clock.clock();
        return GoogleClient::make(environment);
    }

    std::optional<QByteArray> item() const
    {
        return secrets->item(QString::fromLatin1(GoogleClient::keychainAccount));
    }
};

template<typename T> T wait(QCoro::Task<T> task)
{
    return QCoro::waitFor(std::move(task));
}

} // namespace

class GoogleClientTest : public QObject
{
    Q_OBJECT

private slots:
    void firstLaunchWithAnEmptyKeychain()
    {
        Fixture f;
        const auto authorized = wait(f.client.isAuthorized());
        QVERIFY(!authorized);
        QVERIFY(authorized.error().domain == ErrorDomain::keychain);
        QCOMPARE(authorized.error().code, keychaincode::notFound);
        QVERIFY(!wait(f.client.authSession()));
        QCOMPARE(f.secrets->writeCount(), 0);
        QVERIFY(f.published.isEmpty());
    }

    void signInIsKeptAndRestoredAtTheNextLaunch()
    {
        Fixture f;
        const auto signedIn = wait(f.client.authorize());
        QVERIFY(signedIn && *signedIn);
        QVERIFY(f.item());
        QCOMPARE(f.secrets->itemCount(), 1);
        const auto held = f.current->session();
        QVERIFY(held);
        QCOMPARE(*f.item(), held->toJson());
        QVERIFY(f.fake.problems().isEmpty());

        // Relaunch: a new client over the same keychain; loading writes the item back.
        f.current->setSession(nullptr);
        GoogleClient relaunched = f.make();
        const int writes = f.secrets->writeCount();
        const auto authorized = wait(relaunched.isAuthorized());
        QVERIFY(authorized && *authorized);
        QCOMPARE(f.secrets->writeCount(), writes + 1);
        const auto session = wait(relaunched.authSession());
        QVERIFY(session && *session);
        QCOMPARE(*session, f.current->session());
        QCOMPARE((*session)->tokens().refreshToken, held->tokens().refreshToken);
        QVERIFY(f.published.isEmpty()); // neither sign-in nor loads publish
    }

    void aSecondSignInReplacesTheFirstForEveryReader()
    {
        Fixture f;
        QVERIFY(*wait(f.client.authorize()));
        const auto first = f.current->session();
        QVERIFY(*wait(f.client.authorize()));
        const auto second = f.current->session();
        QVERIFY(second != first);
        QCOMPARE(*f.item(), second->toJson());
        QCOMPARE(f.secrets->itemCount(), 1);
    }

    void signOutPublishesOneFalseEachTime()
    {
        Fixture f;
        QVERIFY(*wait(f.client.authorize()));
        QVERIFY(wait(f.client.signOut()));
        QVERIFY(!f.item());
        QVERIFY(!f.current->session());
        QCOMPARE(f.published, QList<bool> {false});
        // Nothing stored any more: signing out still works.
        QVERIFY(wait(f.client.signOut()));
        QCOMPARE(f.published, (QList<bool> {false, false}));
        QVERIFY(!wait(f.client.isAuthorized()));
    }

    void aFailedSignInClearsTheSessionAndLogs_data()
    {
        QTest::addColumn<FakeOAuthServer::Decision>("decision");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<int>("code");
        QTest::addRow("denied, stored")
            << FakeOAuthServer::Decision::deny << true << oauthcode::accessDenied;
        QTest::addRow("denied, nothing stored")
            << FakeOAuthServer::Decision::deny << false << oauthcode::accessDenied;
        // An answer with another state is turned away: the sign-in waits on, until its timeout.
        QTest::addRow("forged state")
            << FakeOAuthServer::Decision::forgeState << true << oauthcode::timedOut;
        QTest::addRow("browser never returns")
            << FakeOAuthServer::Decision::ignore << true << oauthcode::timedOut;
    }

    void aFailedSignInClearsTheSessionAndLogs()
    {
        QFETCH(FakeOAuthServer::Decision, decision);
        QFETCH(bool, stored);
        QFETCH(int, code);
        Fixture f;
        if (decision == FakeOAuthServer::Decision::ignore
            || decision == FakeOAuthServer::Decision::forgeState) {
            f.signInTimeout = 300ms;
            f.client = f.make();
        }
        if (stored)
            QVERIFY(*wait(f.client.authorize()));
        f.fake.setDecision(decision);
        const auto result = wait(f.client.authorize());
        QVERIFY(result); // not a failure, even with nothing to remove
        QVERIFY(!*result);
        QVERIFY(!f.item());
        QVERIFY(!f.current->session());
        QVERIFY(!wait(f.client.isAuthorized()));
        QCOMPARE(f.log->errors().size(), 1);
        const Error logged = f.log->errors().first();
        QVERIFY(logged.domain == ErrorDomain::oauth);
        QCOMPARE(logged.code, code);
        QVERIFY(!logged.message.contains(u"code-"));
        QVERIFY(f.log->messages().isEmpty());
    }

    void aNewSignInEndsThePendingOne()
    {
        Fixture f;
        f.fake.setDecision(FakeOAuthServer::Decision::ignore);
        std::optional<Result<bool>> first;
        startTask(this, f.client.authorize(), [&first](Result<bool> r) { first = std::move(r); });
        QTRY_COMPARE(f.fake.authorizationRequests().size(), 1);

        f.fake.setDecision(FakeOAuthServer::Decision::approve);
        std::optional<Result<bool>> second;
        startTask(this, f.client.authorize(), [&second](Result<bool> r) { second = std::move(r); });
        QTRY_VERIFY(first);
        QVERIFY(*first && !**first);
        QTRY_VERIFY(second);
        QVERIFY(*second && **second);
        QVERIFY(f.current->session());
        QVERIFY(f.item());
        QVERIFY(f.log->errors().isEmpty()); // being replaced is not an error
    }

    void cancellingEndsThePendingSignInQuietly()
    {
        Fixture f;
        f.fake.setDecision(FakeOAuthServer::Decision::ignore);
        QList<SignInPrompt> prompts;
        const Subscription watching = f.client.signInPrompts.subscribe(
            nullptr, [&prompts](const SignInPrompt &prompt) { prompts.append(prompt); });
        std::optional<Result<bool>> pending;
        startTask(
            this, f.client.authorize(), [&pending](Result<bool> r) { pending = std::move(r); });
        QTRY_COMPARE(prompts.size(), 1);
        QVERIFY(prompts[0].browserOpened);
        QVERIFY(!pending);
        f.client.cancelSignIn();
        QTRY_VERIFY(pending);
        QVERIFY(*pending && !**pending);
        QVERIFY(f.log->errors().isEmpty());
    }

    void aStoredSessionThatCannotAuthoriseIsNotAuthorised()
    {
        Fixture f;
        const TokenResponse expired {
            QStringLiteral("old"), QString(), {}, {}, {}, f.clock.now().addSecs(-60)};
        f.secrets->setItem(QString::fromLatin1(GoogleClient::keychainAccount),
            AuthorizationSession::create({}, expired)->toJson());
        const auto authorized = wait(f.client.isAuthorized());
        QVERIFY(authorized);
        QVERIFY(!*authorized);
        QVERIFY(!f.item()); // removed, but still held
        QVERIFY(f.current->session());
    }

    void keychainFailuresReachTheCallerWithTheSessionHeld()
    {
        Fixture f;
        f.secrets->failNextWrite(
            Error::make(ErrorDomain::keychain, keychaincode::accessDenied, "no"));
        const auto result = wait(f.client.authorize());
        QVERIFY(!result);
        QCOMPARE(result.error().code, keychaincode::accessDenied);
        QVERIFY(f.current->session());

        f.secrets->failNextRemove(Error::make(ErrorDomain::keychain, keychaincode::other, "no"));
        QVERIFY(!wait(f.client.signOut()));
        QVERIFY(f.published.isEmpty());
        QVERIFY(!f.current->session());

        f.secrets->failNextRead(Error::make(ErrorDomain::keychain, keychaincode::noBackend, "no"));
        QCOMPARE(wait(f.client.isAuthorized()).error().code, keychaincode::noBackend);
    }
};

TOLVO_TEST_MAIN(GoogleClientTest)
#include "GoogleClientTest.moc"
