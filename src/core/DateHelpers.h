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

// Puts a typed time of day ("09:30", "9", "+9:05") onto the calendar day of `day` in `zone`.
// With a ":" the hour is the first piece and the minute the last; every piece must be an
// optional sign followed by digits. Nothing for unreadable text or an hour or minute the day
// cannot have.
std::optional<QDateTime> settingHour(
    const QDateTime &day, const QString &time, const QTimeZone &zone);

// The shared "HH:mm" and "d MMMM y" formats, in a given locale and zone.
class AppDateFormatter
{
public:
    AppDateFormatter(QLocale locale, QTimeZone zone);

    // The user's locale and zone, made once.
    static const AppDateFormatter &shared();

    QString time(const QDateTime &moment) const;
    QString date(const QDateTime &moment) const;

private:
    QLocale m_locale;
    QTimeZone m_zone;
};

} // namespace tolvo
