#pragma once

#include <QAbstractButton>
#include <QColor>

namespace tolvo {

// An on/off switch (a checkable button): a rounded track, filled with the tint when on, and a
// white knob that sits at the leading end when off and the trailing end when on. Clicking or
// Space toggles it. An optional text is drawn before the track, in the button's font and text
// colour, and takes the click too.
class ToggleSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    // small: 26 x 15, regular: 38 x 22.
    enum class Size { small, regular };

    explicit ToggleSwitch(QWidget *parent = nullptr);
    explicit ToggleSwitch(const QString &text, QWidget *parent = nullptr);

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
    int textWidth() const;

    QColor m_tint;
    QColor m_textColor;
    Size m_size = Size::small;
};

} // namespace tolvo
