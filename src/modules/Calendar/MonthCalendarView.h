#pragma once

#include "components/ClickCounter.h"
#include "modules/Calendar/CalendarPeriodView.h"

#include <QDate>
#include <QList>

class QLabel;
class QScrollArea;

namespace tolvo {

class EventPopoverPresenter;
class TimelineSelection;

// One event in a month cell: a dot, the title and the start time; a tinted pill when selected.
class EventChipWidget : public QWidget
{
    Q_OBJECT
public:
    EventChipWidget(const CalendarContext &context, QWidget *parent);
    const CalendarEvent &event() const { return m_event; }
    void setEvent(const CalendarEvent &event);
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // `event` is what the chip showed when it was pressed: a click is reported 0.2 s after its
    // press, and a push in between may have given the chip another event.
    void clicked(tolvo::MouseClickType type, const tolvo::CalendarEvent &event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    CalendarContext m_context;
    CalendarEvent m_event;
    CalendarEvent m_pressedEvent;
    bool m_selected = false;
};

// One day of the month grid: the day number at the top right, the first two events that
// start that day and "+N more events". A press on empty space clears the selection.
class MonthDayCell : public QWidget
{
    Q_OBJECT
public:
    static constexpr int minimumHeight = 120;
    static constexpr int chipCount = 2;

    MonthDayCell(TimelineSelection *selection, const CalendarContext &context, QWidget *parent);

    QDate day() const { return m_day; }
    void setDay(QDate day, bool isToday, bool isCurrentMonth);
    bool isToday() const { return m_isToday; }
    bool isCurrentMonth() const { return m_isCurrentMonth; }
    void setEvents(const QList<CalendarEvent> &events);
    QList<EventChipWidget *> visibleChips() const;
    EventChipWidget *chipFor(const QUuid &eventId) const;
    QLabel *overflowLabel() const { return m_overflow; }
    void refreshSelection();

signals:
    void chipClicked(tolvo::MouseClickType type, const tolvo::CalendarEvent &event);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    TimelineSelection *m_selection;
    CalendarContext m_context;
    QDate m_day;
    bool m_isToday = false;
    bool m_isCurrentMonth = true;
    QList<EventChipWidget *> m_chips;
    QLabel *m_overflow;
};

// Six weeks of the displayed month (days of the neighbouring months dimmed), with a row of
// weekday names above. The selection is kept by event, across month and event changes.
class MonthCalendarView : public CalendarPeriodView
{
    Q_OBJECT
public:
    explicit MonthCalendarView(const CalendarContext &context, QWidget *parent = nullptr);

    void setDate(const QDateTime &date) override;
    void setEvents(const QList<CalendarEvent> &events) override;
    TimelineSelection *selection() const override { return m_selection; }

    QList<MonthDayCell *> cells() const { return m_cells; }
    MonthDayCell *cellFor(QDate day) const;
    EventChipWidget *chipFor(const QUuid &eventId) const;
    QStringList weekdayNames() const;
    QScrollArea *scrollArea() const { return m_scroll; }
    EventPopoverPresenter *popovers() const { return m_popovers; }

private:
    void distributeEvents();
    void chipClicked(MouseClickType type, const CalendarEvent &pressed);

    QDate m_month;
    QList<CalendarEvent> m_events;
    TimelineSelection *m_selection;
    QWidget *m_weekdays;
    QScrollArea *m_scroll;
    QList<MonthDayCell *> m_cells;
    EventPopoverPresenter *m_popovers = nullptr;
};

} // namespace tolvo
