#include "components/Resources.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

using namespace tolvo;

class ResourcesTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void everyNamedImageLoads()
    {
        const QStringList expected {QStringLiteral("add_event"), QStringLiteral("app_icon"),
            QStringLiteral("calendar"), QStringLiteral("google_icon"),
            QStringLiteral("integrations"), QStringLiteral("logout"), QStringLiteral("notes"),
            QStringLiteral("notification"), QStringLiteral("pencil"), QStringLiteral("settings"),
            QStringLiteral("trash")};
        QCOMPARE(resources::imageNames(), expected);
        for (const QString &name : expected) {
            const QPixmap pixmap = resources::image(name, {24, 24}, Qt::red);
            QVERIFY2(!pixmap.isNull(), qPrintable(name));
            QCOMPARE(pixmap.size(), QSize(24, 24));
            // Something is drawn, not an empty square.
            const QImage image = pixmap.toImage();
            bool painted = false;
            for (int y = 0; y < image.height() && !painted; ++y)
                for (int x = 0; x < image.width() && !painted; ++x)
                    painted = image.pixelColor(x, y).alpha() > 0;
            QVERIFY2(painted, qPrintable(name));
        }
        QVERIFY(resources::isArtwork(QStringLiteral("app_icon")));
        QVERIFY(!resources::isArtwork(QStringLiteral("logout")));
    }

    void aMissingImageIsDrawnEmpty()
    {
        QTest::ignoreMessage(QtWarningMsg, "Unable to load image asset named nowhere.");
        QVERIFY(resources::image(QStringLiteral("nowhere"), {24, 24}).isNull());
        QVERIFY(resources::icon(QStringLiteral("nowhere"), {24, 24}).isNull());
    }
};

TOLVO_WIDGET_TEST_MAIN(ResourcesTest)
#include "ResourcesTest.moc"
