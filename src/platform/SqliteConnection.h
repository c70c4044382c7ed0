#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace tolvo {

// One row as column name -> value. NULL reads as an invalid QVariant; integers as qint64,
// reals as double, text as QString, blobs as QByteArray.
using SqlRow = QVariantMap;

// Dates are stored as UTC text "yyyy-MM-dd HH:mm:ss.SSS", which sorts as it reads.
QString sqliteDateText(const QDateTime &moment);
std::optional<QDateTime> sqliteDateFromText(const QString &text);

// One prepared statement. Values bind by position (1-based) and are never spliced into SQL.
class SqliteStatement
{
public:
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;
    ~SqliteStatement();

    // A QDateTime binds as date text, a bool as 0 or 1, an invalid or null QVariant as NULL.
    VoidResult bind(int index, const QVariant &value);
    VoidResult bindAll(const QVariantList &values);
    // True while a row is available.
    Result<bool> step();
    SqlRow row() const;
    Result<QList<SqlRow>> all();
    VoidResult run();

private:
    friend class SqliteConnection;
    SqliteStatement(sqlite3 *db, sqlite3_stmt *statement, QString sql);
    Error error(int code) const;

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_statement = nullptr;
    QString m_sql;
};

// One connection to a database file. Not shared between threads at the same time: the pool
// hands each connection to one caller at a time.
class SqliteConnection
{
public:
    enum class Mode { readWrite, readOnly };

    static Result<std::unique_ptr<SqliteConnection>> open(
        const QString &path, Mode mode, int busyTimeoutMs);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    // Runs SQL without parameters (several statements allowed).
    VoidResult execute(const QString &sql);
    Result<SqliteStatement> prepare(const QString &sql);
    Result<QList<SqlRow>> query(const QString &sql, const QVariantList &parameters = {});
    VoidResult run(const QString &sql, const QVariantList &parameters = {});

    qint64 lastInsertRowId() const;
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;

    // The record layer: rows mapped by column name, filtered by column equality.
    Result<QList<SqlRow>> fetchAll(const QString &table);
    Result<std::optional<SqlRow>> fetchOne(
        const QString &table, const QString &column, const QVariant &value);
    // Inserts the row's columns; answers the new rowid.
    Result<qint64> insert(const QString &table, const SqlRow &row);
    // Updates every other column of the row whose key column equals row[keyColumn]; answers
    // how many rows changed (0 when none has that key).
    Result<int> update(const QString &table, const QString &keyColumn, const SqlRow &row);
    // Updates by key, inserting when no row has the key.
    VoidResult save(const QString &table, const QString &keyColumn, const SqlRow &row);
    VoidResult deleteWhere(const QString &table, const QString &column, const QVariant &value);

    const QString &path() const { return m_path; }
    sqlite3 *handle() const { return m_db; }

private:
    SqliteConnection(sqlite3 *db, QString path);
    Error error(int code, const QString &context) const;

    sqlite3 *m_db = nullptr;
    QString m_path;
};

// SQLite's own error text and code; the extended code keeps constraint kinds apart.
Error sqliteError(sqlite3 *db, int code, const QString &context);

// "name" with inner quotes doubled, for table and column names (never for values).
QString quotedIdentifier(const QString &name);

} // namespace tolvo
