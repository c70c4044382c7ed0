#include "platform/SqliteConnection.h"

#include <QStringList>

#include <sqlite3.h>

namespace tolvo {

namespace {
const QString dateFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
}

QString sqliteDateText(const QDateTime &moment)
{
    return moment.toUTC().toString(dateFormat);
}

std::optional<QDateTime> sqliteDateFromText(const QString &text)
{
    // Read as UTC from the start: parsed as local time first, an instant that falls into a
    // daylight-saving gap of this machine's zone would not exist and the row could never be
    // read again.
    const QString trimmed = text.trimmed();
    const int space = trimmed.indexOf(QLatin1Char(' '));
    if (space < 0)
        return std::nullopt;
    const QDate date = QDate::fromString(trimmed.left(space), QStringLiteral("yyyy-MM-dd"));
    const QString clock = trimmed.mid(space + 1);
    QTime time = QTime::fromString(clock, QStringLiteral("HH:mm:ss.zzz"));
    if (!time.isValid()) {
        // Rows written by other tools may leave out the milliseconds.
        time = QTime::fromString(clock, QStringLiteral("HH:mm:ss"));
    }
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

QString quotedIdentifier(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

Error sqliteError(sqlite3 *db, int code, const QString &context)
{
    const int extended = db ? sqlite3_extended_errcode(db) : code;
    const QString text
        = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(code));
    return Error::make(ErrorDomain::database, extended,
        context.isEmpty() ? text : QStringLiteral("%1: %2").arg(context, text));
}

// ---- SqliteStatement ----

SqliteStatement::SqliteStatement(sqlite3 *db, sqlite3_stmt *statement, QString sql)
    : m_db(db)
    , m_statement(statement)
    , m_sql(std::move(sql))
{
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_db(std::exchange(other.m_db, nullptr))
    , m_statement(std::exchange(other.m_statement, nullptr))
    , m_sql(std::move(other.m_sql))
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(m_statement);
        m_db = std::exchange(other.m_db, nullptr);
        m_statement = std::exchange(other.m_statement, nullptr);
        m_sql = std::move(other.m_sql);
    }
    return *this;
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

Error SqliteStatement::error(int code) const
{
    return sqliteError(m_db, code, QString());
}

VoidResult SqliteStatement::bind(int index, const QVariant &value)
{
    int code = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        code = sqlite3_bind_null(m_statement, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
            code = sqlite3_bind_int64(m_statement, index, value.toBool() ? 1 : 0);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
            code = sqlite3_bind_int64(m_statement, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            code = sqlite3_bind_double(m_statement, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            code = sqlite3_bind_blob64(m_statement, index, bytes.constData(),
                static_cast<sqlite3_uint64>(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime: {
            const QByteArray text = sqliteDateText(value.toDateTime()).toUtf8();
            code = sqlite3_bind_text64(m_statement, index, text.constData(),
                static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        default: {
            if (!value.canConvert<QString>()) {
                return failure(ErrorDomain::invalidInput, 0,
                    QStringLiteral("A value of type %1 cannot be stored.")
                        .arg(QString::fromLatin1(value.typeName())));
            }
            const QByteArray text = value.toString().toUtf8();
            code = sqlite3_bind_text64(m_statement, index, text.constData(),
                static_cast<sqlite3_uint64>(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (code != SQLITE_OK)
        return failure(error(code));
    return {};
}

VoidResult SqliteStatement::bindAll(const QVariantList &values)
{
    if (values.size() != sqlite3_bind_parameter_count(m_statement)) {
        return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("%1 values for %2 parameters in: %3")
                .arg(values.size())
                .arg(sqlite3_bind_parameter_count(m_statement))
                .arg(m_sql));
    }
    for (int i = 0; i < values.size(); ++i)
        TRY(bind(i + 1, values.at(i)));
    return {};
}

Result<bool> SqliteStatement::step()
{
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    return failure(error(code));
}

SqlRow SqliteStatement::row() const
{
    SqlRow row;
    const int count = sqlite3_column_count(m_statement);
    for (int i = 0; i < count; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(m_statement, i));
        switch (sqlite3_column_type(m_statement, i)) {
        case SQLITE_INTEGER:
            row.insert(name, static_cast<qint64>(sqlite3_column_int64(m_statement, i)));
            break;
        case SQLITE_FLOAT: row.insert(name, sqlite3_column_double(m_statement, i)); break;
        case SQLITE_TEXT: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, i));
            row.insert(name, QString::fromUtf8(text, sqlite3_column_bytes(m_statement, i)));
            break;
        }
        case SQLITE_BLOB: {
            const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_statement, i));
            row.insert(name, QByteArray(bytes, sqlite3_column_bytes(m_statement, i)));
            break;
        }
        default: row.insert(name, QVariant()); break;
        }
    }
    return row;
}

Result<QList<SqlRow>> SqliteStatement::all()
{
    QList<SqlRow> rows;
    while (true) {
        TRY_ASSIGN(const bool hasRow, step());
        if (!hasRow)
            break;
        rows.append(row());
    }
    return rows;
}

VoidResult SqliteStatement::run()
{
    while (true) {
        TRY_ASSIGN(const bool hasRow, step());
        if (!hasRow)
            return {};
    }
}

// ---- SqliteConnection ----

SqliteConnection::SqliteConnection(sqlite3 *db, QString path)
    : m_db(db)
    , m_path(std::move(path))
{
}

SqliteConnection::~SqliteConnection()
{
    // Unfinalised statements would keep the handle open; every statement is RAII, so v2 is
    // only a safety net.
    sqlite3_close_v2(m_db);
}

Result<std::unique_ptr<SqliteConnection>> SqliteConnection::open(
    const QString &path, Mode mode, int busyTimeoutMs)
{
    sqlite3 *db = nullptr;
    const int flags = (mode == Mode::readOnly ? SQLITE_OPEN_READONLY
                                              : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)
        | SQLITE_OPEN_NOMUTEX;
    const int code = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (code != SQLITE_OK) {
        Error error = sqliteError(db, code, QStringLiteral("Cannot open %1").arg(path));
        sqlite3_close_v2(db);
        return failure(std::move(error));
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return std::unique_ptr<SqliteConnection>(new SqliteConnection(db, path));
}

Error SqliteConnection::error(int code, const QString &context) const
{
    return sqliteError(m_db, code, context);
}

VoidResult SqliteConnection::execute(const QString &sql)
{
    char *message = nullptr;
    const int code = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (code != SQLITE_OK) {
        const QString text = message ? QString::fromUtf8(message) : QString();
        sqlite3_free(message);
        return failure(ErrorDomain::database, sqlite3_extended_errcode(m_db), text);
    }
    return {};
}

Result<SqliteStatement> SqliteConnection::prepare(const QString &sql)
{
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    const int code = sqlite3_prepare_v2(
        m_db, utf8.constData(), static_cast<int>(utf8.size()), &statement, nullptr);
    if (code != SQLITE_OK) {
        sqlite3_finalize(statement);
        return failure(error(code, QString()));
    }
    return SqliteStatement(m_db, statement, sql);
}

Result<QList<SqlRow>> SqliteConnection::query(const QString &sql, const QVariantList &parameters)
{
    TRY_ASSIGN(SqliteStatement statement, prepare(sql));
    TRY(statement.bindAll(parameters));
    return statement.all();
}

VoidResult SqliteConnection::run(const QString &sql, const QVariantList &parameters)
{
    TRY_ASSIGN(SqliteStatement statement, prepare(sql));
    TRY(statement.bindAll(parameters));
    return statement.run();
}

qint64 SqliteConnection::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int SqliteConnection::changes() const
{
    return sqlite3_changes(m_db);
}

Result<QList<SqlRow>> SqliteConnection::fetchAll(const QString &table)
{
    return query(QStringLiteral("SELECT * FROM %1").arg(quotedIdentifier(table)));
}

Result<std::optional<SqlRow>> SqliteConnection::fetchOne(
    const QString &table, const QString &column, const QVariant &value)
{
    TRY_ASSIGN(const QList<SqlRow> rows,
        query(QStringLiteral("SELECT * FROM %1 WHERE %2 = ? LIMIT 1")
                  .arg(quotedIdentifier(table), quotedIdentifier(column)),
            {value}));
    if (rows.isEmpty())
        return std::optional<SqlRow>();
    return std::optional<SqlRow>(rows.first());
}

Result<qint64> SqliteConnection::insert(const QString &table, const SqlRow &row)
{
    QStringList columns;
    QStringList placeholders;
    QVariantList values;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        columns.append(quotedIdentifier(it.key()));
        placeholders.append(QStringLiteral("?"));
        values.append(it.value());
    }
    TRY(run(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(quotedIdentifier(table), columns.join(QStringLiteral(", ")),
                    placeholders.join(QStringLiteral(", "))),
        values));
    return lastInsertRowId();
}

Result<int> SqliteConnection::update(
    const QString &table, const QString &keyColumn, const SqlRow &row)
{
    if (!row.contains(keyColumn)) {
        return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("The row has no value for its key \"%1\".").arg(keyColumn));
    }
    QStringList assignments;
    QVariantList values;
    for (auto it = row.cbegin(); it != row.cend(); ++it) {
        if (it.key() == keyColumn)
            continue;
        assignments.append(quotedIdentifier(it.key()) + QStringLiteral(" = ?"));
        values.append(it.value());
    }
    if (assignments.isEmpty()) // still tell the caller whether the key exists
        assignments.append(
            quotedIdentifier(keyColumn) + QStringLiteral(" = ") + quotedIdentifier(keyColumn));
    values.append(row.value(keyColumn));
    TRY(run(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                .arg(quotedIdentifier(table), assignments.join(QStringLiteral(", ")),
                    quotedIdentifier(keyColumn)),
        values));
    return changes();
}

VoidResult SqliteConnection::save(const QString &table, const QString &keyColumn, const SqlRow &row)
{
    TRY_ASSIGN(const int changed, update(table, keyColumn, row));
    if (changed == 0)
        TRY(insert(table, row));
    return {};
}

VoidResult SqliteConnection::deleteWhere(
    const QString &table, const QString &column, const QVariant &value)
{
    return run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                   .arg(quotedIdentifier(table), quotedIdentifier(column)),
        {value});
}

} // namespace tolvo
