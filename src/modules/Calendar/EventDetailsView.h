#pragma once

#include "core/CalendarContext.h"
#include "core/CalendarEvent.h"

#include <QWidget>

class QLabel;

namespace tolvo {

class EventActionsRow;
class StyledButton;

// The details of one event, shown in the popover of a block, chip or row: title with its
// colour, time, location, notes (at most three lines) and the Join, Edit and Delete actions.
// The actions do not close the popover: the owner decides.
class EventDetailsView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int fixedWidth = 400;
    static constexpr int notesMaxLines = 3;

    EventDetailsView(
        const CalendarEvent &event, const CalendarContext &context, QWidget *parent = nullptr);

    const CalendarEvent &event() const { return m_event; }
    void setEvent(const CalendarEvent &event);

    QLabel *titleLabel() const { return m_title; }
    QLabel *timeLabel() const { return m_time; }
    QWidget *locationRow() const { return m_locationRow; }
    QLabel *locationLabel() const { return m_location; }
    QWidget *notesRow() const { return m_notesRow; }
    QLabel *notesLabel() const { return m_notes; }
    StyledButton *joinButton() const;
    StyledButton *editButton() const;
    StyledButton *deleteButton() const;

signals:
    void editRequested(const tolvo::CalendarEvent &event);
    void deleteRequested(const tolvo::CalendarEvent &event);

protected:
    void changeEvent(QEvent *event) override;

private:
    void refresh();
    void applyColors();

    CalendarEvent m_event;
    CalendarContext m_context;
    QLabel *m_dot;
    QLabel *m_title;
    QLabel *m_clock;
    QLabel *m_time;
    QWidget *m_locationRow;
    QLabel *m_pin;
    QLabel *m_location;
    QWidget *m_notesRow;
    QLabel *m_noteIcon;
    QLabel *m_notes;
    EventActionsRow *m_actions;
};

// Up to `maxLines` lines of `text`, each of its own lines wrapped at `width`; the last one
// kept is cut with an ellipsis when more would follow.
QString elideToLines(const QString &text, const QFont &font, int width, int maxLines);

} // namespace tolvo
