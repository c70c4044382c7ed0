#include "platform/DesktopNotifier.h"
#include "core/Dependencies.h"
#include "services/NotificationHandler.h"
#include "support/TestMain.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

using namespace tolvo;

namespace {

// Stands in for the desktop's notification daemon on the test's private session bus.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call
    {
        QString appName;
        uint replacesId;
        QString summary;
        QString body;
        QVariantMap hints;
    };

    QStringList capabilities;
    QList<Call> calls;

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &appName, uint replacesId, const QString &, const QString &summary,
        const QString &body, const QStringList &, const QVariantMap &hints, int)
    {
        calls.append({appName, replacesId, summary, body, hints});
        return uint(calls.size());
    }
};

} // namespace

class DesktopNotifierTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "runs under dbus-run-session");
    }

    void init()
    {
        m_fake = std::make_unique<FakeNotifications>();
        // A connection of its own, so the client's calls really cross the bus.
        m_daemon = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("daemon")));
        QVERIFY(m_daemon->registerObject(QStringLiteral("/org/freedesktop/Notifications"),
            m_fake.get(), QDBusConnection::ExportAllSlots));
        QVERIFY(m_daemon->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void cleanup()
    {
        m_daemon->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        m_daemon->unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        m_daemon.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("daemon"));
        m_fake.reset();
    }

    void escapesTextForServersThatRenderMarkup_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("expected");
        const QString body = QStringLiteral("Ben & <i>Jo</i>\n5 March 2025 at 14:00");
        QTest::newRow("markup") << QStringList {"body", "body-markup"}
                                << QStringLiteral(
                                       "Ben &amp; &lt;i&gt;Jo&lt;/i&gt;\n5 March 2025 at 14:00");
        QTest::newRow("plain") << QStringList {"body"} << body;
    }

    void escapesTextForServersThatRenderMarkup()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QString, expected);
        m_fake->capabilities = capabilities;
        DesktopNotifier notifier;
        QSignalSpy posted(&notifier, &DesktopNotifier::posted);
        notifier.notify({QStringLiteral("New <event> added"),
            QStringLiteral("Ben & <i>Jo</i>\n5 March 2025 at 14:00")});
        QVERIFY(posted.wait());
        QCOMPARE(m_fake->calls.size(), 1);
        QCOMPARE(m_fake->calls[0].appName, QStringLiteral("Tolvo"));
        QCOMPARE(m_fake->calls[0].summary, QStringLiteral("New <event> added"));
        QCOMPARE(m_fake->calls[0].body, expected);
    }

    void twoPostsGiveTwoNotifications()
    {
        m_fake->capabilities = {QStringLiteral("body")};
        DesktopNotifier notifier;
        QSignalSpy posted(&notifier, &DesktopNotifier::posted);
        notifier.notify({QStringLiteral("Event deleted"), QStringLiteral("first")});
        notifier.notify({QStringLiteral("Event deleted"), QStringLiteral("second")});
        QTRY_COMPARE(posted.count(), 2);
        QCOMPARE(m_fake->calls.size(), 2);
        for (const auto &call : m_fake->calls)
            QCOMPARE(call.replacesId, 0u);
        QVERIFY(posted[0][0].toUInt() != posted[1][0].toUInt());
        // The test application is never in front, so the sound hint goes along.
        QCOMPARE(m_fake->calls[0].hints.value("sound-name").toString(),
            QStringLiteral("message-new-instant"));
    }

    void handlerPutsTheSubtitleFirstAndPostsAnEmptyOne()
    {
        m_fake->capabilities = {QStringLiteral("body")};
        Dependencies::setContext(DependencyContext::live);
        const NotificationHandler handler = NotificationHandler::liveValue();
        Dependencies::setContext(DependencyContext::test);
        handler.postNotification(
            "New event added", "5 March 2025 at 14:00 - 15:00", "Weekly planning");
        handler.postNotification("Event deleted", "5 March 2025 at 14:00", "");
        QTRY_COMPARE(m_fake->calls.size(), 2);
        QCOMPARE(m_fake->calls[0].summary, QStringLiteral("New event added"));
        QCOMPARE(m_fake->calls[0].body,
            QStringLiteral("Weekly planning\n5 March 2025 at 14:00 - 15:00"));
        QCOMPARE(m_fake->calls[1].body, QStringLiteral("5 March 2025 at 14:00"));
    }

    void postsFromAnotherThreadArriveToo()
    {
        m_fake->capabilities = {QStringLiteral("body")};
        DesktopNotifier notifier;
        QSignalSpy posted(&notifier, &DesktopNotifier::posted);
        QThread *thread = QThread::create([&notifier] {
            notifier.notify({QStringLiteral("Event updated with new values"), QString()});
        });
        thread->start();
        QVERIFY(thread->wait(5000));
        delete thread;
        QTRY_COMPARE(posted.count(), 1);
    }

    void aMissingServiceIsLoggedOnceAndNeverBlocks()
    {
        cleanup(); // nobody owns the name any more
        DesktopNotifier notifier;
        QSignalSpy dropped(&notifier, &DesktopNotifier::dropped);
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(QStringLiteral("^Desktop notifications are unavailable")));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("unavailable")));
        notifier.notify({QStringLiteral("New event added"), QString()});
        notifier.notify({QStringLiteral("New event added"), QString()});
        QVERIFY(dropped.isEmpty()); // nothing waited for the bus
        QTRY_COMPARE(dropped.count(), 2);
        init(); // for cleanup()
    }

    void withoutABusNothingIsSent()
    {
        DesktopNotifier notifier(QDBusConnection(QStringLiteral("never-connected")));
        QSignalSpy dropped(&notifier, &DesktopNotifier::dropped);
        QTest::ignoreMessage(QtWarningMsg,
            QRegularExpression(QStringLiteral("^Desktop notifications are unavailable")));
        notifier.notify({QStringLiteral("New event added"), QString()});
        QCOMPARE(dropped.count(), 1);
        QVERIFY(m_fake->calls.isEmpty());
    }

private:
    std::unique_ptr<FakeNotifications> m_fake;
    std::unique_ptr<QDBusConnection> m_daemon;
};

TOLVO_TEST_MAIN(DesktopNotifierTest)
#include "DesktopNotifierTest.moc"
