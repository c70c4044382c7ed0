#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

class QLabel;
class QWidget;

namespace tolvo::resources {

// The images that screens load by name: two pieces of full-colour artwork ("app_icon",
// "google_icon") and monochrome symbols drawn in the colour the caller asks for.
const QStringList &imageNames();
bool hasImage(const QString &name);
bool isArtwork(const QString &name);

// The image drawn at `size` (symbols in `tint`; artwork keeps its colours). A name that is
// not bundled is logged and gives a null pixmap: a missing picture never ends the process.
QPixmap image(const QString &name, QSize size, const QColor &tint = QColor(0x30, 0x30, 0x30),
    qreal dpr = 1.0);
QIcon icon(const QString &name, QSize size, const QColor &tint = QColor(0x30, 0x30, 0x30));

// A label showing the image at `size`, drawn for the screen's pixel ratio.
QLabel *imageLabel(const QString &name, QSize size, QWidget *parent = nullptr);

// The application's accent colour ("AccentColor").
QColor accentColor();

} // namespace tolvo::resources
