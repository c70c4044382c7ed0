#pragma once

#include "core/Dependencies.h"
#include "core/GoogleCalendar.h"
#include "services/AnalyticsManager.h"
#include "services/AppUpdater.h"
#include "services/CacheManager.h"
#include "services/CalendarSyncSession.h"
#include "services/DatabaseClient.h"
#include "services/DateManager.h"
#include "services/GoogleCalendarClient.h"
#include "services/GoogleCalendarSyncClient.h"
#include "services/GoogleClient.h"
#include "services/LoggerClient.h"

#include <QStringList>

#include <memory>
#include <optional>

namespace tolvo::test {

// Every service the main screen's start-up, calendar toggles and sign-out call, answered from
// here and recorded, installed in a scope of its own for as long as this lives.
class MainScreenFakes
{
public:
    MainScreenFakes();

    // What Google lists, or why the list fails.
    Result<QList<GoogleCalendar>> calendarList = QList<GoogleCalendar>();
    // Calendars with a stored push channel (followed).
    QStringList channelCalendarIds;
    // Every call of the sync service: "sync:a,b", "add:a", "cleanUp:a", "cleanUpAll".
    QStringList syncCalls;
    int signOuts = 0;
    QStringList syncCallsAtSignOut; // what syncCalls held when the last sign-out came
    int updaterStarts = 0;
    std::shared_ptr<AnalyticsRecorder> analytics = std::make_shared<AnalyticsRecorder>();
    std::shared_ptr<LogRecorder> log = std::make_shared<LogRecorder>();
    std::shared_ptr<Subject<bool>> authorizationChanged = Subject<bool>::passthrough();
    CacheManager cache = CacheManager::liveValue();
    DateManager dates = DateManager::liveValue();

    static GoogleCalendar calendar(const QString &id, const QString &summary,
        std::optional<QString> color = QStringLiteral("#3A87AD"));

private:
    DependencyScope m_scope;
    std::optional<SyncStream> m_stream;
};

} // namespace tolvo::test
