#include "support/TestMain.h"

#include "platform/SingleInstance.h"

#include <QScopeGuard>
#include <QTemporaryDir>

using namespace tolvo;

// The real executable, started while an instance runs for the same home, asks that one to
// raise its window and leaves with success before it builds anything.
class SecondStartTest : public QObject
{
    Q_OBJECT

private slots:
    void aSecondStartRaisesTheFirstAndLeaves()
    {
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QDir root(home.path());
        // A private runtime folder for both sides (where the socket lives; without one Qt warns).
        const QString runtime = root.filePath(QStringLiteral("runtime"));
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(
            QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray previousRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        const auto restore = qScopeGuard([&previousRuntime] {
            if (previousRuntime.isEmpty())
                qunsetenv("XDG_RUNTIME_DIR");
            else
                qputenv("XDG_RUNTIME_DIR", previousRuntime);
        });
        // Where the executable keeps its database under this home.
        SingleInstance first(root.filePath(QStringLiteral("share/Tolvo")));
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QCOMPARE(first.start(), SingleInstance::Outcome::primary);
        QVERIFY(first.serverName().startsWith(runtime));

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("share")));
        environment.insert(
            QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        second.setProcessEnvironment(environment);
        second.start(
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(TOLVO_EXECUTABLE)),
            {});
        QVERIFY2(second.waitForStarted(30000), qPrintable(second.errorString()));
        // This process answers while it waits.
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 60000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(raised.size(), 1);
        QCOMPARE(second.readAllStandardError(), QByteArray());
        // It left before making anything of its own.
        QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("share/Tolvo/db.sqlite"))));
    }
};

TOLVO_TEST_MAIN(SecondStartTest)
#include "SecondStartTest.moc"
