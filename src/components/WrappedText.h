#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace tolvo {

// `text` broken into lines no wider than `width` at word boundaries (inside a word where a
// word alone is wider), at most `maxLines` of them; when more would be needed the last line
// kept ends in an ellipsis. Line breaks in the text count as spaces. Empty text gives no line.
QStringList wrapAndElide(const QString &text, const QFont &font, int width, int maxLines);

} // namespace tolvo
