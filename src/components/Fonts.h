#pragma once

#include <QFont>

namespace tolvo {

// The application font at a size in pixels (design sizes are logical pixels, never points).
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// A monospaced font at a size in pixels: an installed monospaced family (DejaVu Sans Mono
// first), else the desktop's fixed font.
QFont fixedFont(int pixelSize);
// Whether narrow and wide glyphs of the font take the same width.
bool hasEqualGlyphWidths(const QFont &font);

} // namespace tolvo
