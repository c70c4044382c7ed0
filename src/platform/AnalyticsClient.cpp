#include "platform/AnalyticsClient.h"

#include "platform/HttpErrors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUuid>

namespace tolvo {

AnalyticsClient::AnalyticsClient(QUrl endpoint, QObject *parent)
    : QObject(parent)
    , m_endpoint(std::move(endpoint))
    , m_network(new QNetworkAccessManager(this))
{
    connect(&m_timer, &QTimer::timeout, this, &AnalyticsClient::flush);
    if (auto *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this,
            [this] { flushAndWait(std::chrono::seconds(2)); });
}

AnalyticsClient::~AnalyticsClient() = default;

void AnalyticsClient::configure(const QString &token, std::chrono::milliseconds flushInterval)
{
    QMetaObject::invokeMethod(this, [this, token, flushInterval] {
        m_token = token;
        if (m_token.isEmpty() || !m_endpoint.isValid()) {
            // Nothing will leave the machine: say so once rather than queue in silence.
            qInfo("Analytics are off: no analytics token or endpoint is set in this build.");
            m_off = true;
            m_queue = {};
            return;
        }
        m_timer.start(flushInterval);
    });
}

void AnalyticsClient::registerSuperProperties(const QJsonObject &properties)
{
    QMetaObject::invokeMethod(this, [this, properties] {
        for (auto it = properties.begin(); it != properties.end(); ++it)
            m_superProperties.insert(it.key(), it.value());
    });
}

void AnalyticsClient::track(const QString &event, const QJsonObject &properties)
{
    QJsonObject entry {
        {QStringLiteral("type"), QStringLiteral("event")},
        {QStringLiteral("event"), event},
        {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
        {QStringLiteral("time"), QDateTime::currentMSecsSinceEpoch()},
        {QStringLiteral("properties"), properties},
    };
    QMetaObject::invokeMethod(this, [this, entry] { enqueue(entry); });
}

void AnalyticsClient::setUserProperties(const QJsonObject &properties)
{
    QJsonObject entry {
        {QStringLiteral("type"), QStringLiteral("profile")},
        {QStringLiteral("properties"), properties},
    };
    QMetaObject::invokeMethod(this, [this, entry] { enqueue(entry); });
}

void AnalyticsClient::enqueue(QJsonObject entry)
{
    if (m_off)
        return;
    m_queue.append(entry);
    while (m_queue.size() > maxQueued)
        m_queue.removeFirst();
}

QNetworkReply *AnalyticsClient::post()
{
    if (m_flushing || m_token.isEmpty() || m_queue.isEmpty() || !m_endpoint.isValid())
        return nullptr;
    const QJsonArray sent = std::exchange(m_queue, {});
    QJsonArray batch;
    for (const auto &value : sent) {
        QJsonObject entry = value.toObject();
        if (entry.value(QLatin1String("type")).toString() == u"event") {
            QJsonObject properties = m_superProperties;
            const QJsonObject own = entry.value(QLatin1String("properties")).toObject();
            for (auto it = own.begin(); it != own.end(); ++it)
                properties.insert(it.key(), it.value());
            entry.insert(QStringLiteral("properties"), properties);
        }
        batch.append(entry);
    }
    QNetworkRequest request(m_endpoint);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    const QJsonObject body {{QStringLiteral("token"), m_token}, {QStringLiteral("batch"), batch}};
    QNetworkReply *reply
        = m_network->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    armTransferTimeout(reply, m_requestTimeout);
    m_flushing = true;
    connect(reply, &QNetworkReply::finished, this, [this, reply, sent] {
        reply->deleteLater();
        m_flushing = false;
        const auto failed = replyFailure(*reply);
        // A refused batch would be refused again; one that did not get through is kept.
        const int status = httpStatus(*reply);
        const bool retry = failed && (status == 0 || status == 429 || status >= 500);
        if (retry) {
            QJsonArray kept = sent;
            for (const auto &entry : std::as_const(m_queue))
                kept.append(entry);
            m_queue = kept;
            while (m_queue.size() > maxQueued)
                m_queue.removeFirst();
        }
        emit flushFinished(!failed);
    });
    return reply;
}

void AnalyticsClient::flush()
{
    QMetaObject::invokeMethod(this, [this] { post(); });
}

void AnalyticsClient::flushAndWait(std::chrono::milliseconds timeout)
{
    QNetworkReply *reply = post();
    if (!reply)
        return;
    QEventLoop loop;
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace tolvo
