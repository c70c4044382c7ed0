#pragma once

#include <QScrollArea>

namespace tolvo {

// The popup menu's list area. With scrolling off, the wheel does nothing here and goes no
// further either: a menu that does not scroll must not scroll what lies under it.
class MenuScrollView : public QScrollArea
{
    Q_OBJECT
public:
    explicit MenuScrollView(QWidget *parent = nullptr);

    bool isScrollingEnabled() const { return m_scrollingEnabled; }
    void setScrollingEnabled(bool enabled) { m_scrollingEnabled = enabled; }

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    bool m_scrollingEnabled = true;
};

} // namespace tolvo
