#include "platform/EventStreamReader.h"

#include "core/OneShot.h"
#include "core/SyncRecords.h"
#include "platform/EventStreamLines.h"
#include "platform/HttpErrors.h"

#include <QCoro/QCoroSignal>
#include <QNetworkRequest>

namespace tolvo {

namespace {
void deleteReply(QNetworkReply *reply)
{
    if (!reply)
        return;
    reply->disconnect();
    reply->abort();
    reply->deleteLater();
}
} // namespace

EventStreamReader::EventStreamReader(QUrl url, EventStreamTimeouts timeouts, CancelToken token)
    : m_reply(nullptr, deleteReply)
    , m_timeouts(timeouts)
    , m_token(std::move(token))
{
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/event-stream");
    request.setRawHeader("Cache-Control", "no-cache");
    // Our own timers bound the head and the silence; Qt's transfer timeout would also cut a
    // stream that is quiet on purpose.
    request.setTransferTimeout(0);
    m_reply.reset(m_network.get(request));

    m_headTimer.setSingleShot(true);
    m_idleTimer.setSingleShot(true);
    connect(&m_headTimer, &QTimer::timeout, this, [this] {
        abortWith(Error::make(ErrorDomain::network, networkcode::timedOut,
            QStringLiteral("The event stream did not answer in time.")));
    });
    connect(&m_idleTimer, &QTimer::timeout, this, [this] {
        abortWith(Error::make(ErrorDomain::network, networkcode::timedOut,
            QStringLiteral("The event stream went silent.")));
    });
    connect(m_reply.get(), &QNetworkReply::metaDataChanged, this, [this] {
        m_headSeen = true;
        m_headTimer.stop();
        m_idleTimer.start(m_timeouts.idle);
    });
    connect(m_reply.get(), &QNetworkReply::readyRead, this, &EventStreamReader::readAvailable);
    connect(m_reply.get(), &QNetworkReply::finished, this, &EventStreamReader::finished);
    m_token.onCancel(this, [this] { abortWith(Error::cancellation()); });
    m_headTimer.start(m_timeouts.head);
}

EventStreamReader::~EventStreamReader() = default;

void EventStreamReader::abortWith(Error error)
{
    if (!m_abortReason)
        m_abortReason = std::move(error);
    if (m_reply && m_reply->isRunning())
        m_reply->abort();
    else
        finished();
}

void EventStreamReader::readAvailable()
{
    m_idleTimer.start(m_timeouts.idle);
    m_buffer.append(m_reply->readAll());
    for (const QByteArray &line : takeStreamLines(m_buffer))
        m_lines.continuation().yield(QString::fromUtf8(line));
    if (m_buffer.size() > maximumLineBytes) {
        m_buffer.clear();
        abortWith(Error::make(ErrorDomain::network, networkcode::other,
            QStringLiteral("The event stream sent a line longer than 64 KB.")));
    }
}

void EventStreamReader::finished()
{
    m_headTimer.stop();
    m_idleTimer.stop();
    const auto continuation = m_lines.continuation();
    if (continuation.isFinished())
        return;
    if (m_abortReason) {
        continuation.finish(*m_abortReason);
        return;
    }
    if (m_reply && m_reply->bytesAvailable() > 0)
        readAvailable();
    if (const auto failed = m_reply ? replyFailure(*m_reply) : std::nullopt) {
        continuation.finish(*failed);
        return;
    }
    // A line without its line end when the body closed is incomplete: dropped.
    continuation.finish();
}

QCoro::Task<Result<std::shared_ptr<EventStreamReader>>> EventStreamReader::open(
    QUrl url, EventStreamTimeouts timeouts, CancelToken token)
{
    if (token.isCancelled())
        co_return failure(Error::cancellation());
    std::shared_ptr<EventStreamReader> reader(new EventStreamReader(url, timeouts, token));
    if (!reader->m_headSeen && !reader->m_lines.continuation().isFinished()) {
        OneShot ready;
        connect(reader->m_reply.get(), &QNetworkReply::metaDataChanged, &ready, &OneShot::fire);
        connect(reader->m_reply.get(), &QNetworkReply::finished, &ready, &OneShot::fire);
        // An abort before the head ends the wait too.
        token.onCancel(&ready, [&ready] { ready.fire(); });
        connect(&reader->m_headTimer, &QTimer::timeout, &ready, &OneShot::fire);
        co_await qCoro(&ready, &OneShot::fired);
    }
    if (reader->m_abortReason)
        co_return failure(*reader->m_abortReason);
    const int status = httpStatus(*reader->m_reply);
    if (status == 0) {
        const auto transport = replyFailure(*reader->m_reply);
        co_return failure(transport.value_or(
            Error::make(ErrorDomain::network, networkcode::other, QStringLiteral("No answer."))));
    }
    if (status != 200) {
        Error error
            = CalendarSyncError {CalendarSyncError::Kind::sseConnectionFailed, {}}.toError();
        error.message
            = QStringLiteral("The event stream answered with HTTP status %1.").arg(status);
        co_return failure(error);
    }
    co_return reader;
}

QCoro::Task<Result<std::optional<QString>>> EventStreamReader::nextLine()
{
    auto line = co_await m_lines.next();
    co_return line;
}

} // namespace tolvo
