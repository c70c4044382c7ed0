#include "components/StyledButton.h"
#include "components/AppKitProgressView.h"
#include "components/Appearance.h"
#include "components/Palette.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QPainter>

using namespace tolvo;

namespace {

const QColor parentColour(0, 0, 0);

// Grabs a button on an opaque black parent, so that half-transparent backgrounds mix with a
// known colour.
QImage grabOnBlack(StyledButton &button, QSize size)
{
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, parentColour);
    parent.setPalette(palette);
    parent.resize(size);
    button.setParent(&parent);
    button.setGeometry(QRect(QPoint(0, 0), size));
    const QImage image = parent.grab().toImage().convertToFormat(QImage::Format_RGB32);
    button.setParent(nullptr);
    return image;
}

QColor over(const QColor &colour, qreal alpha)
{
    return QColor(qRound(colour.red() * alpha), qRound(colour.green() * alpha),
        qRound(colour.blue() * alpha));
}

bool near(const QColor &a, const QColor &b, int tolerance = 2)
{
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance
        && qAbs(a.blue() - b.blue()) <= tolerance;
}

// Any pixel of the label colour in the image: the text was drawn in that colour.
bool hasPixel(const QImage &image, const QColor &colour, int tolerance = 2)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (near(image.pixelColor(x, y), colour, tolerance))
                return true;
        }
    }
    return false;
}

} // namespace

class StyledButtonTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void filledLooksFadeTheirBackgroundWhilePressed_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<QColor>("background");
        QTest::newRow("grayed") << int(ButtonStyle::grayed) << palette::textGray();
        QTest::newRow("blue") << int(ButtonStyle::blue) << QColor(48, 102, 190);
    }

    void filledLooksFadeTheirBackgroundWhilePressed()
    {
        QFETCH(int, style);
        QFETCH(QColor, background);
        StyledButton button(ButtonStyle(style), QStringLiteral("WWWW"));
        const QSize size(120, 40);

        QImage image = grabOnBlack(button, size);
        QCOMPARE(image.pixelColor(60, 3), background);
        // Radius 12: the very corner stays the parent's colour.
        QCOMPARE(image.pixelColor(0, 0), parentColour);
        QVERIFY(hasPixel(image, Qt::white));

        button.setDown(true);
        image = grabOnBlack(button, size);
        QVERIFY(near(image.pixelColor(60, 3), over(background, 0.5)));
        QVERIFY2(hasPixel(image, Qt::white), "the label stays fully white");
    }

    // On a light page a ring at the very edge of the blue would be white against near-white:
    // the blue frames it instead.
    void focusRingOnBlueReadsOnALightPage()
    {
        QWidget page;
        QPalette colours = page.palette();
        colours.setColor(QPalette::Window, palette::backgroundLight());
        page.setPalette(colours);
        page.setAutoFillBackground(true);
        page.resize(200, 80);
        auto *button = new StyledButton(ButtonStyle::blue, QStringLiteral("Send"), &page);
        button->setGeometry(20, 20, 120, 40);
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        page.setAttribute(Qt::WA_KeyboardFocusChange);
        button->setFocus(Qt::TabFocusReason);
        QVERIFY(button->showsFocus());
        const QImage image = page.grab().toImage();
        const int middle = 20 + 20;
        QVERIFY(near(image.pixelColor(20 + 1, middle), palette::primaryBlue()));
        QVERIFY(near(image.pixelColor(20 + 3, middle), Qt::white));
        QVERIFY(near(image.pixelColor(20 + 6, middle), palette::primaryBlue()));
    }

    void grayLookNeverPaintsABackground()
    {
        StyledButton button(ButtonStyle::gray, QStringLiteral("Cancel"));
        QCOMPARE(button.font().pixelSize(), 16);
        QVERIFY(button.font().bold());
        for (const bool down : {false, true}) {
            button.setDown(down);
            const QImage image = grabOnBlack(button, QSize(100, 35));
            QCOMPARE(image.pixelColor(2, 2), parentColour);
            QCOMPARE(image.pixelColor(98, 33), parentColour);
            QCOMPARE(hasPixel(image, palette::textGray(), 3), !down);
            if (down)
                QVERIFY(hasPixel(image, over(palette::textGray(), 0.5), 3));
        }
    }

    void calendarLookIgnoresPressing()
    {
        StyledButton button(ButtonStyle::calendar, QStringLiteral("12"));
        const QSize size(32, 32);
        const QImage normal = grabOnBlack(button, size);
        QCOMPARE(normal.pixelColor(16, 2), parentColour);
        button.setDown(true);
        QCOMPARE(grabOnBlack(button, size), normal);

        button.setDown(false);
        button.setSelected(true);
        const QImage selected = grabOnBlack(button, size);
        QVERIFY(near(selected.pixelColor(16, 2), over(palette::accentBlue(), 0.5)));
        button.setDown(true);
        QCOMPARE(grabOnBlack(button, size), selected);
    }

    void arrowHighlightSurroundsTheSymbolByEight()
    {
        StyledButton button(ButtonStyle::calendarArrow);
        button.setSymbol(QStringLiteral("chevron-left"));
        QVERIFY(!button.symbol().isEmpty());
        QCOMPARE(button.sizeHint(), QSize(16 + 16, 16 + 16));

        const QSize size = button.sizeHint();
        QImage image = grabOnBlack(button, size);
        QCOMPARE(image.pixelColor(2, 16), parentColour); // no highlight at rest
        QVERIFY(hasPixel(image, palette::textGray(), 40));

        button.setDown(true);
        image = grabOnBlack(button, size);
        const QColor highlight = over(palette::textGray(), 0.5);
        QVERIFY(near(image.pixelColor(1, 16), highlight));
        QVERIFY(near(image.pixelColor(30, 16), highlight));
        QCOMPARE(image.pixelColor(0, 0), parentColour); // outside radius 6
    }

    void filledLooksAreAsLargeAsTheirText()
    {
        for (const auto style : {ButtonStyle::grayed, ButtonStyle::blue}) {
            StyledButton button(style, QStringLiteral("Refresh"));
            const QFontMetrics metrics(button.font());
            QCOMPARE(button.sizeHint(),
                QSize(metrics.horizontalAdvance(QStringLiteral("Refresh")), metrics.height()));
            button.setContentPadding(QMargins(6, 6, 6, 6));
            QCOMPARE(button.sizeHint().width(),
                metrics.horizontalAdvance(QStringLiteral("Refresh")) + 12);
        }
    }

    void spinnerSpinsOnceShownInItsCreationColour()
    {
        Appearance::instance().setOverride(ColorScheme::dark);
        AppKitProgressView dark;
        Appearance::instance().setOverride(ColorScheme::light);
        AppKitProgressView light;
        QCOMPARE(dark.color(), QColor(Qt::white));
        QCOMPARE(light.color(), QColor(48, 48, 48));
        // Made once: a later change of appearance keeps the colour.
        Appearance::instance().setOverride(ColorScheme::dark);
        QCOMPARE(light.color(), QColor(48, 48, 48));
        Appearance::instance().setOverride(std::nullopt);

        QVERIFY(!dark.isSpinning());
        dark.show();
        QVERIFY(dark.isSpinning());
        const int first = dark.frame();
        QTRY_VERIFY(dark.frame() != first);

        QImage image = dark.grab().toImage();
        bool white = false;
        for (int y = 0; y < image.height() && !white; ++y)
            for (int x = 0; x < image.width() && !white; ++x)
                white = image.pixelColor(x, y) == QColor(Qt::white);
        QVERIFY2(white, "the leading spoke is drawn in opaque white");
        dark.hide();
        QVERIFY(!dark.isSpinning());
    }
};

TOLVO_WIDGET_TEST_MAIN(StyledButtonTest)
#include "StyledButtonTest.moc"
