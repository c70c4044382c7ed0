#pragma once

#include "components/Appearance.h"

#include <QLabel>
#include <QWidget>

namespace tolvo {

// A plain-text label in a colour with a light and a dark side; it follows the appearance.
class ThemedLabel : public QLabel
{
    Q_OBJECT
public:
    ThemedLabel(const QString &text, DynamicColor color, int pixelSize,
        QFont::Weight weight = QFont::Normal, QWidget *parent = nullptr);

    DynamicColor color() const { return m_color; }
    void setColor(DynamicColor color);
    QColor currentColor() const;

private:
    void applyAppearance();

    DynamicColor m_color;
};

// A panel filled with a colour with a light and a dark side; it follows the appearance.
class ThemedPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ThemedPanel(DynamicColor background, QWidget *parent = nullptr);

    QColor currentBackground() const { return m_background.resolve(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    DynamicColor m_background;
};

// The colours most screens share.
DynamicColor titleColor(); // #303030 light, #A3B0BB dark
DynamicColor screenBackground(); // #EEEFF2 light, #303A48 dark

} // namespace tolvo
