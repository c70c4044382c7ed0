#include "services/DatabaseClient.h"

#include "services/AppDatabase.h"

#include <QDir>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace tolvo {

namespace {
const QString channelTable = QString::fromLatin1(AppDatabase::calendarChannelTable);
const QString mappingTable = QString::fromLatin1(AppDatabase::eventMappingTable);
const QString tokenTable = QString::fromLatin1(AppDatabase::syncTokenTable);
const QString journalTable = QString::fromLatin1(AppDatabase::copyJournalTable);
const QString markTable = QString::fromLatin1(AppDatabase::reminderMarkTable);

Error missingColumn(const QString &table, const char *column)
{
    return Error::make(ErrorDomain::decoding, 0,
        QStringLiteral("A row of \"%1\" has no column \"%2\".").arg(table, QLatin1String(column)));
}

SqlRow channelRow(const CalendarChannel &channel)
{
    return {{QStringLiteral("calendarId"), channel.calendarId},
        {QStringLiteral("expiration"), channel.expiration},
        {QStringLiteral("resourceId"), channel.resourceId},
        {QStringLiteral("channelId"), channel.channelId}};
}

Result<CalendarChannel> channelFromRow(const SqlRow &row)
{
    for (const char *column : {"calendarId", "expiration", "resourceId", "channelId"}) {
        if (!row.contains(QLatin1String(column)))
            return failure(missingColumn(channelTable, column));
    }
    CalendarChannel channel;
    channel.calendarId = row.value(QStringLiteral("calendarId")).toString();
    channel.expiration = row.value(QStringLiteral("expiration")).toDouble();
    channel.resourceId = row.value(QStringLiteral("resourceId")).toString();
    channel.channelId = row.value(QStringLiteral("channelId")).toString();
    return channel;
}

SqlRow mappingRow(const EventMapping &mapping)
{
    SqlRow row {{QStringLiteral("ekEventIdentifier"), mapping.ekEventIdentifier},
        {QStringLiteral("googleEventId"), mapping.googleEventId},
        {QStringLiteral("lastSynchronizedDate"), mapping.lastSynchronizedDate}};
    if (mapping.id)
        row.insert(QStringLiteral("id"), *mapping.id);
    return row;
}

Result<EventMapping> mappingFromRow(const SqlRow &row)
{
    for (const char *column :
        {"id", "ekEventIdentifier", "googleEventId", "lastSynchronizedDate"}) {
        if (!row.contains(QLatin1String(column)))
            return failure(missingColumn(mappingTable, column));
    }
    EventMapping mapping;
    const QVariant id = row.value(QStringLiteral("id"));
    if (id.isValid())
        mapping.id = id.toLongLong();
    mapping.ekEventIdentifier = row.value(QStringLiteral("ekEventIdentifier")).toString();
    mapping.googleEventId = row.value(QStringLiteral("googleEventId")).toString();
    const auto date
        = sqliteDateFromText(row.value(QStringLiteral("lastSynchronizedDate")).toString());
    if (!date)
        return failure(missingColumn(mappingTable, "lastSynchronizedDate"));
    mapping.lastSynchronizedDate = *date;
    return mapping;
}

SqlRow pendingRow(const PendingCopy &pending)
{
    return {{QStringLiteral("googleEventId"), pending.googleEventId},
        {QStringLiteral("calendarId"), pending.calendarId},
        {QStringLiteral("event"),
            QString::fromUtf8(QJsonDocument(pending.event).toJson(QJsonDocument::Compact))},
        {QStringLiteral("attempts"), pending.attempts},
        {QStringLiteral("nextAttempt"), pending.nextAttempt}};
}

Result<PendingCopy> pendingFromRow(const SqlRow &row)
{
    for (const char *column : {"googleEventId", "calendarId", "event", "attempts"}) {
        if (!row.contains(QLatin1String(column)))
            return failure(missingColumn(journalTable, column));
    }
    PendingCopy pending;
    pending.googleEventId = row.value(QStringLiteral("googleEventId")).toString();
    pending.calendarId = row.value(QStringLiteral("calendarId")).toString();
    pending.event
        = QJsonDocument::fromJson(row.value(QStringLiteral("event")).toString().toUtf8()).object();
    pending.attempts = row.value(QStringLiteral("attempts")).toInt();
    if (const auto next = sqliteDateFromText(row.value(QStringLiteral("nextAttempt")).toString()))
        pending.nextAttempt = *next;
    return pending;
}

// Reads rows with `fetch` and maps each with `map`; the first row that does not map fails the
// whole read, so a damaged row is reported rather than skipped.
template<typename Fetch, typename Map>
auto readRows(const std::shared_ptr<AppDatabase> &database, Fetch fetch, Map map)
{
    using Item = typename std::invoke_result_t<Map, const SqlRow &>::value_type;
    return database->dbWriter().read([&](SqliteConnection &connection) -> Result<QList<Item>> {
        TRY_ASSIGN(const QList<SqlRow> rows, fetch(connection));
        QList<Item> items;
        items.reserve(rows.size());
        for (const SqlRow &row : rows) {
            TRY_ASSIGN(Item item, map(row));
            items.append(std::move(item));
        }
        return items;
    });
}

// The mapping rows whose `column` holds `value`, as a fetch for readRows.
auto mappingsWhere(const QString &column, const QString &value)
{
    return [column, value](SqliteConnection &connection) {
        return connection.query(QStringLiteral("SELECT * FROM %1 WHERE %2 = ?")
                                    .arg(quotedIdentifier(mappingTable), quotedIdentifier(column)),
            {value});
    };
}
} // namespace

