#include "support/TestMain.h"

#include "platform/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

using namespace tolvo;

namespace {
constexpr const char *locationVariable = "TOLVO_TEST_INSTANCE_LOCATION";

// A start in a process of its own: prints its outcome; the one that runs stays and answers
// until its standard input closes.
const test::ChildRole starter("starter", [] {
    SingleInstance instance(qEnvironmentVariable(locationVariable));
    const SingleInstance::Outcome outcome = instance.start();
    std::printf("%d\n", int(outcome));
    std::fflush(stdout);
    if (outcome != SingleInstance::Outcome::primary)
        return 0;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
        }
    });
    return QCoreApplication::exec();
});

// What a crashed instance leaves: a socket file nobody listens on.
bool leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    std::strncpy(address.sun_path, name.constData(), sizeof(address.sun_path) - 1);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}
} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_home.isValid()); }

    void aLaterStartRaisesTheRunningOne()
    {
        SingleInstance first(location(QStringLiteral("a")));
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QCOMPARE(first.start(), SingleInstance::Outcome::primary);
        QVERIFY(first.isListening());

        SingleInstance second(location(QStringLiteral("a")));
        QCOMPARE(second.start(), SingleInstance::Outcome::raisedOther);
        QVERIFY(!second.isListening());
        QCOMPARE(raised.size(), 1);
        // Asked again, it answers again.
        SingleInstance third(location(QStringLiteral("a/../a")));
        QCOMPARE(third.start(), SingleInstance::Outcome::raisedOther);
        QCOMPARE(raised.size(), 2);
    }

    // Another data folder is another instance: test runs and profiles never meet.
    void otherDataFoldersRunSideBySide()
    {
        SingleInstance first(location(QStringLiteral("a")));
        SingleInstance other(location(QStringLiteral("b")));
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QCOMPARE(first.start(), SingleInstance::Outcome::primary);
        QCOMPARE(other.start(), SingleInstance::Outcome::primary);
        QVERIFY(first.serverName() != other.serverName());
        QVERIFY(first.serverName().contains(QString::number(::getuid())));
        QCOMPARE(raised.size(), 0);
    }

    void aSocketLeftByACrashedInstanceIsTakenOver()
    {
        const QString folder = location(QStringLiteral("crashed"));
        QVERIFY(leaveStaleSocket(SingleInstance::serverNameFor(folder)));
        SingleInstance instance(folder);
        QCOMPARE(instance.start(), SingleInstance::Outcome::primary);
        SingleInstance later(folder);
        QCOMPARE(later.start(), SingleInstance::Outcome::raisedOther);
    }

    // An instance that holds the socket but never answers (hung) is not taken over, and the
    // later start does not wait for ever.
    void aSilentInstanceIsLeftAlone()
    {
        const QString folder = location(QStringLiteral("hung"));
        QLocalServer hung;
        QVERIFY(hung.listen(SingleInstance::serverNameFor(folder)));
        SingleInstance::Limits limits;
        limits.answerTimeout = std::chrono::milliseconds(200);
        SingleInstance later(folder, limits);
        QCOMPARE(later.start(), SingleInstance::Outcome::otherSilent);
        QVERIFY(hung.isListening());
    }

    // Another start that holds the start-up lock for too long is waited for only so long; its
    // socket-to-be is left alone and this one runs unguarded.
    void aStuckStartIsNotWaitedForForEver()
    {
        const QString folder = location(QStringLiteral("stuck"));
        QLockFile held(SingleInstance::serverNameFor(folder) + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        SingleInstance::Limits limits;
        limits.lockTimeout = std::chrono::milliseconds(100);
        SingleInstance instance(folder, limits);
        QCOMPARE(instance.start(), SingleInstance::Outcome::unguarded);
        QVERIFY(!instance.isListening());
    }

    // Anything else on the socket neither raises the window nor stays open.
    void strayConnectionsAreClosed_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addRow("nothing") << QByteArray();
        QTest::addRow("another request") << QByteArray("quit\n");
        QTest::addRow("no line end, too long") << QByteArray(200, 'r');
    }

    void strayConnectionsAreClosed()
    {
        QFETCH(QByteArray, sent);
        SingleInstance::Limits limits;
        limits.requestDeadline = std::chrono::milliseconds(100);
        SingleInstance instance(location(QStringLiteral("stray")), limits);
        QSignalSpy raised(&instance, &SingleInstance::raiseRequested);
        QCOMPARE(instance.start(), SingleInstance::Outcome::primary);
        QLocalSocket client;
        client.connectToServer(instance.serverName());
        QVERIFY(client.waitForConnected(5000));
        client.write(sent);
        QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(raised.size(), 0);
        QVERIFY(client.readAll().isEmpty());
    }

    // Starts at the same moment decide one after the other: exactly one runs, the others
    // reach it.
    void simultaneousStartsLeaveOneRunning()
    {
        constexpr int starts = 4;
        QProcessEnvironment environment;
        environment.insert(
            QString::fromLatin1(locationVariable), location(QStringLiteral("together")));
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < starts; ++i) {
            processes.push_back(std::make_unique<QProcess>());
            test::startChild(*processes.back(), "starter", environment);
        }
        QList<int> outcomes;
        QProcess *running = nullptr;
        for (const auto &process : processes) {
            QTRY_VERIFY_WITH_TIMEOUT(process->canReadLine(), 30000);
            const int outcome = process->readLine().trimmed().toInt();
            outcomes.append(outcome);
            if (outcome == int(SingleInstance::Outcome::primary))
                running = process.get();
        }
        QCOMPARE(outcomes.count(int(SingleInstance::Outcome::primary)), 1);
        QCOMPARE(outcomes.count(int(SingleInstance::Outcome::raisedOther)), starts - 1);
        for (const auto &process : processes) {
            if (process.get() == running)
                continue;
            QTRY_COMPARE_WITH_TIMEOUT(process->state(), QProcess::NotRunning, 30000);
            QCOMPARE(process->exitCode(), 0);
        }
        running->closeWriteChannel();
        QVERIFY(running->waitForFinished(30000));
        QCOMPARE(running->exitCode(), 0);
    }

private:
    QString location(const QString &name) const { return QDir(m_home.path()).filePath(name); }

    QTemporaryDir m_home;
};

TOLVO_TEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
