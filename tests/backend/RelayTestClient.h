#pragma once

// Clients and a fixture for driving the relay over real HTTP on loopback. The relay runs on a
// thread (or in a process) of its own, so the clients block on their sockets.

#include "backend/BackendServer.h"

#include <QByteArray>
#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <functional>
#include <memory>

namespace tolvo::test::relay {

extern const QByteArray nameA;
extern const QByteArray nameB;
extern const QByteArray nameC;
QByteArray nameNumbered(int i);

QByteArray eventLine(const QByteArray &state, const QByteArray &channelId);
QByteArray notificationRequest(
    const QByteArray &name, const QByteArray &state, const QByteArray &channelId);
QByteArray streamRequest(const QByteArray &name);

// The decoded body of a chunked response so far; `ended` tells whether the last chunk came.
QByteArray dechunk(const QByteArray &raw, bool *ended = nullptr);

// One HTTP connection driven with blocking reads.
class Client
{
public:
    // `source`, when given, is the loopback address the connection comes from.
    explicit Client(quint16 port, const QHostAddress &host = QHostAddress::LocalHost,
        const QHostAddress &source = {});

    bool connected() const { return m_connected; }
    void send(const QByteArray &bytes);
    bool waitUntil(const std::function<bool()> &done, int timeoutMs = 5000);
    bool waitForHead();
    bool waitForBody(qsizetype size);
    bool waitForClose(int timeoutMs = 5000);
    bool isOpen() const { return m_socket.state() == QAbstractSocket::ConnectedState; }
    void close() { m_socket.abort(); }

    int status() const;
    QByteArray head() const;
    QByteArray rawBody() const;
    QByteArray body(bool *ended = nullptr) const { return dechunk(rawBody(), ended); }

    // For keep-alive connections: the status of the next answer, forgetting it afterwards.
    int takeAnswer();

private:
    QTcpSocket m_socket;
    QByteArray m_raw;
    bool m_connected = false;
};

class Stream : public Client
{
public:
    Stream(quint16 port, const QByteArray &name, const QHostAddress &host = QHostAddress::LocalHost,
        const QHostAddress &source = {});
};

// A complete request/answer on a connection of its own; the status, or 0.
int exchange(quint16 port, const QByteArray &request, QByteArray *head = nullptr);
int notify(quint16 port, const QByteArray &name, const QByteArray &state = "exists",
    const QByteArray &channelId = "chan-1");

// A plain socket with a tiny receive buffer that sends a stream request and never reads.
class StalledReader
{
public:
    StalledReader(quint16 port, const QByteArray &name);
    ~StalledReader();
    bool ok() const { return m_ok; }

private:
    int m_fd = -1;
    bool m_ok = false;
};

// An in-process relay on a free port that logs nowhere.
class RelayFixture
{
public:
    quint16 start(backend::BackendOptions options = {});
    void reset() { server.reset(); }
    std::size_t subscribers(const QByteArray &name) const;

    std::unique_ptr<backend::BackendServer> server;
};

// Starts the executable on a free port; the port, or 0. Its log stays readable.
quint16 startExecutable(QProcess &relay, QStringList arguments = {});

} // namespace tolvo::test::relay
