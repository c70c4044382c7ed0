#pragma once

#include "core/Result.h"
#include "platform/SqlitePool.h"

#include <QString>

#include <memory>

namespace tolvo {

// The application's one database: push channels, event mappings, sync tokens
// and the journal of failed copies.
class AppDatabase
{
public:
    static constexpr const char *calendarChannelTable = "calendarChannel";
    static constexpr const char *eventMappingTable = "eventMapping";
    static constexpr const char *syncTokenTable = "syncToken";
    static constexpr const char *copyJournalTable = "copyJournal";

    // "<generic data location>/Tolvo/db.sqlite".
    static QString defaultPath();

    // Creates the folder (with intermediates), opens the pool and applies the migrations.
    static Result<std::shared_ptr<AppDatabase>> open(const QString &path);
    // The same, but a database that cannot be opened or migrated stops the process: nothing
    // the application does works without it. The message names the path and SQLite's error.
    static std::shared_ptr<AppDatabase> openOrStop(const QString &path);
    // The process's database at the default path, opened once on first use.
    static std::shared_ptr<AppDatabase> shared();

    SqlitePool &dbWriter() const { return *m_pool; }

private:
    explicit AppDatabase(std::shared_ptr<SqlitePool> pool)
        : m_pool(std::move(pool))
    {
    }

    std::shared_ptr<SqlitePool> m_pool;
};

} // namespace tolvo
