#include "services/DatabaseClient.h"
#include "platform/SqliteMigrator.h"
#include "services/AppDatabase.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

#include <QFile>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <bit>
#include <ctime>

using namespace tolvo;

namespace {
const char *helperPathVariable = "TOLVO_DATABASE_HELPER_PATH";

// Opens the database at the given path, which must stop the process.
const test::ChildRole openOrStop("openOrStop", [] {
    AppDatabase::openOrStop(qEnvironmentVariable(helperPathVariable));
    qCritical("the process should have stopped");
    return 0;
});

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
            (QStringList {QStringLiteral("v1"), QStringLiteral("v2")}));
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

    void aDatabaseThatCannotBeOpenedStopsTheProcessNamingPathAndCause_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("cause");

        QDir(m_dir.path()).mkpath(QStringLiteral("garbage/Tolvo"));
        const QString garbage = m_dir.filePath(QStringLiteral("garbage/Tolvo/db.sqlite"));
        QFile file(garbage);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
        file.close();
        QTest::newRow("not a database") << garbage << QStringLiteral("file is not a database");

        // A plain file where the folder should be.
        QFile blocker(m_dir.filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QTest::newRow("folder cannot be made")
            << m_dir.filePath(QStringLiteral("blocked/Tolvo/db.sqlite"))
            << QStringLiteral("could not be created");
    }

    void aDatabaseThatCannotBeOpenedStopsTheProcessNamingPathAndCause()
    {
        QFETCH(QString, path);
        QFETCH(QString, cause);
        QProcess helper;
        QProcessEnvironment environment;
        environment.insert(QString::fromLatin1(helperPathVariable), path);
        test::startChild(helper, "openOrStop", environment);
        QVERIFY(helper.waitForFinished(30000));
        QCOMPARE(helper.exitStatus(), QProcess::CrashExit);
        const QString output
            = QString::fromUtf8(helper.readAllStandardError() + helper.readAllStandardOutput());
        QVERIFY2(output.contains(path), qPrintable(output));
        QVERIFY2(output.contains(cause), qPrintable(output));
    }
};

TOLVO_TEST_MAIN(DatabaseClientTest)
#include "DatabaseClientTest.moc"
