#include "FuzzChecks.h"
#include "support/TestMain.h"

#include <QDir>
#include <QFile>

using namespace tolvo;

// The fuzzers' seeds and every input they ever failed on (tests/data/fuzz/<target>/), replayed
// on each run.
class FuzzRegressionTest : public QObject
{
    Q_OBJECT

private slots:
    void inputsThatOnceFailedPass_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        const QString root = QFINDTESTDATA("../data/fuzz");
        QVERIFY(!root.isEmpty());
        for (const QString &target : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QDir folder(QDir(root).filePath(target));
            for (const QString &name : folder.entryList(QDir::Files))
                QTest::newRow(qPrintable(target + u'/' + name)) << target << folder.filePath(name);
        }
    }

    void inputsThatOnceFailedPass()
    {
        QFETCH(QString, target);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray input = file.readAll();
        using Check = QString (*)(const QByteArray &);
        const QHash<QString, Check> checks {
            {QStringLiteral("event-stream-lines"), fuzz::checkEventStreamLines},
            {QStringLiteral("google-json"), fuzz::checkGoogleJson},
            {QStringLiteral("ics-round-trip"), fuzz::checkIcsRoundTrip},
            {QStringLiteral("stored-values"), fuzz::checkStoredValues},
        };
        const Check check = checks.value(target);
        QVERIFY2(check, qPrintable(QStringLiteral("no check named %1").arg(target)));
        const QString fault = check(input);
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
};

TOLVO_TEST_MAIN(FuzzRegressionTest)
#include "FuzzRegressionTest.moc"
