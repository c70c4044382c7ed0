#include "components/CalView.h"

#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/Palette.h"
#include "core/CalendarMath.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tolvo {

namespace {
constexpr int chevronSize = 16;
constexpr int chevronPadding = 8;
constexpr int chevronWidth = chevronSize + 2 * chevronPadding;
constexpr int selectionRadius = 6;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

QFont bodyFont()
{
    return uiFont(13);
}
} // namespace

CalView::CalView(const CalendarContext &context, const QDateTime &checkedDate, CalendarTheme theme,
    QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_checked(checkedDate.isValid() ? checkedDate : context.now())
    , m_selected(m_checked)
    , m_theme(theme)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void CalView::setCheckedDate(const QDateTime &date)
{
    if (!date.isValid() || date == m_checked)
        return;
    const bool rowsMayChange
        = !isSameMonth(localDate(date, m_context), localDate(m_selected, m_context));
    m_checked = date;
    m_selected = date;
    if (rowsMayChange)
        updateGeometry();
    update();
}

void CalView::setTheme(CalendarTheme theme)
{
    if (m_theme == theme)
        return;
    m_theme = theme;
    update();
}

QColor CalView::backgroundColor() const
{
    return m_theme == CalendarTheme::dark ? palette::backgroundDark() : QColor(Qt::white);
}

QColor CalView::textColor() const
{
    return m_theme == CalendarTheme::dark ? palette::textGray() : palette::textDark();
}

QString CalView::title() const
{
    return monthTitle(localDate(m_selected, m_context), m_context);
}

QStringList CalView::weekdayNames() const
{
    return weekdaySymbols(m_context, QLocale::ShortFormat);
}

QList<QDate> CalView::days() const
{
    return miniMonthDays(localDate(m_selected, m_context), m_context.firstDayOfWeek);
}

bool CalView::isInShownMonth(QDate day) const
{
    return isSameMonth(day, localDate(m_selected, m_context));
}

void CalView::selectDay(QDate day)
{
    if (!isInShownMonth(day))
        return;
    m_selected = startOfLocalDay(day, m_context);
    syncCheckedDate();
    update();
}

void CalView::changeMonth(int by)
{
    const auto moved = addLocalMonths(m_selected, by, m_context);
    if (!moved)
        return;
    m_selected = *moved;
    syncCheckedDate();
    updateGeometry();
    update();
}

void CalView::syncCheckedDate()
{
    if (m_checked == m_selected)
        return;
    m_checked = m_selected;
    emit checkedDateChanged(m_checked);
}

CalView::Metrics CalView::metrics() const
{
    const QFontMetrics body(bodyFont());
    const QFontMetrics title(uiFont(titlePixelSize, QFont::DemiBold));
    return {qMax(title.height(), chevronWidth), body.height(), body.height() + 2 * dayPadding};
}

int CalView::columnWidth() const
{
    return qMax(10, (contentsRect().width() - 6 * spacing) / 7);
}

int CalView::columnLeft(int column) const
{
    // The rounding remainder is shared out, so the last column ends at the right edge.
    const int available = contentsRect().width() - 6 * spacing;
    return contentsRect().left() + column * spacing + available * column / 7;
}

int CalView::gridTop() const
{
    return contentsRect().top() + metrics().titleRowHeight + titleBottomPadding;
}

QRect CalView::dayRect(QDate day) const
{
    const QList<QDate> shown = days();
    const qsizetype index = shown.indexOf(day);
    if (index < 0)
        return {};
    const Metrics m = metrics();
    const int row = int(index / 7);
    const int column = int(index % 7);
    const int top = gridTop() + m.weekdayRowHeight + spacing + row * (m.dayRowHeight + spacing);
    const int left = columnLeft(column);
    return QRect(left, top, columnLeft(column + 1) - spacing - left, m.dayRowHeight);
}

QRect CalView::forwardButtonRect() const
{
    const QRect content = contentsRect();
    return QRect(
        content.right() - chevronWidth + 1, content.top(), chevronWidth, metrics().titleRowHeight);
}

QRect CalView::backButtonRect() const
{
    return forwardButtonRect().translated(-(chevronWidth + spacing), 0);
}

QRect CalView::titleRect() const
{
    const QRect content = contentsRect();
    return QRect(content.left(), content.top(), backButtonRect().left() - spacing - content.left(),
        metrics().titleRowHeight);
}

QFont CalView::titleFont() const
{
    // Shrinks rather than cuts the year off a long month name in a narrow sidebar.
    const QString text = title();
    const int width = titleRect().width();
    QFont font;
    for (int size = titlePixelSize; size >= smallestTitlePixelSize; --size) {
        font = uiFont(size, QFont::DemiBold);
        if (QFontMetrics(font).horizontalAdvance(text) <= width)
            break;
    }
    return font;
}

QSize CalView::sizeHint() const
{
    const Metrics m = metrics();
    const int rows = int(days().size() / 7);
    const QMargins margins = contentsMargins();
    const int height = m.titleRowHeight + titleBottomPadding + m.weekdayRowHeight
        + rows * (spacing + m.dayRowHeight);
    return QSize(7 * 30 + 6 * spacing, height).grownBy(margins);
}

QSize CalView::minimumSizeHint() const
{
    return QSize(7 * 10 + 6 * spacing + contentsMargins().left() + contentsMargins().right(),
        sizeHint().height());
}

void CalView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), backgroundColor());

    const QColor text = textColor();
    const Metrics m = metrics();

    // Title row: the month on the left, the chevrons on the right.
    painter.setFont(titleFont());
    painter.setPen(text);
    const QRect titleArea = titleRect();
    painter.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter,
        painter.fontMetrics().elidedText(title(), Qt::ElideRight, titleArea.width()));
    const auto drawChevron = [&](const QRect &area, const char *symbol, bool pressed) {
        if (pressed) {
            QPainterPath path;
            path.addRoundedRect(QRectF(area), selectionRadius, selectionRadius);
            painter.fillPath(path, withAlpha(palette::textGray(), 0.5));
        }
        QRect icon(QPoint(0, 0), QSize(chevronSize, chevronSize));
        icon.moveCenter(area.center());
        painter.drawPixmap(icon,
            symbolPixmap(QString::fromLatin1(symbol), icon.size(), text, devicePixelRatioF()));
    };
    drawChevron(backButtonRect(), "chevron-left", m_pressedChevron < 0);
    drawChevron(forwardButtonRect(), "chevron-right", m_pressedChevron > 0);

    // Weekday names.
    painter.setFont(bodyFont());
    const QStringList names = weekdayNames();
    for (int column = 0; column < 7; ++column) {
        const int left = columnLeft(column);
        const QRect cell(
            left, gridTop(), columnLeft(column + 1) - spacing - left, m.weekdayRowHeight);
        painter.drawText(cell, Qt::AlignCenter,
            painter.fontMetrics().elidedText(names.value(column), Qt::ElideRight, cell.width()));
    }

    // Days: the shown month's as choosable buttons, the neighbours' dimmed.
    const QDate highlighted = localDate(m_selected, m_context);
    for (const QDate &day : days()) {
        const QRect cell = dayRect(day);
        const bool inMonth = isInShownMonth(day);
        if (inMonth && day == highlighted) {
            QPainterPath path;
            path.addRoundedRect(QRectF(cell), selectionRadius, selectionRadius);
            painter.fillPath(path, withAlpha(palette::accentBlue(), 0.5));
        }
        painter.setPen(inMonth ? text : withAlpha(text, 0.3));
        painter.drawText(
            cell, Qt::AlignCenter, m_context.locale.toString(day, QStringLiteral("d")));
    }
}

void CalView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    m_pressedChevron = backButtonRect().contains(at) ? -1
        : forwardButtonRect().contains(at)           ? 1
                                                     : 0;
    update();
    event->accept();
}

void CalView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    const int pressed = m_pressedChevron;
    m_pressedChevron = 0;
    update();
    event->accept();
    if (pressed < 0 && backButtonRect().contains(at)) {
        changeMonth(-1);
        return;
    }
    if (pressed > 0 && forwardButtonRect().contains(at)) {
        changeMonth(1);
        return;
    }
    for (const QDate &day : days()) {
        if (dayRect(day).contains(at)) {
            selectDay(day);
            return;
        }
    }
}

} // namespace tolvo
