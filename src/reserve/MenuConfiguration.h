#pragma once

#include <QColor>
#include <QFont>
#include <QMarginsF>

#include <memory>
#include <optional>

namespace tolvo {

// The popup menu's style: every font, colour, size, inset and duration its window, rows,
// separators and check marks use. A different look is a different subclass; a style never
// changes once made, and every component keeps the one it was built with.
class MenuBaseConfiguration
{
public:
    enum class Alignment { left, right };
    struct Padding
    {
        struct Horizontal
        {
            qreal left = 0;
            qreal right = 0;
        };
        struct Vertical
        {
            qreal top = 0;
            qreal bottom = 0;
        };
    };

    virtual ~MenuBaseConfiguration() = default;

    virtual qreal titleSpacing() const = 0;
    virtual QFont titleFont() const = 0;
    virtual QColor titleColor() const = 0;
    virtual QColor backgroundColor() const = 0;
    virtual qreal cornerRadius() const = 0;
    virtual bool spareFlag1() const = 0; // read by nothing
    virtual bool spareFlag2() const = 0; // read by nothing
    virtual qreal spareValue() const = 0; // read by nothing
    virtual double selectionFadeDuration() const = 0; // seconds
    virtual QMarginsF contentInsets() const = 0;
    virtual std::optional<qreal> maximumHeight() const = 0;
    virtual QColor separatorColor() const = 0;
    virtual qreal separatorThickness() const = 0;
    virtual Padding::Horizontal separatorHorizontalPadding() const = 0;
    virtual Padding::Vertical separatorVerticalPadding() const = 0;
    virtual bool showsCheckmark() const = 0;
    virtual Alignment contentAlignment() const = 0;
    virtual Alignment imageAlignment() const = 0;
    virtual QFont itemFont() const = 0;
    virtual qreal itemHeight() const = 0;
    virtual QColor hoverColor() const = 0;
    virtual QColor itemTitleColor() const = 0;
    virtual QColor highlightedItemTitleColor() const = 0;
    virtual QColor checkmarkColor() const = 0;
    virtual QColor spareColor() const = 0; // read by nothing
    virtual qreal checkmarkSize() const = 0;
    virtual qreal checkmarkLineWidth() const = 0;
    virtual qreal itemSpacing() const = 0;
    virtual std::optional<qreal> imageSize() const = 0;
    virtual std::optional<QColor> imageTintColor() const = 0;
    virtual QColor highlightedImageTintColor() const = 0;
    virtual double hoverAnimationDuration() const = 0; // seconds
};

using MenuStyle = std::shared_ptr<const MenuBaseConfiguration>;

// The toolkit's own look: white text on green.
class MenuConfiguration : public MenuBaseConfiguration
{
public:
    qreal titleSpacing() const override { return 8; }
    QFont titleFont() const override;
    QColor titleColor() const override { return Qt::white; }
    QColor backgroundColor() const override;
    qreal cornerRadius() const override { return 5; }
    bool spareFlag1() const override { return true; }
    bool spareFlag2() const override { return true; }
    qreal spareValue() const override { return 0; }
    double selectionFadeDuration() const override { return 0.15; }
    QMarginsF contentInsets() const override { return {16, 16, 16, 16}; }
    std::optional<qreal> maximumHeight() const override { return std::nullopt; }
    QColor separatorColor() const override;
    qreal separatorThickness() const override { return 1; }
    Padding::Horizontal separatorHorizontalPadding() const override { return {16, 16}; }
    Padding::Vertical separatorVerticalPadding() const override { return {4, 4}; }
    bool showsCheckmark() const override { return true; }
    Alignment contentAlignment() const override { return Alignment::left; }
    Alignment imageAlignment() const override { return Alignment::left; }
    QFont itemFont() const override;
    qreal itemHeight() const override { return 40; }
    QColor hoverColor() const override;
    QColor itemTitleColor() const override { return Qt::white; }
    QColor highlightedItemTitleColor() const override { return Qt::white; }
    QColor checkmarkColor() const override { return Qt::white; }
    QColor spareColor() const override { return Qt::white; }
    qreal checkmarkSize() const override { return 32; }
    qreal checkmarkLineWidth() const override { return 1; }
    qreal itemSpacing() const override { return 8; }
    std::optional<qreal> imageSize() const override { return 24; }
    std::optional<QColor> imageTintColor() const override { return QColor(Qt::white); }
    QColor highlightedImageTintColor() const override { return Qt::white; }
    double hoverAnimationDuration() const override { return 0.15; }
};

// The application's look: the dark palette background, rounder, no check marks.
class MenuConfig : public MenuConfiguration
{
public:
    QColor backgroundColor() const override;
    qreal cornerRadius() const override { return 15; }
    QMarginsF contentInsets() const override { return {16, 8, 16, 8}; }
    bool showsCheckmark() const override { return false; }
    qreal itemHeight() const override { return 40; }
    QColor hoverColor() const override;
    std::optional<qreal> imageSize() const override { return 16; }
};

} // namespace tolvo
