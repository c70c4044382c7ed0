#include "services/AppDatabase.h"

#include "platform/SqliteMigrator.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tolvo {

namespace {
VoidResult migrationV1(SqliteConnection &connection)
{
    // Plain CREATE TABLE on purpose: the migrator runs this once, and a table that already
    // exists here means the file is not what the bookkeeping says.
    return connection.execute(QStringLiteral("CREATE TABLE \"calendarChannel\" ("
                                             "\"calendarId\" TEXT PRIMARY KEY NOT NULL, "
                                             "\"expiration\" DOUBLE, "
                                             "\"resourceId\" TEXT, "
                                             "\"channelId\" TEXT);"
                                             "CREATE TABLE \"eventMapping\" ("
                                             "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT, "
                                             "\"ekEventIdentifier\" TEXT UNIQUE, "
                                             "\"googleEventId\" TEXT UNIQUE, "
                                             "\"lastSynchronizedDate\" DATE);"));
}

// The incremental position of each followed calendar at Google, so that what changed while
// Tolvo was closed still reaches the local copy; the copies that failed, kept until they
// succeed or their event is gone; and which calendar each copy came from, so that a whole
// listing can remove the copies of events the calendar no longer has.
VoidResult migrationV2(SqliteConnection &connection)
{
    return connection.execute(QStringLiteral("CREATE TABLE \"syncToken\" ("
                                             "\"calendarId\" TEXT PRIMARY KEY NOT NULL, "
                                             "\"token\" TEXT NOT NULL);"
                                             "CREATE TABLE \"copyJournal\" ("
                                             "\"googleEventId\" TEXT PRIMARY KEY NOT NULL, "
                                             "\"calendarId\" TEXT NOT NULL, "
                                             "\"event\" TEXT NOT NULL, "
                                             "\"attempts\" INTEGER NOT NULL DEFAULT 0, "
                                             "\"nextAttempt\" DATE);"
                                             "ALTER TABLE \"eventMapping\" "
                                             "ADD COLUMN \"googleCalendarId\" TEXT;"));
}
} // namespace

QString AppDatabase::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Tolvo/db.sqlite"));
}

Result<std::shared_ptr<AppDatabase>> AppDatabase::open(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        return failure(
            ErrorDomain::io, 0, QStringLiteral("The folder %1 could not be created.").arg(folder));
    }
    TRY_ASSIGN(auto pool, SqlitePool::open(path));
    SqliteMigrator migrator;
    migrator.registerMigration(QStringLiteral("v1"), migrationV1);
    migrator.registerMigration(QStringLiteral("v2"), migrationV2);
    TRY(migrator.migrate(*pool));
    return std::shared_ptr<AppDatabase>(new AppDatabase(std::move(pool)));
}

std::shared_ptr<AppDatabase> AppDatabase::openOrStop(const QString &path)
{
    auto database = open(path);
    if (!database) {
        qFatal("The database %s cannot be opened: %s", qUtf8Printable(path),
            qUtf8Printable(database.error().message));
    }
    return *database;
}

std::shared_ptr<AppDatabase> AppDatabase::shared()
{
    // A function-local static is initialised once even when several threads ask at once.
    static const std::shared_ptr<AppDatabase> database = openOrStop(defaultPath());
    return database;
}

} // namespace tolvo
