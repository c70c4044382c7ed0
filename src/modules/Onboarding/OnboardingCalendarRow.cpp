#include "modules/Onboarding/OnboardingCalendarRow.h"

#include "components/ElidedLabel.h"
#include "components/Fonts.h"
#include "components/Icons.h"
#include "components/Palette.h"
#include "components/ThemedWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace tolvo {

QPixmap calendarDot(const QString &color, int diameter, qreal dpr)
{
    QPixmap pixmap(QSize(diameter, diameter) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color.isEmpty() ? palette::textGray() : colorFromHex(color));
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
    return pixmap;
}

OnboardingCalendarRow::OnboardingCalendarRow(LocalCalendar calendar, QWidget *parent)
    : QWidget(parent)
    , m_calendar(std::move(calendar))
    , m_title(new ElidedLabel(m_calendar.title))
    , m_check(new QLabel)
{
    setCursor(Qt::PointingHandCursor);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    auto *dot = new QLabel;
    dot->setFixedSize(12, 12);
    dot->setPixmap(calendarDot(m_calendar.color, 12));
    layout->addWidget(dot);
    m_title->setFont(uiFont(14));
    followAppearance(m_title, {palette::textDark(), Qt::white});
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(m_title, 1);
    m_check->setFixedSize(16, 16);
    m_check->setPixmap(symbolPixmap(QStringLiteral("check"), {16, 16}, palette::accentBlue(), 2.0));
    m_check->setVisible(false);
    layout->addWidget(m_check);
}

void OnboardingCalendarRow::setChecked(bool checked)
{
    m_checked = checked;
    m_check->setVisible(checked);
}

void OnboardingCalendarRow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(m_calendar);
}

} // namespace tolvo
