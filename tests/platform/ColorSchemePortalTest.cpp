#include "platform/ColorSchemePortal.h"
#include "support/TestMain.h"

#include <QDBusConnection>
#include <QDBusMessage>

using namespace tolvo;

namespace {

// Stands in for the desktop portal's settings on the test's private session bus.
class FakePortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint scheme = 1;
    bool wrapTwice = true;

public slots:
    QDBusVariant Read(const QString &group, const QString &key)
    {
        if (group != "org.freedesktop.appearance" || key != "color-scheme")
            return QDBusVariant(QVariant());
        const QDBusVariant value {QVariant(scheme)};
        return wrapTwice ? QDBusVariant(QVariant::fromValue(value)) : value;
    }
};

} // namespace

class ColorSchemePortalTest : public QObject
{
    Q_OBJECT
private slots:
    void readsThenFollowsTheDesktop()
    {
        FakePortal fake;
        QDBusConnection daemon
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("portal"));
        QVERIFY(daemon.registerObject(
            "/org/freedesktop/portal/desktop", &fake, QDBusConnection::ExportAllSlots));
        QVERIFY(daemon.registerService("org.freedesktop.portal.Desktop"));

        ColorSchemePortal portal;
        QSignalSpy changed(&portal, &ColorSchemePortal::changed);
        portal.start();
        QVERIFY(changed.wait());
        QCOMPARE(changed.last().at(0).value<ColorSchemePortal::Scheme>(),
            ColorSchemePortal::Scheme::dark);

        auto signal = QDBusMessage::createSignal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
        signal << QStringLiteral("org.freedesktop.other") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(QVariant(uint(1))));
        QVERIFY(daemon.send(signal));
        signal = QDBusMessage::createSignal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
        signal << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
               << QVariant::fromValue(QDBusVariant(QVariant(uint(2))));
        QVERIFY(daemon.send(signal));
        QTRY_COMPARE(changed.count(), 2);
        QCOMPARE(changed.last().at(0).value<ColorSchemePortal::Scheme>(),
            ColorSchemePortal::Scheme::light);

        daemon.unregisterService("org.freedesktop.portal.Desktop");
        QDBusConnection::disconnectFromBus(QStringLiteral("portal"));
    }

    void withoutAPortalNothingIsAnnounced()
    {
        ColorSchemePortal portal;
        QSignalSpy changed(&portal, &ColorSchemePortal::changed);
        portal.start();
        QVERIFY(!changed.wait(300));
    }

    void readsTheValue_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("scheme");
        QTest::newRow("no preference")
            << QVariant(uint(0)) << int(ColorSchemePortal::Scheme::noPreference);
        QTest::newRow("dark") << QVariant(uint(1)) << int(ColorSchemePortal::Scheme::dark);
        QTest::newRow("light") << QVariant(uint(2)) << int(ColorSchemePortal::Scheme::light);
        QTest::newRow("unknown") << QVariant(uint(7))
                                 << int(ColorSchemePortal::Scheme::noPreference);
        QTest::newRow("not a number")
            << QVariant("dark") << int(ColorSchemePortal::Scheme::noPreference);
        QTest::newRow("wrapped") << QVariant::fromValue(QDBusVariant(QVariant(uint(1))))
                                 << int(ColorSchemePortal::Scheme::dark);
    }

    void readsTheValue()
    {
        QFETCH(QVariant, value);
        QFETCH(int, scheme);
        QCOMPARE(int(ColorSchemePortal::fromValue(value)), scheme);
    }
};

TOLVO_TEST_MAIN(ColorSchemePortalTest)
#include "ColorSchemePortalTest.moc"
