#pragma once

#include "modules/Calendar/CalendarPeriodView.h"

#include <QLabel>

class QScrollArea;
class QVBoxLayout;

namespace tolvo {

class EventActionsRow;
class StyledButton;

// A one-line label that cuts its text with an ellipsis to the width it gets.
class ElidedLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ElidedLabel(const QString &text = {}, QWidget *parent = nullptr);
    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();
    QString m_fullText;
};

// One event of the agenda: a colour stripe, the title, the time (and "• location" when the
// event has one), one line of notes and the Join, Edit and Delete actions.
class AgendaEventRow : public QWidget
{
    Q_OBJECT
public:
    AgendaEventRow(const CalendarEvent &event, const CalendarContext &context, QWidget *parent);
    const CalendarEvent &event() const { return m_event; }
    ElidedLabel *titleLabel() const { return m_title; }
    ElidedLabel *timeLabel() const { return m_time; }
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
