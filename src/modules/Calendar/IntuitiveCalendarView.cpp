#include "modules/Calendar/IntuitiveCalendarView.h"

#include "components/Appearance.h"
#include "modules/Calendar/AgendaView.h"
#include "modules/Calendar/CalendarHeaderView.h"
#include "modules/Calendar/CalendarStyle.h"
#include "modules/Calendar/MonthCalendarView.h"
#include "modules/Calendar/TimelineView.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tolvo {

IntuitiveCalendarView::IntuitiveCalendarView(const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_date(context.now())
    , m_header(new CalendarHeaderView(context))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto *headerRow = new QHBoxLayout;
    headerRow->addStretch(1);
    headerRow->addWidget(m_header);
    headerRow->addStretch(1);
    layout->addLayout(headerRow);
    connect(m_header, &CalendarHeaderView::dateChangeRequested, this,
        &IntuitiveCalendarView::dateChangeRequested);
    connect(m_header, &CalendarHeaderView::viewTypeChangeRequested, this,
        &IntuitiveCalendarView::viewTypeChangeRequested);
    connect(
        &Appearance::instance(), &Appearance::changed, this, &IntuitiveCalendarView::applyPalette);
    applyPalette();
    m_header->setState(m_date, m_type);
    buildView();
}

void IntuitiveCalendarView::setDate(const QDateTime &date)
{
    if (!date.isValid() || date == m_date)
        return;
    m_date = date;
    m_header->setState(m_date, m_type);
    if (m_view)
        m_view->setDate(m_date);
}

void IntuitiveCalendarView::setViewType(CalendarViewType type)
{
    if (type == m_type)
        return;
    m_type = type;
    m_header->setState(m_date, m_type);
    buildView();
}

void IntuitiveCalendarView::setEvents(const QList<CalendarEvent> &events)
{
    m_events = events;
    if (m_view)
        m_view->setEvents(m_events);
}

void IntuitiveCalendarView::buildView()
{
    delete m_view;
    CalendarPeriodView *view = nullptr;
    switch (m_type) {
    case CalendarViewType::day: view = TimelineView::dayView(m_context); break;
    case CalendarViewType::week: view = TimelineView::weekView(m_context); break;
    case CalendarViewType::month: view = new MonthCalendarView(m_context); break;
    case CalendarViewType::agenda: view = new AgendaView(m_context); break;
    }
    view->setDate(m_date);
    view->setEvents(m_events);
    connect(view, &CalendarPeriodView::editRequested, this, &IntuitiveCalendarView::editRequested);
    connect(
        view, &CalendarPeriodView::deleteRequested, this, &IntuitiveCalendarView::deleteRequested);
    static_cast<QVBoxLayout *>(layout())->addWidget(view, 1);
    m_view = view;
}

void IntuitiveCalendarView::applyPalette()
{
    // The scroll areas of the views paint the window colour; the views paint in the rest.
    QPalette colors = palette();
    for (const auto role : {QPalette::Window, QPalette::Base})
        colors.setColor(role, calendarstyle::background());
    colors.setColor(QPalette::WindowText, calendarstyle::primaryText());
    // Scroll bars are drawn from the button colours: keep them quiet on a dark screen too.
    if (Appearance::current() == ColorScheme::dark) {
        const QColor button = calendarstyle::background().lighter(150);
        colors.setColor(QPalette::Button, button);
        colors.setColor(QPalette::Light, button.lighter(130));
        colors.setColor(QPalette::Midlight, button.lighter(115));
        colors.setColor(QPalette::Mid, button.darker(120));
        colors.setColor(QPalette::Dark, button.darker(150));
        colors.setColor(QPalette::Shadow, Qt::black);
    } else {
        const QPalette standard = QApplication::palette(this);
        for (const auto role : {QPalette::Button, QPalette::Light, QPalette::Midlight,
                 QPalette::Mid, QPalette::Dark, QPalette::Shadow})
            colors.setColor(role, standard.color(role));
    }
    setPalette(colors);
    setAutoFillBackground(true);
    update();
    if (m_view)
        m_view->update();
}

} // namespace tolvo
