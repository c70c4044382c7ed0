#pragma once

#include <QColor>
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
    void setBackground(const QColor &color);
    QColor background() const { return m_background; }

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
    QPointer<QWidget> m_anchor;
    bool m_flipped = false;
};

} // namespace tolvo
