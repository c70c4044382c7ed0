#pragma once

class QAbstractButton;
class QWidget;

namespace tolvo {

// Return and Enter press `button` while `page` is shown in the active window, unless the
// focused control uses the key itself (a multi-line editor starts a new line). With the focus
// on another push button of the page, that button is pressed instead, as a keyboard user
// expects. A hidden or disabled default button is not pressed.
void setDefaultButton(QWidget *page, QAbstractButton *button);

} // namespace tolvo
