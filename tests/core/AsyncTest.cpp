#include "core/AsyncStream.h"
#include "core/CancelToken.h"
#include "core/OneShot.h"
#include "core/StartTask.h"
#include "core/TaskGroup.h"
#include "support/StreamCollector.h"
#include "support/TestMain.h"

#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTimer>

using namespace tolvo;
using namespace std::chrono_literals;

namespace {
// Ends when `gate` fires (at once without one), so that a test sets the order in which
// children end instead of leaning on timers.
QCoro::Task<VoidResult> child(
    OneShot *gate, std::optional<Error> failWith, QStringList *log, QString name)
{
    if (gate)
        co_await qCoro(gate, &OneShot::fired);
    log->append(name);
    if (failWith)
        co_return failure(*failWith);
    co_return VoidResult {};
}

QCoro::Task<QList<int>> drain(AsyncStream<int> stream, std::optional<Error> *endError)
{
    QList<int> items;
    while (true) {
        const auto next = co_await stream.next();
        if (!next) {
            *endError = next.error();
            break;
        }
        if (!next->has_value())
            break;
        items.append(**next);
    }
    co_return items;
}

QCoro::Task<VoidResult> produceLater(AsyncStream<int>::Continuation continuation, int first)
{
    co_await QCoro::sleepFor(5ms);
    continuation.yield(first);
    continuation.yield(first + 1);
    co_return VoidResult {};
}

// Finishes the stream once every producer has ended, then tries one item more.
QCoro::Task<> finishAfter(
    TaskGroup producers, AsyncStream<int>::Continuation continuation, bool *lateItemTaken)
{
    co_await producers.waitForAll();
    continuation.finish();
    *lateItemTaken = continuation.yield(99);
}

QCoro::Task<int> answerWhenOpen(std::shared_ptr<OneShot> gate, int value)
{
    if (!gate->hasFired())
        co_await qCoro(gate.get(), &OneShot::fired);
    co_return value;
}
} // namespace

class AsyncTest : public QObject
{
    Q_OBJECT

private slots:
    void groupWaitsForAllAndKeepsFirstFailure()
    {
        QStringList log;
        TaskGroup group;
        OneShot slow;
        OneShot fast;
        OneShot slowest;
        const Error first = Error::http(500, QStringLiteral("first"));
        group.add(child(&slow, Error::http(404, QStringLiteral("second")), &log, "slow failure"));
        group.add(child(&fast, first, &log, "fast failure"));
        group.add(child(&slowest, std::nullopt, &log, "slowest success"));
        group.add(child(nullptr, std::nullopt, &log, "immediate"));
        QCOMPARE(group.running(), 3);
        // The first failure is the first to end, not the first added.
        fast.fire();
        slow.fire();
        slowest.fire();

        const VoidResult result = QCoro::waitFor(group.waitForAll());
        // No child was cancelled by another's failure.
        QCOMPARE(
            log, (QStringList {"immediate", "fast failure", "slow failure", "slowest success"}));
        QVERIFY(!result);
        QCOMPARE(result.error(), first);
        QCOMPARE(group.running(), 0);
    }

    void emptyGroupSucceedsAtOnce()
    {
        TaskGroup group;
        QVERIFY(QCoro::waitFor(group.waitForAll()));
    }

    void streamDeliversFromManyProducersThenEnds()
    {
        AsyncStream<int> stream;
        const auto continuation = stream.continuation();
        TaskGroup producers;
        producers.add(produceLater(continuation, 10));
        producers.add(produceLater(continuation, 20));
        continuation.yield(1);

        std::optional<Error> endError;
        bool lateItemTaken = true;
        startDetached(finishAfter(producers, continuation, &lateItemTaken));
        const QList<int> items = QCoro::waitFor(drain(stream, &endError));
        QCOMPARE(items, (QList<int> {1, 10, 11, 20, 21}));
        QVERIFY(!endError);
        QVERIFY(!lateItemTaken); // dropped after the finish
    }

    void streamFinishedWithErrorDrainsFirst()
    {
        AsyncStream<int> stream;
        const auto continuation = stream.continuation();
        continuation.yield(1);
        continuation.finish(Error::http(503, QStringLiteral("down")));
        std::optional<Error> endError;
        const QList<int> items = QCoro::waitFor(drain(stream, &endError));
        QCOMPARE(items, QList<int> {1});
        QVERIFY(endError);
        QCOMPARE(endError->code, 503);
    }

    void consumerCancelTellsProducers()
    {
        AsyncStream<int> stream;
        const auto continuation = stream.continuation();
        bool terminated = false;
        continuation.onTermination([&terminated] { terminated = true; });
        continuation.yield(1);
        stream.cancel();
        QVERIFY(terminated);
        QVERIFY(continuation.isFinished());
        QCOMPARE(stream.buffered(), std::size_t(0));
        std::optional<Error> endError;
        QVERIFY(QCoro::waitFor(drain(stream, &endError)).isEmpty());
    }

    void cancelledSleepEndsEarlyWithCancellation()
    {
        CancelToken token;
        const auto result = test::startRecorded(sleepFor(1h, token));
        QVERIFY(!result->has_value());
        token.cancel();
        QTRY_VERIFY(result->has_value()); // not an hour later
        QVERIFY(!**result);
        QVERIFY((*result)->error().isCancellation());

        QVERIFY(QCoro::waitFor(sleepFor(1ms, CancelToken())));
        QVERIFY(!QCoro::waitFor(sleepFor(1ms, token))); // already cancelled

        int calls = 0;
        QObject context;
        token.onCancel(&context, [&calls] { ++calls; });
        QCOMPARE(calls, 1);
    }

    void startTaskSkipsDeadContexts()
    {
        int delivered = 0;
        const auto gate = std::make_shared<OneShot>();
        auto *alive = new QObject;
        startTask(alive, answerWhenOpen(gate, 7), [&delivered](int value) { delivered += value; });
        auto *dying = new QObject;
        startTask(
            dying, answerWhenOpen(gate, 100), [&delivered](int value) { delivered += value; });
        bool lastDone = false;
        startTask(alive, answerWhenOpen(gate, 0), [&lastDone](int) { lastDone = true; });
        delete dying;
        gate->fire();
        // The gate's waiters go on in the order they began to wait: once the last is through,
        // the dying context's task has finished too.
        QTRY_VERIFY(lastDone);
        QCOMPARE(delivered, 7);
        delete alive;
    }
};

TOLVO_TEST_MAIN(AsyncTest)
#include "AsyncTest.moc"
