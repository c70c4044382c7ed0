#include "modules/Calendar/CalendarHeaderView.h"

#include "components/Appearance.h"
#include "components/FocusRing.h"
#include "components/Palette.h"
#include "components/StyledButton.h"
#include "core/CalendarMath.h"
#include "modules/Calendar/CalendarStyle.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace tolvo {

namespace {
constexpr CalendarViewType allTypes[] = {CalendarViewType::day, CalendarViewType::week,
    CalendarViewType::month, CalendarViewType::agenda};

QString typeName(CalendarViewType type)
{
    switch (type) {
    case CalendarViewType::day: return QObject::tr("Day");
    case CalendarViewType::week: return QObject::tr("Week");
    case CalendarViewType::month: return QObject::tr("Month");
    case CalendarViewType::agenda: return QObject::tr("Agenda");
    }
    return {};
}
} // namespace

PillButton::PillButton(const QString &text, QMargins padding, QWidget *parent)
    : QAbstractButton(parent)
    , m_padding(padding)
{
    setText(text);
    setCursor(Qt::PointingHandCursor);
}

void PillButton::setColors(const QColor &text, const QColor &background)
{
    m_text = text;
    m_background = background;
    update();
}

QSize PillButton::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()), metrics.height()).grownBy(m_padding);
}

void PillButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_background.isValid() && m_background.alpha() > 0) {
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(path, m_background);
    }
    if (showsKeyboardFocus(this))
        drawFocusRing(painter, QRectF(rect()), 6, m_background.alpha() > 128);
    painter.setPen(isDown() ? calendarstyle::withAlpha(m_text, 0.6) : m_text);
    painter.setFont(font());
    painter.drawText(rect().marginsRemoved(m_padding), Qt::AlignCenter, text());
}

CalendarHeaderView::CalendarHeaderView(const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_today(new PillButton(tr("Today"), QMargins(8, 6, 8, 6)))
    , m_back(new StyledButton(ButtonStyle::calendarArrow))
    , m_title(new QLabel)
    , m_forward(new StyledButton(ButtonStyle::calendarArrow))
{
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    m_today->setFont(calendarstyle::subheadline(QFont::DemiBold));
    m_back->setSymbol(QStringLiteral("chevron-left"));
    m_forward->setSymbol(QStringLiteral("chevron-right"));
    // Symbols only: the names are what a screen reader and the tooltip say.
    m_back->setAccessibleName(tr("Previous"));
    m_back->setToolTip(tr("Previous"));
    m_forward->setAccessibleName(tr("Next"));
    m_forward->setToolTip(tr("Next"));
    m_title->setFont(calendarstyle::headline());
    m_title->setTextFormat(Qt::PlainText);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 8, 16, 8);
    layout->setSpacing(12);
    layout->addWidget(m_today);
    layout->addWidget(m_back);
    layout->addWidget(m_title);
    layout->addWidget(m_forward);
    auto *types = new QHBoxLayout;
    types->setSpacing(8);
    for (const CalendarViewType type : allTypes) {
        auto *button = new PillButton(typeName(type), QMargins(8, 4, 8, 4));
        button->setFont(calendarstyle::body());
        connect(button, &PillButton::clicked, this,
            [this, type] { emit viewTypeChangeRequested(type); });
        types->addWidget(button);
        m_types.append(button);
    }
    layout->addLayout(types);

    connect(
        m_today, &PillButton::clicked, this, [this] { emit dateChangeRequested(m_context.now()); });
    connect(m_back, &StyledButton::clicked, this, [this] { step(-1); });
    connect(m_forward, &StyledButton::clicked, this, [this] { step(1); });
    connect(&Appearance::instance(), &Appearance::changed, this, &CalendarHeaderView::applyColors);
    setState(context.now(), CalendarViewType::month);
}

void CalendarHeaderView::setState(const QDateTime &date, CalendarViewType type)
{
    m_date = date;
    m_type = type;
    m_title->setText(title());
    applyColors();
}

QString CalendarHeaderView::title() const
{
    return headerTitle(m_type, m_date, m_context);
}

PillButton *CalendarHeaderView::viewTypeButton(CalendarViewType type) const
{
    return m_types.value(int(type));
}

void CalendarHeaderView::step(int by)
{
    // Steps from the owner's date; a failed step asks for the same date again.
    emit dateChangeRequested(stepDate(m_type, m_date, by, m_context).value_or(m_date));
}

void CalendarHeaderView::applyColors()
{
    const QColor primary = calendarstyle::primaryText();
    QPalette palette = m_title->palette();
    palette.setColor(QPalette::WindowText, primary);
    m_title->setPalette(palette);
    m_today->setColors(palette::accentBlue(), calendarstyle::withAlpha(palette::accentBlue(), 0.1));
    for (const CalendarViewType type : allTypes) {
        const bool selected = type == m_type;
        viewTypeButton(type)->setColors(selected ? QColor(Qt::white) : primary,
            selected ? palette::accentBlue() : QColor(Qt::transparent));
    }
    update();
}

void CalendarHeaderView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(path, calendarstyle::withAlpha(calendarstyle::secondaryText(), 0.05));
}

void CalendarHeaderView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        applyColors();
    QWidget::changeEvent(event);
}

} // namespace tolvo
