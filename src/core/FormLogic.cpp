#include "core/FormLogic.h"

#include "core/DateHelpers.h"

#include <QRegularExpression>

namespace tolvo {

QString prefixText(const QString &text, qsizetype count)
{
    return text.left(qMax<qsizetype>(count, 0));
}

QString formatTimeInput(const QString &text)
{
    QString digits;
    for (const QChar c : text) {
        // Only ASCII digits: QChar::isDigit would let other scripts' digits through.
        if (c >= u'0' && c <= u'9')
            digits.append(c);
    }
    digits = prefixText(digits, 4);
    if (digits.size() > 2)
        return digits.left(2) + QLatin1Char(':') + digits.mid(2);
    return digits;
}

bool isNonEmptyText(const QString &text)
{
    return !text.isEmpty();
}

bool isCalendarChosen(const std::optional<GoogleCalendar> &calendar)
{
    return calendar.has_value();
}

bool allFourValid(bool a, bool b, bool c, bool d)
{
    return a && b && c && d;
}

bool allThreeValid(bool a, bool b, bool c)
{
    return a && b && c;
}

bool isValidEmail(const QString &text)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,64}")));
    return pattern.match(text).hasMatch();
}

SaveDecision decideSave(const MeetingFormState &state, const QTimeZone &zone)
{
    SaveDecision decision;
    const QDate day = state.selectedDate.toTimeZone(zone).date();
    const qint64 endOffset = qMax<qint64>(state.endDayOffset, 0);

    // Noon keeps the day clear of any daylight-saving change around midnight.
    const auto endOn = [&](qint64 offset) {
        return settingHour(QDateTime(day.addDays(offset), QTime(12, 0), zone), state.endTime, zone);
    };
    std::optional<QDateTime> start;
    std::optional<QDateTime> end;
    if (!state.isAllDayEvent) {
        start = settingHour(state.selectedDate, state.startTime, zone);
        const bool timesAsOpened
            = state.startTime == state.openedStartTime && state.endTime == state.openedEndTime;
        if (endOffset == 0 || timesAsOpened) {
            end = endOn(endOffset);
        } else {
            // A multi-day meeting given new times: keeping the old offset would turn 22:00-01:00
            // re-timed to 09:00-10:00 into a 25-hour meeting.
            end = endOn(0);
            if (start && end && *end <= *start)
                end = endOn(1);
        }
    }
    decision.validity.title = isNonEmptyText(state.title);
    decision.validity.startTime = state.isAllDayEvent || start.has_value();
    decision.validity.endTime = state.isAllDayEvent || end.has_value();
    decision.validity.calendar = isCalendarChosen(state.selectedCalendar);

    if (!decision.validity.calendar) {
        decision.outcome = SaveStop {};
        return decision;
    }
    if (!decision.validity.title) {
        decision.outcome = AlertType::Kind::emptyInputs;
        return decision;
    }
    if (state.isAllDayEvent) {
        const QDateTime local = state.selectedDate.toTimeZone(zone);
        start = local;
        end = local.addDays(qMax<qint64>(state.allDayDays, 1));
    } else {
        if (!start || !end) {
            decision.outcome = SaveStop {};
            return decision;
        }
        if (*start == *end) {
            decision.outcome = AlertType::Kind::equalDates;
            return decision;
        }
        if (*start > *end) {
            decision.outcome = AlertType::Kind::wrongStartDate;
            return decision;
        }
    }

    CalendarEventRequest request;
    request.title = state.title;
    request.description = state.description;
    request.startDate = *start;
    request.endDate = *end;
    request.reminderTime = state.reminderTime;
    request.calendar = *state.selectedCalendar;
    request.shouldCreateGoogleMeet = state.shouldCreateGoogleMeet;
    request.hadGoogleMeet = state.hadGoogleMeet;
    request.eventId = state.eventId;
    request.location = state.location;
    request.isAllDay = state.isAllDayEvent;
    decision.outcome = std::move(request);
    return decision;
}

} // namespace tolvo
