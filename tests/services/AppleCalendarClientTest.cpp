#include "services/AppleCalendarClient.h"
#include "core/StartTask.h"
#include "platform/IcsEvent.h"
#include "platform/LocalCalendarStore.h"
#include "support/FakeClock.h"
#include "support/TestMain.h"

#include <QCoro/QCoroTask>
#include <QTemporaryDir>

using namespace tolvo;

namespace {
QDateTime utc(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}

// One event file with exactly the dates a test needs (the store itself always stamps now).
void writeEvent(const LocalCalendarStore &store, const QString &calendarId, const QString &uid,
    const QDateTime &start, const QDateTime &created, const QDateTime &lastModified)
{
    LocalEvent event;
    event.identifier = uid;
    event.title = uid;
    event.start = start;
    event.end = start.addSecs(1800);
    event.created = created;
    auto text = ics::writeEvent(
        event, {}, lastModified.isValid() ? lastModified : start, store.localZone());
    if (!text)
        qFatal("%s", qUtf8Printable(text.error().describe()));
    if (!lastModified.isValid())
        text->replace(QByteArray("LAST-MODIFIED"), QByteArray("X-NOT-MODIFIED"));
    if (!created.isValid())
        text->replace(QByteArray("\nCREATED"), QByteArray("\nX-NOT-CREATED"));
    QFile file(QDir(store.root()).filePath(calendarId + QLatin1Char('/') + uid + ".ics"));
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write");
    file.write(*text);
}
} // namespace

class AppleCalendarClientTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    test::FakeClock m_clock {utc(2025, 3, 10, 12)};
    std::shared_ptr<LocalCalendarStore> m_store;
    UserDefaultsClient m_settings;
    int m_asked = 0;
    Result<bool> m_answer = true;

    std::shared_ptr<AppleCalendarSession> session()
    {
        CalendarAccessPrompt prompt {[this] {
            ++m_asked;
            return readyTask(m_answer);
        }};
        return std::make_shared<AppleCalendarSession>(m_store, m_settings, prompt, m_clock.clock());
    }
    QString firstCalendar() const { return m_store->calendars().first().identifier; }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_clock.set(utc(2025, 3, 10, 12));
        m_store = std::make_shared<LocalCalendarStore>(m_dir->filePath(QStringLiteral("calendars")),
            LocalCalendarStore::Options {
                QTimeZone::utc(), m_clock.clock(), std::chrono::milliseconds(10)});
        m_settings = UserDefaultsClient::atPath(m_dir->filePath(QStringLiteral("settings.ini")));
        m_asked = 0;
        m_answer = true;
    }

    void accessFollowsTheStoredConsent_data()
    {
        QTest::addColumn<QString>("stored"); // empty: nothing stored
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("granted");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("storedAfter");
        QTest::addColumn<bool>("accessBefore");

        QTest::newRow("not determined, user agrees")
            << "" << true << true << true << "fullAccess" << false;
        QTest::newRow("not determined, user refuses")
            << "" << false << false << true << "denied" << false;
        QTest::newRow("unreadable value counts as not determined")
            << "\"sometimes\"" << true << true << true << "fullAccess" << false;
        QTest::newRow("full access")
            << "\"fullAccess\"" << false << true << false << "fullAccess" << true;
        QTest::newRow("write-only access")
            << "\"writeOnly\"" << false << true << false << "writeOnly" << true;
        QTest::newRow("denied") << "\"denied\"" << true << false << false << "denied" << false;
        QTest::newRow("restricted")
            << "\"restricted\"" << true << false << false << "restricted" << false;
    }

    void accessFollowsTheStoredConsent()
    {
        QFETCH(QString, stored);
        QFETCH(bool, answer);
        QFETCH(bool, granted);
        QFETCH(bool, asked);
        QFETCH(QString, storedAfter);
        QFETCH(bool, accessBefore);

        const QString key = QString::fromLatin1(AppleCalendarClient::accessStatusKey);
        if (!stored.isEmpty())
            QSettings(m_dir->filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
                .setValue(key, stored.toUtf8());
        m_answer = answer;
        const AppleCalendarClient client = AppleCalendarClient::over(session());
        QCOMPARE(client.isAccessCalendar(), accessBefore);
        QCOMPARE(m_asked, 0); // isAccessCalendar never asks

        const auto result = QCoro::waitFor(client.requestAccess());
        QVERIFY(result);
        QCOMPARE(*result, granted);
        QCOMPARE(m_asked, asked ? 1 : 0);
        QCOMPARE(decodeJsonString(m_settings.data(key).value_or(QByteArray())), storedAfter);
        QCOMPARE(
            client.isAccessCalendar(), storedAfter == u"fullAccess" || storedAfter == u"writeOnly");

        // A decided consent is not asked again.
        QVERIFY(QCoro::waitFor(client.requestAccess()));
        QCOMPARE(m_asked, asked ? 1 : 0);
    }

    void aPromptThatFailsDecidesNothing()
    {
        m_answer = failure(ErrorDomain::localCalendar, 7, QStringLiteral("no display"));
        const AppleCalendarClient client = AppleCalendarClient::over(session());
        const auto result = QCoro::waitFor(client.requestAccess());
        QVERIFY(!result);
        QCOMPARE(result.error().code, 7);
        QVERIFY(!m_settings.data(QString::fromLatin1(AppleCalendarClient::accessStatusKey)));
        m_answer = true;
        QCOMPARE(QCoro::waitFor(client.requestAccess()), Result<bool>(true));
        QCOMPARE(m_asked, 2);
    }

    // Nothing that could not be saved counts: the consent is asked for again, the choice is
    // not made, and each failure is reported to the caller.
    void settingsThatCannotBeSavedFail()
    {
        QFile blocker(m_dir->filePath(QStringLiteral("blocked")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_settings = UserDefaultsClient::atPath(m_dir->filePath(QStringLiteral("blocked/s.ini")));
        const AppleCalendarClient client = AppleCalendarClient::over(session());

        const auto granted = QCoro::waitFor(client.requestAccess());
        QVERIFY(!granted);
        QVERIFY(granted.error().domain == ErrorDomain::io);
        QVERIFY(!client.isAccessCalendar());
        QVERIFY(!QCoro::waitFor(client.requestAccess()));
        QCOMPARE(m_asked, 2);

        const VoidResult stored = client.storeCalendar(m_store->calendars().first());
        QVERIFY(!stored);
        QVERIFY(stored.error().domain == ErrorDomain::io);
        QVERIFY(!client.selectedCalendar());
    }

    void theChosenCalendarIsKeptAsAJsonString()
    {
        const AppleCalendarClient client = AppleCalendarClient::over(session());
        QVERIFY(!client.selectedCalendar());
        auto other
            = m_store->createCalendar(QStringLiteral("Work"), {}, LocalCalendarSource::calDAV);
        QVERIFY(other);
        QCOMPARE(client.calendars().size(), 2);

        client.storeCalendar(*other);
        const QString key = QString::fromLatin1(UserDefaultsClient::appleCalendarIdKey);
        QCOMPARE(m_settings.data(key), QByteArray('"' + other->identifier.toUtf8() + '"'));
        QVERIFY(!m_settings.string(key)); // data, not text
        QCOMPARE(client.selectedCalendar(), *other);

        m_settings.set(QJsonValue(42), key);
        QVERIFY(!client.selectedCalendar());
        client.storeCalendar(*other);
        QVERIFY(QDir(QDir(m_store->root()).filePath(other->identifier)).removeRecursively());
        QVERIFY(!client.selectedCalendar());
    }

    void theDifferenceClassifiesEachEvent_data()
    {
        QTest::addColumn<int>("createdHours"); // relative to now; 0 = no creation date
        QTest::addColumn<int>("modifiedHours"); // 0 = no last-modified date
        QTest::addColumn<int>("startHours");
        QTest::addColumn<QString>("expected"); // "added", "modified" or "" for nothing

        // now = 2025-03-10 12:00 UTC; the first since is now minus two days (-48 h).
        QTest::newRow("created and modified in the last two days") << -24 << -24 << 1 << "added";
        QTest::newRow("created long ago, modified recently") << -720 << -1 << 1 << "modified";
        QTest::newRow("no creation date") << 0 << -1 << 1 << "modified";
        QTest::newRow("no last-modified date") << -1 << 0 << 1 << "";
        QTest::newRow("modified exactly at since") << -48 << -48 << 1 << "";
        QTest::newRow("created exactly at since, modified later") << -48 << -2 << 1 << "modified";
        QTest::newRow("modified before since") << -72 << -72 << 1 << "";
        QTest::newRow("starts outside the window") << -1 << -1 << 72 << "";
        QTest::newRow("ended yesterday, inside the window") << -1 << -1 << -30 << "added";
    }

    void theDifferenceClassifiesEachEvent()
    {
        QFETCH(int, createdHours);
        QFETCH(int, modifiedHours);
        QFETCH(int, startHours);
        QFETCH(QString, expected);

        const QDateTime now = m_clock.now();
        writeEvent(*m_store, firstCalendar(), QStringLiteral("event"),
            now.addSecs(startHours * 3600),
            createdHours ? now.addSecs(createdHours * 3600) : QDateTime(),
            modifiedHours ? now.addSecs(modifiedHours * 3600) : QDateTime());
        const auto changes = session()->computeLocalChanges(QStringLiteral("google-calendar"));
        if (expected.isEmpty()) {
            QCOMPARE(changes.size(), 0);
            return;
        }
        QCOMPARE(changes.size(), 1);
        const auto kind = changes.first().kind();
        QCOMPARE(kind == AppleCalendarChange::Kind::added     ? QStringLiteral("added")
                : kind == AppleCalendarChange::Kind::modified ? QStringLiteral("modified")
                                                              : QStringLiteral("deleted"),
            expected);
    }

    void eachDifferenceStartsWhereTheLastOneLooked()
    {
        auto monitor = session();
        const QString google = QStringLiteral("google-calendar");
        m_clock.advance(-3600);
        QVERIFY(m_store->save(LocalEvent {QString(), firstCalendar(), QStringLiteral("one"),
            m_clock.now().addSecs(7200), m_clock.now().addSecs(9000)}));
        m_clock.advance(3600);
        QCOMPARE(monitor->computeLocalChanges(google).size(), 1);
        QCOMPARE(monitor->computeLocalChanges(google).size(), 0); // no new edits

        // An edit in the same second just before a check is reported by it, and not again by
        // the next one.
        m_clock.advanceMs(1400);
        QVERIFY(m_store->save(LocalEvent {QString(), firstCalendar(), QStringLiteral("two"),
            m_clock.now().addSecs(7200), m_clock.now().addSecs(9000)}));
        m_clock.advanceMs(300);
        const auto changes = monitor->computeLocalChanges(google);
        QCOMPARE(changes.size(), 1);
        QCOMPARE(std::get<AppleCalendarChange::Added>(changes.first().value).event.title,
            QStringLiteral("two"));
        m_clock.advanceMs(100);
        QCOMPARE(monitor->computeLocalChanges(google).size(), 0);

        // The since moment is per Google calendar id.
        QCOMPARE(monitor->computeLocalChanges(QStringLiteral("another")).size(), 2);
    }

    // LAST-MODIFIED holds whole seconds: an edit later in the second of a check carries that
    // second, and the next check still reports it.
    void anEditLaterInTheSecondOfACheckIsReportedByTheNext()
    {
        auto monitor = session();
        const QString google = QStringLiteral("google-calendar");
        m_clock.set(utc(2025, 3, 10, 12).addMSecs(200));
        QCOMPARE(monitor->computeLocalChanges(google).size(), 0);
        m_clock.advanceMs(300);
        QVERIFY(m_store->save(LocalEvent {QString(), firstCalendar(), QStringLiteral("late"),
            m_clock.now().addSecs(3600), m_clock.now().addSecs(7200)}));
        m_clock.advanceMs(1000);
        const auto changes = monitor->computeLocalChanges(google);
        QCOMPARE(changes.size(), 1);
        QVERIFY(changes.first().kind() == AppleCalendarChange::Kind::added);
        QCOMPARE(monitor->computeLocalChanges(google).size(), 0);
    }

    // What was not copied, or was copied elsewhere, is copied again when copying becomes
    // possible or moves to another calendar.
    void copyingIsAnnouncedWhenItBecomesPossibleOrMoves()
    {
        const AppleCalendarClient client = AppleCalendarClient::over(session());
        QStringList announced;
        const Subscription subscription = client.copyTargetChanged.subscribe(nullptr,
            [&announced](const LocalCalendar &calendar) { announced.append(calendar.title); });
        const LocalCalendar first = m_store->calendars().first();
        const auto other
            = m_store->createCalendar(QStringLiteral("Work"), {}, LocalCalendarSource::local);
        QVERIFY(other);

        client.storeCalendar(first); // no access yet: nothing is copied anywhere
        QVERIFY(announced.isEmpty());
        QCOMPARE(QCoro::waitFor(client.requestAccess()), Result<bool>(true));
        QCOMPARE(announced, QStringList {first.title});
        client.storeCalendar(first); // the same target
        QVERIFY(QCoro::waitFor(client.requestAccess())); // already granted
        QCOMPARE(announced.size(), 1);
        client.storeCalendar(*other);
        QCOMPARE(announced, (QStringList {first.title, QStringLiteral("Work")}));
    }

    void theMonitorYieldsOnStoreChangesUntilCancelled()
    {
        const AppleCalendarClient client = AppleCalendarClient::over(session());
        AsyncStream<CalendarSyncUpdate> stream;
        CancelToken token;
        auto running = client.startLocalChangeMonitoring(
            QStringLiteral("google-calendar"), stream.continuation(), token);

        emit m_store->storeChanged();
        QCOMPARE(stream.buffered(), std::size_t(0)); // an empty difference yields nothing

        m_clock.advance(1); // an edit after that check
        QVERIFY(m_store->save(LocalEvent {QString(), firstCalendar(), QStringLiteral("new"),
            m_clock.now().addSecs(3600), m_clock.now().addSecs(7200)}));
        emit m_store->storeChanged();
        const auto next = QCoro::waitFor(stream.next());
        QVERIFY(next && *next);
        const auto *local = (*next)->local();
        QVERIFY(local);
        QCOMPARE(local->calendarId, QStringLiteral("google-calendar"));
        QCOMPARE(local->changes.size(), 1);
        QVERIFY(local->changes.first().kind() == AppleCalendarChange::Kind::added);

        token.cancel();
        QCoro::waitFor(std::move(running));
        m_clock.advance(10);
        QVERIFY(m_store->save(LocalEvent {QString(), firstCalendar(), QStringLiteral("later"),
            m_clock.now().addSecs(3600), m_clock.now().addSecs(7200)}));
        emit m_store->storeChanged();
        QCOMPARE(stream.buffered(), std::size_t(0));

        // Ending the stream from the consumer's side ends a monitor too.
        AsyncStream<CalendarSyncUpdate> second;
        auto other = client.startLocalChangeMonitoring(
            QStringLiteral("google-calendar"), second.continuation(), CancelToken());
        second.cancel();
        QCoro::waitFor(std::move(other));
    }
};

TOLVO_TEST_MAIN(AppleCalendarClientTest)
#include "AppleCalendarClientTest.moc"
