#include "platform/GoogleRestClient.h"

#include "platform/HttpErrors.h"

#include <QCoro/QCoroNetworkReply>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QNetworkRequest>
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

GoogleRestClient::GoogleRestClient(QUrl apiRoot, CurrentAuthSessionPtr current)
    : m_apiRoot(std::move(apiRoot))
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
        m_network, m_current, url(segments, query), std::move(method), std::move(body));
}

QCoro::Task<Result<QJsonObject>> GoogleRestClient::sendRequest(
    std::shared_ptr<QNetworkAccessManager> network, CurrentAuthSessionPtr current, QUrl url,
    QByteArray method, std::optional<QJsonObject> body)
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
    if (const auto session = current ? current->session() : nullptr) {
        auto signedRequest = co_await session->authorize(request);
        if (!signedRequest)
            co_return failure(signedRequest.error());
        request = *signedRequest;
    }

    std::unique_ptr<QNetworkReply> reply(network->sendCustomRequest(request, method, payload));
    co_await qCoro(reply.get()).waitForFinished();

    const int status = httpStatus(*reply);
    const QByteArray answer = reply->readAll();
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
