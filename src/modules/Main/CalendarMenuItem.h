#pragma once

#include "core/GoogleCalendar.h"

#include <QWidget>

class QToolButton;

namespace tolvo {

class ElidedLabel;

// One calendar in the sidebar: a check box symbol in the calendar's colour (grey when it has
// none) and the summary as it is. Only the symbol toggles following; the title is inert.
class CalendarMenuItem : public QWidget
{
    Q_OBJECT
public:
    explicit CalendarMenuItem(GoogleCalendar calendar, QWidget *parent = nullptr);

    const GoogleCalendar &calendar() const { return m_calendar; }
    QToolButton *symbolButton() const { return m_symbol; }
    ElidedLabel *titleLabel() const { return m_title; }
    QString symbolName() const;
    QColor symbolColor() const;

signals:
    void selectionRequested(const tolvo::GoogleCalendar &calendar);

private:
    GoogleCalendar m_calendar;
    QToolButton *m_symbol;
    ElidedLabel *m_title;
};

} // namespace tolvo
