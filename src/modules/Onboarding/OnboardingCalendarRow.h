#pragma once

#include "core/LocalCalendar.h"

#include <QWidget>

class QLabel;

namespace tolvo {

class ElidedLabel;

// One calendar on the selection page: a colour dot, the title as it is (cut with an ellipsis
// when it is too long, whole in the tooltip), and a check mark when it is the chosen one. The
// whole row is the tap target.
class OnboardingCalendarRow : public QWidget
{
    Q_OBJECT
public:
    explicit OnboardingCalendarRow(LocalCalendar calendar, QWidget *parent = nullptr);

    const LocalCalendar &calendar() const { return m_calendar; }
    bool isChecked() const { return m_checked; }
    void setChecked(bool checked);
    ElidedLabel *titleLabel() const { return m_title; }

signals:
    void clicked(const tolvo::LocalCalendar &calendar);

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    LocalCalendar m_calendar;
    ElidedLabel *m_title;
    QLabel *m_check;
    bool m_checked = false;
};

// A filled circle in a calendar's colour (grey when it has none), for lists of calendars.
QPixmap calendarDot(const QString &color, int diameter, qreal dpr = 2.0);

} // namespace tolvo
