#include "RedisTestServer.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

#include <signal.h>

namespace tolvo::test::relay {

namespace {

// Bytes of one complete RESP value at `pos`, or -1 while it is incomplete.
qsizetype valueLength(const QByteArray &raw, qsizetype pos)
{
    const qsizetype lineEnd = raw.indexOf("\r\n", pos);
    if (lineEnd < 0) {
        return -1;
    }
    const qsizetype head = lineEnd + 2 - pos;
    const long long count = raw.mid(pos + 1, lineEnd - pos - 1).toLongLong();
    switch (raw[pos]) {
    case '$':
        if (count < 0) {
            return head;
        }
        return raw.size() >= lineEnd + 2 + count + 2 ? head + count + 2 : -1;
    case '*': {
        qsizetype length = head;
        for (long long i = 0; i < count; ++i) {
            const qsizetype item = valueLength(raw, pos + length);
            if (item < 0) {
                return -1;
            }
            length += item;
        }
        return length;
    }
    default: return head; // + - :
    }
}

} // namespace

RedisTestServer::~RedisTestServer()
{
    kill();
}

QString RedisTestServer::executable()
{
    QString found = QStandardPaths::findExecutable("redis-server");
    if (found.isEmpty()) {
        found = QStandardPaths::findExecutable(
            "redis-server", {"/usr/bin", "/usr/sbin", "/usr/local/bin"});
    }
    return found;
}

bool RedisTestServer::start()
{
    if (m_port != 0) {
        return launch();
    }
    // A port free a moment ago can be taken by the time Redis binds it: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) {
            return false;
        }
        m_port = probe.serverPort();
        probe.close();
        if (launch()) {
            return true;
        }
    }
    m_port = 0;
    return false;
}

bool RedisTestServer::launch()
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments {"--port", QString::number(m_port), "--bind", "127.0.0.1", "--save", "",
        "--appendonly", "no", "--dir", m_folder.path(), "--daemonize", "no", "--loglevel",
        "warning"};
    if (!m_password.isEmpty()) {
        arguments << "--requirepass" << QString::fromUtf8(m_password);
    }
    m_process.start(executable(), arguments);
    if (!m_process.waitForStarted()) {
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (command({"PING"}).startsWith("+PONG")) {
            return true;
        }
        m_process.waitForFinished(50);
    }
    qWarning("redis-server did not start: %s", m_process.readAll().constData());
    kill();
    return false;
}

void RedisTestServer::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void RedisTestServer::pause()
{
    if (m_process.state() == QProcess::Running) {
        ::kill(pid_t(m_process.processId()), SIGSTOP);
    }
}

void RedisTestServer::resume()
{
    if (m_process.state() == QProcess::Running) {
        ::kill(pid_t(m_process.processId()), SIGCONT);
    }
}

QByteArray RedisTestServer::command(const QList<QByteArray> &arguments) const
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_port);
    if (!socket.waitForConnected(2000)) {
        return {};
    }
    const auto encode = [](const QList<QByteArray> &words) {
        QByteArray request = "*" + QByteArray::number(words.size()) + "\r\n";
        for (const QByteArray &word : words) {
            request += "$" + QByteArray::number(word.size()) + "\r\n" + word + "\r\n";
        }
        return request;
    };
    // Pipelined behind AUTH: the command's answer is the one after AUTH's.
    const bool authenticate = !m_password.isEmpty();
    socket.write((authenticate ? encode({"AUTH", m_password}) : QByteArray()) + encode(arguments));
    QByteArray reply;
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        const qsizetype skip = authenticate && !reply.isEmpty() ? valueLength(reply, 0) : 0;
        if (skip >= 0 && reply.size() > skip && valueLength(reply, skip) >= 0) {
            return reply.mid(skip);
        }
        if (!socket.waitForReadyRead(100) && socket.state() != QAbstractSocket::ConnectedState) {
            break;
        }
        reply += socket.readAll();
    }
    return {};
}

std::optional<long long> RedisTestServer::integer(const QList<QByteArray> &arguments) const
{
    const QByteArray reply = command(arguments);
    const qsizetype at = reply.lastIndexOf("\r\n:");
    const qsizetype start = reply.startsWith(':') ? 0 : at + 2;
    if (start < 0 || (at < 0 && !reply.startsWith(':'))) {
        return std::nullopt;
    }
    return reply.mid(start + 1, reply.indexOf("\r\n", start) - start - 1).toLongLong();
}

long long RedisTestServer::subscribers(const QByteArray &name) const
{
    return integer({"PUBSUB", "NUMSUB", "tolvo:events:" + name}).value_or(-1);
}

bool RedisTestServer::keeps(const QByteArray &name) const
{
    return integer({"EXISTS", "tolvo:pending:" + name}).value_or(0) == 1;
}

} // namespace tolvo::test::relay
