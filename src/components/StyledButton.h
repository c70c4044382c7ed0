#pragma once

#include <QAbstractButton>
#include <QMargins>

namespace tolvo {

// The application's five button looks.
//   gray          16 px bold grey text, no background; the text fades while pressed
//   grayed        white text on grey, radius 12; the background fades while pressed
//   blue          white text on #3066BE, radius 12; the background fades while pressed
//   calendar      white text, a half-transparent accent background when selected, radius 6;
//                 pressing changes nothing
//   calendarArrow 16 px bold grey symbol with 8 px on every side, a half-transparent grey
//                 rounded square (radius 6) while pressed
enum class ButtonStyle { gray, grayed, blue, calendar, calendarArrow };

// A button drawn in one of the looks above. The background fills exactly the size the caller
// gives; with no size from a layout, the button is as large as its label (plus the padding).
class StyledButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit StyledButton(ButtonStyle style, const QString &text = {}, QWidget *parent = nullptr);

    ButtonStyle style() const { return m_style; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    // A bundled symbol drawn in the label colour (see Icons.h). Without one, a full-colour
    // icon (QAbstractButton::setIcon) is drawn as it is, at iconSize().
    void setSymbol(const QString &name);
    QString symbol() const { return m_symbol; }
    void setContentPadding(QMargins padding);

    QColor labelColor() const;
    QColor backgroundColor() const; // invalid when nothing is painted
    int cornerRadius() const;
    // Whether the focus ring is drawn: the button has the focus and the keyboard moved it.
    bool showsFocus() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool hasImage() const;
    QMargins padding() const;
    QSize labelSize() const;

    ButtonStyle m_style;
    bool m_selected = false;
    QString m_symbol;
    QMargins m_contentPadding;
};

} // namespace tolvo
