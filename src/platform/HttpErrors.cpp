#include "platform/HttpErrors.h"

#include <QTimer>

namespace tolvo {

Error transportError(QNetworkReply::NetworkError error)
{
    const auto make = [](int code, const char *text) {
        return Error::make(ErrorDomain::network, code, QString::fromLatin1(text));
    };
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return make(networkcode::connectionRefused, "Connection refused");
    case QNetworkReply::HostNotFoundError: return make(networkcode::hostNotFound, "Host not found");
    case QNetworkReply::TimeoutError: return make(networkcode::timedOut, "Timed out");
    case QNetworkReply::SslHandshakeFailedError:
        return make(networkcode::tls, "TLS handshake failed");
    case QNetworkReply::RemoteHostClosedError:
        return make(networkcode::connectionClosed, "Connection closed");
    default: return make(networkcode::other, "Network failure");
    }
}

int httpStatus(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

namespace {
const char *timedOutProperty = "tolvoTimedOut";
}

void armTransferTimeout(QNetworkReply *reply, std::chrono::milliseconds limit)
{
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, [reply] {
        reply->setProperty(timedOutProperty, true);
        reply->abort();
    });
    const auto progressed = [timer] { timer->start(); };
    QObject::connect(reply, &QNetworkReply::downloadProgress, timer, progressed);
    QObject::connect(reply, &QNetworkReply::uploadProgress, timer, progressed);
    QObject::connect(reply, &QNetworkReply::finished, timer, &QTimer::stop);
    timer->start(limit);
}

std::optional<Error> replyFailure(const QNetworkReply &reply)
{
    if (reply.property(timedOutProperty).toBool())
        return transportError(QNetworkReply::TimeoutError);
    if (reply.error() == QNetworkReply::OperationCanceledError)
        return Error::cancellation();
    const int status = httpStatus(reply);
    if (status >= 400)
        return Error::http(status, QStringLiteral("HTTP %1").arg(status));
    if (status == 0 && reply.error() != QNetworkReply::NoError)
        return transportError(reply.error());
    return std::nullopt;
}

} // namespace tolvo
