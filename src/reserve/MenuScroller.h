#pragma once

#include <QPropertyAnimation>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

namespace tolvo {

// The popup menu's scroll bar: a white rounded knob under a faint rounded slot, bright while
// the list scrolls or the pointer is over it, fading to a faint resting look a second after
// scrolling stops.
class MenuScroller : public QScrollBar
{
    Q_OBJECT
    Q_PROPERTY(qreal displayedOpacity READ displayedOpacity WRITE setDisplayedOpacity)
public:
    enum class Type { horizontal, vertical };

    static constexpr qreal restingAlpha = 0.3;
    static constexpr int thickness = 15;

    explicit MenuScroller(Type type = Type::vertical, QWidget *parent = nullptr);

    // The alpha last asked for (0 before the first change, while the bar shows fully).
    qreal requestedAlpha() const { return m_alpha; }
    qreal displayedOpacity() const { return m_opacity; }
    void setDisplayedOpacity(qreal opacity);
    bool isFading() const { return m_animation.state() == QAbstractAnimation::Running; }
    bool isFadeOutPending() const { return m_fadeTimer.isActive(); }

    QRectF knobRect() const;
    QRectF slotRect() const;

    QSize sizeHint() const override;

    void fadeOut();

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void setAlpha(bool animated, qreal alpha, double seconds);
    QRect partRect(QStyle::SubControl part) const;

    Type m_type;
    qreal m_alpha = 0;
    qreal m_opacity = 1;
    QPropertyAnimation m_animation;
    QTimer m_fadeTimer;
};

} // namespace tolvo
