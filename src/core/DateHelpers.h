#pragma once

#include "core/CalendarContext.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QTimeZone>

#include <optional>

namespace tolvo {

// The name of the in-process notification that carries a CalendarSyncUpdate from the main
// screen to the meetings list.
inline constexpr const char *googleChangedNotification = "google_changed_notification";

// Lower-case hexadecimal SHA-256 of the text's UTF-8 bytes: 64 characters.
QString sha256Hex(const QString &text);

// The instant at which `zone`'s wall clock shows `time` on `day`. A time skipped by a
// daylight-saving gap moves forward to the first existing time after the gap; a time that
// occurs twice takes its first occurrence. Invalid input gives nothing.
std::optional<QDateTime> resolveLocalTime(QDate day, QTime time, const QTimeZone &zone);

// An ISO 8601 date and time ("2025-03-03T09:00:00.250+01:00", "2025-03-03T08:00:00Z"). Text
// without an offset is a wall time in `zone` (Qt alone would read it in the machine's zone).
// Invalid for anything else.
QDateTime parseIsoDateTime(const QString &text, const QTimeZone &zone);

// Puts a typed time of day ("09:30", "9", "+9:05") onto the calendar day of `day` in `zone`.
// With a ":" the hour is the first piece and the minute the last; every piece must be an
// optional sign followed by digits. Nothing for unreadable text or an hour or minute the day
// cannot have.
std::optional<QDateTime> settingHour(
    const QDateTime &day, const QString &time, const QTimeZone &zone);

// What a time field holds for `moment`: "HH:mm" in ASCII digits in every locale, the form
// that the field's filter and `settingHour` read back.
QString timeFieldText(const QDateTime &moment, const QTimeZone &zone);

// The shared "HH:mm" and "d MMMM y" formats, in a given locale and zone.
class AppDateFormatter
{
public:
    AppDateFormatter(QLocale locale, QTimeZone zone);
    explicit AppDateFormatter(const CalendarContext &context);

    // The locale and zone of the container's calendar context (the user's in the application).
    static AppDateFormatter current();

    QString time(const QDateTime &moment) const;
    QString date(const QDateTime &moment) const;

private:
    QLocale m_locale;
    QTimeZone m_zone;
};

} // namespace tolvo
