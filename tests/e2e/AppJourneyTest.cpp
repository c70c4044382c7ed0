#include "LiveSyncFixture.h"
#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "components/Appearance.h"
#include "components/ElidedLabel.h"
#include "components/StyledButton.h"
#include "components/WindowReader.h"
#include "modules/App/AppViewModel.h"
#include "modules/FullScreenNotification/FullScreenView.h"
#include "modules/Main/CalendarMenuItem.h"
#include "modules/Main/MainView.h"
#include "modules/Main/MainViewModel.h"
#include "modules/Meetings/MeetingsListView.h"
#include "modules/Meetings/MeetingsListViewModel.h"
#include "modules/Onboarding/AuthView.h"
#include "modules/Onboarding/OnboardingAppleCalendarSelectionView.h"
#include "modules/Onboarding/OnboardingAppleCalendarSupportView.h"
#include "modules/Onboarding/OnboardingCalendarRow.h"
#include "modules/Onboarding/OnboardingView.h"
#include "support/ClockedScope.h"
#include "support/FakeOAuthServer.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QToolButton>

using namespace tolvo;
using test::LiveSyncFixture;

namespace {
const QString team = QStringLiteral("team@group.calendar.google.com");

QCoro::Task<Result<bool>> consent()
{
    co_return true;
}

QJsonObject timed(const QString &summary, const QDateTime &start, int minutes)
{
    return {{"summary", summary},
        {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
        {"end", QJsonObject {{"dateTime", start.addSecs(60 * minutes).toString(Qt::ISODate)}}}};
}

void click(QAbstractButton *button)
{
    QVERIFY(button);
    QTRY_VERIFY(button->isVisible() && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

// With TOLVO_GRAB_DIR set, the window is written there in light and dark for a person to see.
void grabInBothAppearances(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("TOLVO_GRAB_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        Appearance::instance().setOverride(scheme);
        QCoreApplication::processEvents();
        const QString suffix
            = scheme == ColorScheme::dark ? QStringLiteral("dark") : QStringLiteral("light");
        window->grab().save(QDir(folder).filePath(name + QLatin1Char('-') + suffix + ".png"));
    }
    Appearance::instance().setOverride(std::nullopt);
}

QList<FullScreenView *> reminders()
{
    QList<FullScreenView *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *view = qobject_cast<FullScreenView *>(widget); view && view->isVisible())
            shown.append(view);
    }
    return shown;
}
} // namespace

// A new user's whole way through the application in one process: the real services on
// loopback (the OAuth and Calendar fakes, the relay, the engine, the database and the local
// store in a temporary folder), a fake clock for the reminders and a recording notifier.
class AppJourneyTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<LiveSyncFixture> m_loop;
    std::unique_ptr<test::FakeOAuthServer> m_oauth;
    std::unique_ptr<test::ClockedScope> m_time;
    QStringList m_notifications;
    std::shared_ptr<AnalyticsRecorder> m_analytics = std::make_shared<AnalyticsRecorder>();

private slots:
    void init()
    {
        m_loop = std::make_unique<LiveSyncFixture>();
        QVERIFY(m_loop->ready);
        m_loop->google.addCalendar(team, QStringLiteral("Team"), QStringLiteral("#ac725e"));
        m_oauth = std::make_unique<test::FakeOAuthServer>();
        test::FakeOAuthServer *oauth = m_oauth.get();
        m_loop->google.acceptAccessTokensFrom(
            [oauth](const QString &token) { return oauth->isValidAccessToken(token); });
        m_time = std::make_unique<test::ClockedScope>();
        m_notifications.clear();

        const auto current = std::make_shared<CurrentAuthSession>();
        const LoggerClient logger = LoggerClient::recording(m_loop->log);
        GoogleClient::Environment environment;
        environment.secrets = SecretStore::inMemory(std::make_shared<InMemorySecrets>());
        environment.oauth = m_oauth->config();
        environment.openBrowser = m_oauth->browser();
        environment.logger = logger;
        environment.current = current;
        const QUrl relay(QStringLiteral("http://127.0.0.1:%1").arg(m_loop->backend.port()));

        // Onboarding's consent and choice over the loop's local store.
        CalendarAccessPrompt prompt;
        prompt.ask = consent;
        const AppleCalendarClient local
            = AppleCalendarClient::over(std::make_shared<AppleCalendarSession>(m_loop->store,
                UserDefaultsClient::atPath(m_loop->folder.filePath(QStringLiteral("app.ini"))),
                prompt));

        AppUpdater updater;
        updater.startUpdater = [] {};
        updater.checkForUpdates = [] {};
        updater.canCheckForUpdatesPublisher = Publisher<bool>::just({false});
        updater.updateCheckResults = Publisher<UpdateCheckResult>::just({});
        UserDefaultsClient defaults
            = UserDefaultsClient::atPath(m_loop->folder.filePath(QStringLiteral("defaults.ini")));

        m_time->open()
            .set(EventsTimerManager::liveValue())
            .set(CacheManager::liveValue())
            .set(DateManager::liveValue())
            .set(SyncBus::liveValue())
            .set(current)
            .set(GoogleClient::make(environment))
            .set(GoogleCalendarClient::make({m_loop->google.apiRoot(),
                test::FakeGoogleCalendar::behindTls(relay), current, logger, QTimeZone::utc()}))
            .set(m_loop->database)
            .set(m_loop->client)
            .set(local)
            .set(defaults)
            .set(updater)
            .set(logger)
            .set(AnalyticsManager::recording(m_analytics))
            .set(NotificationHandler {
                [this](const QString &title, const QString &, const QString &subtitle) {
                    m_notifications.append(title + ": " + subtitle);
                }});
    }

