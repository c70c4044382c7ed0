#include "modules/App/AppViewModel.h"

#include "core/StartTask.h"

#include <QPointer>

namespace tolvo {

namespace {
const QString appleCalendarAccessEvent = QStringLiteral("apple_calendar_access");
}

std::optional<OnboardingStep> onboardingStep(int raw)
{
    if (raw < 0 || raw > 3)
        return std::nullopt;
    return static_cast<OnboardingStep>(raw);
}

QList<LocalCalendar> offeredCalendars(const QList<LocalCalendar> &calendars)
{
    QList<LocalCalendar> offered;
    for (const auto &calendar : calendars) {
        if (calendar.source == LocalCalendarSource::local
            || calendar.source == LocalCalendarSource::calDAV)
            offered.append(calendar);
    }
    return offered;
}

std::optional<AlertType> accessFailureAlert(const Error &error)
{
    if (error.domain != ErrorDomain::io)
        return std::nullopt;
    return AlertType::error(error);
}

AppViewModel::AppViewModel(QObject *parent)
    : QObject(parent)
    , m_alertType(new AlertItem(this))
{
    // Only sign-out publishes here; the value arrives later through the event loop, never
    // inside the publisher's call.
    m_cancellables.append(m_googleClient->listenAuthorizationChanged.subscribe(
        this,
        [this](const bool &authorized) {
            if (authorized) {
                setDestination(Destination::main);
            } else {
                setCurrentStep(OnboardingStep::onboarding);
                setDestination(Destination::auth);
            }
        },
        Qt::QueuedConnection));
    m_cancellables.append(m_googleClient->signInPrompts.subscribe(
        this,
        [this](const SignInPrompt &prompt) {
            if (!m_signingIn)
                return;
            m_signInPrompt = prompt;
            emit signInPromptChanged();
        },
        Qt::QueuedConnection));
    m_cancellables.append(m_appUpdater->canCheckForUpdatesPublisher.subscribe(
        this, [this](const bool &canCheck) { setCanCheckForUpdates(canCheck); }));
}

AppViewModel::~AppViewModel() = default;

namespace {
// Stores the value and tells listeners, only when it changes.
template<typename T>
void assignAndTell(AppViewModel *model, T &member, T value, void (AppViewModel::*changed)(T))
{
    if (member == value)
        return;
    member = value;
    emit(model->*changed)(value);
}
} // namespace

void AppViewModel::setDestination(Destination destination)
{
    assignAndTell(this, m_destination, destination, &AppViewModel::destinationChanged);
}

void AppViewModel::setCurrentStep(OnboardingStep step)
{
    assignAndTell(this, m_currentStep, step, &AppViewModel::currentStepChanged);
}

void AppViewModel::setSelectedCalendar(std::optional<LocalCalendar> calendar)
{
    m_selectedCalendar = std::move(calendar);
    emit selectedCalendarChanged();
}

void AppViewModel::setCalendars(QList<LocalCalendar> calendars)
{
    m_calendars = std::move(calendars);
    emit calendarsChanged();
}

void AppViewModel::setCanCheckForUpdates(bool canCheck)
{
    assignAndTell(this, m_canCheckForUpdates, canCheck, &AppViewModel::canCheckForUpdatesChanged);
}

void AppViewModel::setSigningIn(bool signingIn)
{
    assignAndTell(this, m_signingIn, signingIn, &AppViewModel::signingInChanged);
}

QCoro::Task<> AppViewModel::checkAuthorization()
{
    QPointer<AppViewModel> self(this);
    const auto isAuthorized = m_googleClient->isAuthorized;
    const Result<bool> authorized = co_await isAuthorized();
    if (!self || !authorized)
        co_return;
    setDestination(*authorized ? Destination::main : Destination::auth);
}

QCoro::Task<> AppViewModel::signIn()
{
    if (m_signingIn)
        co_return;
    QPointer<AppViewModel> self(this);
    const int run = ++m_signInRun;
    setSigningIn(true);
    m_analyticsManager->trackEvent(QStringLiteral("signIn"), std::nullopt);
    const auto authorize = m_googleClient->authorize;
    const Result<bool> signedIn = co_await authorize();
    if (!self || run != m_signInRun)
        co_return;
    endSignIn();
    if (signedIn && *signedIn)
        setCurrentStep(OnboardingStep::appleCalendarSupport);
}

void AppViewModel::cancelSignIn()
{
    if (!m_signingIn)
        return;
    // The cancelled sign-in still comes back later; its answer no longer counts.
    ++m_signInRun;
    endSignIn();
    if (m_googleClient->cancelSignIn)
        m_googleClient->cancelSignIn();
}

void AppViewModel::endSignIn()
{
    if (std::exchange(m_signInPrompt, std::nullopt))
        emit signInPromptChanged();
    setSigningIn(false);
}

void AppViewModel::requestAppleCalendarAccess()
{
    m_analyticsManager->trackEvent(appleCalendarAccessEvent, std::nullopt);
    startTask(this, m_appleCalendarClient->requestAccess(),
        [this](Result<bool> answer) { handleAccessAnswer(answer); });
}

void AppViewModel::handleAccessAnswer(const Result<bool> &answer)
{
    if (!answer) {
        if (auto alert = accessFailureAlert(answer.error()))
            m_alertType->set(std::move(*alert));
        return;
    }
    if (!*answer) {
        setDestination(Destination::main);
        return;
    }
    QList<LocalCalendar> offered = offeredCalendars(m_appleCalendarClient->calendars());
    // With nothing to pick the selection page would be a dead end: go on without copies.
    if (offered.isEmpty()) {
        setDestination(Destination::main);
        return;
    }
    setCalendars(std::move(offered));
    setCurrentStep(OnboardingStep::appleCalendarSelection);
}

void AppViewModel::confirmCalendarSelection()
{
    if (!m_selectedCalendar) {
        m_alertType->set(AlertType::calendarSelection());
        return;
    }
    if (const VoidResult stored = m_appleCalendarClient->storeCalendar(*m_selectedCalendar);
        !stored) {
        m_alertType->set(AlertType::error(stored.error()));
        return;
    }
    setDestination(Destination::main);
}

} // namespace tolvo
