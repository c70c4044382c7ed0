#pragma once

#include "core/Result.h"
#include "platform/SqlitePool.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace tolvo {

// What opening the database had to do because the file could not be used as it was.
struct DatabaseRecovery
{
    Error cause;
    // Where the unusable file was moved (its -wal and -shm beside it); empty when nothing was.
    QString setAsidePath;
    // The database lives in a temporary folder and is gone when the application quits.
    bool temporary = false;

    // What the user is told, once.
    QString userMessage() const;
};

// The application's one database: push channels, event mappings, sync tokens, the journal of
// failed copies and the reminders that have come.
class AppDatabase
{
public:
    struct Opened
    {
        std::shared_ptr<AppDatabase> database;
        std::optional<DatabaseRecovery> recovery;
    };

    static constexpr const char *calendarChannelTable = "calendarChannel";
    static constexpr const char *eventMappingTable = "eventMapping";
    static constexpr const char *syncTokenTable = "syncToken";
    static constexpr const char *copyJournalTable = "copyJournal";
    static constexpr const char *reminderMarkTable = "reminderMark";

    // "<generic data location>/Tolvo/db.sqlite".
    static QString defaultPath();

    // Creates the folder (with intermediates), opens the pool, applies the migrations and
    // checks the file's structure.
    static Result<std::shared_ptr<AppDatabase>> open(const QString &path);
    // The same, but a damaged file never keeps the application from starting: a file that is
    // corrupt, not a database, unopenable or of another schema is moved aside, kept under a
    // time-stamped name ("db.damaged-20261211T093000Z.sqlite", with its -wal and -shm), and a
    // new database starts in its place (channels and mappings are rebuilt as calendars are
    // followed again). When no database can be made there (an unwritable folder, a full disk,
    // a file that is busy rather than damaged and so is left alone), the application runs on
    // a temporary one. Fails only when not even that can be opened.
    static Result<Opened> openRecovering(const QString &path, const QDateTime &now);
    // The process's database at the default path, opened once on first use; a recovery is
    // logged and kept for `takeRecovery`. Stops the process only when no database at all can
    // be opened.
    static std::shared_ptr<AppDatabase> shared();
    // The recovery of the process's database, kept until the main screen hands it to the user,
    // once.
    static void keepRecovery(DatabaseRecovery recovery);
    static std::optional<DatabaseRecovery> takeRecovery();

    SqlitePool &dbWriter() const { return *m_pool; }

private:
    explicit AppDatabase(std::shared_ptr<SqlitePool> pool)
        : m_pool(std::move(pool))
    {
    }

    std::shared_ptr<SqlitePool> m_pool;
};

} // namespace tolvo
