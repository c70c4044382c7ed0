#include "modules/Main/EmptyStateView.h"

#include "components/StyledButton.h"

#include <QVBoxLayout>

namespace tolvo {

EmptyStateView::EmptyStateView(std::function<void()> handler, QWidget *parent)
    : QWidget(parent)
    , m_refresh(new StyledButton(ButtonStyle::blue, tr("Refresh")))
{
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    // The label takes up to 80 across and at least 35 down.
    m_refresh->setMinimumSize(80, 35);
    m_refresh->setMaximumWidth(80);
    m_refresh->setCursor(Qt::PointingHandCursor);
    layout->addWidget(m_refresh, 0, Qt::AlignHCenter);
    layout->addStretch();
    connect(m_refresh, &QAbstractButton::clicked, this, [handler = std::move(handler)] {
        if (handler)
            handler();
    });
}

} // namespace tolvo
