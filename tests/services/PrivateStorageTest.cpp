#include "support/TestMain.h"

#include "platform/LocalCalendarStore.h"
#include "services/AppDatabase.h"
#include "services/UserDefaultsClient.h"

#include <QTemporaryDir>

#include <sys/stat.h>

using namespace tolvo;

namespace {
enum class Storage { database, settings, localCalendar };

// Permission bits of a path, or -1 when it is missing.
int modeOf(const QString &path)
{
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

void writeFile(const QString &path, const QByteArray &bytes, int mode)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}
} // namespace

Q_DECLARE_METATYPE(Storage)

using Modes = QMap<QString, int>; // relative path -> permission bits

// The database, the settings and the local calendar are the user's alone: files 0600 and
// folders 0700 when Tolvo makes them, and the database and settings files tightened when an
// older version left them readable. The umask is the common permissive one, so that nothing
// here passes only because the machine's umask is strict.
class PrivateStorageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_umask = ::umask(022); }
    void cleanupTestCase() { ::umask(m_umask); }

    void filesAndFoldersArePrivate_data()
    {
        QTest::addColumn<Storage>("storage");
        QTest::addColumn<Modes>("existing"); // files there before, with their mode
        QTest::addColumn<Modes>("expected"); // modes afterwards

        QTest::addRow("database made in new folders")
            << Storage::database << Modes()
            << Modes {{"data", 0700}, {"data/Tolvo", 0700}, {"data/Tolvo/db.sqlite", 0600},
                   {"data/Tolvo/db.sqlite-wal", 0600}, {"data/Tolvo/db.sqlite-shm", 0600}};
        QTest::addRow("database left readable to all")
            << Storage::database
            << Modes {{"data/Tolvo/db.sqlite", 0644}, {"data/Tolvo/db.sqlite-shm", 0644}}
            << Modes {{"data/Tolvo/db.sqlite", 0600}, {"data/Tolvo/db.sqlite-wal", 0600},
                   {"data/Tolvo/db.sqlite-shm", 0600}};
        QTest::addRow("settings made in new folders")
            << Storage::settings << Modes()
            << Modes {{"config", 0700}, {"config/Tolvo", 0700},
                   {"config/Tolvo/app.tolvo.plist", 0600}};
        QTest::addRow("settings left readable to all")
            << Storage::settings << Modes {{"config/Tolvo/app.tolvo.plist", 0644}}
            << Modes {{"config/Tolvo/app.tolvo.plist", 0600}};
        QTest::addRow("settings left group-writable")
            << Storage::settings << Modes {{"config/Tolvo/app.tolvo.plist", 0664}}
            << Modes {{"config/Tolvo/app.tolvo.plist", 0600}};
        QTest::addRow("local calendar made in new folders")
            << Storage::localCalendar << Modes()
            << Modes {{"data", 0700}, {"data/Tolvo", 0700}, {"data/Tolvo/calendars", 0700},
                   {"<calendar>", 0700}, {"<calendar>/displayname", 0600},
                   {"<calendar>/color", 0600}, {"<calendar>/source", 0600},
                   {"<calendar>/copy-1.ics", 0600}};
    }

    void filesAndFoldersArePrivate()
    {
        QFETCH(Storage, storage);
        QFETCH(Modes, existing);
        QFETCH(Modes, expected);
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QDir root(home.path());
        for (auto file = existing.cbegin(); file != existing.cend(); ++file)
            writeFile(root.filePath(file.key()), QByteArray(), file.value());

        std::shared_ptr<AppDatabase> database; // open while its companions are looked at
        QString calendarFolder;
        switch (storage) {
        case Storage::database: {
            auto opened = AppDatabase::open(root.filePath(QStringLiteral("data/Tolvo/db.sqlite")));
            QVERIFY2(opened, qPrintable(opened ? QString() : opened.error().describe()));
            database = *opened;
            break;
        }
        case Storage::settings: {
            const auto settings = UserDefaultsClient::atPath(
                root.filePath(QStringLiteral("config/Tolvo/app.tolvo.plist")), {});
            // A file found looser is tightened before anything is written to it.
            if (existing.isEmpty())
                QVERIFY(settings.setBool(true, QStringLiteral("deleteEventOnEnded")));
            else
                QVERIFY(!settings.boolValue(QStringLiteral("deleteEventOnEnded")));
            break;
        }
        case Storage::localCalendar: {
            LocalCalendarStore store(root.filePath(QStringLiteral("data/Tolvo/calendars")));
            QCOMPARE(store.calendars().size(), 1);
            calendarFolder
                = QStringLiteral("data/Tolvo/calendars/") + store.calendars().first().identifier;
            LocalEvent event;
            event.identifier = QStringLiteral("copy-1");
            event.calendarId = store.calendars().first().identifier;
            event.title = QStringLiteral("Standup");
            event.start = QDateTime(QDate(2026, 12, 11), QTime(9, 0), QTimeZone::utc());
            event.end = event.start.addSecs(900);
            const auto saved = store.save(event);
            QVERIFY2(saved, qPrintable(saved ? QString() : saved.error().describe()));
            break;
        }
        }

        for (auto entry = expected.cbegin(); entry != expected.cend(); ++entry) {
            QString path = entry.key();
            path.replace(QStringLiteral("<calendar>"), calendarFolder);
            QCOMPARE(QStringLiteral("%1 %2").arg(path).arg(modeOf(root.filePath(path)), 0, 8),
                QStringLiteral("%1 %2").arg(path).arg(entry.value(), 0, 8));
        }
    }

    // A replaced event file keeps the mode its owner gave it: the store makes new files
    // private, it does not take over files other tools share.
    void aReplacedCalendarFileKeepsItsMode()
    {
        QTemporaryDir home;
        LocalCalendarStore store(QDir(home.path()).filePath(QStringLiteral("calendars")));
        LocalEvent event;
        event.identifier = QStringLiteral("shared");
        event.calendarId = store.calendars().first().identifier;
        event.title = QStringLiteral("Review");
        event.start = QDateTime(QDate(2026, 12, 11), QTime(9, 0), QTimeZone::utc());
        event.end = event.start.addSecs(900);
        QVERIFY(store.save(event));
        const QString path
            = QDir(store.root()).filePath(event.calendarId + QStringLiteral("/shared.ics"));
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);
        event.title = QStringLiteral("Review, moved");
        QVERIFY(store.save(event));
        QCOMPARE(modeOf(path), 0644);
    }

private:
    mode_t m_umask = 022;
};

TOLVO_TEST_MAIN(PrivateStorageTest)
#include "PrivateStorageTest.moc"
