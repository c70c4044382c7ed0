#include "components/WindowSystem.h"
#include "support/TestMain.h"

#include <QGuiApplication>

using namespace tolvo;

class WindowSystemTest : public QObject
{
    Q_OBJECT
private slots:
    void theScreenComesFromTheDisplayName_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<int>("screen");
        QTest::newRow("none") << QByteArray() << 0;
        QTest::newRow("display only") << QByteArray(":1") << 0;
        QTest::newRow("screen") << QByteArray(":0.2") << 2;
        QTest::newRow("host") << QByteArray("box.local:10.1") << 1;
        QTest::newRow("IPv6 host") << QByteArray("::1:0.3") << 3;
        QTest::newRow("garbage") << QByteArray(":0.x") << 0;
    }
    void theScreenComesFromTheDisplayName()
    {
        QFETCH(QByteArray, display);
        QFETCH(int, screen);
        QCOMPARE(windowsystem::x11ScreenNumber(display), screen);
    }

    void nothingShowsThroughOffscreen()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
        QVERIFY(!windowsystem::showsTranslucency());
    }
};

TOLVO_GUI_TEST_MAIN(WindowSystemTest)
#include "WindowSystemTest.moc"
