#include "services/AppDatabase.h"

#include "core/Dependencies.h"
#include "core/LogCategories.h"
#include "platform/PrivateFiles.h"
#include "platform/SqliteMigrator.h"
#include "services/LoggerClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <atomic>

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

// The reminders that have come (shown, dismissed or dropped), by event and reminder moment, so
// that a restart does not show them again; each is kept until its event ends.
VoidResult migrationV3(SqliteConnection &connection)
{
    return connection.execute(QStringLiteral("CREATE TABLE \"reminderMark\" ("
                                             "\"eventId\" TEXT NOT NULL, "
                                             "\"reminderAt\" DATE NOT NULL, "
                                             "\"keepUntil\" DATE NOT NULL, "
                                             "PRIMARY KEY (\"eventId\", \"reminderAt\"));"));
}

// Runs a structural check, so that damage is found at the start rather than in the middle of
// a sync. The file is small: this takes milliseconds.
VoidResult checkStructure(SqlitePool &pool)
{
    TRY_ASSIGN(const QList<SqlRow> rows, pool.read([](SqliteConnection &connection) {
        return connection.query(QStringLiteral("PRAGMA quick_check"));
    }));
    const QString verdict
        = rows.isEmpty() || rows.first().isEmpty() ? QString() : rows.first().first().toString();
    if (rows.size() == 1 && verdict == u"ok")
        return {};
    return failure(ErrorDomain::database, SQLITE_CORRUPT,
        QStringLiteral("%1 is damaged: %2").arg(pool.path(), verdict));
}

// A file that will not read the same way again: moving it aside cannot lose anything that
// staying would keep. Busy, locked, full or read-only files are not damaged and stay.
bool isDamage(const Error &error)
{
    if (error.domain != ErrorDomain::database)
        return false;
    switch (error.code & 0xff) {
    case SQLITE_ERROR: // a schema that is not ours
    case SQLITE_CORRUPT:
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB: return true;
    default: return false;
    }
}

// "db.sqlite" -> "db.damaged-20261211T093000Z.sqlite" beside it, or with "-2", "-3"... when a
// file of that name exists already.
QString setAsideName(const QString &path, const QDateTime &now)
{
    const QFileInfo info(path);
    const QString stem = QStringLiteral("%1.damaged-%2")
                             .arg(info.completeBaseName(),
                                 now.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")));
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = info.dir().filePath(stem + suffix);
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = info.dir().filePath(QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix));
    return candidate;
}

// SQLite deletes a write-ahead log it could not use when the connection closes, yet a damaged
// file's log may hold its last changes: a copy taken before opening goes with the file.
QString keepLogCopy(const QString &path)
{
    const QString log = path + QStringLiteral("-wal");
    const QString copy = log + QStringLiteral(".kept");
    QFile::remove(copy);
    if (QFileInfo(log).size() == 0 || !QFile::copy(log, copy))
        return {};
    return copy;
}

// Moves the file and its write-ahead log and shared-memory files, which belong to it.
Result<QString> setAside(const QString &path, const QString &logCopy, const QDateTime &now)
{
    const QString target = setAsideName(path, now);
    if (!QFile::rename(path, target))
        return failure(
            ErrorDomain::io, 0, QStringLiteral("%1 could not be moved to %2.").arg(path, target));
    for (const char *companion : {"-wal", "-shm"}) {
        const QString from = path + QLatin1String(companion);
        if (QFileInfo::exists(from))
            QFile::rename(from, target + QLatin1String(companion));
    }
    if (!logCopy.isEmpty() && !QFileInfo::exists(target + QStringLiteral("-wal")))
        QFile::rename(logCopy, target + QStringLiteral("-wal"));
    return target;
}

Result<std::shared_ptr<AppDatabase>> openTemporary()
{
    static QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("tolvo-XXXXXX")));
    static std::atomic_int opened = 0;
    if (!folder.isValid())
        return failure(ErrorDomain::io, 0,
            QStringLiteral("No temporary folder could be made: %1").arg(folder.errorString()));
    return AppDatabase::open(folder.filePath(QStringLiteral("db%1.sqlite").arg(++opened)));
}

QMutex recoveryMutex;
std::optional<DatabaseRecovery> sharedRecovery;
} // namespace

