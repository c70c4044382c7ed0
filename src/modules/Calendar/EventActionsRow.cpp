#include "modules/Calendar/EventActionsRow.h"

#include "components/StyledButton.h"
#include "core/EventTexts.h"
#include "modules/Calendar/CalendarStyle.h"

#include <QDesktopServices>
#include <QHBoxLayout>

namespace tolvo {

namespace {
StyledButton *action(ButtonStyle style, const QString &text, const char *symbol)
{
    auto *button = new StyledButton(style, text);
    button->setSymbol(QString::fromLatin1(symbol));
    button->setContentPadding(QMargins(6, 6, 6, 6));
    button->setFont(calendarstyle::body());
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
} // namespace

bool openMeetingLink(const QString &link)
{
    const auto url = meetingLinkUrl(link);
    return url && QDesktopServices::openUrl(*url);
}

EventActionsRow::EventActionsRow(const CalendarEvent &event, QWidget *parent)
    : QWidget(parent)
    , m_join(action(ButtonStyle::blue, tr("Join Google Meet"), "video"))
    , m_edit(action(ButtonStyle::grayed, tr("Edit"), "pencil"))
    , m_delete(action(ButtonStyle::blue, tr("Delete"), "trash-2"))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(15);
    layout->addWidget(m_join);
    layout->addWidget(m_edit);
    layout->addWidget(m_delete);
    layout->addStretch(1);
    connect(m_join, &StyledButton::clicked, this,
        [this] { openMeetingLink(m_event.hangoutLink.value_or(QString())); });
    connect(m_edit, &StyledButton::clicked, this, [this] { emit editRequested(m_event); });
    connect(m_delete, &StyledButton::clicked, this, [this] { emit deleteRequested(m_event); });
    setEvent(event);
}

void EventActionsRow::setEvent(const CalendarEvent &event)
{
    m_event = event;
    m_join->setVisible(event.hangoutLink.has_value());
}

} // namespace tolvo
