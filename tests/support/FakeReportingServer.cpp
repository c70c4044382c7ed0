#include "support/FakeReportingServer.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QJsonDocument>
#include <QRegularExpression>

namespace tolvo::test {

FakeReportingServer::FakeReportingServer(QObject *parent)
    : QObject(parent)
    , m_server(new QHttpServer(this))
{
    const quint16 port = m_server->listen(QHostAddress::LocalHost, 0);
    m_base = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));

    const auto json = [this](const QHttpServerRequest &request) -> std::optional<QJsonObject> {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(request.body(), &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()
            || !request.value("Content-Type").startsWith("application/json")) {
            m_problems.note(QStringLiteral("not a JSON object: ") + request.url().path());
            return std::nullopt;
        }
        return document.object();
    };

    m_server->route(QStringLiteral("/track"), QHttpServerRequest::Method::Post,
        [this, json](const QHttpServerRequest &request) {
            const auto body = json(request);
            if (!body)
                return QHttpServerResponse(QHttpServerResponse::StatusCode::BadRequest);
            m_batches.append(*body);
            emit received();
            return QHttpServerResponse(QJsonObject {{QStringLiteral("status"), 1}},
                QHttpServerResponse::StatusCode(m_analyticsStatus));
        });
    m_server->route(QStringLiteral("/appcast.json"), QHttpServerRequest::Method::Get,
        [this](const QHttpServerRequest &) {
            ++m_feedRequests;
            emit received();
            return QHttpServerResponse(QByteArrayLiteral("application/json"), m_feed,
                QHttpServerResponse::StatusCode(m_feedStatus));
        });
    m_server->setMissingHandler(
        [this, json](const QHttpServerRequest &request, QHttpServerResponder &&responder) {
            static const QRegularExpression reports(QStringLiteral("^/api/([^/]+)/reports/$"));
            const auto match = reports.match(request.url().path());
            if (!match.hasMatch() || request.method() != QHttpServerRequest::Method::Post) {
                m_problems.note(QStringLiteral("unexpected request: ") + request.url().path());
                responder.write(QHttpServerResponder::StatusCode::NotFound);
                return;
            }
            const auto body = json(request);
            if (!body) {
                responder.write(QHttpServerResponder::StatusCode::BadRequest);
                return;
            }
            m_reports.append(
                {match.captured(1), QString::fromUtf8(request.value("X-Tolvo-Key")), *body});
            emit received();
            responder.write(QJsonDocument(
                QJsonObject {{QStringLiteral("id"), body->value(QLatin1String("event_id"))}}));
        });
}

FakeReportingServer::~FakeReportingServer() = default;

QUrl FakeReportingServer::analyticsUrl() const
{
    return QUrl(m_base.toString() + QStringLiteral("/track"));
}

QString FakeReportingServer::crashDsn(const QString &key, const QString &project) const
{
    return QStringLiteral("http://%1@127.0.0.1:%2/%3").arg(key).arg(m_base.port()).arg(project);
}

QUrl FakeReportingServer::feedUrl() const
{
    return QUrl(m_base.toString() + QStringLiteral("/appcast.json"));
}

} // namespace tolvo::test
