#include "ShellFakes.h"

#include "core/StartTask.h"

#include <QCoro/QCoroSignal>

namespace tolvo::test {

namespace {
QCoro::Task<Result<bool>> answerThrough(std::shared_ptr<Gate> gate)
{
    co_return co_await gate->wait();
}

QCoro::Task<VoidResult> signedOut(std::shared_ptr<Subject<bool>> changed)
{
    changed->send(false);
    co_return VoidResult();
}
} // namespace

Gate::Gate()
    : m_opened(new OneShot)
{
}

Gate::~Gate()
{
    delete m_opened.data();
}

void Gate::open(Result<bool> answer)
{
    m_answer = std::move(answer);
    if (m_opened)
        m_opened->fire();
}

QCoro::Task<Result<bool>> Gate::wait()
{
    if (!m_answer) {
        QPointer<OneShot> opened = m_opened;
        co_await qCoro(opened.data(), &OneShot::fired);
    }
    co_return m_answer.value_or(Result<bool>(false));
}

ShellFakes::ShellFakes()
    : settings(UserDefaultsClient::atPath(folder.filePath(QStringLiteral("settings.ini"))))
{
    m_scope.set(AnalyticsManager::recording(analytics));
    m_scope.set(settings);
    m_scope.set(googleClient());
    m_scope.set(appUpdater());
    m_scope.set(appleCalendarClient());
}

QStringList ShellFakes::trackedEvents() const
{
    QStringList names;
    for (const auto &event : analytics->events())
        names.append(event.name);
    return names;
}

GoogleClient ShellFakes::googleClient()
{
    GoogleClient client = GoogleClient::testValue();
    client.isAuthorized = [this] { return readyTask(storedSession); };
    client.authorize = [this] {
        ++signInCalls;
        return signInGate ? answerThrough(signInGate) : readyTask(signInAnswer);
    };
    client.signOut = [this] {
        ++signOutCalls;
        return signedOut(authorizationChanged);
    };
    client.listenAuthorizationChanged = authorizationChanged->publisher();
    client.cancelSignIn = [this] {
        ++signInCancels;
        if (signInGate && !signInGate->isOpen())
            signInGate->open(false);
    };
    client.signInPrompts = signInPrompts->publisher();
    return client;
}

AppUpdater ShellFakes::appUpdater()
{
    AppUpdater updater;
    updater.startUpdater = [this] { ++updaterStarts; };
    updater.checkForUpdates = [this] { ++updateChecks; };
    updater.canCheckForUpdatesPublisher = canCheck->publisher();
    updater.updateCheckResults = updateResults->publisher();
    return updater;
}

AppleCalendarClient ShellFakes::appleCalendarClient()
{
    AppleCalendarClient client = AppleCalendarClient::testValue();
    client.requestAccess = [this] {
        ++accessRequests;
        return accessGate ? answerThrough(accessGate) : readyTask(accessAnswer);
    };
    client.calendars = [this] { return localCalendars; };
    client.storeCalendar = [this](const LocalCalendar &calendar) {
        if (storeAnswer)
            storedCalendars.append(calendar);
        return storeAnswer;
    };
    return client;
}

LocalCalendar localCalendar(
    const QString &id, const QString &title, LocalCalendarSource source, const QString &color)
{
    return LocalCalendar {id, title, color, source};
}

} // namespace tolvo::test
