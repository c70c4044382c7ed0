#include "support/FakeClock.h"
#include "support/TestMain.h"

using namespace tolvo;

class FakeClockTest : public QObject
{
    Q_OBJECT

private slots:
    void copiesShareTheTime()
    {
        test::FakeClock clock(QDateTime(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC));
        const Clock asValue = clock.clock();
        const test::FakeClock copy = clock;
        clock.advance(90);
        clock.advanceMs(500);
        const QDateTime expected(QDate(2025, 1, 1), QTime(0, 1, 30, 500), Qt::UTC);
        QCOMPARE(asValue(), expected);
        QCOMPARE(copy.now(), expected);
        clock.set(QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(asValue().date(), QDate(2030, 1, 1));
    }
};

TOLVO_TEST_MAIN(FakeClockTest)
#include "FakeClockTest.moc"
