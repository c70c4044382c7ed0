#include "components/Resources.h"

#include "components/Icons.h"
#include "components/Palette.h"

#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLoggingCategory>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

// Resources in a static library have to be pulled in by hand.
static void initImageResources()
{
    Q_INIT_RESOURCE(images);
}

namespace tolvo::resources {

namespace {

Q_LOGGING_CATEGORY(lcResources, "tolvo.resources")

// Image name -> bundled symbol. Artwork is listed with an empty symbol.
const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> names {
        {QStringLiteral("add_event"), QStringLiteral("calendar-plus")},
        {QStringLiteral("app_icon"), QString()},
        {QStringLiteral("calendar"), QStringLiteral("calendar")},
        {QStringLiteral("google_icon"), QString()},
        {QStringLiteral("integrations"), QStringLiteral("blocks")},
        {QStringLiteral("logout"), QStringLiteral("log-out")},
        {QStringLiteral("notes"), QStringLiteral("notebook-pen")},
        {QStringLiteral("notification"), QStringLiteral("bell")},
        {QStringLiteral("pencil"), QStringLiteral("pencil")},
        {QStringLiteral("settings"), QStringLiteral("settings")},
        {QStringLiteral("trash"), QStringLiteral("trash-2")},
    };
    return names;
}

QByteArray artworkSource(const QString &name)
{
    static bool initialised = false;
    if (!initialised) {
        initImageResources();
        initialised = true;
    }
    QFile file(QStringLiteral(":/images/%1.svg").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QPixmap artwork(const QString &name, QSize size, qreal dpr)
{
    const QString key = QStringLiteral("tolvo-image:%1:%2x%3:%4")
                            .arg(name)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(dpr);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    QSvgRenderer renderer(artworkSource(name));
    if (!renderer.isValid())
        return {};
    pixmap = QPixmap(size * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

} // namespace

const QStringList &imageNames()
{
    static const QStringList names = [] {
        QStringList list = table().keys();
        list.sort();
        return list;
    }();
    return names;
}

bool hasImage(const QString &name)
{
    return table().contains(name);
}

bool isArtwork(const QString &name)
{
    const auto found = table().constFind(name);
    return found != table().cend() && found->isEmpty();
}

QPixmap image(const QString &name, QSize size, const QColor &tint, qreal dpr)
{
    if (size.isEmpty())
        return {};
    const auto found = table().constFind(name);
    QPixmap pixmap;
    if (found != table().cend())
        pixmap
            = found->isEmpty() ? artwork(name, size, dpr) : symbolPixmap(*found, size, tint, dpr);
    if (pixmap.isNull())
        qCWarning(lcResources, "Unable to load image asset named %s.", qUtf8Printable(name));
    return pixmap;
}

QIcon icon(const QString &name, QSize size, const QColor &tint)
{
    QIcon result;
    for (const qreal dpr : {1.0, 2.0}) {
        const QPixmap pixmap = image(name, size, tint, dpr);
        if (!pixmap.isNull())
            result.addPixmap(pixmap);
    }
    return result;
}

QLabel *imageLabel(const QString &name, QSize size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setFixedSize(size);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(image(name, size, QColor(0x30, 0x30, 0x30), 2.0));
    label->setScaledContents(true);
    return label;
}

QColor accentColor()
{
    return palette::accentBlue();
}

} // namespace tolvo::resources
