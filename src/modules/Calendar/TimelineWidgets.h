#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace tolvo {

class EventBlock;
class TimelineSelection;

// The hour labels left of a timeline: "12 AM" ... "11 PM", each raised 6 pixels above its line.
class TimeGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int labelWidth = 50;
    static constexpr int columnWidth = 54; // the labels and their 4 pixels of trailing padding
    static constexpr int textOffset = -6;

    TimeGrid(const CalendarContext &context, int topInset, QWidget *parent);
    QString label(int hour) const;
    // Where the label of `hour` is drawn, in the widget's coordinates.
    QRect labelRect(int hour) const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CalendarContext m_context;
    int m_topInset;
};

// One day of a timeline: 24 ruled hour rows and the day's events as blocks placed by the
// overlap layout. Blocks are kept across refreshes while their event stays, so an open
// popover stays on its block. A press on empty space clears the shared selection.
class DayColumnWidget : public QWidget
{
    Q_OBJECT
public:
    DayColumnWidget(TimelineSelection *selection, const CalendarContext &context, QWidget *parent);

    QDate day() const { return m_day; }
    void setDay(QDate day) { m_day = day; }
    void setEvents(const QList<CalendarEvent> &events);
    // The width the overlap layout shares out (the column may be a pixel wider).
    void setLayoutWidth(double width);

    QList<EventBlock *> blocks() const;
    EventBlock *blockFor(const QUuid &eventId) const;

signals:
    // Blocks came or went: an open popover may have lost its anchor.
    void blocksChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void relayout();
    void refreshSelection();

    QPointer<TimelineSelection> m_selection;
    CalendarContext m_context;
    QDate m_day;
    QList<CalendarEvent> m_events;
    QList<EventBlock *> m_blocks; // in drawing order
    double m_layoutWidth = 0;
};

} // namespace tolvo
