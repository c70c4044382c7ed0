#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

namespace tolvo {

// A frameless popup anchored to a control, drawn as a rounded card, that later screens fill
// with their content. It opens below the anchor, or above it when the screen has no room
// below, and closes on a click outside; a click on its own anchor closes it rather than
// opening it again at once.
class Popover : public QWidget
{
    Q_OBJECT
public:
    static constexpr int cornerRadius = 10;
    static constexpr int gap = 6;

    explicit Popover(QWidget *content, QWidget *parent = nullptr);

    QWidget *content() const { return m_content; }
    // Puts another widget in the card; the one shown before leaves it (and is not deleted).
    // The same widget again changes nothing.
    void setContent(QWidget *content);
    void setBackground(const QColor &color);
    QColor background() const { return m_background; }
    void setCornerRadius(qreal radius);
    qreal cornerRadiusValue() const { return m_cornerRadius; }
    // Room between the card's edge and its content (half the radius unless set).
    void setContentMargins(const QMargins &margins);
    // The card's outline in the popover's own coordinates.
    QPainterPath backgroundShape() const;

    // Opens at the anchor.
    void showFor(QWidget *anchor);
    QWidget *anchor() const { return m_anchor; }
    bool isFlipped() const { return m_flipped; }

    // Where the popover goes for an anchor rectangle (global) inside a screen area: centred
    // under the anchor, or above it when it would not fit below, kept inside the area.
    static QRect placement(const QRect &anchor, QSize size, const QRect &area, bool *flipped);

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *m_content;
    QColor m_background;
    qreal m_cornerRadius = cornerRadius;
    QPointer<QWidget> m_anchor;
    bool m_flipped = false;
};

} // namespace tolvo
