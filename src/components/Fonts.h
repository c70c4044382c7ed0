#pragma once

#include <QFont>

namespace tolvo {

// The application's own font (Inter at 13 px, DejaVu Sans where it is missing): an explicit
// family keeps the look, and what tests measure, independent of whatever fontconfig prefers.
QFont applicationFont();
// The application font at a size in pixels (design sizes are logical pixels, never points).
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// A monospaced font at a size in pixels: an installed monospaced family (DejaVu Sans Mono
// first), else the desktop's fixed font.
QFont fixedFont(int pixelSize);
// Whether narrow and wide glyphs of the font take the same width.
bool hasEqualGlyphWidths(const QFont &font);

} // namespace tolvo
