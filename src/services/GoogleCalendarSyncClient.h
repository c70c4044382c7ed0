#pragma once

#include "services/CalendarSyncSession.h"

#include <QCoro/QCoroTask>
#include <QStringList>

#include <functional>

namespace tolvo {

// The live sync of the followed Google calendars. One engine per process: for each followed
// calendar a push channel (renewed when Google drops it), a listener on the backend's event
// stream that fetches and classifies the changes it signals, and a monitor of the local
// calendar, all delivering into one stream.
struct GoogleCalendarSyncClient
{
    static constexpr const char *dependencyKey = "calendarSyncClient";

    // A new stream for these calendars; the earlier one ends without error. Returns at once.
    std::function<SyncStream(const QStringList &calendarIds)> sync;
    // Unfollows: the calendar's listener and monitor stop, then its channel.
    std::function<QCoro::Task<VoidResult>(const QString &calendarId)> cleanUp;
    // Sign-out: every listener and monitor stops, then every stored channel (refusals dropped).
    std::function<QCoro::Task<VoidResult>()> cleanUpAll;
    // Follows a calendar into the current stream; ends when it is unfollowed.
    std::function<QCoro::Task<VoidResult>(const QString &calendarId)> addCalendar;

    static GoogleCalendarSyncClient over(CalendarSyncSession::Ptr session);
    // The session's services from the container.
    static CalendarSyncSession::Services services();

    static GoogleCalendarSyncClient liveValue();
    static GoogleCalendarSyncClient testValue();
    static GoogleCalendarSyncClient previewValue() { return liveValue(); }
};

} // namespace tolvo
