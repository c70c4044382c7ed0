#pragma once

#include <QWidget>

namespace tolvo {

// Holds one control and outlines it in red while its value is invalid: a rounded stroke of
// width 3 centred on the control's edge, so the control covers the inner half and 1.5 px of
// red shows around it. The frame keeps that room free whether or not the outline shows, so
// nothing moves when it appears.
class ValidationFrame : public QWidget
{
    Q_OBJECT
public:
    static constexpr qreal lineWidth = 3;
    static constexpr int cornerRadius = 16;
    static constexpr int margin = 2;

    explicit ValidationFrame(QWidget *control, QWidget *parent = nullptr);

    QWidget *control() const { return m_control; }
    bool isInvalid() const { return m_invalid; }
    void setInvalid(bool invalid);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *m_control;
    bool m_invalid = false;
};

} // namespace tolvo
