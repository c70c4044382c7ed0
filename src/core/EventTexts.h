#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace tolvo {

// The short time of the locale in the context's zone: "1:05 PM", "13:05".
QString shortTime(const QDateTime &moment, const CalendarContext &context);
// A date with the month's short name and a short time: "Jan 10, 2025, 1:05 PM".
QString mediumDateTime(const QDateTime &moment, const CalendarContext &context);
// A block's time row: "9:00 AM - 10:30 AM".
QString timeRangeText(const CalendarEvent &event, const CalendarContext &context);
// The details popover's time line: "All-Day Event" or both ends with their dates.
QString detailsTimeText(const CalendarEvent &event, const CalendarContext &context);
// The agenda row's time line: "All-Day Event" or "9:00 AM - 10:30 AM" on the 12-hour clock.
QString agendaTimeText(const CalendarEvent &event, const CalendarContext &context);

// The web address a meeting link may open: only a well-formed http or https address with a
// host. Anything else (a file, a custom scheme, junk) opens nothing.
std::optional<QUrl> meetingLinkUrl(const QString &link);

} // namespace tolvo
