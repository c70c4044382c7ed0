#pragma once

#include "modules/MeetingForm/MeetingFormViewModel.h"
#include "services/CacheManager.h"
#include "services/GoogleCalendarClient.h"

#include "core/Dependencies.h"

namespace tolvo {

// The add-meeting form: starts empty with a 30-minute reminder on the current day and inserts
// the meeting into the chosen Google calendar.
class AddMeetingViewModel : public MeetingFormViewModel
{
    Q_OBJECT
public:
    explicit AddMeetingViewModel(CalendarContext context = Dependencies::current<CalendarContext>(),
        QObject *parent = nullptr);

    // The followed calendars the form offers, read afresh on every call.
    QList<GoogleCalendar> calendars() const { return m_cacheManager->calendars(); }

private:
    Dependency<CacheManager> m_cacheManager;
};

} // namespace tolvo
