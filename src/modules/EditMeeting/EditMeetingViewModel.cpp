#include "modules/EditMeeting/EditMeetingViewModel.h"

#include "core/DateHelpers.h"
#include "core/Dependencies.h"
#include "services/CacheManager.h"
#include "services/GoogleCalendarClient.h"

namespace tolvo {

EditMeetingViewModel::EditMeetingViewModel(const GoogleCalendarEvent &event,
    const QString &calendarId, CalendarContext context, QObject *parent)
    : MeetingFormViewModel(
        Mode::edit, Dependency<GoogleCalendarClient>()->updateEvent, std::move(context), parent)
    , m_event(event)
{
    const QDateTime now = this->context().now();
    const QDateTime start = event.start.value_or(now);
    const QDateTime end = event.end.value_or(now);

    MeetingFormState &state = prefill();
    state.title = event.summary.value_or(QString());
    state.selectedDate = start;
    // In the digits the field and the save read back, whatever digits the locale writes.
    state.startTime = timeFieldText(start, this->context().zone);
    state.endTime = timeFieldText(end, this->context().zone);
    state.openedStartTime = state.startTime;
    state.openedEndTime = state.endTime;
    for (const GoogleCalendar &calendar : Dependency<CacheManager>()->calendars()) {
        if (calendar.id == calendarId) {
            state.selectedCalendar = calendar;
            break;
        }
    }
    if (!state.selectedCalendar) {
        // The update needs only the calendar's id; without a name the field shows nothing.
        GoogleCalendar bare;
        bare.id = calendarId;
        bare.summary = std::nullopt;
        state.selectedCalendar = bare;
    }
    state.shouldCreateGoogleMeet = event.hangoutLink && !event.hangoutLink->isEmpty();
    state.hadGoogleMeet = state.shouldCreateGoogleMeet;
    state.reminderTime = event.reminderMinutes;
    state.description = event.description.value_or(QString());
    state.isAllDayEvent = event.isAllDay;
    state.eventId = event.id;
    state.location = event.location;
    if (event.start && event.end) {
        const QTimeZone &zone = this->context().zone;
        const qint64 days
            = event.start->toTimeZone(zone).date().daysTo(event.end->toTimeZone(zone).date());
        // An all-day event's end is the day after its last one.
        if (event.isAllDay)
            state.allDayDays = qMax<qint64>(days, 1);
        else
            state.endDayOffset = days;
    }
    startValidating();
}

} // namespace tolvo
