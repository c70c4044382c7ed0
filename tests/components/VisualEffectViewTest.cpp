#include "components/VisualEffectView.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

using namespace tolvo;

using Material = VisualEffectView::Material;
using Blending = VisualEffectView::BlendingMode;
using State = VisualEffectView::State;

// The backdrop is painted over an opaque red window, so that what it lets through shows.
class VisualEffectViewTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void paintsItsMaterialOverTheWindow_data()
    {
        QTest::addColumn<Material>("material");
        QTest::addColumn<Blending>("blending");
        QTest::addColumn<State>("state");
        QTest::addColumn<QColor>("expected");
        // Behind the window it replaces what is there, translucent while active.
        QTest::newRow("dark, behind, active")
            << Material::dark << Blending::behindWindow << State::active << QColor(20, 20, 24, 217);
        QTest::newRow("light, behind, inactive") << Material::light << Blending::behindWindow
                                                 << State::inactive << QColor(246, 246, 248);
        // Within the window it covers the content below it, letting a little through.
        QTest::newRow("dark, within, active")
            << Material::dark << Blending::withinWindow << State::active << QColor(55, 17, 20);
        QTest::newRow("dark, within, inactive")
            << Material::dark << Blending::withinWindow << State::inactive << QColor(20, 20, 24);
    }
    void paintsItsMaterialOverTheWindow()
    {
        QFETCH(Material, material);
        QFETCH(Blending, blending);
        QFETCH(State, state);
        QFETCH(QColor, expected);
        // Made with other settings first: the setters, not only the constructor, take effect.
        VisualEffectView view(material == Material::dark ? Material::light : Material::dark,
            blending == Blending::behindWindow ? Blending::withinWindow : Blending::behindWindow,
            state == State::active ? State::inactive : State::active);
        view.setMaterial(material);
        view.setBlendingMode(blending);
        view.setState(state);
        view.resize(20, 20);
        QImage image(view.size(), QImage::Format_ARGB32);
        image.fill(Qt::red);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        const QColor pixel = image.pixelColor(10, 10);
        const auto near = [](int a, int b) { return std::abs(a - b) <= 2; };
        QVERIFY2(near(pixel.red(), expected.red()) && near(pixel.green(), expected.green())
                && near(pixel.blue(), expected.blue()) && near(pixel.alpha(), expected.alpha()),
            qPrintable(QStringLiteral("got %1").arg(pixel.name(QColor::HexArgb))));
    }
};

TOLVO_WIDGET_TEST_MAIN(VisualEffectViewTest)
#include "VisualEffectViewTest.moc"
