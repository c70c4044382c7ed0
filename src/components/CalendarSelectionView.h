#pragma once

#include "components/HoverPickList.h"
#include "core/GoogleCalendar.h"

namespace tolvo {

// The add form's calendar list: one row per calendar with its name (empty when it has none),
// highlighted by calendar id; a click hands the whole calendar to the handler.
class CalendarSelectionView : public HoverPickList
{
    Q_OBJECT
public:
    CalendarSelectionView(const QList<GoogleCalendar> &calendars,
        std::function<void(const GoogleCalendar &)> calendarSelectionHandler,
        QWidget *parent = nullptr);
};

} // namespace tolvo

Q_DECLARE_METATYPE(tolvo::GoogleCalendar)
