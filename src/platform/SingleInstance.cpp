#include "platform/SingleInstance.h"

#include "core/LogCategories.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

#include <unistd.h>

namespace tolvo {

namespace {
const QByteArray raiseRequest = QByteArrayLiteral("raise\n");
const QByteArray raisedAnswer = QByteArrayLiteral("raised\n");
constexpr qint64 maxRequestBytes = 64;

// The user's runtime folder is private to the user and cleared at logout; without one the
// temporary folder serves, the user id in the name keeping users apart.
QString socketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        const QFileInfo info(runtime);
        if (info.isDir() && info.isWritable() && info.ownerId() == ::getuid())
            return runtime;
    }
    return QDir::tempPath();
}
} // namespace

SingleInstance::SingleInstance(QString dataLocation, QObject *parent)
    : SingleInstance(std::move(dataLocation), Limits {}, parent)
{
}

SingleInstance::SingleInstance(QString dataLocation, Limits limits, QObject *parent)
    : QObject(parent)
    , m_serverName(serverNameFor(dataLocation))
    , m_limits(limits)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverNameFor(const QString &dataLocation)
{
    const QByteArray digest = QCryptographicHash::hash(
        QDir::cleanPath(QFileInfo(dataLocation).absoluteFilePath()).toUtf8(),
        QCryptographicHash::Sha256)
                                  .toHex()
                                  .left(16);
    return QDir(socketFolder())
        .filePath(QStringLiteral("tolvo-%1-%2").arg(::getuid()).arg(QString::fromLatin1(digest)));
}

bool SingleInstance::isListening() const
{
    return m_server && m_server->isListening();
}

SingleInstance::Outcome SingleInstance::start()
{
    if (isListening())
        return Outcome::primary;
    // Held only while deciding: once this process listens, later starts find the socket.
    QLockFile lock(m_serverName + QStringLiteral(".lock"));
    const bool locked = lock.tryLock(int(m_limits.lockTimeout.count()));
    if (!locked)
        qCWarning(lcInstance, "The start-up lock %s could not be taken (error %d)",
            qUtf8Printable(m_serverName + QStringLiteral(".lock")), int(lock.error()));
    switch (askToRaise()) {
    case Asked::raised: return Outcome::raisedOther;
    case Asked::silent: return Outcome::otherSilent;
    case Asked::notRunning: break;
    }
    // Without the lock, a live start holds it (a dead one's lock would have been taken over):
    // it may be about to listen, so its socket is not touched.
    if (!locked)
        return Outcome::unguarded;
    return listen() ? Outcome::primary : Outcome::unguarded;
}

SingleInstance::Asked SingleInstance::askToRaise() const
{
    QLocalSocket socket;
    QEventLoop loop;
    bool done = false;
    Asked result = Asked::silent;
    const auto finish = [&](Asked asked) {
        if (done)
            return;
        done = true;
        result = asked;
        loop.quit();
    };
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, [&] { finish(Asked::silent); });
    bool reached = false;
    connect(&socket, &QLocalSocket::connected, &loop, [&] {
        reached = true;
        socket.write(raiseRequest);
    });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine() && socket.readLine(maxRequestBytes) == raisedAnswer)
            finish(Asked::raised);
        else if (socket.bytesAvailable() > maxRequestBytes)
            finish(Asked::silent);
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop, [&](QLocalSocket::LocalSocketError) {
        // Only a socket never reached means nobody runs; one that went away mid-way did run.
        if (!reached)
            finish(Asked::notRunning);
    });
    connect(&socket, &QLocalSocket::disconnected, &loop, [&] { finish(Asked::silent); });
    socket.connectToServer(m_serverName);
    if (!done) {
        deadline.start(m_limits.answerTimeout);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    qCDebug(lcInstance, "Asked %s to raise its window: %s", qUtf8Printable(m_serverName),
        result == Asked::raised       ? "raised"
            : result == Asked::silent ? "no answer"
                                      : "nobody listens");
    socket.abort();
    return result;
}

bool SingleInstance::listen()
{
    // Nobody answered: whatever socket file is there was left by an instance that died.
    QLocalServer::removeServer(m_serverName);
    auto *server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    server->setMaxPendingConnections(m_limits.maxConnections);
    if (!server->listen(m_serverName)) {
        qCWarning(lcInstance, "Another start cannot reach this one: %s cannot be listened on (%s)",
            qUtf8Printable(m_serverName), qUtf8Printable(server->errorString()));
        delete server;
        return false;
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    qCDebug(lcInstance, "Listening on %s", qUtf8Printable(m_serverName));
    return true;
}

void SingleInstance::acceptConnections()
{
    const auto drop = [](QLocalSocket *socket) {
        socket->abort();
        socket->deleteLater();
    };
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (m_open >= m_limits.maxConnections) {
            drop(socket);
            continue;
        }
        ++m_open;
        // The socket is the server's child: this object outlives it.
        connect(socket, &QObject::destroyed, this, [this] { --m_open; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(m_limits.requestDeadline, socket, [drop, socket] { drop(socket); });
        connect(socket, &QLocalSocket::readyRead, socket, [this, drop, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > maxRequestBytes)
                    drop(socket);
                return;
            }
            if (socket->readLine(maxRequestBytes) != raiseRequest) {
                drop(socket);
                return;
            }
            qCDebug(lcInstance, "Another start asked for the window");
            socket->write(raisedAnswer);
            socket->flush();
            socket->disconnectFromServer();
            emit raiseRequested();
        });
    }
}

} // namespace tolvo
