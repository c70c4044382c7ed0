#include "modules/Calendar/AgendaView.h"

#include "components/StyledButton.h"
#include "core/CalendarMath.h"
#include "core/EventTexts.h"
#include "core/TimelineGeometry.h"
#include "modules/Calendar/CalendarStyle.h"
#include "modules/Calendar/EventActionsRow.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace tolvo {

namespace {
constexpr int rowPadding = 8;
constexpr int stripeWidth = 4;
constexpr int stripeTextSpacing = 12;
constexpr int timeRowSpacing = 8;

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

// A day's heading across the full width on a faint band.
class AgendaDateHeader : public QLabel
{
public:
    AgendaDateHeader(const QString &text, QWidget *parent)
        : QLabel(text, parent)
    {
        setFont(calendarstyle::headline());
        setTextFormat(Qt::PlainText);
        setContentsMargins(16, 8, 16, 8);
        setTextColor(this, calendarstyle::primaryText());
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), calendarstyle::withAlpha(calendarstyle::secondaryText(), 0.1));
        painter.end();
        QLabel::paintEvent(event);
    }
};
} // namespace

AgendaEventRow::AgendaEventRow(
    const CalendarEvent &event, const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_event(event)
    , m_title(new ElidedLabel(event.title))
    , m_time(new ElidedLabel(agendaTimeText(event, context)))
    , m_notes(new ElidedLabel(event.notes.value_or(QString())))
    , m_actions(new EventActionsRow(event))
{
    m_title->setFont(calendarstyle::subheadline(QFont::Medium));
    setTextColor(m_title, calendarstyle::primaryText());
    m_notes->setFont(calendarstyle::caption());
    setTextColor(m_notes, calendarstyle::primaryText());
    m_notes->setVisible(!m_notes->fullText().isEmpty());

    // The time, then (for a present location, even an empty one) a bullet and the location,
    // as items of one row.
    auto *timeRow = new QHBoxLayout;
    timeRow->setContentsMargins(0, 0, 0, 0);
    timeRow->setSpacing(timeRowSpacing);
    QList<QLabel *> timeItems {m_time};
    timeRow->addWidget(m_time);
    if (event.location) {
        m_bullet = new QLabel(QStringLiteral("\u2022"));
        m_location = new ElidedLabel(*event.location);
        timeItems << m_bullet << m_location;
        timeRow->addWidget(m_bullet);
        timeRow->addWidget(m_location, 1);
    } else {
        timeRow->addStretch(1);
    }
    for (QLabel *label : std::as_const(timeItems)) {
        label->setFont(calendarstyle::caption());
        setTextColor(label, calendarstyle::secondaryText());
    }
    // The time keeps its width; a long location gives way first.
    m_time->setMinimumWidth(m_time->sizeHint().width());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(
        rowPadding + stripeWidth + stripeTextSpacing, rowPadding, rowPadding, rowPadding);
    layout->setSpacing(4);
    layout->addWidget(m_title);
    layout->addLayout(timeRow);
    layout->addWidget(m_notes);
    layout->addWidget(m_actions);

    connect(m_actions, &EventActionsRow::editRequested, this, &AgendaEventRow::editRequested);
    connect(m_actions, &EventActionsRow::deleteRequested, this, &AgendaEventRow::deleteRequested);
}

StyledButton *AgendaEventRow::joinButton() const
{
    return m_actions->joinButton();
}
StyledButton *AgendaEventRow::editButton() const
{
    return m_actions->editButton();
}
StyledButton *AgendaEventRow::deleteButton() const
{
    return m_actions->deleteButton();
}

void AgendaEventRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = QColor::fromRgba(m_event.color);
    QPainterPath card;
    card.addRoundedRect(QRectF(rect()), 8, 8);
    painter.fillPath(card, calendarstyle::withAlpha(color, 0.1));
    QPainterPath stripe;
    stripe.addRoundedRect(
        QRectF(rowPadding, rowPadding, stripeWidth, height() - 2 * rowPadding), 2, 2);
    painter.fillPath(stripe, color);
}

AgendaView::AgendaView(const CalendarContext &context, QWidget *parent)
    : CalendarPeriodView(context, parent)
    , m_scroll(new QScrollArea(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(true);
    m_scroll->viewport()->setAutoFillBackground(false);
    layout->addWidget(m_scroll);
    m_month = localDate(context.now(), context);
    rebuild();
}

void AgendaView::setDate(const QDateTime &date)
{
    const QDate day = localDate(date, context());
    if (!day.isValid())
        return;
    const bool sameMonth = isSameMonth(day, m_month);
    m_month = day;
    if (!sameMonth)
        rebuild();
}

void AgendaView::setEvents(const QList<CalendarEvent> &events)
{
    if (events == m_events)
        return;
    m_events = events;
    rebuild();
}

void AgendaView::rebuild()
{
    // A month has few rows: real widgets are simpler than a delegate, and rebuilding is cheap.
    const int scrolled = m_scroll->verticalScrollBar() ? m_scroll->verticalScrollBar()->value() : 0;
    auto *content = new QWidget;
    content->setAutoFillBackground(false);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    const auto grouped = groupByDay(eventsInMonth(m_events, m_month, context()), context());
    for (const auto &[day, events] : grouped) {
        layout->addWidget(new AgendaDateHeader(
            context().locale.toString(day, QStringLiteral("dddd, MMMM d")), content));
        for (const CalendarEvent &event : events) {
            auto *row = new AgendaEventRow(event, context(), content);
            connect(row, &AgendaEventRow::editRequested, this, &AgendaView::editRequested);
            connect(row, &AgendaEventRow::deleteRequested, this, &AgendaView::deleteRequested);
            auto *holder = new QHBoxLayout;
            holder->setContentsMargins(16, 4, 16, 4);
            holder->addWidget(row);
            layout->addLayout(holder);
        }
    }
    layout->addStretch(1);
    m_scroll->setWidget(content); // deletes the previous content
    m_content = content;
    m_scroll->verticalScrollBar()->setValue(scrolled);
}

QStringList AgendaView::dayHeadings() const
{
    QStringList result;
    if (!m_content)
        return result;
    for (QLabel *label : m_content->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (!qobject_cast<ElidedLabel *>(label))
            result << label->text();
    }
    return result;
}

QList<AgendaEventRow *> AgendaView::rows() const
{
    return m_content ? m_content->findChildren<AgendaEventRow *>(Qt::FindDirectChildrenOnly)
                     : QList<AgendaEventRow *>();
}

} // namespace tolvo
