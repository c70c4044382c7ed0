#include "platform/SqlitePool.h"
#include "platform/SqliteMigrator.h"
#include "support/TestMain.h"

#include <QProcess>
#include <QTemporaryDir>

#include <atomic>
#include <bit>
#include <thread>
#include <vector>

using namespace tolvo;

namespace {
const char *helperPathVariable = "TOLVO_SQLITE_HELPER_PATH";

VoidResult createItems(SqliteConnection &connection)
{
    return connection.execute(
        QStringLiteral("CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT UNIQUE, "
                       "amount DOUBLE, seen DATE, payload BLOB)"));
}

std::shared_ptr<SqlitePool> openItems(const QString &path)
{
    auto pool = SqlitePool::open(path);
    if (!pool)
        qFatal("%s", qUtf8Printable(pool.error().describe()));
    SqliteMigrator migrator;
    migrator.registerMigration(QStringLiteral("items"), createItems);
    if (auto migrated = migrator.migrate(**pool); !migrated)
        qFatal("%s", qUtf8Printable(migrated.error().describe()));
    return *pool;
}

// Dies in the middle of a write.
const test::ChildRole killedWriter("killedWriter", [] {
    auto pool = openItems(qEnvironmentVariable(helperPathVariable));
    pool->write([](SqliteConnection &connection) -> VoidResult {
        for (int i = 0; i < 1000; ++i) {
            TRY(connection.insert(QStringLiteral("items"),
                {{QStringLiteral("name"), QStringLiteral("lost %1").arg(i)},
                    {QStringLiteral("payload"), QByteArray(4096, 'x')}}));
        }
        std::abort();
    });
    return 1;
});

Result<qint64> countItems(SqliteConnection &connection)
{
    TRY_ASSIGN(
        const auto rows, connection.query(QStringLiteral("SELECT count(*) AS n FROM items")));
    return rows.first().value(QStringLiteral("n")).toLongLong();
}

// -1 when the read failed, so a failure shows in the comparison.
int itemCount(SqlitePool &pool)
{
    auto count = pool.read(countItems);
    return count ? static_cast<int>(*count) : -1;
}
} // namespace

class SqlitePoolTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void valuesRoundTripByColumnName()
    {
        auto pool = openItems(path(QStringLiteral("values.sqlite")));
        const double amount = 1741000000123.4567;
        const QDateTime seen(QDate(2025, 3, 3), QTime(9, 15, 30, 250), Qt::UTC);
        const QByteArray payload("\0\1binary", 8);
        auto inserted = pool->write([&](SqliteConnection &connection) {
            return connection.insert(QStringLiteral("items"),
                {{QStringLiteral("name"), QStringLiteral("a \"quoted\"; DROP TABLE items")},
                    {QStringLiteral("amount"), amount}, {QStringLiteral("seen"), seen},
                    {QStringLiteral("payload"), payload}});
        });
        QVERIFY(inserted);

        auto row = pool->read([&](SqliteConnection &connection) {
            return connection.fetchOne(QStringLiteral("items"), QStringLiteral("id"), *inserted);
        });
        QVERIFY(row && *row);
        const SqlRow values = **row;
        QCOMPARE(values.value(QStringLiteral("name")).toString(),
            QStringLiteral("a \"quoted\"; DROP TABLE items"));
        QCOMPARE(std::bit_cast<quint64>(values.value(QStringLiteral("amount")).toDouble()),
            std::bit_cast<quint64>(amount));
        QCOMPARE(values.value(QStringLiteral("seen")).toString(),
            QStringLiteral("2025-03-03 09:15:30.250"));
        QCOMPARE(sqliteDateFromText(values.value(QStringLiteral("seen")).toString()), seen);
        QCOMPARE(values.value(QStringLiteral("payload")).toByteArray(), payload);

        // save() updates by key, then inserts when the key is new.
        SqlRow changed = values;
        changed[QStringLiteral("amount")] = 2.5;
        QVERIFY(pool->write([&](SqliteConnection &connection) {
            return connection.save(QStringLiteral("items"), QStringLiteral("id"), changed);
        }));
        auto all = pool->read([](SqliteConnection &connection) {
            return connection.fetchAll(QStringLiteral("items"));
        });
        QVERIFY(all);
        QCOMPARE(all->size(), 1);
        QCOMPARE(all->first().value(QStringLiteral("amount")).toDouble(), 2.5);
    }

    void failedWorkRollsBack()
    {
        auto pool = openItems(path(QStringLiteral("rollback.sqlite")));
        auto result = pool->write([](SqliteConnection &connection) -> VoidResult {
            TRY(connection.insert(
                QStringLiteral("items"), {{QStringLiteral("name"), QStringLiteral("one")}}));
            // The second insert breaks the UNIQUE constraint: the first must go too.
            TRY(connection.insert(
                QStringLiteral("items"), {{QStringLiteral("name"), QStringLiteral("one")}}));
            return {};
        });
        QVERIFY(!result);
        QVERIFY(result.error().domain == ErrorDomain::database);
        QCOMPARE(result.error().code, 2067); // SQLITE_CONSTRAINT_UNIQUE
        QVERIFY(result.error().message.contains(QStringLiteral("UNIQUE")));
        QCOMPARE(itemCount(*pool), 0);
        // The writer is usable afterwards.
        QVERIFY(pool->write([](SqliteConnection &connection) {
            return connection.insert(
                QStringLiteral("items"), {{QStringLiteral("name"), QStringLiteral("one")}});
        }));
        QCOMPARE(itemCount(*pool), 1);
    }

    void migrationsRunOnceAndFailuresLeaveNothing()
    {
        const QString file = path(QStringLiteral("migrations.sqlite"));
        int runs = 0;
        const auto counted = [&runs](SqliteConnection &connection) {
            ++runs;
            return createItems(connection);
        };
        for (int open = 0; open < 2; ++open) {
            auto pool = SqlitePool::open(file);
            QVERIFY(pool);
            SqliteMigrator migrator;
            migrator.registerMigration(QStringLiteral("v1"), counted);
            QVERIFY(migrator.migrate(**pool));
        }
        QCOMPARE(runs, 1);

        auto pool = SqlitePool::open(file);
        QVERIFY(pool);
        SqliteMigrator migrator;
        migrator.registerMigration(QStringLiteral("v1"), counted);
        migrator.registerMigration(
            QStringLiteral("v2"), [](SqliteConnection &connection) -> VoidResult {
                TRY(connection.execute(QStringLiteral("CREATE TABLE extra (x TEXT)")));
                return connection.execute(QStringLiteral("CREATE TABLE items (x TEXT)")); // exists
            });
        auto migrated = migrator.migrate(**pool);
        QVERIFY(!migrated);
        QVERIFY(migrated.error().message.contains(QStringLiteral("\"v2\"")));
        QCOMPARE(SqliteMigrator::appliedIdentifiers(**pool), QStringList {QStringLiteral("v1")});
        auto extra = (*pool)->read([](SqliteConnection &connection) {
            return connection.query(
                QStringLiteral("SELECT name FROM sqlite_master WHERE name = 'extra'"));
        });
        QVERIFY(extra);
        QVERIFY(extra->isEmpty());
    }

    void readersSeeCommittedStateDuringAWrite()
    {
        auto pool = openItems(path(QStringLiteral("snapshot.sqlite")));
        QVERIFY(pool->write([](SqliteConnection &connection) {
            return connection.insert(
                QStringLiteral("items"), {{QStringLiteral("name"), QStringLiteral("before")}});
        }));
        Result<qint64> seenDuringWrite = 0;
        QVERIFY(pool->write([&](SqliteConnection &connection) -> VoidResult {
            TRY(connection.insert(
                QStringLiteral("items"), {{QStringLiteral("name"), QStringLiteral("during")}}));
            seenDuringWrite = pool->read(countItems);
            return {};
        }));
        QVERIFY(seenDuringWrite);
        QCOMPARE(*seenDuringWrite, 1);
        QCOMPARE(itemCount(*pool), 2);
    }

    void concurrentReadsWhileWriting()
    {
        auto pool = openItems(path(QStringLiteral("concurrent.sqlite")));
        constexpr int writes = 300;
        std::atomic<bool> done = false;
        std::atomic<int> readFailures = 0;
        std::atomic<int> wentBackwards = 0;
        std::atomic<int> reads = 0;

        std::vector<std::thread> readers;
        for (int r = 0; r < 3; ++r) {
            readers.emplace_back([&] {
                qint64 last = 0;
                while (!done) {
                    auto count = pool->read(countItems);
                    if (!count) {
                        ++readFailures;
                        continue;
                    }
                    if (*count < last)
                        ++wentBackwards;
                    last = *count;
                    ++reads;
                }
            });
        }
        std::thread writer([&] {
            for (int i = 0; i < writes; ++i) {
                auto written = pool->write([i](SqliteConnection &connection) {
                    return connection.insert(
                        QStringLiteral("items"), {{QStringLiteral("name"), QString::number(i)}});
                });
                if (!written)
                    qWarning("%s", qUtf8Printable(written.error().describe()));
            }
            done = true;
        });
        writer.join();
        for (auto &reader : readers)
            reader.join();

        QCOMPARE(readFailures.load(), 0);
        QCOMPARE(wentBackwards.load(), 0);
        QVERIFY(reads.load() > 0);
        QCOMPARE(itemCount(*pool), writes);
    }

    void aKilledWriteLeavesThePreviousState()
    {
        const QString file = path(QStringLiteral("killed.sqlite"));
        {
            auto pool = openItems(file);
            QVERIFY(pool->write([](SqliteConnection &connection) {
                return connection.insert(
                    QStringLiteral("items"), {{QStringLiteral("name"), QStringLiteral("kept")}});
            }));
        }
        QProcess helper;
        QProcessEnvironment environment;
        environment.insert(QString::fromLatin1(helperPathVariable), file);
        test::startChild(helper, "killedWriter", environment);
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);

        auto pool = openItems(file);
        QCOMPARE(itemCount(*pool), 1);
        auto check = pool->read([](SqliteConnection &connection) {
            return connection.query(QStringLiteral("PRAGMA integrity_check"));
        });
        QVERIFY(check);
        QCOMPARE(check->first().value(QStringLiteral("integrity_check")).toString(),
            QStringLiteral("ok"));
    }
};

TOLVO_TEST_MAIN(SqlitePoolTest)
#include "SqlitePoolTest.moc"
