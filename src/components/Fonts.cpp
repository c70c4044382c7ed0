#include "components/Fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>

namespace tolvo {

QFont applicationFont()
{
    QFont font(QStringLiteral("Inter"));
    font.setFamilies({QStringLiteral("Inter"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(13);
    return font;
}

QFont uiFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

bool hasEqualGlyphWidths(const QFont &font)
{
    const QFontMetricsF metrics(font);
    const qreal width = metrics.horizontalAdvance(QLatin1Char('i'));
    for (const QChar glyph : {QLatin1Char('W'), QLatin1Char('m'), QLatin1Char('.')}) {
        if (!qFuzzyCompare(metrics.horizontalAdvance(glyph), width))
            return false;
    }
    return width > 0;
}

QFont fixedFont(int pixelSize)
{
    // The desktop's fixed font is not always monospaced as drawn (fontconfig may answer with a
    // proportional family), so well-known monospaced families come first and every candidate
    // is measured.
    QFont system = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const QStringList families {QStringLiteral("DejaVu Sans Mono"),
        QStringLiteral("Liberation Mono"), QStringLiteral("Noto Sans Mono"), system.family()};
    for (const QString &family : families) {
        if (!QFontDatabase::hasFamily(family))
            continue;
        QFont font(family);
        font.setPixelSize(pixelSize);
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
        if (hasEqualGlyphWidths(font))
            return font;
    }
    system.setPixelSize(pixelSize);
    system.setStyleHint(QFont::Monospace);
    system.setFixedPitch(true);
    return system;
}

} // namespace tolvo
