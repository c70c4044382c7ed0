#pragma once

#include "reserve/MenuConfiguration.h"

#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

#include <functional>

namespace tolvo {

// The layer behind a menu row: fills with the hover colour while the pointer is over it and
// sends its action a moment after a click, so the menu's fade follows the choice. A click
// counts only when the button goes up inside the row. While disabled it does neither.
class Control : public QWidget
{
    Q_OBJECT
public:
    static constexpr double actionDelay = 0.15; // seconds

    explicit Control(const MenuBaseConfiguration &style, QWidget *parent = nullptr);

    // Told true when the row lights up, false when it goes out or is clicked.
    std::function<void(bool)> hover;
    std::function<void()> action;

    qreal hoverProgress() const { return m_progress; }
    bool isHovered() const { return m_hovered; }
    bool isActionPending() const { return m_actionTimer.isActive(); }
    int actionDelayMs() const { return m_actionTimer.interval(); }

    // What the pointer entering or leaving does (the keyboard uses it too).
    void setHovered(bool hovered);
    // What a click does: the fill goes at once and the action follows after the delay.
    void activate();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_hoverColor;
    double m_duration;
    QVariantAnimation m_fill;
    qreal m_progress = 0;
    bool m_hovered = false;
    bool m_pressed = false;
    QTimer m_actionTimer;
};

} // namespace tolvo
