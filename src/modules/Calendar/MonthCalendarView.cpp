#include "modules/Calendar/MonthCalendarView.h"

#include "components/ClickCountDetector.h"
#include "components/Palette.h"
#include "core/CalendarMath.h"
#include "core/EventTexts.h"
#include "core/TimelineGeometry.h"
#include "core/TimelineSelection.h"
#include "modules/Calendar/CalendarStyle.h"
#include "modules/Calendar/EventPopoverPresenter.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tolvo {

namespace {
constexpr int dotSide = 10;
constexpr int chipSpacing = 8;
constexpr int selectedPadding = 6;
constexpr int cellPadding = 4;

int dayNumberSide()
{
    return QFontMetrics(calendarstyle::caption(QFont::Bold)).height() + 2 * cellPadding;
}

// The weekday names above the grid, sharing the width equally.
class MonthDayHeader : public QWidget
{
public:
    MonthDayHeader(QStringList names, QWidget *parent)
        : QWidget(parent)
        , m_names(std::move(names))
    {
        setFixedHeight(QFontMetrics(calendarstyle::caption()).height() + 8);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setFont(calendarstyle::caption());
        painter.setPen(calendarstyle::secondaryText());
        for (int i = 0; i < m_names.size(); ++i) {
            const int left = width() * i / 7;
            const QRect cell(left, 0, width() * (i + 1) / 7 - left, height());
            painter.drawText(cell, Qt::AlignCenter,
                painter.fontMetrics().elidedText(m_names[i], Qt::ElideRight, cell.width()));
        }
    }

private:
    QStringList m_names;
};
} // namespace

EventChipWidget::EventChipWidget(const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    new ClickCountDetector(
        this, [this](MouseClickType type) { emit clicked(type, m_pressedEvent); });
    // Installed after the detector, so it sees each press before the detector consumes it.
    installEventFilter(this);
}

bool EventChipWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == this
        && (event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::MouseButtonDblClick))
        m_pressedEvent = m_event;
    return QWidget::eventFilter(watched, event);
}

void EventChipWidget::setEvent(const CalendarEvent &event)
{
    if (event == m_event)
        return;
    const bool lines = event.isAllDAy != m_event.isAllDAy;
    m_event = event;
    if (lines)
        updateGeometry();
    update();
}

void EventChipWidget::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QSize EventChipWidget::sizeHint() const
{
    const int title = QFontMetrics(calendarstyle::caption(QFont::DemiBold)).height();
    const int time = m_event.isAllDAy ? 0 : QFontMetrics(calendarstyle::caption2()).height();
    return QSize(80, qMax(dotSide, title + time));
}

QSize EventChipWidget::minimumSizeHint() const
{
    return QSize(dotSide, sizeHint().height());
}

void EventChipWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = QColor::fromRgba(m_event.color);
    int left = 0;
    if (m_selected) {
        QPainterPath pill;
        pill.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(pill, calendarstyle::withAlpha(color, 0.4));
        left = selectedPadding;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(left, (height() - dotSide) / 2.0, dotSide, dotSide));

    const int textLeft = left + dotSide + chipSpacing;
    const int textWidth = width() - textLeft - (m_selected ? selectedPadding : 0);
    if (textWidth <= 0)
        return;
    const QFont titleFont = calendarstyle::caption(QFont::DemiBold);
    const QFont timeFont = calendarstyle::caption2();
    const int titleHeight = QFontMetrics(titleFont).height();
    const int timeHeight = m_event.isAllDAy ? 0 : QFontMetrics(timeFont).height();
    int y = (height() - titleHeight - timeHeight) / 2;
    painter.setFont(titleFont);
    painter.setPen(calendarstyle::primaryText());
    painter.drawText(QRect(textLeft, y, textWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(m_event.title, Qt::ElideRight, textWidth));
    if (m_event.isAllDAy)
        return;
    y += titleHeight;
    painter.setFont(timeFont);
    painter.setPen(calendarstyle::secondaryText());
    painter.drawText(QRect(textLeft, y, textWidth, timeHeight), Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(
            shortTime(m_event.startDate, m_context), Qt::ElideRight, textWidth));
}

