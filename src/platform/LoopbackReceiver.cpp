#include "platform/LoopbackReceiver.h"

#include "platform/OAuthClient.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

#include <sys/socket.h>

namespace tolvo {

namespace {

// A socket that buffers at most `limit` unread bytes, also while it waits to be taken.
class BoundedServer : public QTcpServer
{
public:
    BoundedServer(qsizetype limit, QObject *parent)
        : QTcpServer(parent)
        , m_limit(limit)
    {
        // One accepted socket waits for a free place; the rest stay in the system's queue.
        setMaxPendingConnections(1);
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setReadBufferSize(m_limit);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        addPendingConnection(socket);
    }

private:
    qsizetype m_limit;
};

enum class Status {
    ok = 200,
    found = 302,
    badRequest = 400,
    notFound = 404,
    methodNotAllowed = 405,
    gone = 410,
    contentTooLarge = 413,
    headersTooLarge = 431
};

QByteArray reason(Status status)
{
    switch (status) {
    case Status::ok: return QByteArrayLiteral("OK");
    case Status::found: return QByteArrayLiteral("Found");
    case Status::badRequest: return QByteArrayLiteral("Bad Request");
    case Status::notFound: return QByteArrayLiteral("Not Found");
    case Status::methodNotAllowed: return QByteArrayLiteral("Method Not Allowed");
    case Status::gone: return QByteArrayLiteral("Gone");
    case Status::contentTooLarge: return QByteArrayLiteral("Content Too Large");
    case Status::headersTooLarge: return QByteArrayLiteral("Request Header Fields Too Large");
    }
    return {};
}

// Every answer closes its connection: the browser never reuses it for a reload that a
// receiver which has moved on would have to answer.
QByteArray response(Status status, const char *text, const QUrl &location = {})
{
    QByteArray body;
    if (text)
        body = QByteArrayLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                 "<title>Tolvo</title></head><body><p>")
            + text + QByteArrayLiteral("</p></body></html>");
    QByteArray out = "HTTP/1.1 " + QByteArray::number(static_cast<int>(status)) + ' '
        + reason(status) + "\r\nConnection: close\r\nCache-Control: no-store\r\n"
        + "Content-Type: text/html; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n";
    if (!location.isEmpty())
        out += "Location: " + location.toEncoded() + "\r\n";
    return out + "\r\n" + body;
}

// Where the request line and headers end, or -1; the body (if any) starts at the result.
qsizetype headEnd(QByteArrayView buffer)
{
    const qsizetype crlf = buffer.indexOf("\r\n\r\n");
    const qsizetype lf = buffer.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf + 2 <= lf))
        return crlf + 4;
    return lf >= 0 ? lf + 2 : -1;
}

// True when the headers announce a body: a non-zero (or unreadable) length, or any transfer
// coding.
bool announcesBody(const QList<QByteArray> &headerLines)
{
    for (const QByteArray &line : headerLines) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.first(colon).trimmed().toLower();
        const QByteArray value = line.sliced(colon + 1).trimmed();
        if (name == "transfer-encoding")
            return true;
        if (name == "content-length") {
            bool ok = false;
            if (value.toLongLong(&ok) != 0 || !ok)
                return true;
        }
    }
    return false;
}

} // namespace

// One accepted connection: reads the request head (up to the limit), is answered once and
// closes; the deadline drops it whatever state it is in.
class LoopbackReceiver::Connection : public QObject
{
public:
    Connection(QTcpSocket *accepted, const Limits &limits, LoopbackReceiver *receiver)
        : QObject(receiver)
        , socket(accepted)
        , limit(limits.maxHeadBytes)
    {
        socket->setParent(this);
        auto *deadline = new QTimer(this);
        deadline->setSingleShot(true);
        QObject::connect(deadline, &QTimer::timeout, this, [this, receiver] {
            socket->abort();
            close(receiver);
        });
        deadline->start(limits.deadline);
        QObject::connect(
            socket, &QTcpSocket::disconnected, this, [this, receiver] { close(receiver); });
        QObject::connect(
            socket, &QTcpSocket::readyRead, this, [this, receiver] { read(receiver); });
    }

    void close(LoopbackReceiver *receiver)
    {
        if (closed)
            return;
        closed = true;
        socket->disconnect(this);
        deleteLater();
        receiver->connectionClosed(this);
    }

    void read(LoopbackReceiver *receiver)
    {
        if (answered) {
            socket->skip(socket->bytesAvailable());
            return;
        }
        buffer += socket->read(limit + 1 - buffer.size());
        const qsizetype end = headEnd(buffer);
        if (end < 0 && buffer.size() <= limit)
            return;
        if (end < 0 || end > limit) {
            reply(response(Status::headersTooLarge, "The request is too large."));
            return;
        }
        // The browser's redirect has no body; bytes past the head are one.
        if (end < buffer.size() || socket->bytesAvailable() > 0) {
            reply(response(Status::contentTooLarge, "This address takes no request body."));
            return;
        }
        receiver->answer(this, QByteArrayView(buffer).first(end));
    }

    // Sends the answer and then only half-closes: input the client is still sending is read
    // and dropped until it closes, so that the system does not reset the connection over
    // unread bytes and throw the answer away before the client has read it. The deadline
    // ends a client that never closes.
    void reply(const QByteArray &bytes)
    {
        answered = true;
        buffer.clear();
        socket->skip(socket->bytesAvailable());
        socket->write(bytes);
        QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this] { endOutput(); });
        socket->flush();
        endOutput();
    }

    void endOutput()
    {
        if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    }

    QTcpSocket *socket;
    qsizetype limit;
    QByteArray buffer;
    bool answered = false;
    bool closed = false;
};