DatabaseClient DatabaseClient::over(std::shared_ptr<AppDatabase> database, Clock clock)
{
    DatabaseClient client;
    client.storeCalendarChannel = [database](const CalendarChannel &channel) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.save(channelTable, QStringLiteral("calendarId"), channelRow(channel));
        });
    };
    client.calendarChannels = [database] {
        return readRows(
            database,
            [](SqliteConnection &connection) { return connection.fetchAll(channelTable); },
            channelFromRow);
    };
    client.deleteCalendarChannelByCalendarId = [database](const QString &calendarId) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.deleteWhere(channelTable, QStringLiteral("calendarId"), calendarId);
        });
    };
    const auto saveMapping = [database, clock](const QString &ekEventIdentifier,
                                 const QString &googleEventId,
                                 const std::optional<QString> &googleCalendarId) {
        return database->dbWriter().write([&](SqliteConnection &connection) -> VoidResult {
            TRY_ASSIGN(const auto existing,
                connection.fetchOne(mappingTable, QStringLiteral("googleEventId"), googleEventId));
            EventMapping mapping;
            if (existing) {
                TRY_ASSIGN(mapping, mappingFromRow(*existing));
            }
            mapping.ekEventIdentifier = ekEventIdentifier;
            mapping.googleEventId = googleEventId;
            mapping.lastSynchronizedDate = clock();
            SqlRow row = mappingRow(mapping);
            if (googleCalendarId)
                row.insert(QStringLiteral("googleCalendarId"), *googleCalendarId);
            if (mapping.id) {
                TRY(connection.update(mappingTable, QStringLiteral("id"), row));
                return {};
            }
            TRY(connection.insert(mappingTable, row));
            return {};
        });
    };
    client.saveEventMapping
        = [saveMapping](const QString &ekEventIdentifier, const QString &googleEventId) {
              return saveMapping(ekEventIdentifier, googleEventId, std::nullopt);
          };
    client.saveCalendarEventMapping
        = [saveMapping](const QString &ekEventIdentifier, const QString &googleEventId,
              const QString &googleCalendarId) {
              return saveMapping(ekEventIdentifier, googleEventId, googleCalendarId);
          };
    client.eventMappingsOfCalendar = [database](const QString &googleCalendarId) {
        return readRows(database,
            mappingsWhere(QStringLiteral("googleCalendarId"), googleCalendarId), mappingFromRow);
    };
    client.deleteEventMapping = [database](const QString &googleEventId) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.deleteWhere(
                mappingTable, QStringLiteral("googleEventId"), googleEventId);
        });
    };
    client.retrieveEventMapping = [database](const QString &googleEventId) {
        // googleEventId is unique: one row at most.
        return readRows(
            database, mappingsWhere(QStringLiteral("googleEventId"), googleEventId), mappingFromRow)
            .map([](const QList<EventMapping> &mappings) {
                return mappings.isEmpty() ? std::nullopt : std::optional(mappings.first());
            });
    };
    client.syncToken = [database](const QString &calendarId) {
        return database->dbWriter().read(
            [&](SqliteConnection &connection) -> Result<std::optional<QString>> {
                TRY_ASSIGN(const auto row,
                    connection.fetchOne(tokenTable, QStringLiteral("calendarId"), calendarId));
                if (!row)
                    return std::optional<QString>();
                return std::optional<QString>(row->value(QStringLiteral("token")).toString());
            });
    };
    client.storeSyncToken = [database](const QString &calendarId, const QString &token) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.save(tokenTable, QStringLiteral("calendarId"),
                {{QStringLiteral("calendarId"), calendarId}, {QStringLiteral("token"), token}});
        });
    };
    client.deleteSyncToken = [database](const QString &calendarId) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.deleteWhere(tokenTable, QStringLiteral("calendarId"), calendarId);
        });
    };
    client.deleteAllSyncTokens = [database] {
        return database->dbWriter().write([](SqliteConnection &connection) {
            return connection.run(QStringLiteral("DELETE FROM ") + quotedIdentifier(tokenTable));
        });
    };
    client.storePendingCopy = [database](const PendingCopy &pending) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.save(
                journalTable, QStringLiteral("googleEventId"), pendingRow(pending));
        });
    };
    client.pendingCopies = [database] {
        return readRows(
            database,
            [](SqliteConnection &connection) { return connection.fetchAll(journalTable); },
            pendingFromRow);
    };
    client.deletePendingCopy = [database](const QString &googleEventId) {
        return database->dbWriter().write([&](SqliteConnection &connection) {
            return connection.deleteWhere(
                journalTable, QStringLiteral("googleEventId"), googleEventId);
        });
    };
    client.storeReminderMark = [database](const ReminderMark &mark, const QDateTime &now) {
        return database->dbWriter().write([&](SqliteConnection &connection) -> VoidResult {
            TRY(connection.run(QStringLiteral("DELETE FROM %1 WHERE \"keepUntil\" < ?")
                                   .arg(quotedIdentifier(markTable)),
                {now}));
            return connection.run(QStringLiteral("INSERT OR REPLACE INTO %1 "
                                                 "(\"eventId\", \"reminderAt\", \"keepUntil\") "
                                                 "VALUES (?, ?, ?)")
                                      .arg(quotedIdentifier(markTable)),
                {mark.eventId, mark.reminderAt, mark.keepUntil});
        });
    };
    client.hasReminderMark = [database](const QString &eventId, const QDateTime &reminderAt) {
        return database->dbWriter().read([&](SqliteConnection &connection) -> Result<bool> {
            TRY_ASSIGN(const QList<SqlRow> rows,
                connection.query(QStringLiteral("SELECT 1 FROM %1 WHERE \"eventId\" = ? AND "
                                                "\"reminderAt\" = ?")
                                     .arg(quotedIdentifier(markTable)),
                    {eventId, reminderAt}));
            return !rows.isEmpty();
        });
    };
    return client;
}

DatabaseClient DatabaseClient::liveValue()
{
    return over(AppDatabase::shared());
}

DatabaseClient DatabaseClient::testValue()
{
    static QTemporaryDir folder;
    static const std::shared_ptr<AppDatabase> database = [] {
        auto opened = AppDatabase::open(QDir(folder.path()).filePath(QStringLiteral("db.sqlite")));
        if (!opened)
            qFatal(
                "The test database cannot be opened: %s", qUtf8Printable(opened.error().message));
        return *opened;
    }();
    return over(database);
}

} // namespace tolvo
