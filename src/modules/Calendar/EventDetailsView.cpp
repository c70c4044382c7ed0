#include "modules/Calendar/EventDetailsView.h"

#include "components/Icons.h"
#include "components/WrappedText.h"
#include "core/EventTexts.h"
#include "modules/Calendar/CalendarStyle.h"
#include "modules/Calendar/EventActionsRow.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace tolvo {

namespace {
constexpr int iconSide = 14;
// Between a row's icon (or the title's dot) and its text.
constexpr int rowSpacing = 10;

QPixmap dot(const QColor &color)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 12, 12));
    return pixmap;
}

QLabel *iconLabel()
{
    auto *label = new QLabel;
    label->setFixedSize(iconSide + 2, iconSide + 2);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QWidget *row(QWidget *icon, QLabel *text, Qt::Alignment iconAlignment = Qt::AlignVCenter)
{
    auto *widget = new QWidget;
    auto *layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(rowSpacing);
    layout->addWidget(icon, 0, iconAlignment);
    layout->addWidget(text, 1);
    return widget;
}

} // namespace

QString elideToLines(const QString &text, const QFont &font, int width, int maxLines)
{
    if (width <= 0 || maxLines <= 0)
        return {};
    // A line break in the notes starts a line of its own (notes are often written as lists);
    // within a paragraph the text wraps at the width.
    QString normalized = text.trimmed();
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QChar separator :
        {QChar(u'\r'), QChar(QChar::LineSeparator), QChar(QChar::ParagraphSeparator)})
        normalized.replace(separator, QLatin1Char('\n'));
    const QStringList paragraphs = normalized.split(QLatin1Char('\n'));

    QStringList lines;
    qsizetype next = 0;
    for (; next < paragraphs.size() && lines.size() < maxLines; ++next) {
        const QStringList wrapped
            = wrapAndElide(paragraphs[next], font, width, maxLines - int(lines.size()));
        lines << (wrapped.isEmpty() ? QStringList {QString()} : wrapped);
    }
    if (next < paragraphs.size() && !lines.last().endsWith(QChar(0x2026))) {
        lines.last() = QFontMetrics(font).elidedText(
            lines.last() + QStringLiteral(" \u2026"), Qt::ElideRight, width);
    }
    return lines.join(QLatin1Char('\n'));
}

EventDetailsView::EventDetailsView(
    const CalendarEvent &event, const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_event(event)
    , m_context(context)
    , m_dot(new QLabel)
    , m_title(new QLabel)
    , m_clock(iconLabel())
    , m_time(new QLabel)
    , m_pin(iconLabel())
    , m_location(new QLabel)
    , m_noteIcon(iconLabel())
    , m_notes(new QLabel)
    , m_actions(new EventActionsRow(event))
{
    setFixedWidth(fixedWidth);
    m_dot->setFixedSize(12, 12);
    m_title->setFont(calendarstyle::headline());
    m_title->setWordWrap(true);
    m_title->setTextFormat(Qt::PlainText);
    for (QLabel *label : {m_time, m_location, m_notes}) {
        label->setFont(calendarstyle::subheadline());
        label->setTextFormat(Qt::PlainText);
    }
    m_time->setWordWrap(true);
    m_location->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    auto *titleRow = new QWidget;
    auto *titleLayout = new QHBoxLayout(titleRow);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(rowSpacing);
    titleLayout->addWidget(m_dot, 0, Qt::AlignVCenter);
    titleLayout->addWidget(m_title, 1);
    layout->addWidget(titleRow);
    layout->addWidget(row(m_clock, m_time));
    m_locationRow = row(m_pin, m_location);
    layout->addWidget(m_locationRow);
    m_notesRow = row(m_noteIcon, m_notes, Qt::AlignTop);
    layout->addWidget(m_notesRow);

    layout->addWidget(m_actions);

    connect(m_actions, &EventActionsRow::editRequested, this, &EventDetailsView::editRequested);
    connect(m_actions, &EventActionsRow::deleteRequested, this, &EventDetailsView::deleteRequested);
    refresh();
}

void EventDetailsView::setEvent(const CalendarEvent &event)
{
    if (event == m_event)
        return;
    m_event = event;
    refresh();
}

void EventDetailsView::refresh()
{
    m_title->setText(m_event.title);
    m_time->setText(detailsTimeText(m_event, m_context));
    const QString location = m_event.location.value_or(QString());
    m_location->setText(location);
    m_locationRow->setVisible(!location.isEmpty());
    const QString notes = m_event.notes.value_or(QString());
    m_notesRow->setVisible(!notes.isEmpty());
    m_notes->setText(elideToLines(
        notes, m_notes->font(), fixedWidth - 32 - (iconSide + 2) - rowSpacing, notesMaxLines));
    m_actions->setEvent(m_event);
    applyColors();
}

StyledButton *EventDetailsView::joinButton() const
{
    return m_actions->joinButton();
}
StyledButton *EventDetailsView::editButton() const
{
    return m_actions->editButton();
}
StyledButton *EventDetailsView::deleteButton() const
{
    return m_actions->deleteButton();
}

void EventDetailsView::applyColors()
{
    const QColor text = calendarstyle::primaryText();
    for (QLabel *label : {m_title, m_time, m_location, m_notes}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, text);
        label->setPalette(palette);
    }
    m_dot->setPixmap(dot(QColor::fromRgba(m_event.color)));
    const QSize icon(iconSide, iconSide);
    m_clock->setPixmap(symbolPixmap(QStringLiteral("clock"), icon, text, devicePixelRatioF()));
    m_pin->setPixmap(symbolPixmap(QStringLiteral("map-pin"), icon, text, devicePixelRatioF()));
    m_noteIcon->setPixmap(
        symbolPixmap(QStringLiteral("file-text"), icon, text, devicePixelRatioF()));
}

void EventDetailsView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyColors();
    QWidget::changeEvent(event);
}

} // namespace tolvo
