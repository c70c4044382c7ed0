#pragma once

#include "core/AsyncStream.h"
#include "core/CancelToken.h"
#include "core/Result.h"
#include "core/SyncRecords.h"
#include "platform/EventStreamReader.h"
#include "services/LoggerClient.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

namespace tolvo {

using SSEMessageStream = AsyncStream<SSEEvent>;

// A reader of the backend's event stream in the server-sent-events manner: "data: " lines
// decoded as SSEEvent messages. Nothing in the application reads it; the live sync has its
// own listener.
class SSEClientSession
{
public:
    using Ptr = std::shared_ptr<SSEClientSession>;
    SSEClientSession(LoggerClient logger, QUrl backendBase, EventStreamTimeouts timeouts);

    // Messages of the id's stream; the three newest waiting ones are kept. Fails when the
    // stream cannot be opened or answers with another status than 200.
    static QCoro::Task<Result<SSEMessageStream>> openStream(
        Ptr self, QString id, CancelToken token);
    // Reads the id's stream in the background, discarding the messages and logging failures;
    // a reader already running for the id is stopped first.
    static void connect(Ptr self, QString id);
    static void disconnect(Ptr self, QString id);

    bool isConnected(const QString &id) const { return m_readers.contains(id); }

private:
    static QCoro::Task<> consume(Ptr self, QString id, CancelToken token);
    static QCoro::Task<> read(Ptr self, std::shared_ptr<EventStreamReader> reader,
        SSEMessageStream::Continuation messages, CancelToken token);

    LoggerClient m_logger;
    QUrl m_backendBase;
    EventStreamTimeouts m_timeouts;
    QHash<QString, CancelToken> m_readers;
};

struct SSEClient
{
    static constexpr const char *dependencyKey = "sseClient";

    std::function<void(const QString &id)> connect;
    std::function<QCoro::Task<VoidResult>(const QString &id)> disconnect;
    std::function<QCoro::Task<Result<SSEMessageStream>>(const QString &id)> openStream;

    static SSEClient over(SSEClientSession::Ptr session);
    static SSEClient liveValue();
    static SSEClient testValue();
    static SSEClient previewValue() { return liveValue(); }
};

} // namespace tolvo
