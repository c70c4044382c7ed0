#pragma once

#include <QIcon>
#include <QString>
#include <QUuid>

#include <functional>

class QWidget;

namespace tolvo {

// One entry of a popup menu. A disabled entry shows at half opacity and neither highlights
// nor acts. An image that is a mask (QIcon::setIsMask) is drawn in the style's tint colours;
// any other keeps its own. `customView` makes the row's whole content instead of the image
// and title (a new widget each time a row is built, owned by the row).
struct MenuItem
{
    bool isEnabled = true;
    QUuid id = QUuid::createUuid();
    std::function<void()> action;
    QString title;
    QIcon image;
    bool isSelectable = true; // carried along; nothing reads it
    std::function<QWidget *()> customView;
    bool isSeparator = false;

    static MenuItem separator();
    // "separator", or "title: <title>, id: <UUID in capitals>".
    QString debugDescription() const;
};

} // namespace tolvo
