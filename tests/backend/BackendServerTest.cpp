#include "support/TestMain.h"

#include "backend/BackendServer.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace tolvo::backend;

namespace {

const QByteArray nameA
    = QCryptographicHash::hash("primary@example.com", QCryptographicHash::Sha256).toHex();
const QByteArray nameB
    = QCryptographicHash::hash("team@example.com", QCryptographicHash::Sha256).toHex();
const QByteArray nameC(64, 'c');

QByteArray nameNumbered(int i)
{
    return QByteArray::number(i, 16).rightJustified(64, '0');
}

QByteArray eventLine(const QByteArray &state, const QByteArray &channelId)
{
    return "data: {\"state\":\"" + state + "\",\"channelId\":\"" + channelId + "\"}\n\n";
}

QByteArray notificationRequest(
    const QByteArray &name, const QByteArray &state, const QByteArray &channelId)
{
    return "POST /notification-handler HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 0\r\n"
           "X-Goog-Channel-ID: "
        + channelId + "\r\nX-Goog-Channel-Token: " + name + "\r\nX-Goog-Resource-State: " + state
        + "\r\nX-Goog-Resource-ID: resource-1\r\nX-Goog-Message-Number: 7\r\n\r\n";
}

// The decoded body of a chunked response so far; `ended` tells whether the last chunk came.
QByteArray dechunk(const QByteArray &raw, bool *ended = nullptr)
{
    QByteArray body;
    qsizetype pos = 0;
    if (ended) {
        *ended = false;
    }
    while (true) {
        const qsizetype lineEnd = raw.indexOf("\r\n", pos);
        if (lineEnd < 0) {
            break;
        }
        bool ok = false;
        const qsizetype size = raw.mid(pos, lineEnd - pos).toLongLong(&ok, 16);
        if (!ok) {
            break;
        }
        if (size == 0) {
            if (ended) {
                *ended = raw.size() >= lineEnd + 4;
            }
            break;
        }
        if (raw.size() < lineEnd + 2 + size + 2) {
            break;
        }
        body += raw.mid(lineEnd + 2, size);
        pos = lineEnd + 2 + size + 2;
    }
    return body;
}

// One HTTP connection driven with blocking reads: the relay runs on a thread of its own.
class Client
{
public:
    explicit Client(quint16 port, const QHostAddress &host = QHostAddress::LocalHost)
    {
        m_socket.connectToHost(host, port);
        m_connected = m_socket.waitForConnected(5000);
    }

    bool connected() const { return m_connected; }

    void send(const QByteArray &bytes)
    {
        m_socket.write(bytes);
        m_socket.waitForBytesWritten(5000);
    }

    bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (true) {
            m_raw += m_socket.readAll();
            if (done()) {
                return true;
            }
            if (deadline.hasExpired()) {
                return false;
            }
            if (m_socket.state() != QAbstractSocket::ConnectedState) {
                m_raw += m_socket.readAll();
                return done();
            }
            m_socket.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 50)));
        }
    }

    bool waitForHead()
    {
        return waitUntil([this] { return m_raw.contains("\r\n\r\n"); });
    }

    int status() const
    {
        static const QRegularExpression statusLine("^HTTP/1\\.[01] (\\d{3}) ");
        const auto match = statusLine.match(QString::fromLatin1(m_raw));
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    }

    QByteArray head() const { return m_raw.left(m_raw.indexOf("\r\n\r\n") + 4); }
    QByteArray rawBody() const
    {
        const qsizetype end = m_raw.indexOf("\r\n\r\n");
        return end < 0 ? QByteArray() : m_raw.mid(end + 4);
    }
    QByteArray body(bool *ended = nullptr) const { return dechunk(rawBody(), ended); }

    bool waitForBody(qsizetype size)
    {
        return waitUntil([&] { return body().size() >= size; });
    }

    bool waitForClose()
    {
        return waitUntil([this] { return m_socket.state() != QAbstractSocket::ConnectedState; });
    }

    void close() { m_socket.abort(); }

    // For keep-alive connections: the status of the next answer, forgetting it afterwards.
    int takeAnswer()
    {
        waitForHead();
        const int answer = status();
        m_raw.clear();
        return answer;
    }

private:
    QTcpSocket m_socket;
    QByteArray m_raw;
    bool m_connected = false;
};

