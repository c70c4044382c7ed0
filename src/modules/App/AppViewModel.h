#pragma once

#include "core/AlertType.h"
#include "core/Dependencies.h"
#include "core/LocalCalendar.h"
#include "core/Subject.h"
#include "services/AnalyticsManager.h"
#include "services/AppUpdater.h"
#include "services/AppleCalendarClient.h"
#include "services/GoogleClient.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>

#include <optional>

namespace tolvo {

// Which screen the main window shows.
enum class Destination { auth, main };

// The onboarding page shown while the destination is `auth`.
enum class OnboardingStep {
    onboarding = 0,
    auth = 1,
    appleCalendarSupport = 2,
    appleCalendarSelection = 3
};

// The step of a raw value; nothing outside 0 to 3.
std::optional<OnboardingStep> onboardingStep(int raw);

// The root navigation: whether the window shows onboarding or the main screen, the onboarding
// page, and the flows onboarding runs (launch check, sign-in, local-calendar access and the
// choice of the calendar that receives copies). Failures of these flows are silent by design:
// the navigation stays where it was and the user can try again. Settings that cannot be saved
// are the exception: they raise an error alert.
class AppViewModel : public QObject
{
    Q_OBJECT
public:
    explicit AppViewModel(QObject *parent = nullptr);
    ~AppViewModel() override;

    Destination destination() const { return m_destination; }
    void setDestination(Destination destination);
    OnboardingStep currentStep() const { return m_currentStep; }
    void setCurrentStep(OnboardingStep step);
    bool canCheckForUpdates() const { return m_canCheckForUpdates; }
    AlertItem *alertType() const { return m_alertType; }
    const std::optional<LocalCalendar> &selectedCalendar() const { return m_selectedCalendar; }
    void setSelectedCalendar(std::optional<LocalCalendar> calendar);
    const QList<LocalCalendar> &calendars() const { return m_calendars; }
    void setCalendars(QList<LocalCalendar> calendars);
    // True while a browser sign-in runs; a second sign-in is not started meanwhile.
    bool isSigningIn() const { return m_signingIn; }
    // The running sign-in's address once the browser was asked to open it; none otherwise.
    const std::optional<SignInPrompt> &signInPrompt() const { return m_signInPrompt; }

    const AppUpdater &appUpdater() const { return *m_appUpdater; }

    // Asks for a stored Google session: main when there is one, auth when there is none.
    QCoro::Task<> checkAuthorization();
    // Tracks "signIn", then runs the browser sign-in; success moves on to the local-calendar
    // offer. Does nothing while a sign-in is already running.
    QCoro::Task<> signIn();
    // Ends the running sign-in at once: signing in can start again right away.
    void cancelSignIn();
    // Tracks "apple_calendar_access", then asks for access: granted offers the local and
    // CalDAV calendars; refused (or nothing to offer) goes to the main screen.
    void requestAppleCalendarAccess();
    // Without a pick raises the `calendarSelection` alert; with one stores it, then goes to
    // the main screen.
    void confirmCalendarSelection();

signals:
    void destinationChanged(tolvo::Destination destination);
    void currentStepChanged(tolvo::OnboardingStep step);
    void canCheckForUpdatesChanged(bool canCheck);
    void selectedCalendarChanged();
    void calendarsChanged();
    void signingInChanged(bool signingIn);
    void signInPromptChanged();

private:
    void setCanCheckForUpdates(bool canCheck);
    void setSigningIn(bool signingIn);
    void endSignIn();
    void handleAccessAnswer(const Result<bool> &answer);

    Dependency<GoogleClient> m_googleClient;
    Dependency<AppUpdater> m_appUpdater;
    Dependency<AppleCalendarClient> m_appleCalendarClient;
    Dependency<AnalyticsManager> m_analyticsManager;

    Destination m_destination = Destination::auth;
    bool m_canCheckForUpdates = false;
    OnboardingStep m_currentStep = OnboardingStep::onboarding;
    AlertItem *m_alertType;
    std::optional<LocalCalendar> m_selectedCalendar;
    QList<LocalCalendar> m_calendars;
    bool m_signingIn = false;
    // Counts sign-ins, so that one that was cancelled does not end its successor.
    int m_signInRun = 0;
    std::optional<SignInPrompt> m_signInPrompt;
    QList<Subscription> m_cancellables;
};

// The calendars onboarding and settings offer: local and CalDAV ones, in the store's order.
QList<LocalCalendar> offeredCalendars(const QList<LocalCalendar> &calendars);

// The alert for a local-calendar access request that failed: settings that could not be saved
// are told, as every failed settings write is; a question left unanswered is not.
std::optional<AlertType> accessFailureAlert(const Error &error);

} // namespace tolvo
