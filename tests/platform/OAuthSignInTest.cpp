#include "support/FakeOAuthServer.h"
#include "support/StreamCollector.h"
#include "support/TestMain.h"

#include "core/StartTask.h"
#include "platform/HttpErrors.h"
#include "platform/LoopbackReceiver.h"
#include "platform/OAuthSignIn.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTimer>

using namespace tolvo;
using namespace tolvo::test;
using namespace std::chrono_literals;

class OAuthSignInTest : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager m_network;

    SignInOptions options(FakeOAuthServer &fake)
    {
        SignInOptions options;
        options.config = fake.config();
        options.openBrowser = fake.browser();
        options.timeout = 5s;
        return options;
    }

    std::pair<int, QNetworkReply::NetworkError> get(const QUrl &url)
    {
        QNetworkRequest request(url);
        request.setAttribute(
            QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        std::unique_ptr<QNetworkReply> reply(m_network.get(request));
        QCoro::waitFor(qCoro(reply.get()).waitForFinished());
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->error()};
    }

private slots:
    void signsInThroughTheLoopbackReceiver()
    {
        FakeOAuthServer fake;
        QUrl opened;
        SignInOptions signInOptions = options(fake);
        signInOptions.openBrowser = [&opened, browser = fake.browser()](const QUrl &url) {
            opened = url;
            return browser(url);
        };
        const auto tokens = QCoro::waitFor(signIn(&m_network, signInOptions, CancelToken()));
        QVERIFY2(tokens, qPrintable(tokens ? QString() : tokens.error().describe()));
        QVERIFY(fake.isValidAccessToken(tokens->accessToken));
        QVERIFY(fake.problems().isEmpty());
        const QUrl redirect(
            QUrlQuery(opened).queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
        QCOMPARE(redirect.host(), QStringLiteral("127.0.0.1"));
        QCOMPARE(redirect.path(), QStringLiteral("/"));
        // The receiver has stopped listening once it got its answer.
        QCOMPARE(get(redirect).second, QNetworkReply::ConnectionRefusedError);
    }

    void reloadingTheAnswerPageAfterSignInFindsNobody()
    {
        FakeOAuthServer fake;
        QUrl opened;
        SignInOptions signInOptions = options(fake);
        signInOptions.openBrowser = [&opened](const QUrl &url) {
            opened = url;
            return true;
        };
        std::optional<Result<TokenResponse>> tokens;
        QObject context;
        startTask(&context, signIn(&m_network, signInOptions, CancelToken()),
            [&tokens](Result<TokenResponse> result) { tokens = std::move(result); });
        QTRY_VERIFY(!opened.isEmpty());

        // The browser: one network manager, so the reload goes over the kept-alive connection.
        QNetworkAccessManager browser;
        const auto visit = [&browser](const QUrl &url) {
            QNetworkRequest request(url);
            request.setAttribute(
                QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
            std::unique_ptr<QNetworkReply> reply(browser.get(request));
            QCoro::waitFor(qCoro(reply.get()).waitForFinished());
            return std::tuple {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                reply->header(QNetworkRequest::LocationHeader).toUrl(), reply->error()};
        };
        const auto [authorizationStatus, callback, authorizationError] = visit(opened);
        QCOMPARE(authorizationStatus, 302);
        const auto [answerStatus, answerPage, answerError] = visit(callback);
        QCOMPARE(answerStatus, 200);
        QCOMPARE(answerError, QNetworkReply::NoError);
        QTRY_VERIFY(tokens.has_value());
        QVERIFY(*tokens);

        // The receiver is gone with its server: the reload is not answered at all.
        const auto [reloadStatus, reloadPage, reloadError] = visit(callback);
        QCOMPARE(reloadStatus, 0);
        QVERIFY2(reloadError == QNetworkReply::RemoteHostClosedError
                || reloadError == QNetworkReply::ConnectionRefusedError,
            qPrintable(QString::number(reloadError)));
    }

    void endsWithAnErrorWhenNoCodeComesBack_data()
    {
        QTest::addColumn<FakeOAuthServer::Decision>("decision");
        QTest::addColumn<int>("code");
        QTest::addRow("denied") << FakeOAuthServer::Decision::deny << oauthcode::accessDenied;
        QTest::addRow("forged state")
            << FakeOAuthServer::Decision::forgeState << oauthcode::stateMismatch;
        QTest::addRow("no answer") << FakeOAuthServer::Decision::ignore << oauthcode::timedOut;
    }

    void endsWithAnErrorWhenNoCodeComesBack()
    {
        QFETCH(FakeOAuthServer::Decision, decision);
        QFETCH(int, code);
        FakeOAuthServer fake;
        fake.setDecision(decision);
        SignInOptions signInOptions = options(fake);
        signInOptions.timeout = 300ms;
        const auto tokens = QCoro::waitFor(signIn(&m_network, signInOptions, CancelToken()));
        QVERIFY(!tokens);
        QVERIFY(tokens.error().domain == ErrorDomain::oauth);
        QCOMPARE(tokens.error().code, code);
        QCOMPARE(fake.exchangeCount(), 0);
    }

    void endsWhenCancelledOrWithoutABrowser()
    {
        FakeOAuthServer fake;
        fake.setDecision(FakeOAuthServer::Decision::ignore);
        const CancelToken cancel;
        QTimer::singleShot(50ms, [cancel] { cancel.cancel(); });
        const auto cancelled = QCoro::waitFor(signIn(&m_network, options(fake), cancel));
        QVERIFY(!cancelled);
        QVERIFY(cancelled.error().isCancellation());

        SignInOptions noBrowser = options(fake);
        noBrowser.openBrowser = [](const QUrl &) { return false; };
        const auto failed = QCoro::waitFor(signIn(&m_network, noBrowser, CancelToken()));
        QVERIFY(!failed);
        QCOMPARE(failed.error().code, oauthcode::browserFailed);
    }

    void aStalledTokenExchangeEndsAtItsDeadlineOrWhenCancelled()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        FakeOAuthServer fake;
        OAuthClientConfig config = fake.config();
        config.tokenEndpoint
            = QUrl(QStringLiteral("http://127.0.0.1:%1/token").arg(silent.serverPort()));
        config.requestTimeout = 200ms;
        const QUrl redirect(QStringLiteral("http://127.0.0.1:1/"));
        const auto timedOut = QCoro::waitFor(exchangeCode(&m_network, config,
            QStringLiteral("code"), QStringLiteral("verifier"), redirect, systemClock()));
        QVERIFY(!timedOut);
        QCOMPARE(timedOut.error().code, networkcode::timedOut);

        // A newer sign-in cancels the exchange of the older one at once.
        config.requestTimeout = 60s;
        CancelToken cancel;
        const auto cancelled = test::startRecorded(exchangeCode(&m_network, config,
            QStringLiteral("code"), QStringLiteral("verifier"), redirect, systemClock(), cancel));
        cancel.cancel();
        // Well before the request's own timeout.
        QTRY_VERIFY_WITH_TIMEOUT(cancelled->has_value(), 30'000);
        QVERIFY(!**cancelled);
        QVERIFY((*cancelled)->error().isCancellation());
    }

    void receiverAnswersOnlyItsOwnRedirectOnce()
    {
        LoopbackReceiver receiver(QUrl(QStringLiteral("https://tolvo.invalid/signed-in")));
        const auto redirect = receiver.start();
        QVERIFY(redirect);
        receiver.expectState(QStringLiteral("s1"));

        QCOMPARE(get(redirect->resolved(QUrl(QStringLiteral("/favicon.ico")))).first, 404);
        QCoreApplication::processEvents();
        QVERIFY(!receiver.outcome());

        QUrl callback = *redirect;
        callback.setQuery(QStringLiteral("state=s1&code=4%2F0Ab"));
        QCOMPARE(get(callback).first, 302);
        QTRY_VERIFY(receiver.completed()->hasFired());
        QVERIFY(receiver.outcome() && *receiver.outcome());
        QCOMPARE(**receiver.outcome(), QStringLiteral("4/0Ab"));
        // A kept-alive connection hears "gone"; a new one finds nobody listening.
        const auto [status, error] = get(callback);
        QVERIFY(status == 410 || error == QNetworkReply::ConnectionRefusedError);
        QCOMPARE(**receiver.outcome(), QStringLiteral("4/0Ab"));
    }
};

TOLVO_TEST_MAIN(OAuthSignInTest)
#include "OAuthSignInTest.moc"
