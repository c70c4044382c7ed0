#pragma once

#include <QString>

#include <functional>

namespace tolvo {

// Shows a desktop notification at once, for example "New event added" with the event's title
// and date. Returns immediately and may be called from any thread; a desktop without a
// notification service just shows nothing.
struct NotificationHandler
{
    static constexpr const char *dependencyKey = "notificationHandler";

    std::function<void(const QString &title, const QString &body, const QString &subtitle)>
        postNotification;

    // The summary is the title; the subtitle (the event's title, possibly empty) leads the body.
    static QString notificationBody(const QString &body, const QString &subtitle);

    static NotificationHandler liveValue();
    static NotificationHandler testValue();
    static NotificationHandler previewValue();
};

} // namespace tolvo
