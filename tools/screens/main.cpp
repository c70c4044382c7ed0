// Walks the real main window through its screens over the loopback fakes (the OAuth and
// Calendar fakes, the relay, the sync engine, the database and a local calendar store in a
// temporary folder) and grabs the whole X screen to a PNG at each step. Meant to run under
// Xvfb with a window manager (tools/screens/grab does that), so that placement, frames and
// popups show as a user sees them.
//   tolvo-screens --out FOLDER [--dark]

#include "LiveSyncFixture.h"
#include "app/ContentView.h"
#include "app/FeedbackCommand.h"
#include "app/MainWindow.h"
#include "components/Appearance.h"
#include "components/ElidingComboBox.h"
#include "components/Fonts.h"
#include "components/StyledButton.h"
#include "modules/App/AppViewModel.h"
#include "modules/Calendar/CalendarHeaderView.h"
#include "modules/Calendar/CalendarPeriodView.h"
#include "modules/Calendar/EventBlock.h"
#include "modules/Calendar/IntuitiveCalendarView.h"
#include "modules/Calendar/MonthCalendarView.h"
#include "modules/Calendar/TimelineView.h"
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
#include "modules/Settings/IntegrationsSettingsView.h"
#include "modules/Settings/SettingsView.h"
#include "support/FakeClock.h"
#include "support/FakeOAuthServer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QToolButton>

using namespace tolvo;
using test::LiveSyncFixture;

namespace {

QCoro::Task<Result<bool>> consent()
{
    co_return true;
}

bool waitFor(const std::function<bool()> &condition, int milliseconds = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds)
        QTest::qWait(20);
    return condition();
}

class Grabber
{
public:
    Grabber(QString folder, QString suffix)
        : m_folder(std::move(folder))
        , m_suffix(std::move(suffix))
    {
        QDir().mkpath(m_folder);
    }

    // The whole screen, frames and popups included, once painting has settled.
    void operator()(const QString &name)
    {
        QTest::qWait(400);
        const QString path
            = QDir(m_folder).filePath(QStringLiteral("%1-%2.png").arg(name, m_suffix));
        QGuiApplication::primaryScreen()->grabWindow(0).save(path);
        QTextStream(stdout) << path << '\n';
    }

private:
    QString m_folder;
    QString m_suffix;
};

void click(QAbstractButton *button)
{
    if (button && waitFor([button] { return button->isVisible() && button->isEnabled(); }))
        button->click();
    else
        qWarning("A button to press did not show");
}

QAbstractButton *buttonNamed(const QString &text)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
            if (button->isVisible() && button->text().remove(QLatin1Char('&')) == text)
                return button;
        }
    }
    return nullptr;
}

void closeOtherWindows(QWidget *main)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window != main && window->isVisible())
            window->close();
    }
    QTest::qWait(100);
}

