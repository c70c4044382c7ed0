#include "services/DatabaseClient.h"
#include "platform/SqliteMigrator.h"
#include "platform/SqlitePool.h"
#include "services/AppDatabase.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <bit>
#include <ctime>

using namespace tolvo;

namespace {
CalendarChannel channel(const QString &calendarId, const QString &channelId, double expiration)
{
    return CalendarChannel {
        calendarId, expiration, QStringLiteral("resource-") + channelId, channelId};
}
} // namespace

class DatabaseClientTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    test::FakeClock m_clock;
    int m_files = 0;

    // A fresh database file per test, under a folder that does not exist yet.
    QString freshPath()
    {
        return m_dir.filePath(QStringLiteral("app%1/Tolvo/db.sqlite").arg(++m_files));
    }
    DatabaseClient open(const QString &path)
    {
        auto database = AppDatabase::open(path);
        if (!database)
            qFatal("%s", qUtf8Printable(database.error().describe()));
        return DatabaseClient::over(*database, m_clock.clock());
    }

private slots:
    void firstStartCreatesTheFileAndSecondStartMigratesNothing()
    {
        const QString path = freshPath();
        {
            DatabaseClient client = open(path);
            QVERIFY(QFile::exists(path));
            QVERIFY(client.storeCalendarChannel(
                channel(QStringLiteral("work"), QStringLiteral("c1"), 1.5)));
        }
        // The second open would fail on "CREATE TABLE" if v1 ran again.
        auto database = AppDatabase::open(path);
        QVERIFY2(database, database ? "" : qPrintable(database.error().describe()));
        QCOMPARE(SqliteMigrator::appliedIdentifiers((*database)->dbWriter()),
            (QStringList {QStringLiteral("v1"), QStringLiteral("v2"), QStringLiteral("v3")}));
        const auto channels = DatabaseClient::over(*database).calendarChannels();
        QVERIFY(channels);
        QCOMPARE(channels->size(), 1);
        QCOMPARE(channels->first().channelId, QStringLiteral("c1"));
    }

    void channelsAreUpsertedByCalendarIdAndKeepTheirExpirationExactly()
    {
        DatabaseClient client = open(freshPath());
        auto empty = client.calendarChannels();
        QVERIFY(empty);
        QVERIFY(empty->isEmpty());

        const double expiration = 1741000000123.0 + 1.0 / 3.0;
        QVERIFY(client.storeCalendarChannel(
            channel(QStringLiteral("work"), QStringLiteral("first"), 1.0)));
        QVERIFY(client.storeCalendarChannel(
            channel(QStringLiteral("work"), QStringLiteral("second"), expiration)));
        QVERIFY(client.storeCalendarChannel(
            channel(QStringLiteral("home"), QStringLiteral("third"), 2.0)));

        auto channels = client.calendarChannels();
        QVERIFY(channels);
        QCOMPARE(channels->size(), 2);
        const auto work = std::find_if(channels->cbegin(), channels->cend(),
            [](const CalendarChannel &c) { return c.calendarId == QStringLiteral("work"); });
        QVERIFY(work != channels->cend());
        QCOMPARE(*work, channel(QStringLiteral("work"), QStringLiteral("second"), expiration));
        QCOMPARE(std::bit_cast<quint64>(work->expiration), std::bit_cast<quint64>(expiration));

        QVERIFY(client.deleteCalendarChannelByCalendarId(QStringLiteral("work")));
        QVERIFY(client.deleteCalendarChannelByCalendarId(QStringLiteral("never stored")));
        channels = client.calendarChannels();
        QVERIFY(channels);
        QCOMPARE(channels->size(), 1);
        QCOMPARE(channels->first().calendarId, QStringLiteral("home"));
    }

    void savingAMappingTwiceKeepsItsIdAndMovesItsDate()
    {
        DatabaseClient client = open(freshPath());
        auto absent = client.retrieveEventMapping(QStringLiteral("g1"));
        QVERIFY(absent);
        QVERIFY(!*absent);

        QVERIFY(client.saveEventMapping(QStringLiteral("local-a"), QStringLiteral("g1")));
        const auto first = client.retrieveEventMapping(QStringLiteral("g1"));
        QVERIFY(first && *first);
        QVERIFY((*first)->id.has_value());
        QCOMPARE((*first)->ekEventIdentifier, QStringLiteral("local-a"));
        QCOMPARE((*first)->lastSynchronizedDate, m_clock.now());

        m_clock.advanceMs(1500);
        QVERIFY(client.saveEventMapping(QStringLiteral("local-b"), QStringLiteral("g1")));
        const auto second = client.retrieveEventMapping(QStringLiteral("g1"));
        QVERIFY(second && *second);
        QCOMPARE((*second)->id, (*first)->id);
        QCOMPARE((*second)->ekEventIdentifier, QStringLiteral("local-b"));
        QCOMPARE((*second)->googleEventId, QStringLiteral("g1"));
        QCOMPARE((*second)->lastSynchronizedDate, m_clock.now());

        QVERIFY(client.deleteEventMapping(QStringLiteral("g1")));
        QVERIFY(client.deleteEventMapping(QStringLiteral("g1")));
        const auto gone = client.retrieveEventMapping(QStringLiteral("g1"));
        QVERIFY(gone);
        QVERIFY(!*gone);
    }

    void datesAtDaylightSavingGapsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("moment");
        QTest::newRow("New York") << QByteArray("America/New_York")
                                  << QDateTime(QDate(2025, 3, 9), QTime(2, 30), Qt::UTC);
        QTest::newRow("Berlin") << QByteArray("Europe/Berlin")
                                << QDateTime(QDate(2025, 3, 30), QTime(2, 30), Qt::UTC);
    }
    void datesAtDaylightSavingGapsRoundTrip()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, moment);
        // The stored text of such an instant names a local time that does not exist in the
        // machine's zone; read as UTC it is an ordinary time.
        const QByteArray previous = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        const auto restore = qScopeGuard([&] {
            qputenv("TZ", previous);
            tzset();
        });
        QVERIFY(!QDateTime(moment.date(), moment.time(), Qt::LocalTime).isValid());

        DatabaseClient client = open(freshPath());
        m_clock.set(moment);
        QVERIFY(client.saveEventMapping(QStringLiteral("local-a"), QStringLiteral("g1")));
        const auto read = client.retrieveEventMapping(QStringLiteral("g1"));
        QVERIFY2(read, read ? "" : qPrintable(read.error().describe()));
        QVERIFY(*read);
        QCOMPARE((*read)->lastSynchronizedDate, moment);
        m_clock.advanceMs(1);
        QVERIFY(client.saveEventMapping(QStringLiteral("local-b"), QStringLiteral("g1")));
        QCOMPARE((*client.retrieveEventMapping(QStringLiteral("g1")))->ekEventIdentifier,
            QStringLiteral("local-b"));
        QCOMPARE(sqliteDateFromText(sqliteDateText(moment)), std::optional<QDateTime>(moment));
    }

    void syncTokensAndPendingCopiesAreKeptPerKey()
    {
        DatabaseClient client = open(freshPath());
        QCOMPARE(client.syncToken(QStringLiteral("a")).value(), std::optional<QString>());
        QVERIFY(client.storeSyncToken(QStringLiteral("a"), QStringLiteral("t1")));
        QVERIFY(client.storeSyncToken(QStringLiteral("a"), QStringLiteral("t2")));
        QVERIFY(client.storeSyncToken(QStringLiteral("b"), QStringLiteral("u1")));
        QCOMPARE(client.syncToken(QStringLiteral("a")).value(), std::optional<QString>("t2"));
        QVERIFY(client.deleteSyncToken(QStringLiteral("a")));
        QCOMPARE(client.syncToken(QStringLiteral("a")).value(), std::optional<QString>());
        QCOMPARE(client.syncToken(QStringLiteral("b")).value(), std::optional<QString>("u1"));
        QVERIFY(client.deleteAllSyncTokens());
        QCOMPARE(client.syncToken(QStringLiteral("b")).value(), std::optional<QString>());

        PendingCopy pending {QStringLiteral("g1"), QStringLiteral("cal"),
            QJsonObject {{"id", "g1"}}, 1, m_clock.now().addSecs(30)};
        QVERIFY(client.storePendingCopy(pending));
        pending.attempts = 2;
        QVERIFY(client.storePendingCopy(pending));
        QCOMPARE(client.pendingCopies().value(), QList<PendingCopy> {pending});
        QVERIFY(client.deletePendingCopy(QStringLiteral("g1")));
        QVERIFY(client.pendingCopies().value().isEmpty());
    }

    void reminderMarksAreKeptPerMomentUntilTheirEventEnds()
    {
        DatabaseClient client = open(freshPath());
        const QDateTime now = m_clock.now();
        const QDateTime reminderAt = now.addSecs(-600);
        QVERIFY(
            client.storeReminderMark({QStringLiteral("e"), reminderAt, now.addSecs(3600)}, now));
        QVERIFY(
            client.storeReminderMark({QStringLiteral("e"), reminderAt, now.addSecs(3600)}, now));
        QVERIFY(client.storeReminderMark({QStringLiteral("f"), reminderAt, now.addSecs(60)}, now));
        QCOMPARE(client.hasReminderMark(QStringLiteral("e"), reminderAt).value(), true);
        // Another moment of the same event (it moved) has no mark.
        QCOMPARE(
            client.hasReminderMark(QStringLiteral("e"), reminderAt.addSecs(300)).value(), false);

        // Once "f" has ended, the next mark stored forgets it; "e" has not ended yet.
        const QDateTime later = now.addSecs(120);
        QVERIFY(client.storeReminderMark(
            {QStringLiteral("g"), later.addSecs(-60), later.addSecs(600)}, later));
        QCOMPARE(client.hasReminderMark(QStringLiteral("f"), reminderAt).value(), false);
        QCOMPARE(client.hasReminderMark(QStringLiteral("e"), reminderAt).value(), true);
        QCOMPARE(client.hasReminderMark(QStringLiteral("g"), later.addSecs(-60)).value(), true);
    }

    void aLocalEventNamedTwiceFailsWithTheUniqueViolation()
    {
        DatabaseClient client = open(freshPath());
        QVERIFY(client.saveEventMapping(QStringLiteral("local-a"), QStringLiteral("g1")));
        const auto clash = client.saveEventMapping(QStringLiteral("local-a"), QStringLiteral("g2"));
        QVERIFY(!clash);
        QVERIFY(clash.error().domain == ErrorDomain::database);
        QCOMPARE(clash.error().code, 2067); // SQLITE_CONSTRAINT_UNIQUE
        QVERIFY(clash.error().message.contains(QStringLiteral("ekEventIdentifier")));
        const auto g2 = client.retrieveEventMapping(QStringLiteral("g2"));
        QVERIFY(g2);
        QVERIFY(!*g2);
    }

    // A file that cannot be used never keeps the application from starting: a damaged one is
    // kept aside, time-stamped, with its log files, and a new database starts in its place;
    // where none can be made, a temporary one serves.
    void anUnusableFileNeverStopsTheApplication_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("setAside");
        QTest::addColumn<bool>("temporary");
        QTest::addColumn<QString>("cause");

        const auto write = [](const QString &path, const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };

        QString path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        write(path, QByteArray(8192, 'x'));
        write(path + QStringLiteral("-wal"), QByteArray(64, 'w'));
        write(path + QStringLiteral("-shm"), QByteArray(64, 's'));
        QTest::newRow("not a database") << path << true << false << "file is not a database";

        // Real data with pages overwritten in the middle: it opens and migrates, and only the
        // structural check finds the damage.
        path = freshPath();
        {
            DatabaseClient client = open(path);
            for (int i = 0; i < 400; ++i)
                QVERIFY(client.saveEventMapping(QStringLiteral("local-%1-").arg(i).repeated(8),
                    QStringLiteral("google-%1").arg(i)));
        }
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.size() > 8 * 4096);
            file.seek(5 * 4096);
            file.write(QByteArray(3 * 4096, char(0xA5)));
        }
        QTest::newRow("damaged pages") << path << true << false << "";

        // A database of another program, or of a schema the bookkeeping does not describe.
        path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        {
            auto pool = SqlitePool::open(path);
            QVERIFY(pool);
            QVERIFY((*pool)->write([](SqliteConnection &connection) {
                return connection.execute(
                    QStringLiteral("CREATE TABLE \"calendarChannel\" (x TEXT)"));
            }));
        }
        QTest::newRow("another schema") << path << true << false << "already exists";

        // A plain file where the folder should be: nothing to move, nowhere to start anew.
        QFile blocker(m_dir.filePath(QStringLiteral("blocked%1").arg(++m_files)));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTest::newRow("folder cannot be made")
            << QDir(blocker.fileName()).filePath(QStringLiteral("Tolvo/db.sqlite")) << false << true
            << "could not be created";

        path = freshPath();
        QDir().mkpath(QFileInfo(path).path());
        write(path, QByteArray());
        QTest::newRow("empty file is a new database") << path << false << false << "";
    }

    void anUnusableFileNeverStopsTheApplication()
    {
        QFETCH(QString, path);
        QFETCH(bool, setAside);
        QFETCH(bool, temporary);
        QFETCH(QString, cause);
        QFile original(path);
        const QByteArray bytes
            = original.open(QIODevice::ReadOnly) ? original.readAll() : QByteArray();
        original.close();
        QFile wal(path + QStringLiteral("-wal"));
        const QByteArray walBytes = wal.open(QIODevice::ReadOnly) ? wal.readAll() : QByteArray();
        wal.close();
        const QDateTime now(QDate(2026, 12, 11), QTime(9, 30), Qt::UTC);

        auto opened = AppDatabase::openRecovering(path, now);
        QVERIFY2(opened, opened ? "" : qPrintable(opened.error().describe()));
        // Whatever happened, the application has a working database.
        DatabaseClient client = DatabaseClient::over(opened->database, m_clock.clock());
        QVERIFY(
            client.storeCalendarChannel(channel(QStringLiteral("work"), QStringLiteral("c1"), 1)));
        QCOMPARE(client.calendarChannels()->size(), 1);

        QCOMPARE(opened->recovery.has_value(), setAside || temporary);
        if (!opened->recovery)
            return;
        const DatabaseRecovery &recovery = *opened->recovery;
        QCOMPARE(recovery.temporary, temporary);
        QVERIFY2(recovery.cause.message.contains(cause), qPrintable(recovery.cause.message));
        QVERIFY(!recovery.userMessage().isEmpty());
        if (temporary) {
            QVERIFY(recovery.setAsidePath.isEmpty());
            QVERIFY(
                QFileInfo(opened->database->dbWriter().path()).path() != QFileInfo(path).path());
            return;
        }
        // Kept beside the new file, byte for byte, its log files under the same new name.
        QCOMPARE(recovery.setAsidePath,
            QFileInfo(path).dir().filePath(QStringLiteral("db.damaged-20261211T093000Z.sqlite")));
        QFile kept(recovery.setAsidePath);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        // SQLite drops a log it cannot use: the copy taken before opening is what is kept.
        QFile keptWal(recovery.setAsidePath + QStringLiteral("-wal"));
        QCOMPARE(keptWal.open(QIODevice::ReadOnly) ? keptWal.readAll() : QByteArray(), walBytes);
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal.kept")));
        QVERIFY(recovery.userMessage().contains(recovery.setAsidePath));
        QCOMPARE(opened->database->dbWriter().path(), path);

        // Set aside again in the same second, the first copy stays and the second gets a number.
        opened.value().database.reset();
        client = {};
        QFile again(path);
        QVERIFY(again.open(QIODevice::WriteOnly));
        again.write(QByteArray(8192, 'y'));
        again.close();
        const auto second = AppDatabase::openRecovering(path, now);
        QVERIFY(second && second->recovery);
        QCOMPARE(second->recovery->setAsidePath,
            QFileInfo(path).dir().filePath(QStringLiteral("db.damaged-20261211T093000Z-2.sqlite")));
        QVERIFY(QFile::exists(recovery.setAsidePath));
    }
};

TOLVO_TEST_MAIN(DatabaseClientTest)
#include "DatabaseClientTest.moc"
