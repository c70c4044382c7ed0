#pragma once

#include <QColor>
#include <QWidget>

namespace tolvo {

// One line of menu text, cut with an ellipsis at its end when it does not fit and centred
// vertically in whatever height it is given. It never takes the pointer.
class MenuLabel : public QWidget
{
    Q_OBJECT
public:
    MenuLabel(const QString &text, const QFont &font, const QColor &color, Qt::Alignment alignment,
        QWidget *parent = nullptr);

    QString text() const { return m_text; }
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    // The text as it is drawn at the current width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    QColor m_color;
    Qt::Alignment m_alignment;
};

} // namespace tolvo
