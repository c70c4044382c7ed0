#pragma once

#include "core/OneShot.h"
#include "core/Result.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <optional>

class QHttpServer;

namespace tolvo {

// Receives the browser's redirect at the end of a sign-in, on the loopback interface only.
// The first request to "/" completes it: with the code when the state matches, with an error
// otherwise. It answers that request once (sending the browser to the success page, or a small
// page of its own when there is none) and stops listening; other paths get 404 and change
// nothing.
class LoopbackReceiver : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackReceiver(QUrl successPage, QObject *parent = nullptr);
    ~LoopbackReceiver() override;

    // Listens on 127.0.0.1 at a port the system picks (on ::1 only when IPv4 is impossible)
    // and returns the redirect address "http://127.0.0.1:<port>/".
    Result<QUrl> start();
    void expectState(const QString &state) { m_state = state; }

    // The authorization code, or why there is none; set once, when `completed` fires.
    const std::optional<Result<QString>> &outcome() const { return m_outcome; }
    OneShot *completed() { return &m_completed; }

    // Stops listening and closes every connection once the answers given are sent; no request
    // is handled afterwards. The destructor stops too.
    void stop();

private:
    void complete(Result<QString> outcome);
    void closeListeners();

    QUrl m_successPage;
    QString m_state;
    QPointer<QHttpServer> m_server;
    std::optional<Result<QString>> m_outcome;
    OneShot m_completed;
};

} // namespace tolvo
