#include "support/TestMain.h"

#include "core/Dependencies.h"
#include "services/AppUpdater.h"

using namespace tolvo;

class AppUpdaterTest : public QObject
{
    Q_OBJECT

private slots:
    void theFlagComesAtOnceAndFollowsTheUpdater()
    {
        const AppUpdater updater = Dependencies::current<AppUpdater>();
        QList<bool> flags;
        const Subscription subscription = updater.canCheckForUpdatesPublisher.subscribe(
            this, [&flags](const bool &value) { flags.append(value); });
        QCOMPARE(flags, QList<bool> {false});

        updater.startUpdater();
        updater.startUpdater(); // every main screen starts it again
        QCOMPARE(flags, (QList<bool> {false, true}));

        // The test value has no feed: the check ends at once, off the network.
        std::optional<UpdateCheckResult> result;
        const Subscription results = updater.updateCheckResults.subscribe(
            this, [&result](const UpdateCheckResult &value) { result = value; });
        updater.checkForUpdates();
        QVERIFY(result && result->error);
        QCOMPARE(flags, (QList<bool> {false, true, false, true}));
    }
};

TOLVO_TEST_MAIN(AppUpdaterTest)
#include "AppUpdaterTest.moc"
