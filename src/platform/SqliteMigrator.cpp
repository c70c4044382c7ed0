#include "platform/SqliteMigrator.h"

#include <QStringList>

namespace tolvo {

namespace {
QString table()
{
    return quotedIdentifier(QString::fromLatin1(SqliteMigrator::bookkeepingTable));
}

VoidResult createBookkeeping(SqliteConnection &connection)
{
    return connection.execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (identifier TEXT PRIMARY KEY NOT NULL)")
            .arg(table()));
}
} // namespace

void SqliteMigrator::registerMigration(const QString &identifier, Migration migration)
{
    m_migrations.emplace_back(identifier, std::move(migration));
}

VoidResult SqliteMigrator::migrate(SqlitePool &pool) const
{
    for (const auto &entry : m_migrations) {
        // Named references, not a structured binding: clang 14 (the fuzz build's compiler)
        // cannot capture those in a lambda.
        const QString &identifier = entry.first;
        const auto &migration = entry.second;
        TRY(pool.write([&](SqliteConnection &connection) -> VoidResult {
            TRY(createBookkeeping(connection));
            TRY_ASSIGN(const auto applied,
                connection.fetchOne(QString::fromLatin1(bookkeepingTable),
                    QStringLiteral("identifier"), identifier));
            if (applied)
                return {};
            if (auto migrated = migration(connection); !migrated) {
                Error error = migrated.error();
                error.message
                    = QStringLiteral("Migration \"%1\" failed: %2").arg(identifier, error.message);
                return failure(std::move(error));
            }
            return connection
                .insert(QString::fromLatin1(bookkeepingTable),
                    {{QStringLiteral("identifier"), identifier}})
                .map([](qint64) {});
        }));
    }
    return {};
}

Result<QStringList> SqliteMigrator::appliedIdentifiers(SqlitePool &pool)
{
    return pool.write([](SqliteConnection &connection) -> Result<QStringList> {
        TRY(createBookkeeping(connection));
        TRY_ASSIGN(const auto rows,
            connection.query(
                QStringLiteral("SELECT identifier FROM %1 ORDER BY rowid").arg(table())));
        QStringList identifiers;
        for (const SqlRow &row : rows)
            identifiers.append(row.value(QStringLiteral("identifier")).toString());
        return identifiers;
    });
}

} // namespace tolvo
