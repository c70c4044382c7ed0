#include "support/FakeReportingServer.h"
#include "support/TestMain.h"

#include "platform/HttpErrors.h"
#include "platform/Updater.h"

#include <QTcpServer>

using namespace tolvo;
using namespace tolvo::test;

class UpdaterTest : public QObject
{
    Q_OBJECT

private slots:
    void compareVersions_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("right");
        QTest::addColumn<int>("expected");
        QTest::addRow("equal") << "1.2.3"
                               << "1.2.3" << 0;
        QTest::addRow("trailing zero") << "1.2"
                                       << "1.2.0" << 0;
        QTest::addRow("numeric, not text") << "1.10"
                                           << "1.9" << 1;
        QTest::addRow("older") << "0.9.9"
                               << "1.0" << -1;
        QTest::addRow("leading v and suffix") << "v2.0.1-beta+5"
                                              << "2.0.1" << 0;
    }

    void compareVersions()
    {
        QFETCH(QString, left);
        QFETCH(QString, right);
        QFETCH(int, expected);
        QCOMPARE(tolvo::compareVersions(left, right), expected);
        QCOMPARE(tolvo::compareVersions(right, left), -expected);
    }

    void canCheckOnlyOnceStartedAndNotWhileChecking()
    {
        FakeReportingServer fake;
        fake.setFeed("{\"version\":\"1.1.0\",\"url\":\"https://example.com/tolvo\"}");
        Updater updater(fake.feedUrl(), QStringLiteral("1.0.0"));
        QList<bool> flags;
        const Subscription subscription = updater.canCheckPublisher().subscribe(
            nullptr, [&flags](const bool &value) { flags.append(value); });
        QCOMPARE(flags, QList<bool> {false}); // the current value at once

        updater.checkForUpdates(); // not started: nothing happens
        QCOMPARE(fake.feedRequests(), 0);

        updater.start();
        updater.start();
        QCOMPARE(flags, (QList<bool> {false, true}));

        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        QVERIFY(!updater.canCheck());
        updater.checkForUpdates(); // already checking
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(fake.feedRequests(), 1);
        QCOMPARE(flags, (QList<bool> {false, true, false, true}));
        const auto result = finished.first().first().value<UpdateCheckResult>();
        QVERIFY(result.update);
        QCOMPARE(result.update->version, QStringLiteral("1.1.0"));
        QCOMPARE(result.update->url, QUrl(QStringLiteral("https://example.com/tolvo")));
    }

    void reportsUpToDateAndFailures_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("failed");
        QTest::addRow("same version") << QByteArray("{\"version\":\"1.0\"}") << 200 << false;
        QTest::addRow("older version") << QByteArray("{\"version\":\"0.9\"}") << 200 << false;
        QTest::addRow("no version") << QByteArray("{\"url\":\"x\"}") << 200 << true;
        QTest::addRow("not json") << QByteArray("<rss/>") << 200 << true;
        QTest::addRow("missing feed") << QByteArray() << 404 << true;
    }

    void aStalledFeedEndsTheCheckAtItsDeadline()
    {
        QTcpServer silent; // accepts and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Updater updater(QUrl(QStringLiteral("http://127.0.0.1:%1/feed").arg(silent.serverPort())),
            QStringLiteral("1.0.0"));
        updater.setRequestTimeout(std::chrono::milliseconds(200));
        updater.start();
        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        QVERIFY(!updater.canCheck());
        QTRY_COMPARE(finished.size(), 1);
        const auto result = finished.first().first().value<UpdateCheckResult>();
        QVERIFY(result.error);
        QCOMPARE(result.error->code, networkcode::timedOut);
        QVERIFY(updater.canCheck()); // "Check for Updates" is usable again
    }

    void reportsUpToDateAndFailures()
    {
        QFETCH(QByteArray, feed);
        QFETCH(int, status);
        QFETCH(bool, failed);
        FakeReportingServer fake;
        fake.setFeed(feed, status);
        Updater updater(fake.feedUrl(), QStringLiteral("1.0.0"));
        updater.start();
        QSignalSpy finished(&updater, &Updater::checkFinished);
        updater.checkForUpdates();
        QTRY_COMPARE(finished.size(), 1);
        const auto result = finished.first().first().value<UpdateCheckResult>();
        QVERIFY(!result.update);
        QCOMPARE(result.error.has_value(), failed);
        QVERIFY(updater.canCheck());
    }
};

TOLVO_TEST_MAIN(UpdaterTest)
#include "UpdaterTest.moc"
