#pragma once

#include "modules/Calendar/CalendarPeriodView.h"

#include <QDate>
#include <QList>

class QScrollArea;

namespace tolvo {

class DayColumnWidget;
class EventBlock;
class EventPopoverPresenter;
class TimeGrid;
class TimelineSelection;
class WeekDayHeader;

// The day and week views: hour labels and one timeline column per day (one, or the seven days
// of the locale's week), scrolled vertically from midnight. Each column shows the events that
// start on its day. One selection and one popover serve all columns, and they survive date and
// event changes.
class TimelineView : public CalendarPeriodView
{
    Q_OBJECT
public:
    // The first timeline starts right after the labels' column; the width the columns share
    // leaves one pixel more, so the last column ends a pixel short of the right edge.
    static constexpr int leadingWidth = 54;
    static constexpr int layoutGutter = 55;
    // Room above midnight's line for the first label, which is raised above its line.
    static constexpr int topInset = 6;

    static TimelineView *dayView(const CalendarContext &context, QWidget *parent = nullptr);
    static TimelineView *weekView(const CalendarContext &context, QWidget *parent = nullptr);

    void setDate(const QDateTime &date) override;
    void setEvents(const QList<CalendarEvent> &events) override;
    TimelineSelection *selection() const override { return m_selection; }

    QList<QDate> days() const;
    QList<DayColumnWidget *> columns() const { return m_columns; }
    EventBlock *blockFor(const QUuid &eventId) const;
    QScrollArea *scrollArea() const { return m_scroll; }
    QWidget *content() const { return m_content; }
    TimeGrid *timeGrid() const { return m_timeGrid; }
    WeekDayHeader *header() const { return m_header; }
    EventPopoverPresenter *popovers() const { return m_popovers; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TimelineView(const CalendarContext &context, int dayCount, QWidget *parent);
    void layoutColumns();
    void distributeEvents();

    int m_dayCount;
    QDate m_anchorDay;
    QList<CalendarEvent> m_events;
    TimelineSelection *m_selection;
    QScrollArea *m_scroll;
    QWidget *m_content;
    TimeGrid *m_timeGrid;
    QList<DayColumnWidget *> m_columns;
    WeekDayHeader *m_header = nullptr;
    EventPopoverPresenter *m_popovers = nullptr;
};

// The week's day names and numbers above the columns, lined up with them.
class WeekDayHeader : public QWidget
{
    Q_OBJECT
public:
    WeekDayHeader(const CalendarContext &context, QWidget *parent);
    void setDays(const QList<QDate> &days);
    void setColumns(int left, double width);
    QList<QDate> days() const { return m_days; }
    QStringList names() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CalendarContext m_context;
    QList<QDate> m_days;
    int m_left = 0;
    double m_columnWidth = 0;
};

} // namespace tolvo
