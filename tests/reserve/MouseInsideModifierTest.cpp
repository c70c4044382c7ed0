#include "reserve/MouseInsideModifier.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QWidget>

using namespace tolvo;

class MouseInsideModifierTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void reportsHoverInAndOut()
    {
        QWidget window;
        window.resize(300, 100);
        auto *a = new QWidget(&window);
        a->setGeometry(0, 0, 100, 100);
        auto *b = new QWidget(&window);
        b->setGeometry(100, 0, 100, 100);
        QStringList log;
        new MouseInsideModifier(
            a, [&log](bool inside) { log << QStringLiteral("a %1").arg(inside); });
        new MouseInsideModifier(
            b, [&log](bool inside) { log << QStringLiteral("b %1").arg(inside); });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QWindow *handle = window.windowHandle();
        QTest::mouseMove(handle, QPoint(250, 50));
        log.clear(); // the pointer's arrival in the window is not what is tested
        QTest::mouseMove(handle, QPoint(50, 50));
        QCOMPARE(log, QStringList {"a 1"});
        QTest::mouseMove(handle, QPoint(150, 50));
        QCOMPARE(log, (QStringList {"a 1", "a 0", "b 1"}));
        QTest::mouseMove(handle, QPoint(250, 50));
        QCOMPARE(log, (QStringList {"a 1", "a 0", "b 1", "b 0"}));
    }
};

TOLVO_WIDGET_TEST_MAIN(MouseInsideModifierTest)
#include "MouseInsideModifierTest.moc"
