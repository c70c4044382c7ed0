#pragma once

#include "components/Popover.h"
#include "reserve/MenuConfiguration.h"

namespace tolvo {

// The popup menu's window: a frameless popup whose whole surface is a card in the style's
// background colour and corner radius, with the menu's content filling it edge to edge.
class MenuWindow : public Popover
{
    Q_OBJECT
public:
    explicit MenuWindow(MenuStyle style, QWidget *parent = nullptr);

    const MenuStyle &configuration() const { return m_style; }
    QWidget *contentView() const { return content(); }
    // Shows `view` in the card; the same view again changes nothing.
    void setContentView(QWidget *view) { setContent(view); }

private:
    MenuStyle m_style;
};

} // namespace tolvo
