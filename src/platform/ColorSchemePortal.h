#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

namespace tolvo {

// The desktop's light or dark preference, as the XDG desktop portal publishes it
// (org.freedesktop.appearance color-scheme), followed as it changes. Without a portal nothing
// is ever announced and the application keeps reading its palette.
class ColorSchemePortal : public QObject
{
    Q_OBJECT
public:
    enum class Scheme { noPreference, dark, light };
    Q_ENUM(Scheme)

    explicit ColorSchemePortal(
        QDBusConnection connection = QDBusConnection::sessionBus(), QObject *parent = nullptr);

    // Asks once, then listens; answers arrive as `changed`.
    void start();

    // The portal's value (a uint32, sometimes wrapped in variants) as a scheme.
    static Scheme fromValue(const QVariant &value);

signals:
    void changed(tolvo::ColorSchemePortal::Scheme scheme);

private slots:
    void onSettingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    QDBusConnection m_connection;
};

} // namespace tolvo
