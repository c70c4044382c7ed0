#include "components/WrappedText.h"

#include <QFontMetrics>
#include <QTextLayout>

namespace tolvo {

QStringList wrapAndElide(const QString &text, const QFont &font, int width, int maxLines)
{
    QString flat = text.simplified();
    if (flat.isEmpty() || maxLines <= 0)
        return {};
    width = qMax(width, 1);

    QTextLayout layout(flat, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    int lastStart = 0;
    layout.beginLayout();
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            lastStart = line.textStart();
            break;
        }
        lines.append(flat.mid(line.textStart(), line.textLength()).trimmed());
        lastStart = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (lastStart < flat.size()) {
        // Everything left goes on the last line, elided to fit.
        const QFontMetrics metrics(font);
        lines.append(metrics.elidedText(flat.mid(lastStart).trimmed(), Qt::ElideRight, width));
    }
    return lines;
}

} // namespace tolvo
