#pragma once

#include "core/AlertType.h"
#include "core/GoogleCalendar.h"
#include "core/Requests.h"

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>
#include <variant>

namespace tolvo {

// The first `count` characters of `text`, or all of it when it is shorter.
QString prefixText(const QString &text, qsizetype count);
// What a time field keeps of what was typed: the ASCII digits only (other scripts' digits,
// spaces and ":" go), at most four, with ":" after the second ("0930" -> "09:30", "093" ->
// "09:3"). Ranges are not checked here; saving decides whether the text names a time.
QString formatTimeInput(const QString &text);

// A text of spaces counts as filled in.
bool isNonEmptyText(const QString &text);
bool isCalendarChosen(const std::optional<GoogleCalendar> &calendar);
bool allFourValid(bool a, bool b, bool c, bool d);
bool allThreeValid(bool a, bool b, bool c);
// The whole text must be one address: name@domain.tld with a two to 64 letter ending.
bool isValidEmail(const QString &text);

// What a meeting form holds when "Save" is pressed.
struct MeetingFormState
{
    QString title;
    QString startTime;
    QString endTime;
    QString description;
    qint64 reminderTime = 30;
    bool shouldCreateGoogleMeet = false;
    bool isAllDayEvent = false;
    std::optional<GoogleCalendar> selectedCalendar;
    QDateTime selectedDate;
    // What an edit carries over from the event unchanged.
    bool hadGoogleMeet = false;
    std::optional<QString> eventId;
    std::optional<QString> location;
    // How many calendar days a timed meeting's end lies after its start (an overnight or
    // multi-day event keeps its length when edited); 0 for a new meeting. It holds only while
    // both time texts are still the ones the form opened with: once a time is retyped, the end
    // is on the start's day, or on the next day when it is not after the start.
    qint64 endDayOffset = 0;
    QString openedStartTime;
    QString openedEndTime;
    // How many days an all-day meeting covers; 1 for a new meeting.
    qint64 allDayDays = 1;
};

// The four outlines after a save attempt: false outlines the field.
struct FieldValidity
{
    bool title = true;
    bool startTime = true;
    bool endTime = true;
    bool calendar = true;

    friend bool operator==(const FieldValidity &, const FieldValidity &) = default;
};

// Saving stops with nothing to tell beyond the outlines.
struct SaveStop
{
};

struct SaveDecision
{
    FieldValidity validity;
    std::variant<CalendarEventRequest, AlertType::Kind, SaveStop> outcome;

    const CalendarEventRequest *request() const
    {
        return std::get_if<CalendarEventRequest>(&outcome);
    }
    std::optional<AlertType::Kind> alert() const
    {
        if (const auto *kind = std::get_if<AlertType::Kind>(&outcome))
            return *kind;
        return std::nullopt;
    }
};

// Whether "Save" sends, what it sends, or why it stops. Without a calendar or with a time that
// names no time it stops at the outlines; an empty title raises `emptyInputs`; equal or reversed
// times raise `equalDates` or `wrongStartDate`. An all-day meeting covers `allDayDays` days from
// the chosen one, and its time texts are ignored.
SaveDecision decideSave(const MeetingFormState &state, const QTimeZone &zone);

} // namespace tolvo
