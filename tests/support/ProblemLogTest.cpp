#include "support/ProblemLog.h"
#include "support/IssueRecorder.h"
#include "support/TestMain.h"

using tolvo::test::IssueRecorder;
using tolvo::test::ProblemLog;

class ProblemLogTest : public QObject
{
    Q_OBJECT
private slots:
    void entriesLeftWhenTheFakeGoesAwayFailTheTest()
    {
        IssueRecorder recorder;
        {
            ProblemLog log(QStringLiteral("FakeThing"));
            log.note(QStringLiteral("GET /nowhere"));
        }
        QCOMPARE(recorder.issues().size(), 1);
        QVERIFY(recorder.issues().first().contains(QStringLiteral("FakeThing")));
        QVERIFY(recorder.issues().first().contains(QStringLiteral("GET /nowhere")));
    }

    void takenOrNoEntriesPassQuietly()
    {
        IssueRecorder recorder;
        {
            ProblemLog log(QStringLiteral("FakeThing"));
            log.note(QStringLiteral("provoked"));
            QCOMPARE(log.take(), QStringList {QStringLiteral("provoked")});
            QVERIFY(log.entries().isEmpty());
        }
        {
            ProblemLog quiet(QStringLiteral("FakeQuiet"));
        }
        QVERIFY(recorder.issues().isEmpty());
    }
};

TOLVO_TEST_MAIN(ProblemLogTest)
#include "ProblemLogTest.moc"
