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

void centreWindow(QWidget *window)
{
    if (!window || !window->screen())
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(window->screen()->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace tolvo