class Stream : public Client
{
public:
    Stream(quint16 port, const QByteArray &name, const QHostAddress &host = QHostAddress::LocalHost)
        : Client(port, host)
    {
        send("GET /events/" + name
            + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n"
              "Cache-Control: no-cache\r\n\r\n");
    }
};

// A complete request/answer on a connection of its own.
int exchange(quint16 port, const QByteArray &request, QByteArray *head = nullptr)
{
    Client client(port);
    client.send(request);
    client.waitForHead();
    if (head) {
        *head = client.head();
    }
    return client.status();
}

int notify(quint16 port, const QByteArray &name, const QByteArray &state = "exists",
    const QByteArray &channelId = "chan-1")
{
    return exchange(port, notificationRequest(name, state, channelId));
}

} // namespace

class BackendServerTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<BackendServer> m_server;

    quint16 startServer(BackendOptions options = {})
    {
        options.port = 0;
        options.log = [](std::string_view) {};
        m_server = std::make_unique<BackendServer>(std::move(options));
        const auto started = m_server->start();
        if (!started) {
            qWarning("%s", started.error().c_str());
            return 0;
        }
        return m_server->port();
    }

    // Starts the executable on a free port; the port, or 0. Its log stays readable.
    static quint16 startExecutable(QProcess &relay, QStringList arguments = {})
    {
        relay.setReadChannel(QProcess::StandardError);
        relay.start(TOLVO_BACKEND_EXECUTABLE,
            arguments << "--port"
                      << "0");
        if (!relay.waitForStarted()) {
            return 0;
        }
        static const QRegularExpression listening("listening on 127\\.0\\.0\\.1:(\\d+)");
        QByteArray log;
        QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired()) {
            relay.waitForReadyRead(100);
            log += relay.peek(1 << 20);
            if (const auto match = listening.match(QString::fromUtf8(log)); match.hasMatch()) {
                return quint16(match.captured(1).toUInt());
            }
            log.clear();
        }
        qWarning("%s", log.constData());
        return 0;
    }

    std::size_t subscribers(const QByteArray &name) const
    {
        return m_server->subscriberCount(name.toStdString());
    }

