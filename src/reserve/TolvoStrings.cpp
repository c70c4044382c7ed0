#include "reserve/TolvoStrings.h"

#include <QCoreApplication>

namespace tolvo::TolvoStrings {

QString days(int count)
{
    return QCoreApplication::translate("Localizable", "%n days", nullptr, count);
}

QString hours(int count)
{
    return QCoreApplication::translate("Localizable", "%n hours", nullptr, count);
}

QString minutes(int count)
{
    return QCoreApplication::translate("Localizable", "%n minutes", nullptr, count);
}

QString seconds(int count)
{
    return QCoreApplication::translate("Localizable", "%n seconds", nullptr, count);
}

} // namespace tolvo::TolvoStrings
