#include "platform/EventStreamLines.h"

namespace tolvo {

QList<QByteArray> takeStreamLines(QByteArray &buffer)
{
    QList<QByteArray> lines;
    qsizetype begin = 0;
    qsizetype end;
    // One pass and one removal: removing each line from the front would copy the rest of
    // the buffer once per line.
    while ((end = buffer.indexOf('\n', begin)) >= 0) {
        QByteArray line = buffer.mid(begin, end - begin);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(std::move(line));
        begin = end + 1;
    }
    buffer.remove(0, begin);
    return lines;
}

} // namespace tolvo
