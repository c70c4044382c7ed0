#include "components/ClickCountDetector.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QWidget>

namespace tolvo {

ClickCountDetector::ClickCountDetector(QWidget *widget, std::function<void(MouseClickType)> handler)
    : QObject(widget)
    , m_widget(widget)
    , m_handler(std::move(handler))
    , m_counter(QGuiApplication::styleHints()->mouseDoubleClickInterval(),
          QGuiApplication::styleHints()->mouseDoubleClickDistance())
{
    widget->installEventFilter(this);
}

bool ClickCountDetector::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_widget)
        return false;
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    mouse->accept();

    int count = m_counter.press(mouse->timestamp(), mouse->globalPosition());
    // The system has already judged a double click, even when this widget never saw the first
    // press (it may have gone to the widget that was here before a relayout).
    if (event->type() == QEvent::MouseButtonDblClick)
        count = qMax(count, 2);
    if (count > 1) {
        if (m_pendingSingle) {
            m_pendingSingle->stop();
            m_pendingSingle->deleteLater();
        }
        if (m_handler)
            m_handler(MouseClickType::double_);
        return true;
    }
    // An earlier pending single is left to fire: two quick presses far apart are two clicks.
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, timer] {
        timer->deleteLater();
        if (m_handler)
            m_handler(MouseClickType::single);
    });
    timer->start(singleClickDelayMs);
    m_pendingSingle = timer;
    return true;
}

} // namespace tolvo
