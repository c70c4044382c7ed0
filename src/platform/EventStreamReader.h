#pragma once

#include "core/AsyncStream.h"
#include "core/CancelToken.h"
#include "core/Result.h"

#include <QCoro/QCoroTask>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

namespace tolvo {

struct EventStreamTimeouts
{
    // Connecting and the response head; never a quiet body.
    std::chrono::milliseconds head {60'000};
    // A body silent this long (not even a keep-alive comment) counts as broken.
    std::chrono::milliseconds idle {90'000};
};

// One connection to a server-sent-events stream, read as text lines. Each connection has its
// own network manager: a shared one would queue the seventh stream behind six that never end.
class EventStreamReader : public QObject
{
    Q_OBJECT
public:
    ~EventStreamReader() override;

    // Resolves once the response head is in: a reader for status 200, otherwise the failure
    // (the sync domain's sseConnectionFailed for another status, the transport error, or the
    // cancellation error when `token` is cancelled).
    static QCoro::Task<Result<std::shared_ptr<EventStreamReader>>> open(
        QUrl url, EventStreamTimeouts timeouts, CancelToken token);

    // The next line without its line end; nothing once the body has ended normally; the failure
    // when the connection broke, went silent or was cancelled.
    QCoro::Task<Result<std::optional<QString>>> nextLine();

    // A stream that sends this much without a line end is broken: the reader fails.
    static constexpr qsizetype maximumLineBytes = 64 * 1024;

private:
    EventStreamReader(QUrl url, EventStreamTimeouts timeouts, CancelToken token);
    void readAvailable();
    void finished();
    void abortWith(Error error);

    QNetworkAccessManager m_network;
    std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> m_reply;
    EventStreamTimeouts m_timeouts;
    CancelToken m_token;
    QTimer m_headTimer;
    QTimer m_idleTimer;
    QByteArray m_buffer;
    std::optional<Error> m_abortReason;
    AsyncStream<QString> m_lines;
    bool m_headSeen = false;
};

} // namespace tolvo
