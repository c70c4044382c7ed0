#include "platform/CrashReporter.h"

#include "platform/HttpErrors.h"

#include <QCoro/QCoroNetworkReply>

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSysInfo>

namespace tolvo {

namespace {
QPointer<CrashReporter> sharedReporter;
} // namespace

std::optional<CrashEndpoint> CrashEndpoint::fromDsn(const QString &dsn)
{
    const QUrl url(dsn, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.userName().isEmpty()
        || (url.scheme() != u"https" && url.scheme() != u"http"))
        return std::nullopt;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString project = path.mid(slash + 1);
    if (project.isEmpty())
        return std::nullopt;
    QUrl endpoint;
    endpoint.setScheme(url.scheme());
    endpoint.setHost(url.host());
    endpoint.setPort(url.port());
    endpoint.setPath(
        path.left(slash) + QStringLiteral("/api/") + project + QStringLiteral("/reports/"));
    return CrashEndpoint {endpoint, url.userName()};
}

CrashReporter::CrashReporter(const QString &dsn, QString release, QObject *parent)
    : QObject(parent)
    , m_endpoint(CrashEndpoint::fromDsn(dsn))
    , m_release(std::move(release))
    , m_network(new QNetworkAccessManager(this))
{
}

CrashReporter::~CrashReporter() = default;

void CrashReporter::start(const QString &dsn, const QString &release)
{
    if (sharedReporter)
        return;
    sharedReporter = new CrashReporter(dsn, release, QCoreApplication::instance());
    if (!sharedReporter->m_endpoint)
        qInfo("Crash reports are off: no valid crash-reporter DSN is set in this build; errors "
              "go to standard error only.");
}

CrashReporter *CrashReporter::shared()
{
    return sharedReporter.data();
}

QJsonObject CrashReporter::report(const QUuid &id, const char *level) const
{
    return QJsonObject {
        {QStringLiteral("event_id"), id.toString(QUuid::Id128)},
        {QStringLiteral("timestamp"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {QStringLiteral("level"), QLatin1String(level)},
        {QStringLiteral("release"), m_release},
        {QStringLiteral("os"), QSysInfo::prettyProductName()},
    };
}

QJsonObject CrashReporter::messageReport(const QUuid &id, const QString &message) const
{
    QJsonObject body = report(id, "info");
    body.insert(QStringLiteral("type"), QStringLiteral("message"));
    body.insert(QStringLiteral("message"), message);
    return body;
}

QUuid CrashReporter::captureMessage(const QString &message)
{
    const QUuid id = QUuid::createUuid();
    send(messageReport(id, message));
    return id;
}

QUuid CrashReporter::captureError(const Error &error)
{
    const QUuid id = QUuid::createUuid();
    QJsonObject body = report(id, "error");
    body.insert(QStringLiteral("type"), QStringLiteral("error"));
    body.insert(QStringLiteral("error"),
        QJsonObject {
            {QStringLiteral("domain"), toString(error.domain)},
            {QStringLiteral("code"), error.code},
            {QStringLiteral("description"), error.message},
        });
    send(body);
    return id;
}

QJsonObject CrashReporter::feedbackReport(const UserFeedback &feedback)
{
    return QJsonObject {
        {QStringLiteral("type"), QStringLiteral("feedback")},
        {QStringLiteral("event_id"), feedback.eventId.toString(QUuid::Id128)},
        {QStringLiteral("name"), feedback.name},
        {QStringLiteral("email"), feedback.email},
        {QStringLiteral("comments"), feedback.comments},
    };
}

void CrashReporter::captureFeedback(const UserFeedback &feedback)
{
    send(feedbackReport(feedback));
}

QNetworkRequest CrashReporter::request() const
{
    QNetworkRequest request(m_endpoint->url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader("X-Tolvo-Key", m_endpoint->key.toUtf8());
    request.setTransferTimeout(requestTimeoutMs);
    return request;
}

QCoro::Task<VoidResult> CrashReporter::sendFeedback(QString message, UserFeedback feedback)
{
    if (!m_endpoint)
        co_return failure(ErrorDomain::invalidInput, 0,
            tr("Reports cannot be sent: this build has no reporting address."));
    feedback.eventId = QUuid::createUuid();
    const QList<QJsonObject> reports {
        messageReport(feedback.eventId, message), feedbackReport(feedback)};
    QPointer<CrashReporter> self(this);
    for (const QJsonObject &body : reports) {
        if (!self)
            co_return failure(Error::cancellation());
        QNetworkReply *reply
            = m_network->post(request(), QJsonDocument(body).toJson(QJsonDocument::Compact));
        co_await qCoro(reply).waitForFinished();
        reply->deleteLater();
        if (const auto failed = replyFailure(*reply))
            co_return failure(*failed);
    }
    co_return VoidResult {};
}

void CrashReporter::send(const QJsonObject &report)
{
    if (!m_endpoint)
        return;
    // Captures come from any thread; the network is used only on ours.
    QMetaObject::invokeMethod(this, [this, report] {
        QNetworkReply *reply
            = m_network->post(request(), QJsonDocument(report).toJson(QJsonDocument::Compact));
        connect(reply, &QNetworkReply::finished, this, [this, reply] {
            reply->deleteLater();
            emit reportFinished(reply->error() == QNetworkReply::NoError);
        });
    });
}

} // namespace tolvo
