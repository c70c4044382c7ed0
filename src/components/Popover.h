#pragma once

#include <QColor>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

namespace tolvo {

// A frameless popup anchored to a control, drawn as a rounded card, that later screens fill
// with their content. It opens below the anchor (or above it when the screen has no room
// below), or beside it, and closes on a click outside; a click on its own anchor closes it
// rather than opening it again at once. Where the window system cannot show transparent
// pixels (no compositing manager) the card is opaque and the window itself is cut round, so
// no black corners show.
class Popover : public QWidget
{
    Q_OBJECT
public:
    static constexpr int cornerRadius = 10;
    static constexpr int gap = 6;

    // Where the popover opens: under its anchor, or beside it on the anchor's leading or
    // trailing side (the other side when the screen has no room there).
    enum class Side { below, leading, trailing };

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

    // Opens at the anchor, on the given side of the part of it that shows.
    void showFor(QWidget *anchor, Side side = Side::below);
    QWidget *anchor() const { return m_anchor; }
    bool isFlipped() const { return m_flipped; }
    // Whether the card is drawn on a see-through window (else opaque, cut round).
    bool isTranslucent() const { return m_translucent; }

    // Where the popover goes for an anchor rectangle (global) inside a screen area, always
    // inside the area. Below: centred under the anchor, or above it when it would not fit
    // below. Beside: vertically centred on the anchor, on the asked side, or on the other one
    // when only that one has room. `flipped` tells whether it went to the other side.
    static QRect placement(const QRect &anchor, QSize size, const QRect &area, bool *flipped,
        Side side = Side::below, Qt::LayoutDirection direction = Qt::LeftToRight);

signals:
    void closed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateMask();

    QWidget *m_content;
    QColor m_background;
    qreal m_cornerRadius = cornerRadius;
    QPointer<QWidget> m_anchor;
    bool m_flipped = false;
    bool m_translucent;
};

} // namespace tolvo
