// The relay as its clients see it: answers, event streams, fan-out, pending lines, stop.

#include "support/TestMain.h"

#include "RelayTestClient.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <memory>
#include <vector>

using namespace tolvo::backend;
using namespace tolvo::test::relay;

class BackendServerProtocolTest : public QObject
{
    Q_OBJECT

    RelayFixture m_relay;

private slots:
    void cleanup() { m_relay.reset(); }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("allow");

        const QByteArray end = " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n\r\n";
        QTest::newRow("notification")
            << notificationRequest(nameA, "exists", "c") << 200 << QByteArray();
        QTest::newRow("sync notification")
            << notificationRequest(nameA, "sync", "c") << 200 << QByteArray();
        QTest::newRow("upper-case token")
            << notificationRequest(nameA.toUpper(), "exists", "c") << 400 << QByteArray();
        QTest::newRow("no state") << QByteArray("POST /notification-handler HTTP/1.1\r\n"
                                                "Content-Length: 0\r\nX-Goog-Channel-Token: "
            + nameA + "\r\n\r\n") << 400
                                  << QByteArray();
        QTest::newRow("no token") << QByteArray("POST /notification-handler HTTP/1.1\r\n"
                                                "Content-Length: 0\r\n"
                                                "X-Goog-Resource-State: exists\r\n\r\n")
                                  << 400 << QByteArray();
        QTest::newRow("state not ASCII")
            << notificationRequest(nameA, "ex\xc3\xa9", "c") << 400 << QByteArray();
        QTest::newRow("body too large")
            << QByteArray("POST /notification-handler HTTP/1.1\r\nContent-Length: 5000\r\n"
                          "X-Goog-Channel-Token: "
                   + nameA + "\r\nX-Goog-Resource-State: exists\r\n\r\n" + QByteArray(5000, 'x'))
            << 413 << QByteArray();
        QTest::newRow("headers too large") << QByteArray("GET /events/" + nameA
            + " HTTP/1.1\r\nX-Padding: " + QByteArray(9000, 'p') + "\r\n\r\n")
                                           << 400 << QByteArray();
        QTest::newRow("push address, GET")
            << "GET /notification-handler" + end << 405 << QByteArray("POST");
        QTest::newRow("push address, DELETE")
            << "DELETE /notification-handler" + end << 405 << QByteArray("POST");
        QTest::newRow("stream, POST") << "POST /events/" + nameA + end << 405 << QByteArray("GET");
        QTest::newRow("stream, PUT") << "PUT /events/" + nameA + end << 405 << QByteArray("GET");
        QTest::newRow("short stream name")
            << "GET /events/" + nameA.chopped(1) + end << 404 << QByteArray();
        QTest::newRow("upper-case stream name")
            << "GET /events/" + nameA.toUpper() + end << 404 << QByteArray();
        QTest::newRow("root") << "GET /" + end << 404 << QByteArray();
        QTest::newRow("other path, OPTIONS") << "OPTIONS /admin" + end << 404 << QByteArray();
    }

    void answers()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArray, allow);

        const quint16 port = m_relay.start();
        QVERIFY(port != 0);
        QByteArray head;
        QCOMPARE(exchange(port, request, &head), status);
        if (!allow.isEmpty()) {
            QVERIFY2(head.contains("Allow: " + allow + "\r\n"), head.constData());
        }
        // Whatever came before, the relay still serves.
        QCOMPARE(notify(port, nameA), 200);
    }

    void streamIsAnOpenChunkedEventStream()
    {
        const quint16 port = m_relay.start();
        Stream stream(port, nameA);
        QVERIFY(stream.waitForHead());
        QCOMPARE(stream.status(), 200);
        const QByteArray head = stream.head();
        QVERIFY2(head.contains("Content-Type: text/event-stream\r\n"), head.constData());
        QVERIFY(head.contains("Cache-Control: no-cache\r\n"));
        QVERIFY(head.contains("Transfer-Encoding: chunked\r\n"));
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(m_relay.server->streamCount(), std::size_t(1));
    }

    void http10StreamGetsBareLinesUntilTheClose()
    {
        const quint16 port = m_relay.start();
        Client stream(port);
        stream.send("GET /events/" + nameA + " HTTP/1.0\r\n\r\n");
        QVERIFY(stream.waitForHead());
        QCOMPARE(stream.status(), 200);
        QVERIFY(!stream.head().contains("Transfer-Encoding"));
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(
            stream.waitUntil([&] { return stream.rawBody() == eventLine("exists", "chan-1"); }));
        m_relay.server->stop();
        QVERIFY(stream.waitForClose());
        QCOMPARE(stream.rawBody(), eventLine("exists", "chan-1"));
    }

    void notificationsFanOutToEveryStreamOfTheirName()
    {
        const quint16 port = m_relay.start();
        Stream a1(port, nameA), a2(port, nameA), a3(port, nameA), b(port, nameB);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(3));
        QTRY_COMPARE(m_relay.subscribers(nameB), std::size_t(1));

        QCOMPARE(notify(port, nameA, "exists", "chan-a"), 200);
        QCOMPARE(notify(port, nameB, "exists", "chan-b"), 200);
        QCOMPARE(notify(port, nameA, "not_exists", "chan-a"), 200);

        const QByteArray expectedA
            = eventLine("exists", "chan-a") + eventLine("not_exists", "chan-a");
        for (Stream *stream : {&a1, &a2, &a3}) {
            QVERIFY(stream->waitForBody(expectedA.size()));
            QCOMPARE(stream->body(), expectedA);
        }
        // The notifications are relayed in order, so B's own line arriving alone shows that
        // A's went nowhere else.
        QVERIFY(b.waitForBody(eventLine("exists", "chan-b").size()));
        QCOMPARE(b.body(), eventLine("exists", "chan-b"));
    }

    void notificationWithoutListenerIsDeliveredOnceToTheNextStream()
    {
        const quint16 port = m_relay.start();
        QCOMPARE(notify(port, nameA, "sync", "chan-1"), 200);
        QCOMPARE(notify(port, nameA, "exists", "chan-1"), 200);
        QCOMPARE(m_relay.server->pendingCount(), std::size_t(1));

        Stream first(port, nameA);
        QVERIFY(first.waitForBody(eventLine("exists", "chan-1").size()));
        QCOMPARE(first.body(), eventLine("exists", "chan-1"));
        QCOMPARE(m_relay.server->pendingCount(), std::size_t(0));

        Stream second(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(2));
        QCOMPARE(notify(port, nameA, "not_exists", "chan-2"), 200);
        QVERIFY(second.waitForBody(eventLine("not_exists", "chan-2").size()));
        QCOMPARE(second.body(), eventLine("not_exists", "chan-2"));
        QVERIFY(first.waitForBody(first.body().size() + 1));
        QCOMPARE(first.body(), eventLine("exists", "chan-1") + eventLine("not_exists", "chan-2"));
    }

    void pendingNotificationExpires()
    {
        BackendOptions options;
        options.pendingLifetime = std::chrono::milliseconds(0);
        const quint16 port = m_relay.start(options);
        QCOMPARE(notify(port, nameA, "exists", "old"), 200);

        Stream stream(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA, "exists", "new"), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "new").size()));
        QCOMPARE(stream.body(), eventLine("exists", "new"));
    }

    void streamsGetKeepAliveComments()
    {
        BackendOptions options;
        options.keepAlivePeriod = std::chrono::milliseconds(20);
        const quint16 port = m_relay.start(options);
        Stream stream(port, nameA);
        const QByteArray keepAlives = QByteArray(": keep-alive\n").repeated(3);
        QVERIFY(stream.waitForBody(keepAlives.size()));
        QVERIFY(stream.body().startsWith(keepAlives));

        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitUntil(
            [&] { return stream.body().contains(eventLine("exists", "chan-1")); }));
    }

    void stopEndsStreamsAndFreesThePort()
    {
        const quint16 port = m_relay.start();
        Stream stream(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));

        m_relay.server->stop();
        bool ended = false;
        QVERIFY(stream.waitUntil([&] {
            stream.body(&ended);
            return ended;
        }));
        QVERIFY(stream.waitForClose());
        QCOMPARE(m_relay.server->subscriberCount(nameA.toStdString()), std::size_t(0));

        // Started again, it listens where the listener will look for it.
        const auto restarted = m_relay.server->start();
        QVERIFY2(restarted, restarted ? "" : restarted.error().c_str());
        QCOMPARE(m_relay.server->port(), port);
        Stream back(port, nameA);
        QTRY_COMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA, "exists", "chan-2"), 200);
        QVERIFY(back.waitForBody(eventLine("exists", "chan-2").size()));
    }

    void listensOnIPv6()
    {
        BackendOptions options;
        options.listenAddress = "::1";
        options.port = 0;
        options.log = [](std::string_view) {};
        m_relay.server = std::make_unique<BackendServer>(options);
        if (const auto started = m_relay.server->start(); !started) {
            QSKIP(started.error().c_str());
        }
        const quint16 port = m_relay.server->port();
        QVERIFY(port != 0);
        Stream stream(port, nameA, QHostAddress::LocalHostIPv6);
        QVERIFY(stream.waitForHead());
        QCOMPARE(stream.status(), 200);
        // Only where it was told to listen.
        QVERIFY(!Client(port, QHostAddress::LocalHost).connected());
    }

    void qtClientReadsLinesAndSeesACleanEnd()
    {
        // What the application's listener is built on.
        const quint16 port = m_relay.start();
        QNetworkAccessManager manager;
        QNetworkRequest request(QUrl(
            "http://127.0.0.1:" + QString::number(port) + "/events/" + QString::fromLatin1(nameA)));
        request.setRawHeader("Accept", "text/event-stream");
        request.setRawHeader("Cache-Control", "no-cache");
        request.setTransferTimeout(0);
        std::unique_ptr<QNetworkReply> reply(manager.get(request));
        QByteArray received;
        connect(
            reply.get(), &QNetworkReply::readyRead, this, [&] { received += reply->readAll(); });
        // The relay keeps the stream before its head reaches the client: wait for the head.
        QTRY_COMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(m_relay.subscribers(nameA), std::size_t(1));
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(),
            QString("text/event-stream"));

        QCOMPARE(notify(port, nameA), 200);
        QTRY_COMPARE(received, eventLine("exists", "chan-1"));

        m_relay.server->stop();
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
    }
};

TOLVO_TEST_MAIN(BackendServerProtocolTest)
#include "BackendServerProtocolTest.moc"
