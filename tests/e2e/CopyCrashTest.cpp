#include "LiveSyncFixture.h"
#include "services/SyncCalendarsClient.h"
#include "support/TestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <cstdio>

using namespace tolvo;
using test::LiveSyncFixture;

namespace {
const QString team = QStringLiteral("team@group.calendar.google.com");

// The engine alone in a process of its own, following the calendar over the parent's fake and
// relay and copying into the parent's folder, until it is killed.
const test::ChildRole copyingEngine("copyingEngine", [] {
    const auto side = test::startTolvoSide(qEnvironmentVariable("TOLVO_CRASH_FOLDER"),
        QUrl(qEnvironmentVariable("TOLVO_CRASH_API")),
        QUrl(qEnvironmentVariable("TOLVO_CRASH_RELAY")),
        LoggerClient::recording(std::make_shared<LogRecorder>()), test::fastSyncTimings());
    if (!side)
        return 3;
    std::fputs("started\n", stdout);
    std::fflush(stdout);
    const SyncStream stream = side->client.sync({team});
    return QCoreApplication::exec();
});

// "E12 v3": the event's own name, then its version.
QString nameOf(const QString &title)
{
    return title.section(QLatin1Char(' '), 0, 0);
}
} // namespace

// The copying engine is killed at random moments while Google's events change: whatever the
// moment, the local calendar never holds two copies of one event, and the next start brings
// it level with Google again, leaving no copy that nothing maps.
class CopyCrashTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSyncFixture> m_loop;
    QRandomGenerator m_random;
    QStringList m_live;
    QHash<QString, QString> m_names;
    QHash<QString, int> m_versions;
    QStringList m_ids;
    int m_nextName = 1;
    std::optional<qint64> m_caughtUp;

    QDateTime someStart()
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        return now.addSecs(-now.time().second() + 60 * int(m_random.bounded(60 * 24 * 7)));
    }

    QJsonObject body(const QString &name, int version)
    {
        const QDateTime start = someStart();
        return {{"summary", QStringLiteral("%1 v%2").arg(name).arg(version)},
            {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
            {"end", QJsonObject {{"dateTime", start.addSecs(1800).toString(Qt::ISODate)}}}};
    }

    QString pick() { return m_live.at(int(m_random.bounded(quint32(m_live.size())))); }

    void add(int count)
    {
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("E%1").arg(m_nextName++);
            const QString id = m_loop->google.addEvent(team, body(name, 1)).value("id").toString();
            m_names.insert(id, name);
            m_versions.insert(id, 1);
            m_live.append(id);
            m_ids.append(id);
        }
    }

    // Events added, moved and renamed, and deleted "elsewhere"; now and then Google also
    // forgets every position (410), so the next listing is a whole one.
    void changeGoogle()
    {
        add(int(m_random.bounded(3, 11)));
        for (int i = int(m_random.bounded(9)); i > 0 && !m_live.isEmpty(); --i) {
            const QString id = pick();
            const int version = m_versions.value(id) + 1;
            m_versions.insert(id, version);
            QJsonObject changes = body(m_names.value(id), version);
            changes.insert(
                "updated", QDateTime::currentDateTimeUtc().addSecs(5).toString(Qt::ISODate));
            m_loop->google.modifyEvent(team, id, changes);
        }
        for (int i = int(m_random.bounded(6)); i > 0 && m_live.size() > 4; --i) {
            const QString id = pick();
            m_live.removeOne(id);
            m_loop->google.deleteEvent(team, id);
        }
        if (m_random.bounded(6) == 0)
            m_loop->google.expireSyncTokens();
    }

    // Runs the engine in a child and kills it once it has caught up (followed, copied and
    // listening) or `killAfterMs` after its start, whichever comes first. Answers when it
    // caught up in `m_caughtUp`, nothing when it was killed before.
    void runChild(int killAfterMs)
    {
        m_caughtUp.reset();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcessEnvironment environment;
        environment.insert("TOLVO_CRASH_FOLDER", m_loop->folder.path());
        environment.insert("TOLVO_CRASH_API", m_loop->google.apiRoot().toString());
        environment.insert("TOLVO_CRASH_RELAY", m_loop->relayRoot().toString());
        test::startChild(child, "copyingEngine", environment);
        const bool started = QTest::qWaitFor([&child] { return child.canReadLine(); }, 20'000);
        QElapsedTimer timer;
        timer.start();
        const bool caughtUp = started
            && QTest::qWaitFor([this] { return m_loop->subscribers(team) == 1; }, killAfterMs);
        const qint64 elapsed = timer.elapsed();
        child.kill();
        child.waitForFinished(5000);
        QVERIFY2(started, "the engine did not start");
        // The relay must let the dead engine go before the next one can be told apart.
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(0));
        if (caughtUp)
            m_caughtUp = elapsed;
    }

    // Copies by the name of the Google event they came from: never two for one event.
    void verifyNoDuplicate()
    {
        QHash<QString, QStringList> copies;
        for (const LocalEvent &event :
            m_loop->store->events(QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
                QDateTime(QDate(3000, 1, 1), QTime(0, 0), Qt::UTC)))
            copies[nameOf(event.title)].append(event.identifier);
        for (auto it = copies.cbegin(); it != copies.cend(); ++it)
            QVERIFY2(it->size() == 1, qPrintable(it.key() + ": " + it->join(", ")));
    }

    // One more update, in this process: the local copy is Google's, every copy is mapped and
    // every mapping names a copy; nothing but the events and the calendar's own files is left
    // in its folder.
    void verifyRecovery()
    {
        QVERIFY(m_loop->start());
        verifyNoDuplicate();
        const auto received = m_loop->open({team});
        QTRY_COMPARE_WITH_TIMEOUT(m_loop->subscribers(team), std::size_t(1), 10'000);
        QTRY_COMPARE_WITH_TIMEOUT(test::localEventLines(*m_loop->store),
            test::googleEventLines(m_loop->google, team, m_ids), 10'000);
        const auto mappings = m_loop->database.eventMappingsOfCalendar(team);
        QVERIFY(mappings);
        QSet<QString> mapped;
        for (const EventMapping &mapping : *mappings) {
            mapped.insert(mapping.googleEventId);
            QVERIFY(m_loop->store->event(mapping.ekEventIdentifier).has_value());
            QCOMPARE(mapping.ekEventIdentifier, copyIdentifier(team, mapping.googleEventId));
        }
        QCOMPARE(mapped, QSet<QString>(m_live.cbegin(), m_live.cend()));
        const QStringList calendarFiles {"displayname", "color", "source"};
        for (const LocalCalendar &calendar : m_loop->store->calendars()) {
            const QDir folder(QDir(m_loop->store->root()).filePath(calendar.identifier));
            for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden)) {
                const bool known
                    = name.endsWith(QLatin1String(".ics")) || calendarFiles.contains(name);
                QVERIFY2(known, qPrintable(name));
            }
        }
        QVERIFY(m_loop->stop());
    }

