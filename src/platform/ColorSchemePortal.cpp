#include "platform/ColorSchemePortal.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace tolvo {

namespace {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
const QString interface = QStringLiteral("org.freedesktop.portal.Settings");
const QString group = QStringLiteral("org.freedesktop.appearance");
const QString key = QStringLiteral("color-scheme");
} // namespace

ColorSchemePortal::ColorSchemePortal(QDBusConnection connection, QObject *parent)
    : QObject(parent)
    , m_connection(std::move(connection))
{
}

ColorSchemePortal::Scheme ColorSchemePortal::fromValue(const QVariant &value)
{
    QVariant inner = value;
    // Read answers a variant, and older portals wrap the value in one more.
    for (int depth = 0; depth < 4 && inner.canConvert<QDBusVariant>()
         && inner.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        inner = inner.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = inner.toUInt(&ok);
    if (!ok)
        return Scheme::noPreference;
    switch (number) {
    case 1: return Scheme::dark;
    case 2: return Scheme::light;
    default: return Scheme::noPreference;
    }
}

void ColorSchemePortal::start()
{
    if (!m_connection.isConnected())
        return;
    // QtDBus learns its built-in types lazily; a signal connection made before anything else
    // used D-Bus types fails to match the variant argument.
    QDBusMetaType::typeToSignature(QMetaType::fromType<QDBusVariant>());
    m_connection.connect(service, path, interface, QStringLiteral("SettingChanged"), this,
        SLOT(onSettingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read = QDBusMessage::createMethodCall(service, path, interface, "Read");
    read << group << key;
    auto *watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            const QDBusPendingReply<QDBusVariant> reply = *finished;
            if (reply.isError())
                return; // no portal, or one without the setting: the palette decides
            emit changed(fromValue(QVariant::fromValue(reply.value())));
        });
}

void ColorSchemePortal::onSettingChanged(
    const QString &changedGroup, const QString &changedKey, const QDBusVariant &value)
{
    if (changedGroup == group && changedKey == key)
        emit changed(fromValue(QVariant::fromValue(value)));
}

} // namespace tolvo
