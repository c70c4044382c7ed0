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
#include <QTcpSocket>
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

    // A receiver expecting "s1" has not ended; its own answer then ends it with the code.
    void verifyItsAnswerStillCompletes(LoopbackReceiver &receiver, QUrl redirect, int status)
    {
        QVERIFY(!receiver.outcome());
        redirect.setQuery(QStringLiteral("state=s1&code=real"));
        QCOMPARE(get(redirect).first, status);
        QTRY_VERIFY(receiver.completed()->hasFired());
        QCOMPARE(receiver.outcome()->value(), QStringLiteral("real"));
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
        // A redirect with another state is not this sign-in's answer: it goes on waiting.
        QTest::addRow("forged state")
            << FakeOAuthServer::Decision::forgeState << oauthcode::timedOut;
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

    void withoutABrowserTheUserCanOpenTheAddressByHand()
    {
        FakeOAuthServer fake;
        SignInOptions signInOptions = options(fake);
        signInOptions.openBrowser = [](const QUrl &) { return false; };
        QList<SignInPrompt> prompts;
        signInOptions.onPrompt = [&prompts](const SignInPrompt &prompt) { prompts.append(prompt); };
        const auto tokens = test::startRecorded(signIn(&m_network, signInOptions, CancelToken()));
        QTRY_COMPARE(prompts.size(), 1);
        QVERIFY(!prompts[0].browserOpened);
        QCOMPARE(prompts[0].address.host(), fake.authorizationEndpoint().host());
        QVERIFY(!tokens->has_value());

        QVERIFY(fake.browser()(prompts[0].address));
        QTRY_VERIFY(tokens->has_value());
        QVERIFY(**tokens);
        QCOMPARE(prompts.size(), 1);
    }

    void theAddressNeverReachesTheLog()
    {
        const QString secret = QStringLiteral("state=abc&code_challenge=xyz");
        static QStringList seen;
        seen.clear();
        const QtMessageHandler outer
            = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &,
                                         const QString &message) { seen.append(message); });
        const bool opened = withSecretsKeptFromLog({secret}, [&secret] {
            qWarning("Unable to detect a web browser to launch '%s'", qPrintable(secret));
            qWarning("unrelated");
            return true;
        });
        qWarning("after");
        qInstallMessageHandler(outer);
        QVERIFY(opened);
        QCOMPARE(seen, (QStringList {QStringLiteral("unrelated"), QStringLiteral("after")}));
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

    void receiverTurnsAwayAnythingButItsAnswer_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status"); // 0: dropped without an answer
        QTest::addColumn<int>("deadlineMs");
        const QByteArray pad(64 * 1024, 'a');
        const QByteArray ours = "GET /?state=s1&code=c HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        QTest::addRow("stray state")
            << QByteArray("GET /?state=evil&code=c HTTP/1.1\r\n\r\n") << 400 << 10'000;
        QTest::addRow("no state") << QByteArray("GET /?code=c HTTP/1.1\r\n\r\n") << 400 << 10'000;
        QTest::addRow("not http") << QByteArray("hello\r\n\r\n") << 400 << 10'000;
        QTest::addRow("post") << QByteArray("POST /?state=s1&code=c HTTP/1.1\r\n\r\n") << 405
                              << 10'000;
        QTest::addRow("oversized head") << ours + "X-Pad: " + pad + "\r\n\r\n" << 431 << 10'000;
        QTest::addRow("endless head") << ours + "X-Pad: " + pad << 431 << 10'000;
        QTest::addRow("body") << ours + "Content-Length: 5\r\n\r\nhello" << 413 << 10'000;
        QTest::addRow("announced huge body")
            << ours + "Content-Length: 100000000\r\n\r\n" + pad + pad << 413 << 10'000;
        QTest::addRow("chunked body")
            << ours + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n"
            << 413 << 10'000;
        QTest::addRow("unannounced body") << ours + "\r\n" + pad << 413 << 10'000;
        QTest::addRow("slow client") << QByteArray("GET /?state=s1&co") << 0 << 200;
    }

    void receiverTurnsAwayAnythingButItsAnswer()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(int, deadlineMs);
        LoopbackReceiver::Limits limits;
        limits.deadline = std::chrono::milliseconds(deadlineMs);
        LoopbackReceiver receiver(QUrl(QStringLiteral("https://tolvo.invalid/signed-in")), limits);
        const auto redirect = receiver.start();
        QVERIFY(redirect);
        receiver.expectState(QStringLiteral("s1"));

        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, redirect->port());
        QTRY_COMPARE(client.state(), QAbstractSocket::ConnectedState);
        client.write(request);
        QByteArray answer;
        qsizetype mostBuffered = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                mostBuffered = std::max(mostBuffered, receiver.bufferedBytes());
                answer += client.readAll();
                return client.state() == QAbstractSocket::UnconnectedState;
            }(),
            20'000);
        answer += client.readAll();
        QCOMPARE(answer.mid(9, 3).toInt(), status);
        QVERIFY2(
            mostBuffered <= 2 * limits.maxHeadBytes + 1, qPrintable(QString::number(mostBuffered)));
        QTRY_COMPARE(receiver.openConnections(), 0);

        // The sign-in is still waiting, and its own answer still completes it.
        QCoreApplication::processEvents();
        verifyItsAnswerStillCompletes(receiver, *redirect, 302);
    }

    void receiverHoldsABoundedNumberOfConnections()
    {
        LoopbackReceiver::Limits limits;
        limits.deadline = std::chrono::milliseconds(500);
        LoopbackReceiver receiver(QUrl(), limits);
        const auto redirect = receiver.start();
        QVERIFY(redirect);
        receiver.expectState(QStringLiteral("s1"));

        // Each opens a request it never finishes, with as much head as it may send.
        std::vector<std::unique_ptr<QTcpSocket>> clients;
        for (int i = 0; i < limits.maxConnections + 8; ++i) {
            auto client = std::make_unique<QTcpSocket>();
            client->connectToHost(QHostAddress::LocalHost, redirect->port());
            client->write("GET / HTTP/1.1\r\nX-Pad: " + QByteArray(limits.maxHeadBytes - 64, 'a'));
            clients.push_back(std::move(client));
        }
        int mostOpen = 0;
        qsizetype mostBuffered = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                mostOpen = std::max(mostOpen, receiver.openConnections());
                mostBuffered = std::max(mostBuffered, receiver.bufferedBytes());
                return std::all_of(clients.begin(), clients.end(), [](const auto &client) {
                    return client->state() == QAbstractSocket::UnconnectedState;
                });
            }(),
            30'000);
        QCOMPARE(mostOpen, limits.maxConnections);
        QVERIFY(mostBuffered <= (limits.maxConnections + 1) * limits.maxHeadBytes);
        verifyItsAnswerStillCompletes(receiver, *redirect, 200);
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
