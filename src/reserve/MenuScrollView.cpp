#include "reserve/MenuScrollView.h"

#include "reserve/MenuScroller.h"

#include <QWheelEvent>

namespace tolvo {

MenuScrollView::MenuScrollView(QWidget *parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBar(new MenuScroller(MenuScroller::Type::vertical));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setWidgetResizable(true);
}

void MenuScrollView::wheelEvent(QWheelEvent *event)
{
    if (!m_scrollingEnabled) {
        event->accept();
        return;
    }
    QScrollArea::wheelEvent(event);
}

} // namespace tolvo
