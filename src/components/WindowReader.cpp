#include "components/WindowReader.h"

#include <QEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace tolvo {

WindowReader::WindowReader(Content content, Auxiliary auxiliary, QWidget *parent)
    : QWidget(parent)
    , m_makeContent(std::move(content))
    , m_auxiliary(std::move(auxiliary))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void WindowReader::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_content || !m_makeContent)
        return;
    m_window = window();
    QWidget *content = m_makeContent(m_window);
    if (!content)
        return;
    m_content = content;
    content->installEventFilter(this);
    layout()->addWidget(content);
    content->show();
}

bool WindowReader::eventFilter(QObject *watched, QEvent *event)
{
    // A spontaneous show comes from the window system (a restore from minimised, a return
    // to the desktop the window is on): the window was shown before, and its set-up stays.
    if (watched == m_content && event->type() == QEvent::Show && !event->spontaneous()
        && m_auxiliary && m_window)
        m_auxiliary(m_window);
    return QWidget::eventFilter(watched, event);
}

QPoint centredTopLeft(QSize frame, const QRect &over, const QRect &area)
{
    QRect placed(QPoint(0, 0), frame);
    placed.moveCenter(over.center());
    placed.moveRight(qMin(placed.right(), area.right()));
    placed.moveBottom(qMin(placed.bottom(), area.bottom()));
    placed.moveLeft(qMax(placed.left(), area.left()));
    placed.moveTop(qMax(placed.top(), area.top()));
    return placed.topLeft();
}

namespace {
void placeFrame(QWidget *window, const QRect &over, const QRect &area)
{
    // Before the window manager has framed the window its frame is its own geometry.
    window->move(centredTopLeft(window->frameGeometry().size(), over, area));
}
} // namespace

void centreWindow(QWidget *window)
{
    if (!window || !window->screen())
        return;
    const QRect area = window->screen()->availableGeometry();
    placeFrame(window, area, area);
}

void centreWindowOn(QWidget *window, const QWidget *over)
{
    if (!window)
        return;
    if (!over || !over->isVisible() || !over->screen()) {
        centreWindow(window);
        return;
    }
    placeFrame(window, over->frameGeometry(), over->screen()->availableGeometry());
}

} // namespace tolvo
