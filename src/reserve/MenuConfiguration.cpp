#include "reserve/MenuConfiguration.h"

#include "components/Fonts.h"
#include "components/Palette.h"

namespace tolvo {

QFont MenuConfiguration::titleFont() const
{
    return uiFont(18, QFont::Light);
}

QColor MenuConfiguration::backgroundColor() const
{
    return QColor::fromRgbF(84 / 255.0, 181 / 255.0, 146 / 255.0);
}

QColor MenuConfiguration::separatorColor() const
{
    return QColor::fromRgbF(76 / 255.0, 161 / 255.0, 132 / 255.0);
}

QFont MenuConfiguration::itemFont() const
{
    return uiFont(14, QFont::Light);
}

QColor MenuConfiguration::hoverColor() const
{
    return QColor::fromRgbF(76 / 255.0, 161 / 255.0, 132 / 255.0);
}

QColor MenuConfig::backgroundColor() const
{
    return palette::backgroundDark();
}

QColor MenuConfig::hoverColor() const
{
    return palette::textGray();
}

} // namespace tolvo
