#pragma once

#include "reserve/MenuConfiguration.h"
#include "reserve/MenuItem.h"

#include <QWidget>

#include <functional>

namespace tolvo {

class CheckmarkView;
class MenuLabel;
class Control;

// One row of a popup menu, built once for one entry and one selection state: the entry's
// image and title with the check mark on the other side, over a layer that lights up under
// the pointer; or only the entry's own view. A click runs the entry's action and then
// reports the row.
class MenuElement : public QWidget
{
    Q_OBJECT
public:
    MenuElement(const MenuItem &item, bool isSelected, MenuStyle style, QWidget *parent = nullptr);

    const MenuStyle &configuration() const { return m_style; }
    bool isSelected() const { return m_selected; }
    bool isCustom() const { return m_custom != nullptr; }

    // Null where the row has none (a custom row; no check marks in the style; no image).
    CheckmarkView *checkmark() const { return m_checkmark; }
    Control *control() const { return m_control; }
    MenuLabel *titleLabel() const { return m_title; }
    QWidget *imageView() const { return m_image; }
    QWidget *customView() const { return m_custom; }
    // The colour a mask image is drawn in now (invalid: drawn as it is).
    QColor imageTint() const;
    qreal opacity() const;

    // The keyboard's highlight: the same look as the pointer's.
    void setHighlighted(bool highlighted);
    bool isHighlighted() const;
    // The keyboard's choice: the same as a click.
    void activate();
    bool canActivate() const;

signals:
    void clicked(tolvo::MenuElement *element);
    // The pointer or the keyboard lit the row up (true) or left it (false).
    void hovered(tolvo::MenuElement *element, bool hovered);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void setupCustomView(QWidget *view);
    void setupStandardLayout(const MenuItem &item);
    void updateHoverAppearance(bool hovered);
    void menuElementClicked();

    MenuStyle m_style;
    bool m_selected;
    std::function<void()> m_handler;
    CheckmarkView *m_checkmark = nullptr;
    Control *m_control = nullptr;
    MenuLabel *m_title = nullptr;
    QWidget *m_image = nullptr;
    QWidget *m_custom = nullptr;
};

} // namespace tolvo
