#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace tolvo {

// The locale's short time format without seconds: some locales (C among them) put seconds in
// their short format, and a meeting's time never needs them. "h:mm AP", "HH:mm".
QString shortTimeFormat(const QLocale &locale);
// The locale's date with the month's short name and no weekday, in the locale's own order:
// "MMM d, yyyy" in English, "d. MMM yyyy" in German. Derived from the long date format.
QString mediumDateFormat(const QLocale &locale);

// The short time of the locale in the context's zone: "1:05 PM", "13:05".
QString shortTime(const QDateTime &moment, const CalendarContext &context);
// The medium date and the short time: "Jan 10, 2025, 1:05 PM", "10. Jan. 2025, 13:05".
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
