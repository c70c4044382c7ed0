#pragma once

#include <QAbstractButton>

namespace tolvo {

// The forms' picker button: a white card of radius 16 showing a dark text and, after it, an
// 18 px symbol. The text takes a fixed width when one is set, or stretches, and is elided
// when it does not fit. The card keeps its dark text whatever the desktop's palette.
class CardButton : public QAbstractButton
{
    Q_OBJECT
public:
    static constexpr int cornerRadius = 16;
    static constexpr int iconSide = 18;
    static constexpr int horizontalPadding = 16;
    static constexpr int verticalPadding = 8;
    static constexpr int spacing = 8;

    explicit CardButton(const QString &symbol, QWidget *parent = nullptr);

    QString symbol() const { return m_symbol; }
    // 0 lets the text take whatever width the card gets.
    void setTextWidth(int width);
    int textWidth() const { return m_textWidth; }
    // The text as drawn, elided to its room.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect() const;

    QString m_symbol;
    int m_textWidth = 0;
};

} // namespace tolvo
