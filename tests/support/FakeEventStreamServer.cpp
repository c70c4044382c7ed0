#include "support/FakeEventStreamServer.h"

#include "core/BackendAddresses.h"

namespace tolvo::test {

FakeEventStreamServer::FakeEventStreamServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeEventStreamServer::accept);
}

bool FakeEventStreamServer::start()
{
    if (!m_server.listen(QHostAddress::LocalHost, m_port))
        return false;
    m_port = m_server.serverPort();
    return true;
}

void FakeEventStreamServer::stopListening()
{
    m_server.close();
}

bool FakeEventStreamServer::resumeListening()
{
    return start();
}

QUrl FakeEventStreamServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

int FakeEventStreamServer::openStreams(const QString &name) const
{
    int open = 0;
    for (const auto &socket : m_streams.value(name))
        open += socket && socket->state() == QAbstractSocket::ConnectedState;
    return open;
}

void FakeEventStreamServer::send(const QString &name, const QByteArray &text)
{
    for (const auto &socket : m_streams.value(name)) {
        if (socket && socket->state() == QAbstractSocket::ConnectedState) {
            socket->write(text);
            socket->flush();
        }
    }
}

void FakeEventStreamServer::closeStreams(const QString &name)
{
    for (const auto &socket : m_streams.take(name)) {
        if (socket)
            socket->disconnectFromHost();
    }
}

void FakeEventStreamServer::abortStreams(const QString &name)
{
    for (const auto &socket : m_streams.take(name)) {
        if (socket)
            socket->abort();
    }
}

void FakeEventStreamServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void FakeEventStreamServer::readRequest(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll();
        return;
    }
    // The unfinished head stays with its socket: kept here by address, a socket that left
    // mid-head would hand its bytes to a later one allocated at the same place.
    const QByteArray pending = socket->property("pendingHead").toByteArray() + socket->readAll();
    const qsizetype end = pending.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("pendingHead", pending);
        return;
    }
    const QByteArray head = pending.left(end);
    socket->setProperty("pendingHead", QVariant());
    socket->setProperty("answered", true);
    m_heads.append(head);
    const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
    const QByteArray path = requestLine.value(1);
    const QByteArray prefix = "/events/";
    if (requestLine.value(0) == "POST"
        && path == notificationAddress(baseUrl()).path(QUrl::FullyEncoded).toUtf8()) {
        // Google's push to the relay's address, when the Calendar fake's channels point here:
        // taken, as the relay does, and told to nobody.
        ++m_notifications;
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    if (requestLine.value(0) != "GET" || !path.startsWith(prefix)) {
        m_problems.note(QString::fromUtf8(requestLine.value(0) + ' ' + path));
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const QString name = QString::fromUtf8(path.mid(prefix.size()));
    m_connections[name] += 1;
    if (m_status != 200) {
        socket->write(
            QStringLiteral("HTTP/1.1 %1 Refused\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                .arg(m_status)
                .toUtf8());
        socket->disconnectFromHost();
        return;
    }
    socket->write(
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
        "Connection: close\r\n\r\n");
    socket->flush();
    if (m_closeImmediately) {
        socket->disconnectFromHost();
        return;
    }
    m_streams[name].append(socket);
    emit streamOpened(name);
}

} // namespace tolvo::test
