#include "platform/LoopbackReceiver.h"

#include "platform/OAuthClient.h"

#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

namespace tolvo {

namespace {

QHttpServerResponse page(const char *text, QHttpServerResponse::StatusCode status)
{
    const QByteArray html = QByteArrayLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                                              "<title>Tolvo</title></head><body><p>")
        + text + QByteArrayLiteral("</p></body></html>");
    return QHttpServerResponse(QByteArrayLiteral("text/html; charset=utf-8"), html, status);
}

} // namespace

LoopbackReceiver::LoopbackReceiver(QUrl successPage, QObject *parent)
    : QObject(parent)
    , m_successPage(std::move(successPage))
    , m_server(new QHttpServer(this))
{
    m_server->route(QStringLiteral("/"), [this](const QHttpServerRequest &request) {
        if (m_outcome)
            return page("This sign-in has already ended.", QHttpServerResponse::StatusCode::Gone);
        const QUrlQuery query(request.url());
        const QString state = query.queryItemValue(QStringLiteral("state"), QUrl::FullyDecoded);
        if (m_state.isEmpty() || state != m_state) {
            complete(failure(ErrorDomain::oauth, oauthcode::stateMismatch,
                QStringLiteral("The sign-in answer does not belong to this sign-in.")));
            return page("This sign-in answer was not expected. Please try again from Tolvo.",
                QHttpServerResponse::StatusCode::BadRequest);
        }
        const QString error = query.queryItemValue(QStringLiteral("error"), QUrl::FullyDecoded);
        const QString code = query.queryItemValue(QStringLiteral("code"), QUrl::FullyDecoded);
        if (!error.isEmpty() || code.isEmpty()) {
            complete(failure(ErrorDomain::oauth, oauthcode::accessDenied,
                error.isEmpty() ? QStringLiteral("no authorization code") : error));
            return page("Sign-in was not completed. You can close this tab and return to Tolvo.",
                QHttpServerResponse::StatusCode::Ok);
        }
        complete(code);
        if (m_successPage.isEmpty() || !m_successPage.isValid())
            return page("You are signed in. You can close this tab and return to Tolvo.",
                QHttpServerResponse::StatusCode::Ok);
        QHttpServerResponse response(QHttpServerResponse::StatusCode::Found);
        response.setHeader("Location", m_successPage.toEncoded());
        return response;
    });
    m_server->setMissingHandler([](const QHttpServerRequest &, QHttpServerResponder &&responder) {
        responder.write(QHttpServerResponder::StatusCode::NotFound);
    });
}

LoopbackReceiver::~LoopbackReceiver()
{
    stop();
}

Result<QUrl> LoopbackReceiver::start()
{
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = m_server->listen(QHostAddress::LocalHost, 0);
    if (port == 0) {
        host = QStringLiteral("[::1]");
        port = m_server->listen(QHostAddress::LocalHostIPv6, 0);
    }
    if (port == 0)
        return failure(ErrorDomain::oauth, oauthcode::listenerFailed,
            QStringLiteral("No loopback port is free for the sign-in."));
    return QUrl(QStringLiteral("http://%1:%2/").arg(host).arg(port));
}

void LoopbackReceiver::stop()
{
    if (!m_server)
        return;
    closeListeners();
    // The answer already given sits in its connection's buffer: hand it to the system, then
    // close every connection together with the server. The browser keeps its connection alive,
    // and a reload of the page on it must find nobody rather than a handler of a receiver that
    // is going away.
    for (QTcpSocket *connection : m_server->findChildren<QTcpSocket *>()) {
        connection->flush();
        connection->disconnectFromHost();
    }
    delete m_server.data();
}

void LoopbackReceiver::closeListeners()
{
    if (!m_server)
        return;
    for (QTcpServer *listener : m_server->servers())
        listener->close();
}

void LoopbackReceiver::complete(Result<QString> outcome)
{
    m_outcome = std::move(outcome);
    // Stop accepting at once; this request is still answered.
    closeListeners();
    // Fired from the loop, not from inside the request handler: whoever awaits it may drop
    // this receiver at once.
    QMetaObject::invokeMethod(&m_completed, &OneShot::fire, Qt::QueuedConnection);
}

} // namespace tolvo
