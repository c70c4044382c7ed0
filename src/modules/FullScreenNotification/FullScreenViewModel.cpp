#include "modules/FullScreenNotification/FullScreenViewModel.h"

namespace tolvo {

FullScreenViewModel::FullScreenViewModel(
    GoogleCalendarEvent event, const AppDateFormatter &formatter, QObject *parent)
    : QObject(parent)
    , m_event(std::move(event))
    , m_formatter(formatter)
{
}

void FullScreenViewModel::setTimeToMeeting(const QString &text)
{
    m_timeToMeeting = text;
    emit timeToMeetingChanged(text);
}

void FullScreenViewModel::setSnoozeTime(SnoozeTime time)
{
    m_snoozeTime = time;
    emit snoozeTimeChanged(time);
}

QString FullScreenViewModel::timeRangeText() const
{
    if (!m_event.start)
        return {};
    const QString start = m_formatter.time(*m_event.start);
    if (!m_event.end)
        return start;
    return start + QStringLiteral(" - ") + m_formatter.time(*m_event.end);
}

std::optional<QUrl> FullScreenViewModel::meetingUrl() const
{
    if (!m_event.hangoutLink)
        return std::nullopt;
    // Only a web address is handed to the browser; the link comes from a remote event.
    const QUrl url(m_event.hangoutLink->trimmed(), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http")
        || url.host().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace tolvo
