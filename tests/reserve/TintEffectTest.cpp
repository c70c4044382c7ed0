#include "reserve/TintEffect.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QPainter>
#include <QWidget>

using namespace tolvo;

namespace {

// Paints a filled circle so that the grab has opaque, edge and transparent pixels.
class Blob : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(10, 200, 30));
        painter.drawEllipse(rect().adjusted(4, 4, -4, -4));
    }
};

} // namespace

class TintEffectTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void tintRecoloursEverythingDrawn()
    {
        QWidget parent;
        parent.setAttribute(Qt::WA_TranslucentBackground);
        parent.resize(40, 40);
        auto *blob = new Blob(&parent);
        blob->resize(40, 40);
        applyTint(blob, QColor(200, 20, 120));
        applyTint(blob, QColor()); // invalid: the first tint stays
        QVERIFY(qobject_cast<TintEffect *>(blob->graphicsEffect()));

        const QImage image = parent.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        int painted = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 0)
                    continue;
                // Not a trace of the original green, even at the faintest edge.
                QVERIFY(pixel.green() < pixel.red());
                if (pixel.alpha() < 64)
                    continue; // faint edges round too much once unpremultiplied
                ++painted;
                QVERIFY2(qAbs(pixel.red() - 200) <= 3 && qAbs(pixel.green() - 20) <= 3
                        && qAbs(pixel.blue() - 120) <= 3,
                    qPrintable(QStringLiteral("%1,%2 %3").arg(x).arg(y).arg(pixel.name())));
            }
        }
        QVERIFY(painted > 500);
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QCOMPARE(image.pixelColor(20, 20), QColor(200, 20, 120));
    }
};

TOLVO_WIDGET_TEST_MAIN(TintEffectTest)
#include "TintEffectTest.moc"
