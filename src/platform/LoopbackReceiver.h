#pragma once

#include "core/OneShot.h"
#include "core/Result.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace tolvo {

// Receives the browser's redirect at the end of a sign-in, on the loopback interface only.
// Any local process or web page can find the port, so nothing it sends may end the sign-in or
// grow the process: a request to "/" completes the sign-in only when it carries the expected
// state (with the code, or with the server's refusal); one without it is answered 400 and the
// sign-in goes on waiting. Every connection is answered once and closed; what a connection may
// send, how many may be open and for how long are bounded (`Limits`). Once completed it stops
// listening; other paths get 404 and change nothing.
class LoopbackReceiver : public QObject
{
    Q_OBJECT
public:
    struct Limits
    {
        qsizetype maxHeadBytes = 16 * 1024; // request line and headers
        int maxConnections = 16; // more wait unaccepted until one closes
        std::chrono::milliseconds deadline {10'000}; // per connection, from its acceptance
    };

    explicit LoopbackReceiver(QUrl successPage, QObject *parent = nullptr);
    LoopbackReceiver(QUrl successPage, Limits limits, QObject *parent = nullptr);
    ~LoopbackReceiver() override;

    // Listens on 127.0.0.1 at a port the system picks (on ::1 only when IPv4 is impossible)
    // and returns the redirect address "http://127.0.0.1:<port>/".
    Result<QUrl> start();
    void expectState(const QString &state) { m_state = state; }

    // The authorization code, or why there is none; set once, when `completed` fires.
    const std::optional<Result<QString>> &outcome() const { return m_outcome; }
    OneShot *completed() { return &m_completed; }

    // Connections accepted and not yet closed, and the request bytes they hold.
    int openConnections() const;
    qsizetype bufferedBytes() const;

    // Stops listening and closes every connection once the answers given are sent; no request
    // is handled afterwards. The destructor stops too.
    void stop();

private:
    class Connection;

    void acceptConnections();
    void connectionClosed(Connection *connection);
    void answer(Connection *connection, QByteArrayView head);
    void complete(Result<QString> outcome);

    QUrl m_successPage;
    Limits m_limits;
    QString m_state;
    QPointer<QTcpServer> m_server;
    QList<Connection *> m_connections; // open ones
    std::optional<Result<QString>> m_outcome;
    OneShot m_completed;
};

} // namespace tolvo
