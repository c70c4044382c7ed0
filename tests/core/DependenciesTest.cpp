#include "core/Dependencies.h"
#include "core/Subject.h"
#include "core/Unimplemented.h"
#include "support/IssueRecorder.h"
#include "support/TestMain.h"

using namespace tolvo;

namespace {
struct CounterService
{
    static constexpr const char *dependencyKey = "counter";
    static inline int liveBuilds = 0;
    static inline int testBuilds = 0;

    QString origin;
    std::shared_ptr<int> state = std::make_shared<int>(0);
    std::function<Result<int>(int)> compute;
    std::function<QCoro::Task<Result<QString>>()> fetch;

    static CounterService liveValue()
    {
        ++liveBuilds;
        return {QStringLiteral("live")};
    }
    static CounterService testValue()
    {
        ++testBuilds;
        return {QStringLiteral("test"), std::make_shared<int>(0),
            unimplemented<Result<int>(int)>("CounterService", "compute"),
            unimplemented<QCoro::Task<Result<QString>>()>("CounterService", "fetch")};
    }
    static CounterService previewValue() { return {QStringLiteral("preview")}; }
};

struct Owner
{
    Dependency<CounterService> counter;
};
} // namespace

class DependenciesTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Dependencies::setContext(DependencyContext::test); }

    void valuesAreBuiltOncePerContext()
    {
        Dependencies::setContext(DependencyContext::live);
        const int before = CounterService::liveBuilds;
        const auto a = Dependencies::current<CounterService>();
        const auto b = Dependencies::current<CounterService>();
        QCOMPARE(a.origin, QStringLiteral("live"));
        QCOMPARE(CounterService::liveBuilds, before + 1);
        // Copies share the state of the one value.
        *a.state = 5;
        QCOMPARE(*b.state, 5);

        Dependencies::setContext(DependencyContext::preview);
        QCOMPARE(Dependencies::current<CounterService>().origin, QStringLiteral("preview"));
        Dependencies::setContext(DependencyContext::test);
        QCOMPARE(Dependencies::current<CounterService>().origin, QStringLiteral("test"));
        QCOMPARE(Dependencies::key<CounterService>(), "counter");
    }

    void scopesNestAndUnwind()
    {
        QCOMPARE(Dependencies::current<CounterService>().origin, QStringLiteral("test"));
        {
            DependencyScope outer;
            outer.set(CounterService {QStringLiteral("outer")});
            const Owner capturedOuter;
            {
                DependencyScope inner;
                inner.set(CounterService {QStringLiteral("inner")});
                QCOMPARE(Dependencies::current<CounterService>().origin, QStringLiteral("inner"));
            }
            QCOMPARE(Dependencies::current<CounterService>().origin, QStringLiteral("outer"));
            QCOMPARE(capturedOuter.counter->origin, QStringLiteral("outer"));
        }
        QCOMPARE(Dependencies::current<CounterService>().origin, QStringLiteral("test"));
    }

    void dependencyKeepsTheValueItCaptured()
    {
        std::unique_ptr<Owner> owner;
        {
            DependencyScope scope;
            scope.set(CounterService {QStringLiteral("captured")});
            owner = std::make_unique<Owner>();
        }
        QCOMPARE(owner->counter->origin, QStringLiteral("captured"));
    }

    void unimplementedOperationsReportAndFail()
    {
        const auto service = Dependencies::current<CounterService>();
        test::IssueRecorder recorder;
        const Result<int> computed = service.compute(3);
        QVERIFY(!computed);
        QVERIFY(computed.error().domain == ErrorDomain::unimplemented);
        const Result<QString> fetched = QCoro::waitFor(service.fetch());
        QVERIFY(!fetched);
        QCOMPARE(recorder.issues(),
            (QStringList {"Unimplemented: 'CounterService.compute'",
                "Unimplemented: 'CounterService.fetch'"}));
    }

    void subjectsDeliverDirectAndQueued()
    {
        auto subject = Subject<int>::withCurrentValue(1);
        QObject receiver;
        QList<int> direct;
        QList<int> queued;
        auto first = subject->subscribe(
            {&receiver, [&](int v) { direct << v; }, {}, Qt::DirectConnection, true});
        auto second = subject->publisher().subscribe(
            &receiver, [&](int v) { queued << v; }, Qt::QueuedConnection);
        QCOMPARE(direct, QList<int> {1});
        QVERIFY(queued.isEmpty()); // the current value arrives later, from the loop
        subject->send(2);
        subject->send(2);
        QCOMPARE(direct, (QList<int> {1, 2, 2}));
        QTRY_COMPARE(queued, (QList<int> {1, 2, 2}));

        first.cancel();
        subject->send(3);
        QCOMPARE(direct, (QList<int> {1, 2, 2}));
        {
            QObject shortLived;
            auto third = subject->publisher().subscribe(&shortLived, [&](int v) { direct << v; });
            QCOMPARE(subject->subscriberCount(), std::size_t(2));
        }
        QCOMPARE(subject->subscriberCount(), std::size_t(1));
    }
};

TOLVO_TEST_MAIN(DependenciesTest)
#include "DependenciesTest.moc"
