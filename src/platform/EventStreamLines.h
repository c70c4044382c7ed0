#pragma once

#include <QByteArray>
#include <QList>

namespace tolvo {

// Takes every complete line off the front of `buffer`, without its line end ("\n" or "\r\n");
// an unfinished last line stays in the buffer for the next read.
QList<QByteArray> takeStreamLines(QByteArray &buffer);

} // namespace tolvo
