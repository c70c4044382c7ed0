#include "support/FakeGoogleCalendar.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonDocument>
#include <QTcpServer>

namespace tolvo::test {

FakeGoogleCalendar::FakeGoogleCalendar(QObject *parent)
    : QAbstractHttpServer(parent)
    , m_router(m_store, [this](const QString &channelId, const QString &state) {
        emit notificationPosted(channelId, state);
    })
{
    m_store.onChange([this](const QString &calendarId) { m_router.changed(calendarId); });
}

quint16 FakeGoogleCalendar::start()
{
    m_port = listen(QHostAddress::LocalHost, 0);
    m_router.setApiRoot(apiRoot());
    return m_port;
}

QUrl FakeGoogleCalendar::apiRoot() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/calendar/v3/").arg(m_port));
}

bool FakeGoogleCalendar::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    const FakeGoogleRouter::Reply reply = m_router.handle(request);
    QHttpServerResponder responder = makeResponder(request, socket);
    if (reply.empty) {
        responder.write(QHttpServerResponder::StatusCode(reply.status));
    } else {
        responder.write(QJsonDocument(reply.body), QHttpServerResponder::StatusCode(reply.status));
    }
    return true;
}

void FakeGoogleCalendar::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket).write(QHttpServerResponder::StatusCode::NotFound);
}

} // namespace tolvo::test
