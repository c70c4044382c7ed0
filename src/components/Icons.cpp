#include "components/Icons.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

// Resources in a static library have to be pulled in by hand.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace tolvo {

namespace {

QByteArray symbolSource(const QString &name)
{
    static bool initialised = false;
    if (!initialised) {
        initIconResources();
        initialised = true;
    }
    static QHash<QString, QByteArray> sources;
    const auto found = sources.constFind(name);
    if (found != sources.cend())
        return *found;
    QFile file(QStringLiteral(":/icons/%1.svg").arg(name));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    sources.insert(name, bytes);
    return bytes;
}

} // namespace

bool hasSymbol(const QString &name)
{
    return !symbolSource(name).isEmpty();
}

QPixmap symbolPixmap(const QString &name, QSize size, const QColor &color, qreal dpr)
{
    const QString key = QStringLiteral("tolvo-symbol:%1:%2x%3:%4:%5")
                            .arg(name)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(color.name(QColor::HexArgb))
                            .arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QByteArray source = symbolSource(name);
    if (source.isEmpty() || size.isEmpty())
        return {};
    // The renderer draws currentColor as black, so the colour goes into the source itself;
    // the alpha is applied when painting because SVG colour names carry none.
    source.replace("currentColor", color.name(QColor::HexRgb).toLatin1());
    QSvgRenderer renderer(source);
    pixmap = QPixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QIcon symbolIcon(const QString &name, const QColor &color, QSize size)
{
    QIcon icon;
    icon.addPixmap(symbolPixmap(name, size, color, 1.0));
    icon.addPixmap(symbolPixmap(name, size, color, 2.0));
    return icon;
}

} // namespace tolvo
