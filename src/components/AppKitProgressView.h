#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

namespace tolvo {

// An indeterminate spinning indicator: twelve spokes, the brightest one going round. It spins
// whenever it is shown. Its colour (#303030 in the light appearance, white in the dark one) is
// decided once when it is made.
class AppKitProgressView : public QWidget
{
    Q_OBJECT
public:
    explicit AppKitProgressView(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    int frame() const { return m_frame; }
    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QColor m_color;
    QTimer m_timer;
    int m_frame = 0;
};

} // namespace tolvo
