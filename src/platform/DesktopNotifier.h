#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace tolvo {

// Posts desktop notifications through the freedesktop notification service on D-Bus. Every
// call is asynchronous and fire-and-forget: nothing here ever waits for the bus. Without a
// bus or a notification service the notification is dropped and that is logged once.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    struct Notification
    {
        QString summary;
        QString body;
    };

    explicit DesktopNotifier(
        QDBusConnection connection = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // May be called from any thread; the work happens on this object's thread.
    void notify(const Notification &notification);

    // What the service is sent for a body: markup-rendering servers get it escaped, because
    // event titles come from other people's calendars.
    static QString bodyFor(const QString &body, const QStringList &capabilities);

signals:
    void posted(uint id);
    void dropped(const QString &reason);

private:
    void post(const Notification &notification);
    void send(const Notification &notification, const QStringList &capabilities);
    void drop(const QString &reason);

    QDBusConnection m_connection;
    bool m_loggedFailure = false;
};

} // namespace tolvo
