#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tolvo {

// An on/off switch (a checkable button): a rounded track, filled with the tint when on, and a
// white knob that sits at the leading end when off and the trailing end when on.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    void setTint(const QColor &tint);
    QColor tint() const { return m_tint; }

    QSize sizeHint() const override { return {26, 15}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_tint;
};

} // namespace tolvo
