#include "RelayTestClient.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace tolvo::test::relay {

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

QByteArray streamRequest(const QByteArray &name)
{
    return "GET /events/" + name
        + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n"
          "Cache-Control: no-cache\r\n\r\n";
}

QByteArray dechunk(const QByteArray &raw, bool *ended)
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

Client::Client(quint16 port, const QHostAddress &host, const QHostAddress &source)
{
    if (!source.isNull()) {
        m_socket.bind(source);
    }
    m_socket.connectToHost(host, port);
    m_connected = m_socket.waitForConnected(5000);
}

void Client::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.waitForBytesWritten(5000);
}

bool Client::waitUntil(const std::function<bool()> &done, int timeoutMs)
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

bool Client::waitForHead()
{
    return waitUntil([this] { return m_raw.contains("\r\n\r\n"); });
}

bool Client::waitForBody(qsizetype size)
{
    return waitUntil([&] { return body().size() >= size; });
}

bool Client::waitForClose(int timeoutMs)
{
    return waitUntil([this] { return !isOpen(); }, timeoutMs);
}

int Client::status() const
{
    static const QRegularExpression statusLine("^HTTP/1\\.[01] (\\d{3}) ");
    const auto match = statusLine.match(QString::fromLatin1(m_raw));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QByteArray Client::head() const
{
    return m_raw.left(m_raw.indexOf("\r\n\r\n") + 4);
}

QByteArray Client::rawBody() const
{
    const qsizetype end = m_raw.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : m_raw.mid(end + 4);
}

int Client::takeAnswer()
{
    waitForHead();
    const int answer = status();
    m_raw.clear();
    return answer;
}

Stream::Stream(
    quint16 port, const QByteArray &name, const QHostAddress &host, const QHostAddress &source)
    : Client(port, host, source)
{
    send(streamRequest(name));
}

int exchange(quint16 port, const QByteArray &request, QByteArray *head)
{
    Client client(port);
    client.send(request);
    client.waitForHead();
    if (head) {
        *head = client.head();
    }
    return client.status();
}

int notify(
    quint16 port, const QByteArray &name, const QByteArray &state, const QByteArray &channelId)
{
    return exchange(port, notificationRequest(name, state, channelId));
}

StalledReader::StalledReader(quint16 port, const QByteArray &name)
    : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
{
    if (m_fd < 0) {
        return;
    }
    const int small = 1024;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        return;
    }
    const QByteArray get = streamRequest(name);
    m_ok = ::write(m_fd, get.constData(), size_t(get.size())) == ssize_t(get.size());
}

StalledReader::~StalledReader()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

quint16 RelayFixture::start(backend::BackendOptions options)
{
    options.port = 0;
    if (!options.log) {
        options.log = [](std::string_view) {};
    }
    server = std::make_unique<backend::BackendServer>(std::move(options));
    const auto started = server->start();
    if (!started) {
        qWarning("%s", started.error().c_str());
        return 0;
    }
    return server->port();
}

std::size_t RelayFixture::subscribers(const QByteArray &name) const
{
    return server->subscriberCount(name.toStdString());
}

quint16 startExecutable(QProcess &relay, QStringList arguments)
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
        log = relay.peek(1 << 20);
        if (const auto match = listening.match(QString::fromUtf8(log)); match.hasMatch()) {
            return quint16(match.captured(1).toUInt());
        }
    }
    qWarning("%s", log.constData());
    return 0;
}

} // namespace tolvo::test::relay