    void cleanup()
    {
        test::deleteTopLevelWindows();
        for (FullScreenView *view : reminders())
            view->close();
        if (m_loop->ready)
            QCoro::waitFor(m_loop->client.cleanUpAll());
        m_time.reset();
        m_oauth.reset();
        m_loop.reset();
    }

    void fromFirstStartToSignOut()
    {
        AppViewModel app;
        MainWindow::Commands commands;
        commands.makeMainScreen = [] { return new MainView; };
        MainWindow window(&app, commands);
        window.content()->onboarding()->setTransitionDuration(0);
        window.show();
        QCOMPARE(window.content()->currentScreen(), window.content()->onboarding());

        // Onboarding: welcome, the browser sign-in, the local calendar.
        OnboardingView *onboarding = window.content()->onboarding();
        click(onboarding->getStartedButton());
        click(onboarding->authPage()->signInButton());
        QTRY_COMPARE_WITH_TIMEOUT(onboarding->currentPage(), onboarding->supportPage(), 10000);
        click(onboarding->supportPage()->enableButton());
        QTRY_COMPARE(onboarding->currentPage(), onboarding->selectionPage());
        const auto rows = onboarding->selectionPage()->rows();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first()->calendar().title, QStringLiteral("Calendar"));
        QTest::mouseClick(rows.first(), Qt::LeftButton);
        click(onboarding->selectionPage()->continueButton());

        // The main screen with Google's calendars in the sidebar.
        QTRY_VERIFY(window.content()->mainScreen());
        auto *main = qobject_cast<MainView *>(window.content()->mainScreen());
        QVERIFY(main);
        QTRY_COMPARE(main->viewModel()->appState(), AppState::configured);
        QTRY_COMPARE(main->calendarRows().size(), 1);
        QCOMPARE(main->calendarRows().first()->titleLabel()->text(), QStringLiteral("Team"));
        auto *list = qobject_cast<MeetingsListView *>(main->meetingsList());
        QVERIFY(list);
        QCOMPARE(list->viewModel()->selectedView(), CalendarViewType::month);

        // Follow the calendar; an event made elsewhere arrives through the relay.
        QTest::mouseClick(main->calendarRows().first()->symbolButton(), Qt::LeftButton);
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(1));
        QTRY_VERIFY(!list->viewModel()->isLoading());
        const QDateTime start = m_time->now().addSecs(45 * 60);
        const QString id
            = m_loop->google.addEvent(team, timed("Planning", start, 30)).value("id").toString();
        QTRY_COMPARE(list->viewModel()->eventsModel().size(), 1);
        QCOMPARE(list->viewModel()->eventsModel().first()->event().id, id);
        QCOMPARE(m_notifications, QStringList {QStringLiteral("New event added: Planning")});
        grabInBothAppearances(&window, QStringLiteral("main-screen"));

        // The reminder covers the screen at its time; snoozed, it comes back a minute later.
        m_time->advanceTo(start.addSecs(-30 * 60 - 1));
        QVERIFY(reminders().isEmpty());
        m_time->advanceTo(start.addSecs(-30 * 60));
        QTRY_COMPARE(reminders().size(), 1);
        QVERIFY(reminders().first()->isFullScreen());
        reminders().first()->snoozeButton(SnoozeTime::minute)->click();
        QTRY_VERIFY(reminders().isEmpty());
        m_time->advanceTo(start.addSecs(-29 * 60 - 1));
        QVERIFY(reminders().isEmpty());
        m_time->advanceTo(start.addSecs(-29 * 60));
        QTRY_COMPARE(reminders().size(), 1);
        reminders().first()->dismissButton()->click();
        QTRY_VERIFY(reminders().isEmpty());

        // Sign-out: back to the welcome page; the old account's screen, timers and listeners go.
        QPointer<QWidget> oldScreen = main;
        click(main->logoutButton());
        QTRY_COMPARE(window.content()->currentScreen(), window.content()->onboarding());
        QCOMPARE(onboarding->currentPage(), onboarding->welcomePage());
        QTRY_VERIFY(!oldScreen);
        QTRY_COMPARE(m_loop->subscribers(team), std::size_t(0));
        QVERIFY(m_loop->rows().isEmpty());
        const int requests = m_loop->google.requests().size();
        // No timer is left on the app's clock, so moving it past the meeting wakes nothing.
        QTRY_COMPARE(m_time->scheduler()->pendingCount(), std::size_t(0));
        m_time->advanceTo(start.addSecs(3600));
        QVERIFY(reminders().isEmpty());
        QCOMPARE(m_loop->google.requests().size(), requests);
        QVERIFY(m_analytics->events().size() >= 3);
    }
};

TOLVO_WIDGET_TEST_MAIN(AppJourneyTest)
#include "AppJourneyTest.moc"
