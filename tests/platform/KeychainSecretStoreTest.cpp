#include "support/TestMain.h"

#include "platform/SecretStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace tolvo;

// QtKeychain against a real Secret Service: an unlocked GNOME Keyring started in this test's
// private session bus (the test runs under dbus-run-session), with a throwaway HOME.
class KeychainSecretStoreTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QProcess m_keyring;

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"));
        const QString daemon
            = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        QVERIFY2(!daemon.isEmpty(), "gnome-keyring-daemon is missing (scripts/setup installs it)");
        QVERIFY(m_home.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(
            QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        m_keyring.setProcessEnvironment(environment);
        m_keyring.start(daemon,
            {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                QStringLiteral("--components=secrets")});
        QVERIFY(m_keyring.waitForStarted());
        // An empty password line creates and unlocks the login keyring.
        m_keyring.write("\n");
        m_keyring.closeWriteChannel();
        // Ready once it owns the Secret Service name (asking does not start another one).
        const auto serving = [] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                QStringLiteral("org.freedesktop.secrets"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(serving() || m_keyring.state() != QProcess::Running, 10000);
        QVERIFY2(
            m_keyring.state() == QProcess::Running, m_keyring.readAllStandardError().constData());
    }

    void cleanupTestCase()
    {
        m_keyring.terminate();
        m_keyring.waitForFinished(5000);
    }

    void writesReadsAndRemovesAnItem()
    {
        const SecretStore store = SecretStore::keychain(QStringLiteral("Tolvo"));
        const QString key = QStringLiteral("OAuth");
        const auto missing = QCoro::waitFor(store.read(key));
        QVERIFY2(missing, qPrintable(missing ? QString() : missing.error().describe()));
        QVERIFY(!*missing);

        const QByteArray secret = R"({"refreshToken":"r"})";
        const auto written = QCoro::waitFor(store.write(key, secret));
        QVERIFY2(written, qPrintable(written ? QString() : written.error().describe()));
        QCOMPARE(*QCoro::waitFor(store.read(key)), std::optional<QByteArray>(secret));

        QVERIFY(QCoro::waitFor(store.write(key, "replaced")));
        QCOMPARE(*QCoro::waitFor(store.read(key)), std::optional<QByteArray>("replaced"));

        QVERIFY(QCoro::waitFor(store.remove(key)));
        QVERIFY(!*QCoro::waitFor(store.read(key)));
        // Removing what is not there succeeds, so that signing out always works.
        QVERIFY(QCoro::waitFor(store.remove(key)));
    }
};

TOLVO_TEST_MAIN(KeychainSecretStoreTest)
#include "KeychainSecretStoreTest.moc"