private slots:
    void cleanup() { m_server.reset(); }

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

        const quint16 port = startServer();
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
        const quint16 port = startServer();
        Stream stream(port, nameA);
        QVERIFY(stream.waitForHead());
        QCOMPARE(stream.status(), 200);
        const QByteArray head = stream.head();
        QVERIFY2(head.contains("Content-Type: text/event-stream\r\n"), head.constData());
        QVERIFY(head.contains("Cache-Control: no-cache\r\n"));
        QVERIFY(head.contains("Transfer-Encoding: chunked\r\n"));
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QCOMPARE(m_server->streamCount(), std::size_t(1));
    }

    void notificationsFanOutToEveryStreamOfTheirName()
    {
        const quint16 port = startServer();
        Stream a1(port, nameA), a2(port, nameA), a3(port, nameA), b(port, nameB);
        QTRY_COMPARE(subscribers(nameA), std::size_t(3));
        QTRY_COMPARE(subscribers(nameB), std::size_t(1));

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
        const quint16 port = startServer();
        QCOMPARE(notify(port, nameA, "sync", "chan-1"), 200);
        QCOMPARE(notify(port, nameA, "exists", "chan-1"), 200);
        QCOMPARE(m_server->pendingCount(), std::size_t(1));

        Stream first(port, nameA);
        QVERIFY(first.waitForBody(eventLine("exists", "chan-1").size()));
        QCOMPARE(first.body(), eventLine("exists", "chan-1"));
        QCOMPARE(m_server->pendingCount(), std::size_t(0));

        Stream second(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(2));
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
        const quint16 port = startServer(options);
        QCOMPARE(notify(port, nameA, "exists", "old"), 200);

        Stream stream(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA, "exists", "new"), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "new").size()));
        QCOMPARE(stream.body(), eventLine("exists", "new"));
    }

    void streamsGetKeepAliveComments()
    {
        BackendOptions options;
        options.keepAlivePeriod = std::chrono::milliseconds(20);
        const quint16 port = startServer(options);
        Stream stream(port, nameA);
        const QByteArray keepAlives = QByteArray(": keep-alive\n").repeated(3);
        QVERIFY(stream.waitForBody(keepAlives.size()));
        QVERIFY(stream.body().startsWith(keepAlives));

        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitUntil(
            [&] { return stream.body().contains(eventLine("exists", "chan-1")); }));
    }

    void quietStreamOutlivesTheIdleTimeout()
    {
        // evhttp's idle timeout is for requests that stall, not for streams with nothing to say.
        BackendOptions options;
        options.idleTimeout = std::chrono::milliseconds(20);
        const quint16 port = startServer(options);
        Stream stream(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QTest::qWait(120);
        QCOMPARE(subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));
        QCOMPARE(stream.body(), eventLine("exists", "chan-1"));
    }

    void clientsThatGoAwayAreForgotten()
    {
        const quint16 port = startServer();
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 0; i < 4; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameA));
        }
        QTRY_COMPARE(subscribers(nameA), std::size_t(4));
        streams[0]->close();
        streams[1]->close();
        QTRY_COMPARE(subscribers(nameA), std::size_t(2));

        // Gone while lines are being written to it: the writes fail, nothing else does.
        streams[2]->close();
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(notify(port, nameA, "exists", QByteArray::number(i)), 200);
        }
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QVERIFY(streams[3]->waitUntil([&] { return streams[3]->body().count("data: ") == 20; }));
        QCOMPARE(m_server->streamCount(), std::size_t(1));
    }

    void clientThatStopsReadingIsDropped()
    {
        BackendOptions options;
        options.maxStreamOutputBytes = 2048;
        const quint16 port = startServer(options);

        // A client with a tiny receive buffer that never reads.
        const int stalled = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(stalled >= 0);
        const int small = 1024;
        ::setsockopt(stalled, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(stalled, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        const QByteArray get = "GET /events/" + nameA + " HTTP/1.1\r\nHost: x\r\n\r\n";
        QCOMPARE(::write(stalled, get.constData(), size_t(get.size())), ssize_t(get.size()));

        Stream reader(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(2));

        Client poster(port);
        int sent = 0;
        const QByteArray padding(200, 'p'); // longer lines fill the buffers sooner
        while (subscribers(nameA) == 2 && sent < 20000) {
            poster.send(notificationRequest(nameA, "exists", padding + QByteArray::number(sent)));
            QCOMPARE(poster.takeAnswer(), 200);
            ++sent;
            if (sent % 50 == 0) {
                // Let the reader keep up; the stalled client cannot.
                QVERIFY(reader.waitUntil([&] { return reader.body().count("data: ") == sent; }));
            }
        }
        ::close(stalled);
        QCOMPARE(subscribers(nameA), std::size_t(1));
        QVERIFY(reader.waitUntil([&] { return reader.body().count("data: ") == sent; }));
    }

    void clientThatSendsAfterItsRequestIsDropped()
    {
        BackendOptions options;
        options.maxStreamInputBytes = 64;
        options.keepAlivePeriod = std::chrono::milliseconds(20);
        const quint16 port = startServer(options);
        Stream talker(port, nameA);
        Stream quiet(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(2));
        talker.send(QByteArray(1000, 'x'));
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QVERIFY(talker.waitForClose());
    }

    void capsAnswerInsteadOfFailing()
    {
        BackendOptions options;
        options.maxStreamsPerName = 2;
        options.maxStreams = 3;
        const quint16 port = startServer(options);
        auto a1 = std::make_unique<Stream>(port, nameA);
        Stream a2(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(2));

        Stream a3(port, nameA);
        QVERIFY(a3.waitForHead());
        QCOMPARE(a3.status(), 429);
        QVERIFY(a3.waitForClose());

        Stream b(port, nameB);
        QTRY_COMPARE(subscribers(nameB), std::size_t(1));
        Stream c(port, nameC);
        QVERIFY(c.waitForHead());
        QCOMPARE(c.status(), 503);
        QVERIFY(c.head().contains("Retry-After: "));

        a1->close();
        QTRY_COMPARE(m_server->streamCount(), std::size_t(2));
        Stream c2(port, nameC);
        QVERIFY(c2.waitForHead());
        QCOMPARE(c2.status(), 200);
    }

    void stopEndsStreamsAndFreesThePort()
    {
        const quint16 port = startServer();
        Stream stream(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));

        m_server->stop();
        bool ended = false;
        QVERIFY(stream.waitUntil([&] {
            stream.body(&ended);
            return ended;
        }));
        QVERIFY(stream.waitForClose());
        QCOMPARE(m_server->subscriberCount(nameA.toStdString()), std::size_t(0));

        // Started again, it listens where the listener will look for it.
        const auto restarted = m_server->start();
        QVERIFY2(restarted, restarted ? "" : restarted.error().c_str());
        QCOMPARE(m_server->port(), port);
        Stream back(port, nameA);
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QCOMPARE(notify(port, nameA, "exists", "chan-2"), 200);
        QVERIFY(back.waitForBody(eventLine("exists", "chan-2").size()));
    }

    void executableUnderAFileLimitAnswersAndRecovers()
    {
        QProcess relay;
        relay.setChildProcessModifier([] {
            const rlimit limit {100, 100};
            setrlimit(RLIMIT_NOFILE, &limit);
        });
        const quint16 port = startExecutable(relay);
        QVERIFY(port != 0);

        // The cap follows the file limit, so streams past it are refused with 503...
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 0; i < 36; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameNumbered(i)));
            QVERIFY(streams.back()->waitForHead());
            QCOMPARE(streams.back()->status(), 200);
        }
        Stream refused(port, nameB);
        QVERIFY(refused.waitForHead());
        QCOMPARE(refused.status(), 503);

        // ...and connections that exhaust the descriptors anyway only pause accepting.
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 80; ++i) {
            idle.push_back(std::make_unique<Client>(port));
        }
        QTest::qWait(50);
        idle.clear();
        QDeadlineTimer deadline(5000);
        int status = 0;
        while (status != 200 && !deadline.hasExpired()) {
            status = notify(port, nameNumbered(35));
        }
        QCOMPARE(status, 200);
        QVERIFY(streams.back()->waitForBody(eventLine("exists", "chan-1").size()));
        relay.terminate();
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 0);
        QVERIFY(relay.readAllStandardError().contains("accept failed"));
    }

    void listensOnIPv6()
    {
        BackendOptions options;
        options.listenAddress = "::1";
        options.port = 0;
        options.log = [](std::string_view) {};
        m_server = std::make_unique<BackendServer>(options);
        if (const auto started = m_server->start(); !started) {
            QSKIP(started.error().c_str());
        }
        const quint16 port = m_server->port();
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
        const quint16 port = startServer();
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
        QTRY_COMPARE(subscribers(nameA), std::size_t(1));
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(),
            QString("text/event-stream"));

        QCOMPARE(notify(port, nameA), 200);
        QTRY_COMPARE(received, eventLine("exists", "chan-1"));

        m_server->stop();
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->error(), QNetworkReply::NoError);
    }

    void executableServesAndStopsOnSigterm()
    {
        QProcess relay;
        const quint16 port = startExecutable(relay, {"--listen", "127.0.0.1"});
        QVERIFY(port != 0);

        Stream stream(port, nameA);
        QVERIFY(stream.waitForHead());
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));

        relay.terminate(); // SIGTERM
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitStatus(), QProcess::NormalExit);
        QCOMPARE(relay.exitCode(), 0);
        bool ended = false;
        stream.waitUntil([&] {
            stream.body(&ended);
            return ended;
        });
        QVERIFY(ended);
        const QByteArray log = relay.readAllStandardError();
        QVERIFY2(log.contains("stopped"), log.constData());
    }

    void executableRejectsBadArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("port") << QStringList {"--port", "70000"} << "--port needs a number";
        QTest::newRow("address") << QStringList {"--listen", "example.com"}
                                 << "--listen needs an IPv4 or IPv6 address";
        QTest::newRow("unknown") << QStringList {"--verbose"} << "unknown argument";
    }

    void executableRejectsBadArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess relay;
        relay.start(TOLVO_BACKEND_EXECUTABLE, arguments);
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 2);
        const QString error = QString::fromUtf8(relay.readAllStandardError());
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(error.contains("Usage: tolvo-backend"));
    }

    void executableReportsAPortInUse()
    {
        const quint16 port = startServer();
        QProcess relay;
        relay.start(TOLVO_BACKEND_EXECUTABLE, {"--port", QString::number(port)});
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 1);
        const QString error = QString::fromUtf8(relay.readAllStandardError());
        QVERIFY2(error.contains("cannot listen on 127.0.0.1:" + QString::number(port)),
            qPrintable(error));
    }
};

TOLVO_TEST_MAIN(BackendServerTest)
#include "BackendServerTest.moc"
