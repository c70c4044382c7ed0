#pragma once

#include "support/ProblemLog.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace tolvo::test {

// A scripted server-sent-events endpoint on loopback: a test decides the status of the next
// connections, writes raw text to the open streams of a name and closes them. Requests are
// plain "GET /events/<name>"; the body is close-delimited. Push notifications posted to the
// relay's notification address are taken and counted. Any other request is answered 404 and
// noted in `problems()` (see ProblemLog).
class FakeEventStreamServer : public QObject
{
    Q_OBJECT
public:
    explicit FakeEventStreamServer(QObject *parent = nullptr);

    bool start();
    // Stops accepting (connections are refused) or accepts again, on the same port.
    void stopListening();
    bool resumeListening();
    QUrl baseUrl() const;

    // The status every later connection gets; a non-200 answer closes at once.
    void setStatus(int status) { m_status = status; }
    // Later 200 answers close right after the head.
    void setCloseImmediately(bool on) { m_closeImmediately = on; }

    int openStreams(const QString &name) const;
    int connectionCount(const QString &name) const { return m_connections.value(name); }
    // Writes `text` as is to every open stream of `name`.
    void send(const QString &name, const QByteArray &text);
    void closeStreams(const QString &name);
    // Drops every open stream without a clean end (as a crash would).
    void abortStreams(const QString &name);
    QList<QByteArray> requestHeads() const { return m_heads; }
    int notificationCount() const { return m_notifications; }
    QStringList problems() const { return m_problems.entries(); }
    QStringList takeProblems() { return m_problems.take(); }

signals:
    void streamOpened(const QString &name);

private:
    void accept();
    void readRequest(QTcpSocket *socket);

    QTcpServer m_server;
    quint16 m_port = 0;
    int m_status = 200;
    bool m_closeImmediately = false;
    QHash<QString, QList<QPointer<QTcpSocket>>> m_streams;
    QHash<QString, int> m_connections;
    QList<QByteArray> m_heads;
    int m_notifications = 0;
    ProblemLog m_problems {QStringLiteral("FakeEventStreamServer")};
};

} // namespace tolvo::test
