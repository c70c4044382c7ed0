#include "reserve/MenuWindow.h"

namespace tolvo {

MenuWindow::MenuWindow(MenuStyle style, QWidget *parent)
    : Popover(nullptr, parent)
    , m_style(std::move(style))
{
    setContentMargins({});
    setCornerRadius(m_style->cornerRadius());
    setBackground(m_style->backgroundColor());
}

} // namespace tolvo
