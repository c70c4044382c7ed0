#pragma once

#include "core/CalendarEvent.h"

#include <QWidget>

namespace tolvo {

class StyledButton;

// Opens a meeting link in the browser, but only a web address (see meetingLinkUrl); anything
// else does nothing. True when something was opened.
bool openMeetingLink(const QString &link);

// "Join Google Meet" (while the event has a link, even an empty one), "Edit" and "Delete" for
// one event, as the details popover and the agenda show them.
class EventActionsRow : public QWidget
{
    Q_OBJECT
public:
    explicit EventActionsRow(const CalendarEvent &event, QWidget *parent = nullptr);

    void setEvent(const CalendarEvent &event);
    StyledButton *joinButton() const { return m_join; }
    StyledButton *editButton() const { return m_edit; }
    StyledButton *deleteButton() const { return m_delete; }

signals:
    void editRequested(const tolvo::CalendarEvent &event);
    void deleteRequested(const tolvo::CalendarEvent &event);

private:
    CalendarEvent m_event;
    StyledButton *m_join;
    StyledButton *m_edit;
    StyledButton *m_delete;
};

} // namespace tolvo
