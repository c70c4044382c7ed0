#include "core/BackendAddresses.h"

#include "core/DateHelpers.h"

namespace tolvo {

QUrl backendAddress(const QUrl &backendBase, const QString &path)
{
    // The base may be configured with or without a trailing slash.
    QString base = backendBase.toString();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + path);
}

QUrl notificationAddress(const QUrl &backendBase)
{
    return backendAddress(backendBase, QStringLiteral("/notification-handler"));
}

QUrl eventStreamAddress(const QUrl &backendBase, const QString &calendarId)
{
    return backendAddress(backendBase, QStringLiteral("/events/") + sha256Hex(calendarId));
}

} // namespace tolvo
