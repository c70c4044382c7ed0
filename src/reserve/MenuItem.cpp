#include "reserve/MenuItem.h"

namespace tolvo {

MenuItem MenuItem::separator()
{
    MenuItem item;
    item.isSeparator = true;
    return item;
}

QString MenuItem::debugDescription() const
{
    if (isSeparator)
        return QStringLiteral("separator");
    return QStringLiteral("title: %1, id: %2")
        .arg(title, id.toString(QUuid::WithoutBraces).toUpper());
}

} // namespace tolvo
