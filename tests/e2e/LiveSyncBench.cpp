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

    QList<double> latencies;
    for (int i = 0; i < changes; ++i) {
        const qsizetype before = test::changesOf(*received, calendar).size();
        QElapsedTimer timer;
        timer.start();
        const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(3600);
        loop.google.addEvent(calendar,
            {{"summary", QStringLiteral("Change %1").arg(i)},
                {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
                {"end", QJsonObject {{"dateTime", start.addSecs(1800).toString(Qt::ISODate)}}}});
        // Counting the changes walks everything received so far: only when something came.
        QDeadlineTimer wait(5'000);
        qsizetype items = received->items.size();
        while (!wait.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (received->items.size() != items) {
                items = received->items.size();
                if (test::changesOf(*received, calendar).size() > before)
                    break;
            }
        }
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
