#pragma once

// A redis-server of the test's own on a free loopback port, in a temporary folder, saving
// nothing; and a blocking client for checking what the relays left in it.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace tolvo::test::relay {

class RedisTestServer
{
public:
    ~RedisTestServer();

    // The redis-server binary, or empty when it is not installed.
    static QString executable();

    // Starts on a free port (or the one it had, after `kill`); false when it did not answer.
    bool start();
    // SIGKILL: gone at once, as a crashed or unplugged Redis.
    void kill();
    // SIGSTOP and SIGCONT: a hung Redis, whose kernel still accepts connections.
    void pause();
    void resume();

    // Set before `start` to make Redis require it; `command` then authenticates with it.
    void setPassword(const QByteArray &password) { m_password = password; }

    quint16 port() const { return m_port; }
    QByteArray url(const QByteArray &password = {}) const
    {
        return "redis://" + (password.isEmpty() ? QByteArray() : ":" + password + "@")
            + "127.0.0.1:" + QByteArray::number(m_port);
    }

    // One command's whole answer, raw; empty when Redis did not answer.
    QByteArray command(const QList<QByteArray> &arguments) const;
    // The last integer in a command's answer (EXISTS, PUBSUB NUMSUB ...).
    std::optional<long long> integer(const QList<QByteArray> &arguments) const;
    // Redis's subscribers of a relay stream name's channel.
    long long subscribers(const QByteArray &name) const;
    bool keeps(const QByteArray &name) const;

private:
    bool launch();

    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QByteArray m_password;
};

} // namespace tolvo::test::relay
