#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tolvo {

// An on/off switch: a rounded track, tinted while on, with a white knob that sits at the
// trailing end while on. Clicking or Space toggles it; it emits toggled() like any checkable
// button. An optional text is drawn before the track, in the button's font and text colour.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    enum class Size { regular, small };

    explicit ToggleSwitch(const QString &text = {}, QWidget *parent = nullptr);

    void setTint(const QColor &tint);
    QColor tint() const { return m_tint; }
    void setSwitchSize(Size size);
    Size switchSize() const { return m_size; }
    void setTextColor(const QColor &color);

    QSize trackSize() const;
    QRect trackRect() const;
    QRect knobRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QColor m_tint;
    QColor m_textColor;
    Size m_size = Size::regular;
};

} // namespace tolvo
