#pragma once

#include "platform/SqliteConnection.h"

#include <QMutex>
#include <QWaitCondition>

#include <memory>
#include <type_traits>
#include <vector>

namespace tolvo {

// One database file in write-ahead-log mode: a single writer connection and up to
// `maxReaders` reader connections, so reads see the last committed state while a write runs.
// Every write is one BEGIN IMMEDIATE transaction (a deferred one that upgrades to a write can
// fail with SQLITE_BUSY despite the busy timeout) and every read one short read transaction;
// both roll back unless the work succeeded. Safe to use from several threads.
class SqlitePool
{
public:
    struct Options
    {
        int maxReaders = 4;
        int busyTimeoutMs = 5000;
    };

    static Result<std::shared_ptr<SqlitePool>> open(const QString &path, Options options);
    static Result<std::shared_ptr<SqlitePool>> open(const QString &path)
    {
        return open(path, Options {});
    }

    const QString &path() const { return m_path; }

    // fn(SqliteConnection &) -> Result<T>; committed only when fn succeeds.
    template<typename Fn> auto write(Fn &&fn) -> std::invoke_result_t<Fn, SqliteConnection &>
    {
        QMutexLocker lock(&m_writerMutex);
        return inTransaction(*m_writer, QStringLiteral("BEGIN IMMEDIATE"), std::forward<Fn>(fn));
    }

    // fn(SqliteConnection &) -> Result<T> on a reader connection (read-only).
    template<typename Fn> auto read(Fn &&fn) -> std::invoke_result_t<Fn, SqliteConnection &>
    {
        auto reader = acquireReader();
        if (!reader)
            return failure(reader.error());
        auto result = inTransaction(**reader, QStringLiteral("BEGIN"), std::forward<Fn>(fn));
        releaseReader(std::move(*reader));
        return result;
    }

private:
    SqlitePool(QString path, Options options, std::unique_ptr<SqliteConnection> writer);

    template<typename Fn>
    static auto inTransaction(SqliteConnection &connection, const QString &begin, Fn &&fn)
        -> std::invoke_result_t<Fn, SqliteConnection &>
    {
        if (auto begun = connection.execute(begin); !begun)
            return failure(begun.error());
        auto result = fn(connection);
        if (result) {
            if (auto committed = connection.execute(QStringLiteral("COMMIT")); !committed) {
                connection.execute(QStringLiteral("ROLLBACK"));
                return failure(committed.error());
            }
        } else {
            connection.execute(QStringLiteral("ROLLBACK"));
        }
        return result;
    }

    Result<std::unique_ptr<SqliteConnection>> acquireReader();
    void releaseReader(std::unique_ptr<SqliteConnection> reader);

    QString m_path;
    Options m_options;
    QMutex m_writerMutex;
    std::unique_ptr<SqliteConnection> m_writer;

    QMutex m_readerMutex;
    QWaitCondition m_readerAvailable;
    std::vector<std::unique_ptr<SqliteConnection>> m_idleReaders;
    int m_openReaders = 0;
};

} // namespace tolvo
