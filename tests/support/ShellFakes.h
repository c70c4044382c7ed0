#pragma once

#include "core/Dependencies.h"
#include "core/LocalCalendar.h"
#include "core/OneShot.h"
#include "core/Result.h"
#include "core/Subject.h"
#include "services/AnalyticsManager.h"
#include "services/AppUpdater.h"
#include "services/AppleCalendarClient.h"
#include "services/GoogleClient.h"
#include "services/UserDefaultsClient.h"

#include <QPointer>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tolvo::test {

// An answer that a test releases when it wants: until `open()`, whoever awaits it waits.
class Gate
{
public:
    Gate();
    ~Gate();
    void open(Result<bool> answer);
    bool isOpen() const { return m_answer.has_value(); }
    QCoro::Task<Result<bool>> wait();

private:
    std::optional<Result<bool>> m_answer;
    QPointer<OneShot> m_opened;
};

// The services the application shell calls, each operation answered from here and counted,
// installed in a scope of their own for as long as this lives. Everything the shell calls is
// overridden; anything else stays the strict test value.
class ShellFakes
{
public:
    ShellFakes();

    // The launch check and the sign-in answer at once with these, unless a gate is set.
    Result<bool> storedSession
        = failure(ErrorDomain::keychain, 1, QStringLiteral("nothing stored"));
    Result<bool> signInAnswer = true;
    std::shared_ptr<Gate> signInGate;
    int signInCalls = 0;
    // Cancelling answers the pending sign-in (its gate) with false, as the client does.
    int signInCancels = 0;
    std::shared_ptr<Subject<SignInPrompt>> signInPrompts = Subject<SignInPrompt>::passthrough();
    int signOutCalls = 0;
    std::shared_ptr<Subject<bool>> authorizationChanged = Subject<bool>::passthrough();

    std::shared_ptr<Subject<bool>> canCheck = Subject<bool>::withCurrentValue(false);
    std::shared_ptr<Subject<UpdateCheckResult>> updateResults
        = Subject<UpdateCheckResult>::passthrough();
    int updateChecks = 0;
    int updaterStarts = 0;

    Result<bool> accessAnswer = true;
    std::shared_ptr<Gate> accessGate;
    int accessRequests = 0;
    QList<LocalCalendar> localCalendars;
    QList<LocalCalendar> storedCalendars;
    // What storing a calendar answers; a failure stores nothing, as unwritable settings do.
    VoidResult storeAnswer;

    std::shared_ptr<AnalyticsRecorder> analytics = std::make_shared<AnalyticsRecorder>();
    QStringList trackedEvents() const;

    QTemporaryDir folder;
    UserDefaultsClient settings;

    GoogleClient googleClient();
    AppUpdater appUpdater();
    AppleCalendarClient appleCalendarClient();

private:
    DependencyScope m_scope;
};

// Local calendars of each source kind.
LocalCalendar localCalendar(const QString &id, const QString &title,
    LocalCalendarSource source = LocalCalendarSource::local,
    const QString &color = QStringLiteral("#3A87AD"));

} // namespace tolvo::test
