#include "support/TestMain.h"

#include "backend/BackendOptions.h"
#include "backend/Notification.h"
#include "backend/PendingNotifications.h"
#include "backend/RedisUrl.h"
#include "backend/Route.h"

using namespace tolvo::backend;

namespace {

const std::string nameA(64, 'a');
const std::string nameB(64, 'b');

} // namespace

class BackendProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void routes_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("allow");

        const auto stream = QString::fromStdString("/events/" + nameA);
        using K = Route::Kind;
        QTest::newRow("push address") << "POST"
                                      << "/notification-handler" << int(K::notification) << "";
        QTest::newRow("push address, GET")
            << "GET"
            << "/notification-handler" << int(K::methodNotAllowed) << "POST";
        QTest::newRow("stream") << "GET" << stream << int(K::eventStream) << "";
        QTest::newRow("stream, POST") << "POST" << stream << int(K::methodNotAllowed) << "GET";
        QTest::newRow("stream, HEAD") << "HEAD" << stream << int(K::methodNotAllowed) << "GET";
        QTest::newRow("upper-case name")
            << "GET" << QString::fromStdString("/events/" + std::string(64, 'A'))
            << int(K::notFound) << "";
        QTest::newRow("short name") << "GET" << stream.chopped(1) << int(K::notFound) << "";
        QTest::newRow("trailing slash") << "GET" << stream + "/" << int(K::notFound) << "";
        QTest::newRow("no name") << "GET"
                                 << "/events/" << int(K::notFound) << "";
        QTest::newRow("push address with slash")
            << "POST"
            << "/notification-handler/" << int(K::notFound) << "";
        QTest::newRow("root") << "GET"
                              << "/" << int(K::notFound) << "";
    }

    void routes()
    {
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(int, kind);
        QFETCH(QString, allow);

        const Route route = routeRequest(method.toStdString(), path.toStdString());
        QCOMPARE(int(route.kind), kind);
        QCOMPARE(QString::fromUtf8(route.allow.data(), qsizetype(route.allow.size())), allow);
        if (route.kind == Route::Kind::eventStream) {
            QCOMPARE(route.streamName, nameA);
        }
    }

    void notifications_data()
    {
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QByteArray>("state");
        QTest::addColumn<QByteArray>("channelId");
        QTest::addColumn<QByteArray>("line"); // empty: rejected

        const QByteArray a = QByteArray::fromStdString(nameA);
        QTest::newRow("exists") << a << QByteArray("exists") << QByteArray("chan-1")
                                << QByteArray(
                                       "data: {\"state\":\"exists\",\"channelId\":\"chan-1\"}\n\n");
        QTest::newRow("sync is relayed too")
            << a << QByteArray("sync") << QByteArray("0F3A")
            << QByteArray("data: {\"state\":\"sync\",\"channelId\":\"0F3A\"}\n\n");
        QTest::newRow("no channel id") << a << QByteArray("not_exists") << QByteArray()
                                       << QByteArray("data: {\"state\":\"not_exists\"}\n\n");
        QTest::newRow("JSON characters escaped")
            << a << QByteArray("ex\"ists") << QByteArray("a\\b")
            << QByteArray("data: {\"state\":\"ex\\\"ists\",\"channelId\":\"a\\\\b\"}\n\n");
        QTest::newRow("no token") << QByteArray() << QByteArray("exists") << QByteArray("c")
                                  << QByteArray();
        QTest::newRow("upper-case token")
            << a.toUpper() << QByteArray("exists") << QByteArray("c") << QByteArray();
        QTest::newRow("short token")
            << a.chopped(1) << QByteArray("exists") << QByteArray("c") << QByteArray();
        QTest::newRow("no state") << a << QByteArray() << QByteArray("c") << QByteArray();
        QTest::newRow("state with a space")
            << a << QByteArray("ex ists") << QByteArray("c") << QByteArray();
        QTest::newRow("state not ASCII")
            << a << QByteArray("ex\xc3\xa9") << QByteArray("c") << QByteArray();
        QTest::newRow("channel id with a tab")
            << a << QByteArray("exists") << QByteArray("c\t1") << QByteArray();
        QTest::newRow("channel id too long")
            << a << QByteArray("exists") << QByteArray(257, 'c') << QByteArray();
    }

    void notifications()
    {
        QFETCH(QByteArray, token);
        QFETCH(QByteArray, state);
        QFETCH(QByteArray, channelId);
        QFETCH(QByteArray, line);

        // An empty column stands for an absent header.
        auto field
            = [](const QByteArray &value) { return value.isNull() ? nullptr : value.constData(); };
        const auto parsed = parseNotification({field(token), field(state), field(channelId)});
        if (line.isEmpty()) {
            QVERIFY(!parsed);
            QVERIFY(!parsed.error().empty());
            return;
        }
        QVERIFY2(parsed, parsed ? "" : parsed.error().c_str());
        QCOMPARE(parsed->streamName, token.toStdString());
        QCOMPARE(QByteArray::fromStdString(eventLine(*parsed)), line);
    }

    void emptyStateCountsAsMissing() { QVERIFY(!parseNotification({nameA.c_str(), "", "c"})); }

    void pendingIsTakenOnceAndKeepsTheLatest()
    {
        using namespace std::chrono_literals;
        const auto t0 = PendingNotifications::Clock::time_point {} + 1h;
        PendingNotifications pending(15min, 10);
        QVERIFY(!pending.remember(nameA, "first", t0));
        QVERIFY(!pending.remember(nameA, "second", t0 + 1s));
        QCOMPARE(pending.size(), std::size_t(1));
        QVERIFY(!pending.take(nameB, t0 + 2s));
        QCOMPARE(pending.take(nameA, t0 + 2s), std::optional<std::string>("second"));
        QVERIFY(!pending.take(nameA, t0 + 3s));
        QCOMPARE(pending.size(), std::size_t(0));
    }

    void pendingExpires()
    {
        using namespace std::chrono_literals;
        const auto t0 = PendingNotifications::Clock::time_point {} + 1h;
        PendingNotifications pending(15min, 10);
        pending.remember(nameA, "a", t0);
        pending.remember(nameB, "b", t0 + 10min);
        // A newer notification restarts the lifetime of its name only.
        QVERIFY(!pending.take(nameA, t0 + 15min));
        QCOMPARE(pending.take(nameB, t0 + 15min), std::optional<std::string>("b"));

        pending.remember(nameA, "a", t0);
        pending.remember(nameA, "a2", t0 + 14min);
        QCOMPARE(pending.take(nameA, t0 + 20min), std::optional<std::string>("a2"));

        pending.remember(nameA, "a", t0);
        pending.dropExpired(t0 + 16min);
        QCOMPARE(pending.size(), std::size_t(0));
    }

    void pendingDropsTheOldestNameWhenFull()
    {
        using namespace std::chrono_literals;
        const auto t0 = PendingNotifications::Clock::time_point {} + 1h;
        PendingNotifications pending(15min, 2);
        const std::string nameC(64, 'c');
        pending.remember(nameA, "a", t0);
        pending.remember(nameB, "b", t0 + 1s);
        // Refreshing a held name makes room for nobody and drops nothing.
        QVERIFY(!pending.remember(nameA, "a2", t0 + 2s));
        QVERIFY(pending.remember(nameC, "c", t0 + 3s));
        QCOMPARE(pending.size(), std::size_t(2));
        QVERIFY(!pending.take(nameB, t0 + 4s));
        QCOMPARE(pending.take(nameA, t0 + 4s), std::optional<std::string>("a2"));
        QCOMPARE(pending.take(nameC, t0 + 4s), std::optional<std::string>("c"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("address"); // empty: rejected
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("maxStreams");
        QTest::addColumn<int>("maxPerName");

        QTest::newRow("defaults") << QStringList {} << "127.0.0.1" << 8080 << 16384 << 16;
        QTest::newRow("flags") << QStringList {"--listen", "0.0.0.0", "--port", "9000"} << "0.0.0.0"
                               << 9000 << 16384 << 16;
        QTest::newRow("equals form") << QStringList {"--listen=::1", "--port=0", "--max-streams=20",
            "--max-streams-per-name=3"}
                                     << "::1" << 0 << 20 << 3;
        QTest::newRow("host name") << QStringList {"--listen", "localhost"} << "" << 0 << 0 << 0;
        QTest::newRow("port too big") << QStringList {"--port", "65536"} << "" << 0 << 0 << 0;
        QTest::newRow("port not a number") << QStringList {"--port", "80a"} << "" << 0 << 0 << 0;
        QTest::newRow("negative port") << QStringList {"--port", "-1"} << "" << 0 << 0 << 0;
        QTest::newRow("missing value") << QStringList {"--port"} << "" << 0 << 0 << 0;
        QTest::newRow("zero streams") << QStringList {"--max-streams", "0"} << "" << 0 << 0 << 0;
        QTest::newRow("unknown flag") << QStringList {"--verbose"} << "" << 0 << 0 << 0;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(int, maxStreams);
        QFETCH(int, maxPerName);

        std::vector<std::string> args;
        for (const QString &argument : arguments) {
            args.push_back(argument.toStdString());
        }
        const auto parsed = parseCommandLine(args);
        if (address.isEmpty()) {
            QVERIFY(!parsed);
            QVERIFY(!parsed.error().empty());
            return;
        }
        QVERIFY2(parsed, parsed ? "" : parsed.error().c_str());
        QCOMPARE(QString::fromStdString(parsed->options.listenAddress), address);
        QCOMPARE(int(parsed->options.port), port);
        QCOMPARE(int(parsed->options.maxStreams), maxStreams);
        QCOMPARE(int(parsed->options.maxStreamsPerName), maxPerName);
        QVERIFY(!parsed->helpRequested);
    }

    void redisUrls_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host"); // empty: rejected
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("database");
        QTest::addColumn<QString>("password");

        QTest::newRow("full") << "redis://:s3cret@10.0.0.5:6380/2"
                              << "10.0.0.5" << 6380 << 2 << "s3cret";
        QTest::newRow("host only") << "redis://cache.internal"
                                   << "cache.internal" << 6379 << 0 << "";
        QTest::newRow("user and password") << "redis://relay:pw@127.0.0.1/0"
                                           << "127.0.0.1" << 6379 << 0 << "pw";
        QTest::newRow("ipv6") << "redis://[::1]:7000"
                              << "::1" << 7000 << 0 << "";
        QTest::newRow("other scheme") << "http://127.0.0.1:6379"
                                      << "" << 0 << 0 << "";
        QTest::newRow("no host") << "redis://:6379"
                                 << "" << 0 << 0 << "";
        QTest::newRow("empty port") << "redis://127.0.0.1:"
                                    << "" << 0 << 0 << "";
        QTest::newRow("port zero") << "redis://127.0.0.1:0"
                                   << "" << 0 << 0 << "";
        QTest::newRow("port too big") << "redis://127.0.0.1:70000"
                                      << "" << 0 << 0 << "";
        QTest::newRow("database word") << "redis://127.0.0.1/main"
                                       << "" << 0 << 0 << "";
        QTest::newRow("unclosed ipv6") << "redis://[::1:6379"
                                       << "" << 0 << 0 << "";
    }

    void redisUrls()
    {
        QFETCH(QString, url);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(int, database);
        QFETCH(QString, password);
        const auto parsed = parseRedisUrl(url.toStdString());
        const auto fromCommandLine = parseCommandLine({"--redis", url.toStdString()});
        if (host.isEmpty()) {
            QVERIFY(!parsed);
            QVERIFY(!fromCommandLine);
            QVERIFY(fromCommandLine.error().starts_with("--redis: "));
            return;
        }
        QVERIFY2(parsed, parsed ? "" : parsed.error().c_str());
        QCOMPARE(QString::fromStdString(parsed->host), host);
        QCOMPARE(int(parsed->port), port);
        QCOMPARE(int(parsed->database), database);
        QCOMPARE(QString::fromStdString(parsed->password), password);
        QVERIFY(fromCommandLine);
        QCOMPARE(QString::fromStdString(fromCommandLine->options.redisUrl), url);
    }

    void capsAndKeepAliveFromTheCommandLine()
    {
        const auto parsed
            = parseCommandLine({"--max-connections", "50", "--max-connections-per-address=7",
                "--keep-alive-period", "5", "--max-streams-per-address", "9"});
        QVERIFY2(parsed, parsed ? "" : parsed.error().c_str());
        QCOMPARE(parsed->options.maxStreamsPerAddress, std::size_t(9));
        QCOMPARE(BackendOptions().maxStreamsPerAddress, std::size_t(64));
        QVERIFY(usageText().find("--max-streams-per-address") != std::string::npos);
        QCOMPARE(parsed->options.maxConnections, std::size_t(50));
        QCOMPARE(parsed->options.maxConnectionsPerAddress, std::size_t(7));
        QCOMPARE(parsed->options.keepAlivePeriod, std::chrono::milliseconds(5000));
        QVERIFY(!parseCommandLine({"--keep-alive-period", "0"}));
        const auto zero = parseCommandLine({"--max-connections-per-address", "0"});
        QVERIFY(!zero);
        QCOMPARE(QString::fromStdString(zero.error()),
            QString("--max-connections-per-address needs a number from 1 to 1000000, not \"0\""));
    }
};

TOLVO_TEST_MAIN(BackendProtocolTest)
#include "BackendProtocolTest.moc"