LoopbackReceiver::LoopbackReceiver(QUrl successPage, QObject *parent)
    : LoopbackReceiver(std::move(successPage), Limits {}, parent)
{
}

LoopbackReceiver::LoopbackReceiver(QUrl successPage, Limits limits, QObject *parent)
    : QObject(parent)
    , m_successPage(std::move(successPage))
    , m_limits(limits)
    , m_server(new BoundedServer(limits.maxHeadBytes, this))
{
    connect(m_server, &QTcpServer::newConnection, this, &LoopbackReceiver::acceptConnections);
}

LoopbackReceiver::~LoopbackReceiver()
{
    stop();
}

Result<QUrl> LoopbackReceiver::start()
{
    QString host = QStringLiteral("127.0.0.1");
    bool listening = m_server->listen(QHostAddress::LocalHost, 0);
    if (!listening) {
        host = QStringLiteral("[::1]");
        listening = m_server->listen(QHostAddress::LocalHostIPv6, 0);
    }
    if (!listening)
        return failure(ErrorDomain::oauth, oauthcode::listenerFailed,
            QStringLiteral("No loopback port is free for the sign-in."));
    return QUrl(QStringLiteral("http://%1:%2/").arg(host).arg(m_server->serverPort()));
}

int LoopbackReceiver::openConnections() const
{
    return static_cast<int>(m_connections.size());
}

qsizetype LoopbackReceiver::bufferedBytes() const
{
    qsizetype total = 0;
    for (const Connection *connection : m_connections)
        total += connection->buffer.size() + connection->socket->bytesAvailable();
    if (m_server) {
        for (const QTcpSocket *waiting : m_server->findChildren<QTcpSocket *>())
            total += waiting->bytesAvailable();
    }
    return total;
}

void LoopbackReceiver::acceptConnections()
{
    while (m_server && m_server->hasPendingConnections()
        && openConnections() < m_limits.maxConnections) {
        QTcpSocket *socket = m_server->nextPendingConnection();
        m_connections.append(new Connection(socket, m_limits, this));
        // Bytes that came with the connection are not announced again.
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(socket, &QTcpSocket::readyRead, Qt::QueuedConnection);
    }
}

void LoopbackReceiver::connectionClosed(Connection *connection)
{
    m_connections.removeOne(connection);
    // A place is free: take a connection that waits for one.
    QMetaObject::invokeMethod(this, &LoopbackReceiver::acceptConnections, Qt::QueuedConnection);
}

void LoopbackReceiver::answer(Connection *connection, QByteArrayView head)
{
    const QList<QByteArray> lines = head.toByteArray().trimmed().split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")
        || !requestLine[1].startsWith('/')) {
        connection->reply(response(Status::badRequest, "This is not a request Tolvo understands."));
        return;
    }
    if (announcesBody(lines.sliced(1))) {
        connection->reply(response(Status::contentTooLarge, "This address takes no request body."));
        return;
    }
    if (requestLine[0] != "GET") {
        connection->reply(response(Status::methodNotAllowed, nullptr));
        return;
    }
    const QUrl target = QUrl::fromEncoded(requestLine[1], QUrl::StrictMode);
    if (!target.isValid() || target.path() != QStringLiteral("/")) {
        connection->reply(response(Status::notFound, nullptr));
        return;
    }
    if (m_outcome) {
        connection->reply(response(Status::gone, "This sign-in has already ended."));
        return;
    }
    const QUrlQuery query(target);
    const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
    // Only the answer to our own request may end the sign-in: anything else on this port
    // (a stray page, another local program) is turned away and the sign-in keeps waiting.
    if (m_state.isEmpty() || state != m_state) {
        connection->reply(response(Status::badRequest,
            "This sign-in answer was not expected. Please try again from Tolvo."));
        return;
    }
    const QString error = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
    const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
    if (!error.isEmpty() || code.isEmpty()) {
        complete(failure(ErrorDomain::oauth, oauthcode::accessDenied,
            error.isEmpty() ? QStringLiteral("no authorization code") : error));
        connection->reply(response(
            Status::ok, "Sign-in was not completed. You can close this tab and return to Tolvo."));
        return;
    }
    complete(code);
    if (m_successPage.isEmpty() || !m_successPage.isValid()) {
        connection->reply(
            response(Status::ok, "You are signed in. You can close this tab and return to Tolvo."));
        return;
    }
    connection->reply(response(Status::found, nullptr, m_successPage));
}

void LoopbackReceiver::stop()
{
    if (!m_server)
        return;
    m_server->close();
    // The answer already given sits in its connection's buffer: hand it to the system, then
    // close every connection together with the server.
    for (Connection *connection : std::exchange(m_connections, {})) {
        connection->socket->flush();
        connection->socket->disconnect(connection);
        connection->socket->disconnectFromHost();
        delete connection;
    }
    delete m_server.data();
}

void LoopbackReceiver::complete(Result<QString> outcome)
{
    m_outcome = std::move(outcome);
    // Stop accepting at once; this request is still answered.
    if (m_server)
        m_server->close();
    // Fired from the loop, not from inside the request handler: whoever awaits it may drop
    // this receiver at once.
    QMetaObject::invokeMethod(&m_completed, &OneShot::fire, Qt::QueuedConnection);
}

} // namespace tolvo
