#include "modules/Main/CalendarMenuItem.h"

#include "components/ElidedLabel.h"
#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/Palette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace tolvo {

CalendarMenuItem::CalendarMenuItem(GoogleCalendar calendar, QWidget *parent)
    : QWidget(parent)
    , m_calendar(std::move(calendar))
    , m_symbol(new QToolButton)
    , m_title(new ElidedLabel(m_calendar.summary.value_or(QString())))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 3, 12, 3);
    m_symbol->setAutoRaise(true);
    m_symbol->setIconSize({20, 20});
    m_symbol->setIcon(symbolIcon(symbolName(), symbolColor(), {20, 20}));
    m_symbol->setCursor(Qt::PointingHandCursor);
    m_symbol->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; }"));
    m_symbol->setAccessibleName(m_calendar.summary.value_or(QString()));
    layout->addWidget(m_symbol);

    m_title->setFont(uiFont(14));
    QPalette colors = m_title->palette();
    colors.setColor(QPalette::WindowText, palette::textGray());
    m_title->setPalette(colors);
    // A long name is cut with an ellipsis; the tooltip tells apart names that start alike.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_title, 1);

    connect(m_symbol, &QToolButton::clicked, this, [this] { emit selectionRequested(m_calendar); });
}

QString CalendarMenuItem::symbolName() const
{
    return m_calendar.isSelected ? QStringLiteral("square-check") : QStringLiteral("square");
}

QColor CalendarMenuItem::symbolColor() const
{
    // Without a colour the parser's fallback is all but invisible on the dark sidebar.
    const QString hex = m_calendar.backgroundColor.value_or(QString());
    const QColor color = colorFromHex(hex);
    return hex.isEmpty() || color.alpha() < 16 ? palette::textGray() : color;
}

} // namespace tolvo
