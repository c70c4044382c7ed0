#pragma once

#include "core/DateHelpers.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

namespace tolvo {

// The state of one full-screen reminder: the event, the lead text and the snooze choice.
class FullScreenViewModel : public QObject
{
    Q_OBJECT
public:
    explicit FullScreenViewModel(GoogleCalendarEvent event,
        const AppDateFormatter &formatter = AppDateFormatter::current(), QObject *parent = nullptr);

    const GoogleCalendarEvent &event() const { return m_event; }
    QString title() const { return m_event.summary.value_or(QString()); }
    // Nothing sets it yet; the view shows it only when it is not empty.
    QString timeToMeeting() const { return m_timeToMeeting; }
    void setTimeToMeeting(const QString &text);
    SnoozeTime snoozeTime() const { return m_snoozeTime; }
    // Announces every choice, even a repeated one: each is an answer of the user.
    void setSnoozeTime(SnoozeTime time);

    // "" without a start, "09:30" with a start only, "09:30 - 10:00" with both.
    QString timeRangeText() const;
    // The event's Meet address, when it has a usable one.
    std::optional<QUrl> meetingUrl() const;

signals:
    void timeToMeetingChanged(const QString &text);
    void snoozeTimeChanged(tolvo::SnoozeTime time);

private:
    GoogleCalendarEvent m_event;
    AppDateFormatter m_formatter;
    QString m_timeToMeeting;
    SnoozeTime m_snoozeTime = SnoozeTime::notDefined;
};

} // namespace tolvo
