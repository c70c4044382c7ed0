#include "reserve/SSEClient.h"

#include "core/Unimplemented.h"

#include "core/BackendAddresses.h"
#include "core/Dependencies.h"
#include "core/Endpoints.h"
#include "core/StartTask.h"

namespace tolvo {

SSEClientSession::SSEClientSession(
    LoggerClient logger, QUrl backendBase, EventStreamTimeouts timeouts)
    : m_logger(std::move(logger))
    , m_backendBase(std::move(backendBase))
    , m_timeouts(timeouts)
{
}

QCoro::Task<Result<SSEMessageStream>> SSEClientSession::openStream(
    Ptr self, QString id, CancelToken token)
{
    const QUrl url = eventStreamAddress(self->m_backendBase, id);
    if (!url.isValid() || url.scheme().isEmpty())
        co_return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("The event stream's address cannot be formed."));
    auto reader = co_await EventStreamReader::open(url, self->m_timeouts, token);
    if (!reader)
        co_return failure(reader.error());
    auto messages = SSEMessageStream::keepingNewest(3);
    // A consumer that cancels the stream closes the connection with it.
    messages.continuation().onTermination([token] { token.cancel(); });
    startDetached(read(self, *reader, messages.continuation(), token));
    co_return messages;
}

QCoro::Task<> SSEClientSession::read(Ptr self, std::shared_ptr<EventStreamReader> reader,
    SSEMessageStream::Continuation messages, CancelToken token)
{
    const QString prefix = QStringLiteral("data: ");
    while (true) {
        auto line = co_await reader->nextLine();
        if (token.isCancelled()) {
            messages.finish();
            co_return;
        }
        if (!line) {
            messages.finish(line.error());
            co_return;
        }
        if (!line->has_value()) {
            messages.finish();
            co_return;
        }
        const QString &text = **line;
        self->m_logger.log(QStringLiteral("bytes lines: ") + text, LogLevel::info);
        if (!text.startsWith(prefix))
            continue;
        auto message = SSEEvent::fromJson(text.mid(prefix.size()).toUtf8());
        if (!message) {
            // What follows a message that cannot be read is not trusted either.
            messages.finish(message.error());
            co_return;
        }
        messages.yield(*message);
    }
}

void SSEClientSession::connect(Ptr self, QString id)
{
    if (const auto running = self->m_readers.take(id); running.state())
        running.cancel();
    const CancelToken token;
    self->m_readers.insert(id, token);
    startDetached(consume(self, id, token));
}

void SSEClientSession::disconnect(Ptr self, QString id)
{
    const auto found = self->m_readers.find(id);
    if (found == self->m_readers.end())
        return;
    found->cancel();
    self->m_readers.erase(found);
}

QCoro::Task<> SSEClientSession::consume(Ptr self, QString id, CancelToken token)
{
    auto stream = co_await openStream(self, id, token);
    if (!stream) {
        if (!stream.error().isCancellation())
            self->m_logger.logError(stream.error());
    } else {
        while (true) {
            auto message = co_await stream->next();
            if (!message) {
                if (!message.error().isCancellation())
                    self->m_logger.logError(message.error());
                break;
            }
            if (!message->has_value())
                break;
        }
    }
    // Forget this reader unless a newer one took its place.
    const auto found = self->m_readers.constFind(id);
    if (found != self->m_readers.constEnd() && found->state() == token.state())
        self->m_readers.remove(id);
}

namespace {
QCoro::Task<VoidResult> disconnected(SSEClientSession::Ptr session, QString id)
{
    SSEClientSession::disconnect(session, id);
    co_return VoidResult {};
}
} // namespace

SSEClient SSEClient::over(SSEClientSession::Ptr session)
{
    SSEClient client;
    client.connect = [session](const QString &id) { SSEClientSession::connect(session, id); };
    client.disconnect = [session](const QString &id) { return disconnected(session, id); };
    client.openStream = [session](const QString &id) {
        return SSEClientSession::openStream(session, id, CancelToken());
    };
    return client;
}

SSEClient SSEClient::liveValue()
{
    return over(std::make_shared<SSEClientSession>(Dependencies::current<LoggerClient>(),
        Dependencies::current<Endpoints>().backendBase, EventStreamTimeouts {}));
}

SSEClient SSEClient::testValue()
{
    constexpr const char *name = "SSEClient";
    SSEClient client;
    client.connect = unimplemented<void(const QString &)>(name, "connect");
    client.disconnect = unimplemented<QCoro::Task<VoidResult>(const QString &)>(name, "disconnect");
    client.openStream
        = unimplemented<QCoro::Task<Result<SSEMessageStream>>(const QString &)>(name, "openStream");
    return client;
}

} // namespace tolvo
