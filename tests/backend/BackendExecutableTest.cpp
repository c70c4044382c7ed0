// The tolvo-backend executable: arguments, signals, and its descriptor limit.

#include "support/TestMain.h"

#include "RelayTestClient.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <sys/resource.h>

#include <memory>
#include <vector>

using namespace tolvo::backend;
using namespace tolvo::test::relay;

class BackendExecutableTest : public QObject
{
    Q_OBJECT

    RelayFixture m_relay;

private slots:
    void cleanup() { m_relay.reset(); }

    void executableAtItsDescriptorLimitStillServes()
    {
        QProcess relay;
        relay.setChildProcessModifier([] {
            const rlimit limit {100, 100};
            setrlimit(RLIMIT_NOFILE, &limit);
        });
        const quint16 port = startExecutable(relay);
        QVERIFY(port != 0);
        std::vector<std::unique_ptr<Stream>> streams;
        for (int i = 0; i < 30; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameNumbered(i)));
            QVERIFY(streams.back()->waitForHead());
            QCOMPARE(streams.back()->status(), 200);
        }

        // More idle connections than descriptors are left: the oldest make room for new ones.
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < 150; ++i) {
            idle.push_back(std::make_unique<Client>(port));
        }
        QCOMPARE(notify(port, nameNumbered(29)), 200);
        QVERIFY(streams.back()->waitForBody(eventLine("exists", "chan-1").size()));
        for (int i = 30; i < 36; ++i) {
            streams.push_back(std::make_unique<Stream>(port, nameNumbered(i)));
            QVERIFY(streams.back()->waitForHead());
            QCOMPARE(streams.back()->status(), 200);
        }
        QVERIFY(idle.front()->waitForClose());

        // Streams stop short of the limit, with an answer that says so.
        Stream refused(port, nameB);
        QVERIFY(refused.waitForHead());
        QCOMPARE(refused.status(), 503);

        relay.terminate();
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 0);
    }

    void executableServesAndStopsOnSigterm()
    {
        QProcess relay;
        const quint16 port = startExecutable(relay, {"--listen", "127.0.0.1"});
        QVERIFY(port != 0);

        Stream stream(port, nameA);
        QVERIFY(stream.waitForHead());
        QCOMPARE(notify(port, nameA), 200);
        QVERIFY(stream.waitForBody(eventLine("exists", "chan-1").size()));

        relay.terminate(); // SIGTERM
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitStatus(), QProcess::NormalExit);
        QCOMPARE(relay.exitCode(), 0);
        bool ended = false;
        stream.waitUntil([&] {
            stream.body(&ended);
            return ended;
        });
        QVERIFY(ended);
        const QByteArray log = relay.readAllStandardError();
        QVERIFY2(log.contains("stopped"), log.constData());
    }

    void executableRejectsBadArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("port") << QStringList {"--port", "70000"} << "--port needs a number";
        QTest::newRow("address") << QStringList {"--listen", "example.com"}
                                 << "--listen needs an IPv4 or IPv6 address";
        QTest::newRow("unknown") << QStringList {"--verbose"} << "unknown argument";
    }

    void executableRejectsBadArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess relay;
        relay.start(relayExecutable(), arguments);
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 2);
        const QString error = QString::fromUtf8(relay.readAllStandardError());
        QVERIFY2(error.contains(message), qPrintable(error));
        QVERIFY(error.contains("Usage: tolvo-backend"));
    }

    void executableReportsAPortInUse()
    {
        const quint16 port = m_relay.start();
        QProcess relay;
        relay.start(relayExecutable(), {"--port", QString::number(port)});
        QVERIFY(relay.waitForFinished(5000));
        QCOMPARE(relay.exitCode(), 1);
        const QString error = QString::fromUtf8(relay.readAllStandardError());
        QVERIFY2(error.contains("cannot listen on 127.0.0.1:" + QString::number(port)),
            qPrintable(error));
    }
};

TOLVO_TEST_MAIN(BackendExecutableTest)
#include "BackendExecutableTest.moc"
