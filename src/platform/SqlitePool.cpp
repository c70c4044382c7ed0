#include "platform/SqlitePool.h"

namespace tolvo {

SqlitePool::SqlitePool(QString path, Options options, std::unique_ptr<SqliteConnection> writer)
    : m_path(std::move(path))
    , m_options(options)
    , m_writer(std::move(writer))
{
}

Result<std::shared_ptr<SqlitePool>> SqlitePool::open(const QString &path, Options options)
{
    TRY_ASSIGN(auto writer,
        SqliteConnection::open(path, SqliteConnection::Mode::readWrite, options.busyTimeoutMs));
    // The writer switches the file to WAL before any reader opens it.
    TRY_ASSIGN(const QList<SqlRow> mode, writer->query(QStringLiteral("PRAGMA journal_mode=WAL")));
    if (mode.isEmpty()
        || mode.first()
                .value(QStringLiteral("journal_mode"))
                .toString()
                .compare(QLatin1String("wal"), Qt::CaseInsensitive)
            != 0) {
        return failure(ErrorDomain::database, 0,
            QStringLiteral("%1 could not be switched to write-ahead logging.").arg(path));
    }
    options.maxReaders = std::max(1, options.maxReaders);
    return std::shared_ptr<SqlitePool>(new SqlitePool(path, options, std::move(writer)));
}

Result<std::unique_ptr<SqliteConnection>> SqlitePool::acquireReader()
{
    QMutexLocker lock(&m_readerMutex);
    while (m_idleReaders.empty() && m_openReaders >= m_options.maxReaders)
        m_readerAvailable.wait(&m_readerMutex);
    if (!m_idleReaders.empty()) {
        auto reader = std::move(m_idleReaders.back());
        m_idleReaders.pop_back();
        return reader;
    }
    ++m_openReaders;
    lock.unlock();
    auto opened
        = SqliteConnection::open(m_path, SqliteConnection::Mode::readOnly, m_options.busyTimeoutMs);
    if (!opened) {
        lock.relock();
        --m_openReaders;
        m_readerAvailable.wakeOne();
    }
    return opened;
}

void SqlitePool::releaseReader(std::unique_ptr<SqliteConnection> reader)
{
    QMutexLocker lock(&m_readerMutex);
    m_idleReaders.push_back(std::move(reader));
    m_readerAvailable.wakeOne();
}

} // namespace tolvo
