#include "support/FakeClock.h"
#include "support/FakeOAuthServer.h"
#include "support/TestMain.h"

#include "core/StartTask.h"
#include "platform/AuthorizationSession.h"

#include <QNetworkAccessManager>

using namespace tolvo;
using namespace tolvo::test;

class AuthorizationSessionTest : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager m_network;

    // A session signed in at the fake, with the clock at the moment of sign-in.
    std::shared_ptr<AuthorizationSession> signedIn(FakeOAuthServer &fake, const FakeClock &clock)
    {
        SignInOptions options;
        options.config = fake.config();
        options.openBrowser = fake.browser();
        options.clock = clock.clock();
        const auto tokens = QCoro::waitFor(signIn(&m_network, options, CancelToken()));
        if (!tokens)
            return nullptr;
        return AuthorizationSession::create(fake.config(), *tokens, clock.clock());
    }

    static QString bearer(const Result<QNetworkRequest> &request)
    {
        return request ? QString::fromUtf8(request->rawHeader("Authorization")) : QString();
    }

private slots:
    void keepsItsTokensThroughTheKeychainForm()
    {
        const FakeClock clock;
        TokenResponse tokens {QStringLiteral("a"), QStringLiteral("r"), QStringLiteral("i"),
            QStringLiteral("Bearer"), QStringLiteral("s"), clock.now().addSecs(3600)};
        const auto session = AuthorizationSession::create({}, tokens, clock.clock());
        const auto back = AuthorizationSession::fromJson(session->toJson(), {}, clock.clock());
        QVERIFY(back);
        QCOMPARE((*back)->tokens(), tokens);

        for (const QByteArray &garbage : {QByteArray("not json"), QByteArray("{}"),
                 QByteArray(R"({"refreshToken":"r","expiresAt":"yesterday"})")}) {
            const auto failed = AuthorizationSession::fromJson(garbage, {}, clock.clock());
            QVERIFY(!failed);
            QVERIFY(failed.error().domain == ErrorDomain::decoding);
        }
    }

    void canAuthorize_data()
    {
        QTest::addColumn<QString>("refreshToken");
        QTest::addColumn<int>("expiresIn");
        QTest::addColumn<bool>("expected");
        QTest::addRow("refreshable, expired") << "r" << -10 << true;
        QTest::addRow("fresh, not refreshable") << "" << 3600 << true;
        QTest::addRow("expired, not refreshable") << "" << -10 << false;
        QTest::addRow("about to expire, not refreshable") << "" << 30 << false;
    }

    void canAuthorize()
    {
        QFETCH(QString, refreshToken);
        QFETCH(int, expiresIn);
        QFETCH(bool, expected);
        const FakeClock clock;
        const TokenResponse tokens {
            QStringLiteral("a"), refreshToken, {}, {}, {}, clock.now().addSecs(expiresIn)};
        QCOMPARE(AuthorizationSession::create({}, tokens, clock.clock())->canAuthorize(), expected);
    }

    void refreshesOnceForConcurrentCallers()
    {
        FakeOAuthServer fake;
        FakeClock clock;
        const auto session = signedIn(fake, clock);
        QVERIFY(session);
        const QString first = session->tokens().accessToken;

        // Fresh: signed with the token at hand.
        const auto signedFresh
            = QCoro::waitFor(session->authorize(QNetworkRequest(QUrl("http://127.0.0.1/"))));
        QCOMPARE(bearer(signedFresh), QStringLiteral("Bearer ") + first);
        QCOMPARE(fake.refreshCount(), 0);

        clock.advance(3600);
        std::optional<Result<QNetworkRequest>> one;
        std::optional<Result<QNetworkRequest>> two;
        startTask(this, session->authorize(QNetworkRequest()),
            [&one](Result<QNetworkRequest> r) { one = std::move(r); });
        startTask(this, session->authorize(QNetworkRequest()),
            [&two](Result<QNetworkRequest> r) { two = std::move(r); });
        QTRY_VERIFY(one && two);
        QCOMPARE(fake.refreshCount(), 1);
        QVERIFY(bearer(*one) != QStringLiteral("Bearer ") + first);
        QCOMPARE(bearer(*one), bearer(*two));
        QVERIFY(fake.isValidAccessToken(session->tokens().accessToken));
        QVERIFY(!session->tokens().refreshToken.isEmpty()); // kept across the refresh
    }

    void aRevokedRefreshGivesMinusTenAndEndsTheSession()
    {
        FakeOAuthServer fake;
        FakeClock clock;
        const auto session = signedIn(fake, clock);
        QVERIFY(session);
        clock.advance(3600);

        fake.failNextTokenRequest(503);
        const auto unavailable = QCoro::waitFor(session->accessToken());
        QVERIFY(!unavailable);
        QCOMPARE(unavailable.error().code, 503);
        QVERIFY(session->canAuthorize()); // a passing failure; the next call tries again

        fake.revokeRefreshTokens();
        const auto revoked = QCoro::waitFor(session->accessToken());
        QVERIFY(!revoked);
        QCOMPARE(revoked.error().code, Error::oauthInvalidGrant);
        QVERIFY(!session->canAuthorize());
        const auto again = QCoro::waitFor(session->accessToken());
        QCOMPARE(again.error().code, Error::oauthInvalidGrant);
        // The 503 never reached the grant check, and the refused session does not ask again.
        QCOMPARE(fake.refreshCount(), 1);
    }
};

TOLVO_TEST_MAIN(AuthorizationSessionTest)
#include "AuthorizationSessionTest.moc"
