#include "platform/DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcNotifications, "tolvo.notifications")

namespace tolvo {

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

QDBusMessage call(const QString &method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

bool applicationInFront()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance())
        && QGuiApplication::applicationState() == Qt::ApplicationActive;
}
} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection connection, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
{
}

QString DesktopNotifier::bodyFor(const QString &body, const QStringList &capabilities)
{
    return capabilities.contains(QStringLiteral("body-markup")) ? body.toHtmlEscaped() : body;
}

void DesktopNotifier::notify(const Notification &notification)
{
    if (QThread::currentThread() == thread()) {
        post(notification);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, notification] { post(notification); }, Qt::QueuedConnection);
}

void DesktopNotifier::post(const Notification &notification)
{
    if (!m_connection.isConnected()) {
        drop(QStringLiteral("no session bus"));
        return;
    }
    // Asked on every post: a notification daemon can start, stop or change at any time, and
    // whether it renders markup decides how the body is sent.
    auto *watcher = new QDBusPendingCallWatcher(
        m_connection.asyncCall(call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, notification](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            const QDBusPendingReply<QStringList> reply = *finished;
            if (reply.isError()) {
                drop(reply.error().message());
                return;
            }
            send(notification, reply.value());
        });
}

void DesktopNotifier::send(const Notification &notification, const QStringList &capabilities)
{
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("app.tolvo.Tolvo"));
    // In front the banner is enough; in the background a sound draws the eye.
    if (!applicationInFront())
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));

    QDBusMessage message = call(QStringLiteral("Notify"));
    message << QStringLiteral("Tolvo") // application name
            << uint(0) // never replace an earlier notification
            << QString() // icon: the desktop entry's
            << notification.summary << bodyFor(notification.body, capabilities) << QStringList()
            << hints << int(-1); // the server's default timeout
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            const QDBusPendingReply<uint> reply = *finished;
            if (reply.isError()) {
                drop(reply.error().message());
                return;
            }
            emit posted(reply.value());
        });
}

void DesktopNotifier::drop(const QString &reason)
{
    if (!m_loggedFailure) {
        m_loggedFailure = true;
        qCWarning(lcNotifications, "Desktop notifications are unavailable: %s", qPrintable(reason));
    }
    emit dropped(reason);
}

} // namespace tolvo
