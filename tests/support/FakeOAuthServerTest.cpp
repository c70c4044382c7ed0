#include "support/FakeOAuthServer.h"
#include "support/TestMain.h"

#include "platform/OAuthClient.h"

#include <QCoro/QCoroNetworkReply>
#include <QNetworkAccessManager>
#include <QNetworkReply>

using namespace tolvo;
using namespace tolvo::test;

namespace {

struct Redirect
{
    int status = 0;
    QUrl location;
};

// The fake's answer to an authorization address, without following it.
Redirect visit(QNetworkAccessManager &network, const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    std::unique_ptr<QNetworkReply> reply(network.get(request));
    QCoro::waitFor(qCoro(reply.get()).waitForFinished());
    return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
        reply->header(QNetworkRequest::LocationHeader).toUrl()};
}

QString item(const QUrl &url, const char *key)
{
    return QUrlQuery(url).queryItemValue(QLatin1String(key), QUrl::FullyDecoded);
}

} // namespace

class FakeOAuthServerTest : public QObject
{
    Q_OBJECT

private:
    QNetworkAccessManager m_network;
    const QUrl m_redirect {QStringLiteral("http://127.0.0.1:4567/")};

private slots:
    void approvesAWellFormedRequestAndChecksPkce()
    {
        FakeOAuthServer fake;
        const auto request = makeAuthorizationRequest(fake.config(), m_redirect);
        const Redirect answer = visit(m_network, request.url);
        QCOMPARE(answer.status, 302);
        QCOMPARE(answer.location.port(), 4567);
        QCOMPARE(item(answer.location, "state"), request.state);
        const QString code = item(answer.location, "code");
        QVERIFY(!code.isEmpty());

        // A wrong verifier is refused as invalid_grant, and the code is spent.
        auto wrong = QCoro::waitFor(exchangeCode(
            &m_network, fake.config(), code, randomUrlSafeToken(), m_redirect, systemClock()));
        QVERIFY(!wrong);
        QCOMPARE(wrong.error().code, Error::oauthInvalidGrant);
        QVERIFY(fake.takeProblems().join(u'\n').contains(u"PKCE"));

        const auto again = makeAuthorizationRequest(fake.config(), m_redirect);
        const QString second = item(visit(m_network, again.url).location, "code");
        auto tokens = QCoro::waitFor(exchangeCode(
            &m_network, fake.config(), second, again.codeVerifier, m_redirect, systemClock()));
        QVERIFY2(tokens, qPrintable(tokens ? QString() : tokens.error().describe()));
        QVERIFY(fake.isValidAccessToken(tokens->accessToken));
        QVERIFY(!tokens->refreshToken.isEmpty());
        QCOMPARE(fake.exchangeCount(), 2);
    }

    void refusesMalformedAuthorizationRequests_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addRow("client") << "client_id"
                                << "someone-else";
        QTest::addRow("scope order") << "scope"
                                     << "https://www.googleapis.com/auth/calendar.events "
                                        "https://www.googleapis.com/auth/calendar";
        QTest::addRow("plain PKCE") << "code_challenge_method"
                                    << "plain";
        QTest::addRow("public redirect") << "redirect_uri"
                                         << "http://example.com:80/";
        QTest::addRow("no state") << "state"
                                  << "";
    }

    void refusesMalformedAuthorizationRequests()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        FakeOAuthServer fake;
        QUrl url = makeAuthorizationRequest(fake.config(), m_redirect).url;
        QUrlQuery query(url);
        query.removeQueryItem(key);
        query.addQueryItem(key, QString::fromLatin1(QUrl::toPercentEncoding(value)));
        url.setQuery(query);
        QCOMPARE(visit(m_network, url).status, 400);
        QCOMPARE(fake.takeProblems().size(), 1);
    }

    void answersDenialAndForgedState()
    {
        FakeOAuthServer fake;
        fake.setDecision(FakeOAuthServer::Decision::deny);
        const auto request = makeAuthorizationRequest(fake.config(), m_redirect);
        const Redirect denied = visit(m_network, request.url);
        QCOMPARE(item(denied.location, "error"), QStringLiteral("access_denied"));
        QCOMPARE(item(denied.location, "state"), request.state);

        fake.setDecision(FakeOAuthServer::Decision::forgeState);
        const Redirect forged = visit(m_network, request.url);
        QCOMPARE(item(forged.location, "state"), QStringLiteral("forged"));
    }

    void refreshesUntilRevoked()
    {
        FakeOAuthServer fake;
        const auto request = makeAuthorizationRequest(fake.config(), m_redirect);
        const QString code = item(visit(m_network, request.url).location, "code");
        const auto tokens = QCoro::waitFor(exchangeCode(
            &m_network, fake.config(), code, request.codeVerifier, m_redirect, systemClock()));
        QVERIFY(tokens);

        const auto refreshed = QCoro::waitFor(
            refreshTokens(&m_network, fake.config(), tokens->refreshToken, systemClock()));
        QVERIFY(refreshed);
        QVERIFY(refreshed->accessToken != tokens->accessToken);
        QVERIFY(refreshed->refreshToken.isEmpty());

        fake.revokeRefreshTokens();
        QVERIFY(!fake.isValidAccessToken(refreshed->accessToken));
        const auto revoked = QCoro::waitFor(
            refreshTokens(&m_network, fake.config(), tokens->refreshToken, systemClock()));
        QVERIFY(!revoked);
        QVERIFY(revoked.error().domain == ErrorDomain::oauth);
        QCOMPARE(revoked.error().code, Error::oauthInvalidGrant);

        fake.failNextTokenRequest(503);
        const auto failed = QCoro::waitFor(
            refreshTokens(&m_network, fake.config(), tokens->refreshToken, systemClock()));
        QVERIFY(!failed);
        QCOMPARE(failed.error().code, 503);
        QCOMPARE(fake.refreshCount(), 2); // the failed one never reached the grant check
    }
};

TOLVO_TEST_MAIN(FakeOAuthServerTest)
#include "FakeOAuthServerTest.moc"
