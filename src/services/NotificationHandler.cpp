#include "services/NotificationHandler.h"

#include "core/Unimplemented.h"
#include "platform/DesktopNotifier.h"

#include <QCoreApplication>

#include <memory>

namespace tolvo {

QString NotificationHandler::notificationBody(const QString &body, const QString &subtitle)
{
    if (subtitle.isEmpty())
        return body;
    return subtitle + QLatin1Char('\n') + body;
}

NotificationHandler NotificationHandler::liveValue()
{
    auto notifier = std::make_shared<DesktopNotifier>();
    if (auto *app = QCoreApplication::instance())
        notifier->moveToThread(app->thread());
    return {
        .postNotification =
            [notifier](const QString &title, const QString &body, const QString &subtitle) {
                notifier->notify({title, notificationBody(body, subtitle)});
            },
    };
}

NotificationHandler NotificationHandler::testValue()
{
    return {
        .postNotification = unimplemented<void(const QString &, const QString &, const QString &)>(
            "NotificationHandler", "postNotification"),
    };
}

NotificationHandler NotificationHandler::previewValue()
{
    return {.postNotification = [](const QString &, const QString &, const QString &) {}};
}

} // namespace tolvo