QJsonObject timed(const QString &summary, const QDateTime &start, int minutes,
    const QString &location = {}, bool meet = false)
{
    QJsonObject event {{"summary", summary},
        {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
        {"end", QJsonObject {{"dateTime", start.addSecs(60 * minutes).toString(Qt::ISODate)}}}};
    if (!location.isEmpty())
        event["location"] = location;
    if (meet)
        event["hangoutLink"] = QStringLiteral("https://meet.google.com/abc-defg-hij");
    return event;
}

QJsonObject allDay(const QString &summary, QDate first, int days)
{
    return {{"summary", summary}, {"start", QJsonObject {{"date", first.toString(Qt::ISODate)}}},
        {"end", QJsonObject {{"date", first.addDays(days).toString(Qt::ISODate)}}}};
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Tolvo"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("out"), QStringLiteral("Folder for the PNGs."),
        QStringLiteral("folder"), QStringLiteral("screens")});
    parser.addOption({QStringLiteral("dark"), QStringLiteral("The dark appearance.")});
    parser.process(app);
    const bool dark = parser.isSet(QStringLiteral("dark"));
    Appearance::instance().setOverride(dark ? ColorScheme::dark : ColorScheme::light);
    app.setFont(applicationFont());
    QStandardPaths::setTestModeEnabled(true);
    Dependencies::setContext(DependencyContext::test);
    const QString screenSize = QStringLiteral("%1x%2")
                                   .arg(app.primaryScreen()->size().width())
                                   .arg(app.primaryScreen()->size().height());
    Grabber grab(parser.value(QStringLiteral("out")),
        screenSize + (dark ? QStringLiteral("-dark") : QStringLiteral("-light")));

    // A fixed "now" at 08:00 today, so that no reminder covers the screen while it is grabbed.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const QDate today = QDate::currentDate();
    test::FakeClock clock(QDateTime(today, QTime(8, 0), zone));
    const auto at = [&](int day, int hour, int minute = 0) {
        return QDateTime(today.addDays(day), QTime(hour, minute), zone).toUTC();
    };

    LiveSyncFixture loop;
    if (!loop.ready) {
        qCritical("The loopback fakes did not start");
        return 1;
    }
    // A local calendar whose name is longer than any picker.
    if (!loop.store->createCalendar(
            QStringLiteral("A very long local calendar name that keeps going past every edge"),
            QStringLiteral("#16a765"), LocalCalendarSource::local))
        qWarning("The long-named local calendar was not made");
    const QString team = QStringLiteral("team@group.calendar.google.com");
    const QString personal = QStringLiteral("me@example.org");
    const QString project = QStringLiteral("project@group.calendar.google.com");
    loop.google.addCalendar(team, QStringLiteral("Team"), QStringLiteral("#ac725e"));
    loop.google.addCalendar(personal, QStringLiteral("Personal"), QStringLiteral("#4986e7"));
    loop.google.addCalendar(project,
        QStringLiteral("Project Apollo – launch planning and weekly reviews"),
        QStringLiteral("#16a765"));
    loop.google.addEvent(team, timed("Design review", at(0, 10), 60, "Room 4.12", true));
    loop.google.addEvent(personal, timed("1:1 with Alex", at(0, 10, 30), 60, "Café"));
    loop.google.addEvent(project, timed("Standup", at(0, 10, 15), 30, {}, true));
    loop.google.addEvent(team, timed("Quick sync", at(0, 13), 15, "Hallway"));
    loop.google.addEvent(personal, allDay("Company offsite", today, 1));
    loop.google.addEvent(project, timed("Conference", at(1, 9), 60 * 32, "Berlin"));
    loop.google.addEvent(
        team, timed(QStringLiteral("Quarterly planning ").repeated(16).left(300), at(1, 15), 60));
    for (int i = 0; i < 4; ++i)
        loop.google.addEvent(
            team, timed(QStringLiteral("Interview %1").arg(i + 1), at(2, 9 + 2 * i), 45, "Room 2"));

    test::FakeOAuthServer oauth;
    loop.google.acceptAccessTokensFrom(
        [&oauth](const QString &token) { return oauth.isValidAccessToken(token); });
    const auto scheduler = std::make_shared<TimerScheduler>(clock.clock());
    const auto current = std::make_shared<CurrentAuthSession>();
    const LoggerClient logger = LoggerClient::recording(loop.log);
    GoogleClient::Environment environment;
    environment.secrets = SecretStore::inMemory(std::make_shared<InMemorySecrets>());
    environment.oauth = oauth.config();
    // The first sign-in meets a browser that starts and never comes up: the page waits.
    environment.openBrowser
        = [stalled = std::make_shared<bool>(true), real = oauth.browser()](
              const QUrl &url) { return std::exchange(*stalled, false) || real(url); };
    environment.logger = logger;
    environment.current = current;
    const QUrl relay(QStringLiteral("http://127.0.0.1:%1").arg(loop.backend.port()));
    CalendarAccessPrompt prompt;
    prompt.ask = consent;
    const AppleCalendarClient local
        = AppleCalendarClient::over(std::make_shared<AppleCalendarSession>(loop.store,
            UserDefaultsClient::atPath(loop.folder.filePath(QStringLiteral("app.ini"))), prompt));
    AppUpdater updater;
    updater.startUpdater = [] {};
    updater.checkForUpdates = [] {};
    updater.canCheckForUpdatesPublisher = Publisher<bool>::just({false});
    updater.updateCheckResults = Publisher<UpdateCheckResult>::just({});

    DependencyScope scope;
    scope.set(scheduler)
        .set(CalendarContext {
            zone, QLocale(QLocale::English, QLocale::UnitedStates), Qt::Sunday, clock.clock()})
        .set(EventsTimerManager::liveValue())
        .set(CacheManager::liveValue())
        .set(DateManager::liveValue())
        .set(SyncBus::liveValue())
        .set(current)
        .set(GoogleClient::make(environment))
        .set(GoogleCalendarClient::make(
            {loop.google.apiRoot(), relay, current, logger, QTimeZone::utc()}))
        .set(loop.database)
        .set(loop.client)
        .set(local)
        .set(UserDefaultsClient::atPath(loop.folder.filePath(QStringLiteral("defaults.ini"))))
        .set(updater)
        .set(logger)
        .set(AnalyticsManager::recording(std::make_shared<AnalyticsRecorder>()))
        .set(NotificationHandler {[](const QString &, const QString &, const QString &) {}});

    AppViewModel model;
    MainWindow::Commands commands;
    commands.makeMainScreen = [] { return new MainView; };
    commands.openFeedback = [] { openFeedbackWindow(); };
    MainWindow *windowPointer = nullptr;
    commands.openSettings = [&windowPointer] { SettingsView::openWindow(windowPointer); };
    MainWindow window(&model, commands);
    windowPointer = &window;
    window.content()->onboarding()->setTransitionDuration(0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 2;

    OnboardingView *onboarding = window.content()->onboarding();
    grab(QStringLiteral("01-welcome"));
    click(onboarding->getStartedButton());
    grab(QStringLiteral("02-sign-in"));
    AuthView *auth = onboarding->authPage();
    click(auth->signInButton());
    waitFor([&] { return auth->addressField()->isVisible(); });
    grab(QStringLiteral("02-sign-in-waiting"));
    click(auth->cancelButton());
    click(auth->signInButton());
    waitFor([&] { return onboarding->currentPage() == onboarding->supportPage(); });
    grab(QStringLiteral("03-local-calendar"));
    click(onboarding->supportPage()->enableButton());
    waitFor([&] { return onboarding->currentPage() == onboarding->selectionPage(); });
    grab(QStringLiteral("04-choose-calendar"));
    if (!onboarding->selectionPage()->rows().isEmpty())
        QTest::mouseClick(onboarding->selectionPage()->rows().first(), Qt::LeftButton);
    click(onboarding->selectionPage()->continueButton());

    if (!waitFor([&] { return window.content()->mainScreen() != nullptr; }))
        return 3;
    auto *main = qobject_cast<MainView *>(window.content()->mainScreen());
    waitFor([&] { return main->calendarRows().size() == 3; });
    for (int i = 0; i < 3; ++i) {
        // Each toggle rebuilds the rows: take the row afresh.
        const int followed = loop.google.requests().size();
        QTest::mouseClick(main->calendarRows().at(i)->symbolButton(), Qt::LeftButton);
        waitFor([&] { return loop.google.requests().size() > followed; });
        QTest::qWait(300);
    }
    auto *list = qobject_cast<MeetingsListView *>(main->meetingsList());
    if (!list)
        return 4;
    waitFor([&] { return list->viewModel()->eventsModel().size() >= 8; });
    waitFor([&] { return !list->viewModel()->isLoading(); });
    grab(QStringLiteral("05-month"));

    IntuitiveCalendarView *screen = list->calendarScreen();
    const auto show = [&](CalendarViewType type) {
        screen->header()->viewTypeButton(type)->click();
        QTest::qWait(200);
    };
    const auto findEvent = [&](const QString &title) -> QUuid {
        for (const auto &item : list->viewModel()->eventsModel()) {
            if (item->event().summary == title)
                return item->event().identifier;
        }
        return {};
    };

    show(CalendarViewType::week);
    if (auto *week = qobject_cast<TimelineView *>(screen->view())) {
        week->scrollArea()->verticalScrollBar()->setValue(9 * 80);
        grab(QStringLiteral("06-week"));
        if (EventBlock *block = week->blockFor(findEvent(QStringLiteral("Design review")))) {
            QTest::mouseDClick(block, Qt::LeftButton, {}, block->rect().center());
            grab(QStringLiteral("07-week-popover"));
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        }
    }
    show(CalendarViewType::day);
    if (auto *day = qobject_cast<TimelineView *>(screen->view())) {
        grab(QStringLiteral("08-day-midnight"));
        day->scrollArea()->verticalScrollBar()->setValue(9 * 80);
        grab(QStringLiteral("09-day"));
    }
    show(CalendarViewType::agenda);
    grab(QStringLiteral("10-agenda"));
    show(CalendarViewType::month);
    if (auto *month = qobject_cast<MonthCalendarView *>(screen->view())) {
        if (QWidget *chip = month->chipFor(findEvent(QStringLiteral("Interview 1")))) {
            QTest::mouseDClick(chip, Qt::LeftButton, {}, chip->rect().center());
            grab(QStringLiteral("11-month-popover"));
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        }
    }

    window.settingsAction()->trigger();
    grab(QStringLiteral("12-settings"));
    if (SettingsView *settings = SettingsView::openWindow(&window)) {
        settings->selectTab(SettingsView::Tab::integrations);
        click(settings->integrationsPane()->permissionButton());
        QComboBox *picker = settings->integrationsPane()->picker();
        waitFor([picker] { return picker->isVisible() && picker->count() > 1; });
        int longest = 0;
        for (int i = 1; i < picker->count(); ++i) {
            if (picker->itemText(i).size() > picker->itemText(longest).size())
                longest = i;
        }
        picker->setCurrentIndex(longest);
        grab(QStringLiteral("12-settings-integrations"));
    }
    closeOtherWindows(&window);

    window.sendFeedbackAction()->trigger();
    grab(QStringLiteral("15-feedback"));
    if (QAbstractButton *send = buttonNamed(QStringLiteral("Send"))) {
        send->click();
        grab(QStringLiteral("16-feedback-empty"));
    }
    closeOtherWindows(&window);

    click(list->addButton());
    grab(QStringLiteral("13-add-meeting"));
    if (QAbstractButton *save = buttonNamed(QStringLiteral("Save"))) {
        save->click();
        grab(QStringLiteral("14-add-meeting-empty"));
    }
    closeOtherWindows(&window);

    window.close();
    return 0;
}
