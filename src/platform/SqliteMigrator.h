#pragma once

#include "platform/SqlitePool.h"

#include <functional>
#include <vector>

namespace tolvo {

// Named migrations applied once each, in the order they were registered. Applied names are
// kept in the table "schema_migrations" of the same file, and each migration commits together
// with its name, so a failure leaves neither half behind.
class SqliteMigrator
{
public:
    static constexpr const char *bookkeepingTable = "schema_migrations";

    using Migration = std::function<VoidResult(SqliteConnection &)>;

    void registerMigration(const QString &identifier, Migration migration);
    VoidResult migrate(SqlitePool &pool) const;

    static Result<QStringList> appliedIdentifiers(SqlitePool &pool);

private:
    std::vector<std::pair<QString, Migration>> m_migrations;
};

} // namespace tolvo
