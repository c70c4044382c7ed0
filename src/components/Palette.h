#pragma once

#include <QColor>
#include <QStringView>

namespace tolvo {

// Reads colour text such as "#303A48", "F0A" or "80FF0000" (alpha first). Everything that is
// not a letter, mark or digit is trimmed from both ends; the trimmed length picks the layout
// (8: AARRGGBB, 6: RRGGBB, 3: RGB), and any other length gives an almost invisible
// rgba(1, 1, 0, 1/255). Unreadable digits read as 0, so "GGGGGG" is opaque black.
QColor colorFromHex(QStringView text);

// The application's fixed colours.
namespace palette {
QColor backgroundDark(); // #303A48
QColor accentBlue(); // #379BFF
QColor textDark(); // #303030
QColor textGray(); // #A3B0BB
QColor backgroundLight(); // #EEEFF2
QColor primaryBlue(); // #3066BE, the blue of primary buttons
} // namespace palette

} // namespace tolvo
