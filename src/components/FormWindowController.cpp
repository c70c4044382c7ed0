#include "components/FormWindowController.h"

namespace tolvo {

void FormWindowController::present(QSize size, QWidget *view)
{
    m_window = new FormWindow(size, view);
    setParent(m_window);
    connect(m_window, &FormWindow::closing, this, &FormWindowController::closing);
    m_window->present();
}

void FormWindowController::showWindow()
{
    if (m_window)
        m_window->present();
}

void FormWindowController::close()
{
    if (m_window)
        m_window->close();
}

} // namespace tolvo
