// How long a change made on the Calendar fake takes to come out of the sync stream, over the
// whole loop on loopback. Prints figures; asserts nothing.
#include "LiveSyncFixture.h"
#include "support/TestMain.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace tolvo;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    test::prepareTestProcess();
    const int changes = argc > 1 ? std::atoi(argv[1]) : 200;
    const QString calendar = QStringLiteral("bench@example.com");

    test::LiveSyncFixture loop;
    if (!loop.ready) {
        std::fprintf(stderr, "The loop could not be set up.\n");
        return 1;
    }
    loop.google.addCalendar(calendar, QStringLiteral("Bench"));
    const auto received = loop.open({calendar});
    QDeadlineTimer deadline(10'000);
    while (loop.subscribers(calendar) == 0 && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTest::qWait(200);

    // Changes received so far, counted as items arrive: counting everything received on every
    // turn of the wait would make the benchmark slower the longer it runs.
    qsizetype counted = 0;
    qsizetype changeCount = 0;
    const auto changesSoFar = [&] {
        for (; counted < received->items.size(); ++counted) {
            const auto *google = received->items.at(counted).google();
            if (google && google->calendarId == calendar)
                changeCount += google->changes.size();
        }
        return changeCount;
    };

    QList<double> latencies;
    for (int i = 0; i < changes; ++i) {
        const qsizetype before = changesSoFar();
        QElapsedTimer timer;
        timer.start();
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(3600);
        loop.google.addEvent(calendar,
            {{"summary", QStringLiteral("Change %1").arg(i)},
                {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
                {"end", QJsonObject {{"dateTime", start.addSecs(1800).toString(Qt::ISODate)}}}});
        QDeadlineTimer wait(5'000);
        while (changesSoFar() == before && !wait.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        latencies.append(timer.nsecsElapsed() / 1e6);
    }
    std::sort(latencies.begin(), latencies.end());
    const auto at = [&latencies](double q) {
        return latencies.at(qMin(latencies.size() - 1, qsizetype(q * latencies.size())));
    };
    std::printf("whole loop, change on the fake to googleChanges item: %d changes, p50 %.2f ms, "
                "p99 %.2f ms, longest %.2f ms   goal p99 <= 10 ms\n",
        changes, at(0.50), at(0.99), latencies.last());
    QCoro::waitFor(loop.client.cleanUpAll());
    return 0;
}
