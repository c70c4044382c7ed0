#pragma once

#include <QFont>

namespace tolvo {

// The application font at a size in pixels (design sizes are logical pixels, never points).
QFont uiFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// The desktop's fixed-pitch font at a size in pixels.
QFont fixedFont(int pixelSize);

} // namespace tolvo