private slots:
    void killedWhileCopyingLosesNothingAndDuplicatesNothing()
    {
        bool seeded = false;
        const quint32 seed = qEnvironmentVariable("TOLVO_CRASH_SEED").toUInt(&seeded);
        const quint32 used = seeded ? seed : QRandomGenerator::global()->generate();
        m_random.seed(used);
        qInfo("Crash seed %u (replay with TOLVO_CRASH_SEED=%u)", used, used);

        m_loop = std::make_unique<LiveSyncFixture>();
        QVERIFY(m_loop->ready);
        m_loop->google.addCalendar(team, QStringLiteral("Team"));
        QVERIFY(m_loop->stop());
        add(20);

        // Once undisturbed, to learn how long a start takes to catch up; later runs keep
        // the estimate current, so that most kills land while the engine is at work.
        runChild(20'000);
        QVERIFY2(m_caughtUp.has_value(), "the engine never caught up");
        qint64 window = *m_caughtUp;
        verifyRecovery();
        if (QTest::currentTestFailed())
            return;

        int midWork = 0;
        for (int run = 1; run <= 50; ++run) {
            changeGoogle();
            const int killAfter = int(m_random.bounded(quint32(window * 6 / 5 + 1)));
            runChild(killAfter);
            if (m_caughtUp)
                window = (window + *m_caughtUp) / 2;
            else
                ++midWork;
            verifyRecovery();
            if (QTest::currentTestFailed()) {
                qWarning("Failed in run %d, killed after %d ms", run, killAfter);
                return;
            }
        }
        qInfo("%d of 50 kills came before the engine caught up", midWork);
    }
};

TOLVO_TEST_MAIN(CopyCrashTest)
#include "CopyCrashTest.moc"
