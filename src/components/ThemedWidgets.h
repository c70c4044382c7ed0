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

    // Keeps the text on one line: when it is wider than the label, the font shrinks (down to
    // `minimumPixelSize`, below which the text wraps again) instead of breaking the line.
    void setShrinkToFit(int minimumPixelSize);

    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyAppearance();
    int fittingPixelSize(int width) const;
    void fitToWidth();

    DynamicColor m_color;
    int m_pixelSize;
    int m_minimumPixelSize = 0;
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

// Colours any label (an elided one, say) in `color` now and whenever the appearance changes.
void followAppearance(QLabel *label, DynamicColor color);

// The colours most screens share.
DynamicColor titleColor(); // #303030 light, #A3B0BB dark
DynamicColor screenBackground(); // #EEEFF2 light, #303A48 dark

} // namespace tolvo
