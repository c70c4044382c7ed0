#pragma once

#include "reserve/MenuConfiguration.h"

#include <QPainterPath>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace tolvo {

// The popup menu's check mark: a ring with a tick, drawn in by a stroke that runs from
// nothing to the whole path. Hidden until shown; nothing hides it again.
class CheckmarkView : public QWidget
{
    Q_OBJECT
public:
    explicit CheckmarkView(MenuStyle style, QWidget *parent = nullptr);

    // Draws the mark over `seconds` (at once for 0, running `completion` before returning).
    // A later call replaces the earlier run and its completion.
    void showCheckmark(double seconds, std::function<void()> completion = {});
    qreal strokeEnd() const { return m_strokeEnd; }

    // The ring (two turns from the left-most point) and the tick for a view of `size`.
    static QPainterPath checkmarkPath(QSizeF size);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    MenuStyle m_style;
    QVariantAnimation m_animation;
    qreal m_strokeEnd = 0;
    std::function<void()> m_completion;
};

} // namespace tolvo
