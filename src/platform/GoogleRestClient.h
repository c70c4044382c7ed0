#pragma once

#include "core/Result.h"
#include "platform/CurrentAuthSession.h"
#include "platform/HttpErrors.h"

#include <QCoro/QCoroTask>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>

#include <chrono>
#include <memory>
#include <optional>

namespace tolvo {

// Google's error body into an Error: the HTTP status as code and Google's reason kept. A 403
// that is a rate limit carries 429, so that it never reads as missing permissions.
Error googleErrorFromResponse(int status, const QByteArray &body);

// A small client of Google's JSON REST APIs: paths built from escaped segments under a root,
// requests signed by the process's current session, pages followed. Main thread only.
class GoogleRestClient
{
public:
    struct Options
    {
        // No byte moving for this long ends a request with a timeout.
        std::chrono::milliseconds transferTimeout = defaultTransferTimeout;
        // Reads answered 429 or 5xx are tried again this many times, after a wait that
        // starts here and doubles, each with up to as much again of random jitter.
        int readRetries = 3;
        std::chrono::milliseconds retryBase {1'000};
    };

    GoogleRestClient(QUrl apiRoot, CurrentAuthSessionPtr current, Options options);
    GoogleRestClient(QUrl apiRoot, CurrentAuthSessionPtr current)
        : GoogleRestClient(std::move(apiRoot), std::move(current), Options {})
    {
    }

    // The URL of `segments` (each escaped as one path segment) under the root.
    QUrl url(const QStringList &segments, const QUrlQuery &query = {}) const;

    // One request. An empty answer (204) gives an empty object.
    QCoro::Task<Result<QJsonObject>> send(QByteArray method, QStringList segments,
        QUrlQuery query = {}, std::optional<QJsonObject> body = std::nullopt);

    struct Listing
    {
        QJsonArray items;
        QString nextSyncToken; // from the last page
    };
    // A list request, following nextPageToken until the last page.
    QCoro::Task<Result<Listing>> list(QStringList segments, QUrlQuery query = {});

    // Refuses to follow more pages than this, or a page token it has already seen.
    static constexpr int maximumPages = 1000;

private:
    static QCoro::Task<Result<QJsonObject>> sendRequest(
        std::shared_ptr<QNetworkAccessManager> network, CurrentAuthSessionPtr current,
        Options options, QUrl url, QByteArray method, std::optional<QJsonObject> body);
    static QCoro::Task<Result<QJsonObject>> sendOnce(std::shared_ptr<QNetworkAccessManager> network,
        CurrentAuthSessionPtr current, Options options, QUrl url, QByteArray method,
        std::optional<QJsonObject> body);

    QUrl m_apiRoot;
    Options m_options;
    CurrentAuthSessionPtr m_current;
    std::shared_ptr<QNetworkAccessManager> m_network;
};

} // namespace tolvo