MonthDayCell::MonthDayCell(
    TimelineSelection *selection, const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_selection(selection)
    , m_context(context)
    , m_overflow(new QLabel(this))
{
    setMinimumHeight(minimumHeight);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(cellPadding, cellPadding, cellPadding, cellPadding);
    layout->setSpacing(4);
    layout->addSpacing(dayNumberSide());
    auto *chips = new QVBoxLayout;
    chips->setSpacing(chipSpacing);
    for (int i = 0; i < chipCount; ++i) {
        auto *chip = new EventChipWidget(context, this);
        chip->hide();
        connect(chip, &EventChipWidget::clicked, this, &MonthDayCell::chipClicked);
        m_chips.append(chip);
        chips->addWidget(chip);
    }
    m_overflow->setFont(calendarstyle::caption2());
    m_overflow->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_overflow->hide();
    chips->addWidget(m_overflow);
    layout->addLayout(chips);
    layout->addStretch(1);
}

void MonthDayCell::setDay(QDate day, bool isToday, bool isCurrentMonth)
{
    if (day == m_day && isToday == m_isToday && isCurrentMonth == m_isCurrentMonth)
        return;
    m_day = day;
    m_isToday = isToday;
    m_isCurrentMonth = isCurrentMonth;
    update();
}

void MonthDayCell::setEvents(const QList<CalendarEvent> &events)
{
    for (int i = 0; i < m_chips.size(); ++i) {
        EventChipWidget *chip = m_chips[i];
        if (i < events.size()) {
            chip->setEvent(events[i]);
            chip->show();
        } else {
            chip->hide();
        }
    }
    const qsizetype more = events.size() - chipCount;
    if (more > 0) {
        QPalette palette = m_overflow->palette();
        palette.setColor(QPalette::WindowText, calendarstyle::secondaryText());
        m_overflow->setPalette(palette);
        m_overflow->setText(tr("+%1 more events").arg(more));
    }
    m_overflow->setVisible(more > 0);
    refreshSelection();
}

QList<EventChipWidget *> MonthDayCell::visibleChips() const
{
    QList<EventChipWidget *> result;
    for (EventChipWidget *chip : m_chips) {
        if (!chip->isHidden())
            result.append(chip);
    }
    return result;
}

EventChipWidget *MonthDayCell::chipFor(const QUuid &eventId) const
{
    for (EventChipWidget *chip : m_chips) {
        if (!chip->isHidden() && chip->event().id == eventId)
            return chip;
    }
    return nullptr;
}

void MonthDayCell::refreshSelection()
{
    for (EventChipWidget *chip : std::as_const(m_chips))
        chip->setSelected(!chip->isHidden() && m_selection->isSelected(chip->event().id));
}

void MonthDayCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen border(calendarstyle::withAlpha(QColor(0x8E, 0x8E, 0x93), 0.2));
    border.setWidthF(0.5);
    painter.setPen(border);
    painter.drawRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25));

    const QFont font = calendarstyle::caption(m_isToday ? QFont::Bold : QFont::Normal);
    painter.setFont(font);
    const QString number = m_context.locale.toString(m_day, QStringLiteral("d"));
    const int side = dayNumberSide();
    const int textWidth = QFontMetrics(font).horizontalAdvance(number) + 2 * cellPadding;
    const QRect badge(
        width() - cellPadding - qMax(side, textWidth), cellPadding, qMax(side, textWidth), side);
    if (m_isToday) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(calendarstyle::withAlpha(QColor(0x00, 0x7A, 0xFF), 0.2));
        painter.drawEllipse(badge);
    }
    painter.setPen(m_isToday   ? QColor(Qt::white)
            : m_isCurrentMonth ? calendarstyle::primaryText()
                               : calendarstyle::withAlpha(calendarstyle::secondaryText(), 0.5));
    painter.drawText(badge, Qt::AlignCenter, number);
}

void MonthDayCell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_selection->clear();
    event->accept();
}

