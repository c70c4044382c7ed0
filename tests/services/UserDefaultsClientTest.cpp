#include "services/UserDefaultsClient.h"
#include "core/Dependencies.h"
#include "support/IssueRecorder.h"
#include "support/TestMain.h"

#include <QSettings>
#include <QTemporaryDir>

#include <csignal>
#include <limits>

#include <sys/resource.h>

using namespace tolvo;

namespace {
// A disk that takes no more than `bytes` per file for as long as it lives: writes past that
// fail (EFBIG) as on a full disk, and files already written stay as they are.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_signal = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_before);
        rlimit limited = m_before;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_before);
        std::signal(SIGXFSZ, m_signal);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_before {};
    void (*m_signal)(int) = nullptr;
};

QByteArray fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class UserDefaultsClientTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("app.tolvo.plist")); }

private slots:
    void init() { QFile::remove(path()); }

    void freshInstallReadsAsAbsent()
    {
        const auto defaults = UserDefaultsClient::atPath(path());
        QCOMPARE(defaults.boolValue(QStringLiteral("deleteEventOnEnded")), false);
        QVERIFY(!defaults.data(QStringLiteral("appleCalendarId")));
        QVERIFY(!defaults.string(QStringLiteral("appleCalendarId")));
        QCOMPARE(defaults.doubleValue(QStringLiteral("missing")), 0.0);
        QCOMPARE(defaults.integer(QStringLiteral("missing")), qint64(0));
    }

    void calendarIdIsStoredAsItsJsonLiteral()
    {
        const auto defaults = UserDefaultsClient::atPath(path());
        defaults.set(QJsonValue(QStringLiteral("abc")), QStringLiteral("appleCalendarId"));
        const auto bytes = defaults.data(QStringLiteral("appleCalendarId"));
        QVERIFY(bytes);
        QCOMPARE(*bytes, QByteArray("\"abc\""));
        QCOMPARE(decodeJsonString(*bytes), std::optional<QString>(QStringLiteral("abc")));
        // A data value never reads as text.
        QVERIFY(!defaults.string(QStringLiteral("appleCalendarId")));
        QCOMPARE(defaults.boolValue(QStringLiteral("appleCalendarId")), false);

        // Another handle (a later launch) reads the same bytes back.
        QCOMPARE(UserDefaultsClient::atPath(path()).data(QStringLiteral("appleCalendarId")), bytes);
        const QString tricky = QStringLiteral("id \"with\" quotes\\ and \u00e9");
        defaults.set(QJsonValue(tricky), QStringLiteral("appleCalendarId"));
        QCOMPARE(decodeJsonString(*defaults.data(QStringLiteral("appleCalendarId"))),
            std::optional<QString>(tricky));
    }

    void boolRoundTripAndRemove()
    {
        const auto defaults = UserDefaultsClient::atPath(path());
        defaults.setBool(true, QStringLiteral("deleteEventOnEnded"));
        QCOMPARE(defaults.boolValue(QStringLiteral("deleteEventOnEnded")), true);
        QVERIFY(!defaults.data(QStringLiteral("deleteEventOnEnded")));
        defaults.remove(QStringLiteral("deleteEventOnEnded"));
        QCOMPARE(defaults.boolValue(QStringLiteral("deleteEventOnEnded")), false);
    }

    void aWriteThatCannotBeSavedFailsAndIsLogged()
    {
        // A plain file where the settings' folder should be: nothing can be saved under it.
        QFile blocker(m_dir.filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QList<Error> logged;
        const auto defaults
            = UserDefaultsClient::atPath(m_dir.filePath(QStringLiteral("blocked/settings.ini")),
                [&logged](const Error &error) { logged.append(error); });
        const QList<VoidResult> writes {
            defaults.setBool(true, QStringLiteral("deleteEventOnEnded")),
            defaults.set(QJsonValue(QStringLiteral("abc")), QStringLiteral("appleCalendarId")),
        };
        for (const VoidResult &write : writes) {
            QVERIFY(!write);
            QVERIFY(write.error().domain == ErrorDomain::io);
            QVERIFY2(write.error().message.contains(QStringLiteral("blocked/settings.ini")),
                qPrintable(write.error().message));
        }
        QCOMPARE(logged.size(), 2);

        // A writable file reports nothing.
        logged.clear();
        QVERIFY(UserDefaultsClient::atPath(path(), [&logged](const Error &error) {
            logged.append(error);
        }).setBool(true, QStringLiteral("deleteEventOnEnded")));
        QVERIFY(logged.isEmpty());
    }

    // A value that could not be saved is gone: later reads do not see it and a later save of
    // another key does not write it behind the user's back.
    void aFailedWriteIsNotSavedLater_data()
    {
        QTest::addColumn<bool>("removing");
        QTest::newRow("set") << false;
        QTest::newRow("remove") << true;
    }
    void aFailedWriteIsNotSavedLater()
    {
        QFETCH(bool, removing);
        const QString key = QString::fromLatin1(UserDefaultsClient::deleteEventOnEndedKey);
        const QString other = QString::fromLatin1(UserDefaultsClient::appleCalendarIdKey);
        const auto defaults = UserDefaultsClient::atPath(path());
        QVERIFY(defaults.set(QJsonValue(QStringLiteral("abc")), other));
        QVERIFY(defaults.setBool(removing, key));
        const QByteArray saved = fileText(path());
        {
            const FileSizeLimit full(4);
            QVERIFY(!(removing ? defaults.remove(key) : defaults.setBool(true, key)));
        }
        QCOMPARE(fileText(path()), saved);
        QCOMPARE(defaults.boolValue(key), removing);
        QCOMPARE(UserDefaultsClient::atPath(path()).boolValue(key), removing);

        QVERIFY(defaults.set(QJsonValue(QStringLiteral("xyz")), other));
        const QByteArray after = fileText(path());
        QVERIFY2(after.contains(removing ? "deleteEventOnEnded=true" : "deleteEventOnEnded=false"),
            after.constData());
        QVERIFY2(after.contains("xyz"), after.constData());
    }

    void numbersAndTextCrossReads()
    {
        {
            QSettings settings(path(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("number"), 2.5);
            settings.setValue(QStringLiteral("text"), QStringLiteral("hello"));
        }
        const auto defaults = UserDefaultsClient::atPath(path());
        QCOMPARE(defaults.doubleValue(QStringLiteral("number")), 2.5);
        QCOMPARE(defaults.integer(QStringLiteral("number")), qint64(2));
        QCOMPARE(defaults.string(QStringLiteral("number")), std::optional<QString>("2.5"));
        QCOMPARE(defaults.string(QStringLiteral("text")), std::optional<QString>("hello"));
        QCOMPARE(defaults.doubleValue(QStringLiteral("text")), 0.0);
        QCOMPARE(defaults.boolValue(QStringLiteral("text")), false);
    }

    void outOfRangeNumbersReadAsAbsent_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<qint64>("integer");
        QTest::newRow("whole") << "9223372036854775807" << std::numeric_limits<qint64>::max();
        QTest::newRow("truncated") << "-2.9" << qint64(-2);
        QTest::newRow("huge") << "1e300" << qint64(0);
        QTest::newRow("just beyond") << "9223372036854775808.0" << qint64(0);
        QTest::newRow("negative huge") << "-1e300" << qint64(0);
        QTest::newRow("infinity") << "inf" << qint64(0);
        QTest::newRow("not a number") << "nan" << qint64(0);
    }
    void outOfRangeNumbersReadAsAbsent()
    {
        QFETCH(QString, stored);
        QFETCH(qint64, integer);
        {
            QSettings settings(path(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("n"), stored);
        }
        QCOMPARE(UserDefaultsClient::atPath(path()).integer(QStringLiteral("n")), integer);
    }

    void inMemoryValueReadsAsTheFileDoes()
    {
        const auto defaults = UserDefaultsClient::inMemory();
        QCOMPARE(defaults.boolValue(QStringLiteral("deleteEventOnEnded")), false);
        defaults.setBool(true, QStringLiteral("deleteEventOnEnded"));
        QCOMPARE(defaults.boolValue(QStringLiteral("deleteEventOnEnded")), true);
        QVERIFY(!defaults.data(QStringLiteral("deleteEventOnEnded")));
        defaults.set(QJsonValue(QStringLiteral("abc")), QStringLiteral("appleCalendarId"));
        QCOMPARE(
            defaults.data(QStringLiteral("appleCalendarId")), std::optional<QByteArray>("\"abc\""));
        QVERIFY(!defaults.string(QStringLiteral("appleCalendarId")));
        defaults.remove(QStringLiteral("appleCalendarId"));
        QVERIFY(!defaults.data(QStringLiteral("appleCalendarId")));
        // Copies share the values; another in-memory value does not.
        const UserDefaultsClient copy = defaults;
        QCOMPARE(copy.boolValue(QStringLiteral("deleteEventOnEnded")), true);
        QCOMPARE(
            UserDefaultsClient::inMemory().boolValue(QStringLiteral("deleteEventOnEnded")), false);
    }

    void jsonDecodingNeverMisreads_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("isString");
        QTest::newRow("literal") << QByteArray("\"abc\"") << true;
        QTest::newRow("bare text") << QByteArray("abc") << false;
        QTest::newRow("unterminated") << QByteArray("\"abc") << false;
        QTest::newRow("two values") << QByteArray("\"a\",\"b\"") << false;
        QTest::newRow("number") << QByteArray("5") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("bracket injection") << QByteArray("]\"a\"[") << false;
    }
    void jsonDecodingNeverMisreads()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, isString);
        QCOMPARE(decodeJsonString(bytes).has_value(), isString);
    }

    void overridingDataAnswersOneKey()
    {
        const auto defaults = UserDefaultsClient::atPath(path());
        defaults.set(QJsonValue(QStringLiteral("stored")), QStringLiteral("other"));
        const auto overridden = defaults.overridingData(QStringLiteral("appleCalendarId"), "\"x\"");
        QCOMPARE(
            overridden.data(QStringLiteral("appleCalendarId")), std::optional<QByteArray>("\"x\""));
        QCOMPARE(overridden.data(QStringLiteral("other")), std::optional<QByteArray>("\"stored\""));
    }

    void testValueReportsUnimplementedCalls()
    {
        const auto defaults = Dependencies::current<UserDefaultsClient>();
        test::IssueRecorder recorder;
        QCOMPARE(defaults.boolValue(QStringLiteral("deleteEventOnEnded")), false);
        QCOMPARE(defaults.doubleValue(QStringLiteral("x")), 0.0);
        QCOMPARE(defaults.integer(QStringLiteral("x")), qint64(0));
        QVERIFY(!defaults.string(QStringLiteral("x")));
        QVERIFY(!defaults.data(QStringLiteral("x")));
        defaults.remove(QStringLiteral("x"));
        defaults.set(QJsonValue(1), QStringLiteral("x"));
        defaults.setBool(true, QStringLiteral("x"));
        QCOMPARE(recorder.issues(),
            (QStringList {
                "Unimplemented: 'UserDefaultsClient.boolValue'",
                "Unimplemented: 'UserDefaultsClient.doubleValue'",
                "Unimplemented: 'UserDefaultsClient.integer'",
                "Unimplemented: 'UserDefaultsClient.string'",
                "Unimplemented: 'UserDefaultsClient.data'",
                "Unimplemented: 'UserDefaultsClient.remove'",
                "Unimplemented: 'UserDefaultsClient.set'",
                "Unimplemented: 'UserDefaultsClient.setBool'",
            }));
    }

    void liveValueStaysInTestLocations()
    {
        // Test mode is on in every test process: the suite never lands in the user's config.
        QVERIFY(UserDefaultsClient::defaultPath().contains(QStringLiteral("qttest")));
        QVERIFY(UserDefaultsClient::defaultPath().endsWith(QStringLiteral("app.tolvo.plist")));
    }
};

TOLVO_TEST_MAIN(UserDefaultsClientTest)
#include "UserDefaultsClientTest.moc"
