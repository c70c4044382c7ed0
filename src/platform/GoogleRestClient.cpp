#include "platform/GoogleRestClient.h"

#include "core/CancelToken.h"
#include "platform/HttpErrors.h"

#include <QCoro/QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSet>

namespace tolvo {

Error googleErrorFromResponse(int status, const QByteArray &body)
{
    const QJsonObject error
        = QJsonDocument::fromJson(body).object().value(QStringLiteral("error")).toObject();
    QString message = error.value(QStringLiteral("message")).toString();
    const QJsonArray details = error.value(QStringLiteral("errors")).toArray();
    const QString reason = details.isEmpty()
        ? QString()
        : details.first().toObject().value(QStringLiteral("reason")).toString();
    if (message.isEmpty())
        message = QStringLiteral("Google answered with HTTP status %1.").arg(status);
    int code = status;
    if (status == 403
        && (reason == u"rateLimitExceeded" || reason == u"userRateLimitExceeded"
            || reason == u"quotaExceeded"))
        code = 429;
    Error result = Error::http(code, message);
    result.reason = reason;
    return result;
}

GoogleRestClient::GoogleRestClient(QUrl apiRoot, CurrentAuthSessionPtr current, Options options)
    : m_apiRoot(std::move(apiRoot))
    , m_options(options)
    , m_current(std::move(current))
    , m_network(std::make_shared<QNetworkAccessManager>())
{
}

QUrl GoogleRestClient::url(const QStringList &segments, const QUrlQuery &query) const
{
    QString path = m_apiRoot.path(QUrl::FullyEncoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    QStringList escaped;
    for (const QString &segment : segments)
        escaped.append(QString::fromLatin1(QUrl::toPercentEncoding(segment)));
    QUrl url = m_apiRoot;
    url.setPath(path + escaped.join(QLatin1Char('/')), QUrl::StrictMode);
    // Encode every reserved character of the values ourselves: "+" in an RFC 3339 offset
    // would otherwise reach the server as a space.
    QUrlQuery encoded;
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded))
        encoded.addQueryItem(QString::fromLatin1(QUrl::toPercentEncoding(key)),
            QString::fromLatin1(QUrl::toPercentEncoding(value)));
    url.setQuery(encoded);
    return url;
}

QCoro::Task<Result<QJsonObject>> GoogleRestClient::send(
    QByteArray method, QStringList segments, QUrlQuery query, std::optional<QJsonObject> body)
{
    return sendRequest(
        m_network, m_current, m_options, url(segments, query), std::move(method), std::move(body));
}

QCoro::Task<Result<QJsonObject>> GoogleRestClient::sendRequest(
    std::shared_ptr<QNetworkAccessManager> network, CurrentAuthSessionPtr current, Options options,
    QUrl url, QByteArray method, std::optional<QJsonObject> body)
{
    bool refreshed = false;
    int retries = 0;
    while (true) {
        auto answer = co_await sendOnce(network, current, options, url, method, body);
        if (answer)
            co_return answer;
        const int code = answer.error().domain == ErrorDomain::http ? answer.error().code : 0;
        // An access token that Google refuses is refreshed once and the request sent again.
        if (code == 401 && !refreshed && current && current->session()) {
            refreshed = true;
            continue;
        }
        // Google asks for exponential backoff on rate limits and server errors; only reads are
        // repeated, as a write may have been carried out before its answer was lost.
        const bool busy = code == 429 || code >= 500;
        if (busy && method == "GET" && retries < options.readRetries) {
            const auto base = options.retryBase * (1 << retries);
            const auto jitter = std::chrono::milliseconds(
                QRandomGenerator::global()->bounded(qint64(base.count()) + 1));
            ++retries;
            const VoidResult waited = co_await sleepFor(base + jitter, CancelToken());
            if (!waited)
                co_return failure(waited.error());
            continue;
        }
        co_return answer;
    }
}

QCoro::Task<Result<QJsonObject>> GoogleRestClient::sendOnce(
    std::shared_ptr<QNetworkAccessManager> network, CurrentAuthSessionPtr current, Options options,
    QUrl url, QByteArray method, std::optional<QJsonObject> body)
{
    QNetworkRequest request(url);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setRawHeader("Accept", "application/json");
    QByteArray payload;
    if (body) {
        request.setHeader(
            QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
        payload = QJsonDocument(*body).toJson(QJsonDocument::Compact);
    }
    // Without a session the request goes unsigned and Google refuses it (401).
    const auto session = current ? current->session() : nullptr;
    if (session) {
        auto signedRequest = co_await session->authorize(request);
        if (!signedRequest)
            co_return failure(signedRequest.error());
        request = *signedRequest;
    }

    std::unique_ptr<QNetworkReply> reply(network->sendCustomRequest(request, method, payload));
    armTransferTimeout(reply.get(), options.transferTimeout);
    co_await qCoro(reply.get()).waitForFinished();

    const int status = httpStatus(*reply);
    const QByteArray answer = reply->readAll();
    if (status == 401 && session) {
        const QByteArray header = request.rawHeader("Authorization");
        session->rejectAccessToken(QString::fromUtf8(header.mid(header.indexOf(' ') + 1)));
    }
    if (status >= 400)
        co_return failure(googleErrorFromResponse(status, answer));
    if (const auto transport = replyFailure(*reply))
        co_return failure(*transport);
    if (answer.trimmed().isEmpty())
        co_return QJsonObject();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(answer, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        co_return failure(
            ErrorDomain::decoding, status, QStringLiteral("Google's answer is not a JSON object."));
    co_return document.object();
}

QCoro::Task<Result<GoogleRestClient::Listing>> GoogleRestClient::list(
    QStringList segments, QUrlQuery query)
{
    Listing listing;
    QSet<QString> seenTokens;
    for (int pageNumber = 0; pageNumber < maximumPages; ++pageNumber) {
        auto page = co_await send("GET", segments, query);
        if (!page)
            co_return failure(page.error());
        for (const QJsonValue &item : page->value(QStringLiteral("items")).toArray())
            listing.items.append(item);
        const QString next = page->value(QStringLiteral("nextPageToken")).toString();
        if (next.isEmpty()) {
            listing.nextSyncToken = page->value(QStringLiteral("nextSyncToken")).toString();
            co_return listing;
        }
        if (seenTokens.contains(next))
            break;
        seenTokens.insert(next);
        query.removeAllQueryItems(QStringLiteral("pageToken"));
        query.addQueryItem(QStringLiteral("pageToken"), next);
    }
    co_return failure(ErrorDomain::decoding, 0,
        QStringLiteral("Google kept answering with more pages; the list was abandoned."));
}

} // namespace tolvo