QString DatabaseRecovery::userMessage() const
{
    const auto tr
        = [](const char *text) { return QCoreApplication::translate("DatabaseRecovery", text); };
    if (temporary)
        return tr("Tolvo could not open its database (%1). It runs on a temporary one until you "
                  "quit: followed calendars are set up again at the next start.")
            .arg(cause.message);
    return tr("Tolvo's database could not be read (%1). It was kept as %2 and a new one was "
              "started: followed calendars are set up again, and copies in the local calendar "
              "are found again rather than duplicated.")
        .arg(cause.message, setAsidePath);
}

QString AppDatabase::defaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Tolvo/db.sqlite"));
}

Result<std::shared_ptr<AppDatabase>> AppDatabase::open(const QString &path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (const auto made = privatefiles::makeFolder(folder); !made) {
        return failure(ErrorDomain::io, made.error().code,
            QStringLiteral("The folder %1 could not be created.").arg(folder));
    }
    // SQLite gives its log, shared-memory and journal files the mode of the database file, so
    // a private database file made here first keeps them all private. Those of an older, looser
    // file are tightened with it.
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString file = path + QLatin1String(suffix);
        const auto made = *suffix ? privatefiles::tighten(file) : privatefiles::makeFile(file);
        if (!made)
            qCWarning(lcDb, "%s", qUtf8Printable(made.error().message));
    }
    TRY_ASSIGN(auto pool, SqlitePool::open(path));
    qCDebug(lcDb, "Opened %s", qUtf8Printable(path));
    SqliteMigrator migrator;
    migrator.registerMigration(QStringLiteral("v1"), migrationV1);
    migrator.registerMigration(QStringLiteral("v2"), migrationV2);
    migrator.registerMigration(QStringLiteral("v3"), migrationV3);
    TRY(migrator.migrate(*pool));
    TRY(checkStructure(*pool));
    return std::shared_ptr<AppDatabase>(new AppDatabase(std::move(pool)));
}

Result<AppDatabase::Opened> AppDatabase::openRecovering(const QString &path, const QDateTime &now)
{
    const QString logCopy = keepLogCopy(path);
    const auto dropLogCopy = qScopeGuard([&logCopy] {
        if (!logCopy.isEmpty())
            QFile::remove(logCopy);
    });
    auto database = open(path);
    if (database)
        return Opened {*database, std::nullopt};
    DatabaseRecovery recovery;
    recovery.cause = database.error();
    if (isDamage(recovery.cause) && QFileInfo::exists(path)) {
        auto moved = setAside(path, logCopy, now);
        if (moved) {
            recovery.setAsidePath = *moved;
            if (auto fresh = open(path))
                return Opened {*fresh, recovery};
        }
    }
    recovery.temporary = true;
    TRY_ASSIGN(auto temporary, openTemporary());
    return Opened {temporary, recovery};
}

std::shared_ptr<AppDatabase> AppDatabase::shared()
{
    // A function-local static is initialised once even when several threads ask at once.
    static const std::shared_ptr<AppDatabase> database = [] {
        const QString path = defaultPath();
        auto opened = openRecovering(path, QDateTime::currentDateTimeUtc());
        if (!opened) {
            // Not even a temporary database: nothing the application does could be kept.
            qFatal("No database can be opened, neither %s nor a temporary one: %s",
                qUtf8Printable(path), qUtf8Printable(opened.error().message));
        }
        if (opened->recovery) {
            const DatabaseRecovery &recovery = *opened->recovery;
            Dependencies::current<LoggerClient>().log(
                QStringLiteral("The database %1 could not be used (%2); %3")
                    .arg(path, recovery.cause.describe(),
                        recovery.temporary
                            ? QStringLiteral("running on a temporary database.")
                            : QStringLiteral("it was moved to %1 and a new one started.")
                                  .arg(recovery.setAsidePath)),
                LogLevel::error);
            keepRecovery(recovery);
        }
        return opened->database;
    }();
    return database;
}

void AppDatabase::keepRecovery(DatabaseRecovery recovery)
{
    QMutexLocker lock(&recoveryMutex);
    sharedRecovery = std::move(recovery);
}

std::optional<DatabaseRecovery> AppDatabase::takeRecovery()
{
    QMutexLocker lock(&recoveryMutex);
    return std::exchange(sharedRecovery, std::nullopt);
}

} // namespace tolvo
