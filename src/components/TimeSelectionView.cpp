#include "components/TimeSelectionView.h"

#include "components/CalView.h"
#include "components/StyledButton.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace tolvo {

TimeSelectionView::TimeSelectionView(std::function<void()> closeHandler,
    std::function<void(const QDateTime &)> saveHandler, const QDateTime &selectedDate,
    const CalendarContext &context, QWidget *parent)
    : QWidget(parent)
    , m_closeHandler(std::move(closeHandler))
    , m_saveHandler(std::move(saveHandler))
    , m_selectedDate(selectedDate)
    , m_picker(new CalView(context, selectedDate, CalendarTheme::light, this))
    , m_cancelButton(new StyledButton(ButtonStyle::gray, tr("Cancel"), this))
    , m_saveButton(new StyledButton(ButtonStyle::blue, tr("Save"), this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    m_picker->setContentsMargins(pickerPadding, pickerPadding, pickerPadding, pickerPadding);
    column->addWidget(m_picker);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, edgePadding, edgePadding);
    buttons->addStretch(1);
    for (StyledButton *button : {m_cancelButton, m_saveButton}) {
        button->setFixedSize(buttonSize);
        buttons->addWidget(button);
    }
    column->addLayout(buttons);

    connect(m_picker, &CalView::checkedDateChanged, this,
        [this](const QDateTime &date) { m_selectedDate = date; });
    connect(m_cancelButton, &QAbstractButton::clicked, this, [this] {
        if (m_closeHandler)
            m_closeHandler();
    });
    connect(m_saveButton, &QAbstractButton::clicked, this, [this] {
        if (m_saveHandler)
            m_saveHandler(m_selectedDate);
    });
}

void TimeSelectionView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
}

} // namespace tolvo
