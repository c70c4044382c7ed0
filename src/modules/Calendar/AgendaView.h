#pragma once

#include "components/ElidedLabel.h"
#include "modules/Calendar/CalendarPeriodView.h"

#include <QLabel>

class QScrollArea;
class QVBoxLayout;

namespace tolvo {

class EventActionsRow;
class StyledButton;

// One event of the agenda: a colour stripe, the title, the time (followed by "•" and the
// location when the event has one), one line of notes and the Join, Edit and Delete actions.
class AgendaEventRow : public QWidget
{
    Q_OBJECT
public:
    AgendaEventRow(const CalendarEvent &event, const CalendarContext &context, QWidget *parent);
    const CalendarEvent &event() const { return m_event; }
    ElidedLabel *titleLabel() const { return m_title; }
    ElidedLabel *timeLabel() const { return m_time; }
    // Null when the event has no location.
    QLabel *bulletLabel() const { return m_bullet; }
    ElidedLabel *locationLabel() const { return m_location; }
    ElidedLabel *notesLabel() const { return m_notes; }
    StyledButton *joinButton() const;
    StyledButton *editButton() const;
    StyledButton *deleteButton() const;

signals:
    void editRequested(const tolvo::CalendarEvent &event);
    void deleteRequested(const tolvo::CalendarEvent &event);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CalendarEvent m_event;
    ElidedLabel *m_title;
    ElidedLabel *m_time;
    QLabel *m_bullet = nullptr;
    ElidedLabel *m_location = nullptr;
    ElidedLabel *m_notes;
    EventActionsRow *m_actions;
};

// The events that start in the displayed month, under a heading per day.
class AgendaView : public CalendarPeriodView
{
    Q_OBJECT
public:
    explicit AgendaView(const CalendarContext &context, QWidget *parent = nullptr);

    void setDate(const QDateTime &date) override;
    void setEvents(const QList<CalendarEvent> &events) override;

    QStringList dayHeadings() const;
    QList<AgendaEventRow *> rows() const;
    QScrollArea *scrollArea() const { return m_scroll; }

private:
    void rebuild();

    QDate m_month;
    QList<CalendarEvent> m_events;
    QScrollArea *m_scroll;
    QWidget *m_content = nullptr;
};

} // namespace tolvo