MonthCalendarView::MonthCalendarView(const CalendarContext &context, QWidget *parent)
    : CalendarPeriodView(context, parent)
    , m_selection(new TimelineSelection(this))
    , m_weekdays(new MonthDayHeader(weekdaySymbols(context, QLocale::ShortFormat), this))
    , m_scroll(new QScrollArea(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_weekdays);

    auto *grid = new QWidget;
    auto *gridLayout = new QGridLayout(grid);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
    for (int i = 0; i < 42; ++i) {
        auto *cell = new MonthDayCell(m_selection, context, grid);
        connect(cell, &MonthDayCell::chipClicked, this, &MonthCalendarView::chipClicked);
        gridLayout->addWidget(cell, i / 7, i % 7);
        m_cells.append(cell);
    }
    for (int column = 0; column < 7; ++column)
        gridLayout->setColumnStretch(column, 1);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    grid->setAutoFillBackground(false);
    m_scroll->setWidget(grid);
    layout->addWidget(m_scroll, 1);

    m_popovers = new EventPopoverPresenter(
        m_selection, context, [this](const QUuid &id) -> QWidget * { return chipFor(id); },
        Popover::Side::trailing, this);
    connect(m_selection, &TimelineSelection::changed, this, [this] {
        for (MonthDayCell *cell : std::as_const(m_cells))
            cell->refreshSelection();
    });
    connect(
        m_popovers, &EventPopoverPresenter::editRequested, this, &MonthCalendarView::editRequested);
    connect(m_popovers, &EventPopoverPresenter::deleteRequested, this,
        &MonthCalendarView::deleteRequested);
    setDate(context.now());
}

void MonthCalendarView::setDate(const QDateTime &date)
{
    const QDate day = localDate(date, context());
    if (!day.isValid())
        return;
    m_month = day;
    const QDate today = localDate(context().now(), context());
    const QList<QDate> grid = monthGrid42(day, context().firstDayOfWeek);
    for (int i = 0; i < m_cells.size(); ++i) {
        const QDate cellDay = grid.value(i);
        // Dimmed are the days outside the displayed month, whatever month today is in.
        m_cells[i]->setDay(cellDay, cellDay == today, isSameMonth(cellDay, m_month));
    }
    distributeEvents();
}

void MonthCalendarView::setEvents(const QList<CalendarEvent> &events)
{
    m_events = events;
    {
        // The blocks and the popover follow the selection once they show the new events: told
        // before, the popover would look for a reloaded event among the old ones and close.
        const QSignalBlocker quiet(m_selection);
        m_selection->retain(events);
    }
    distributeEvents();
}

void MonthCalendarView::chipClicked(MouseClickType type, const CalendarEvent &pressed)
{
    // Acts on the event that was pressed, as it is now; nothing when a push took it away.
    const std::optional<CalendarEvent> current = TimelineSelection::sameEventIn(m_events, pressed);
    if (!current)
        return;
    if (type == MouseClickType::double_)
        m_selection->doubleClick(*current);
    else
        m_selection->singleClick(*current);
}

void MonthCalendarView::distributeEvents()
{
    const QHash<QDate, QList<CalendarEvent>> byDay = eventsByStartDay(m_events, context());
    for (MonthDayCell *cell : std::as_const(m_cells))
        cell->setEvents(byDay.value(cell->day()));
    if (m_popovers)
        m_popovers->sync();
}

MonthDayCell *MonthCalendarView::cellFor(QDate day) const
{
    for (MonthDayCell *cell : m_cells) {
        if (cell->day() == day)
            return cell;
    }
    return nullptr;
}

EventChipWidget *MonthCalendarView::chipFor(const QUuid &eventId) const
{
    for (MonthDayCell *cell : m_cells) {
        if (EventChipWidget *chip = cell->chipFor(eventId))
            return chip;
    }
    return nullptr;
}

QStringList MonthCalendarView::weekdayNames() const
{
    return weekdaySymbols(context(), QLocale::ShortFormat);
}

} // namespace tolvo
