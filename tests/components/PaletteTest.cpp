#include "components/Palette.h"
#include "components/Appearance.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QWidget>

#include <cmath>

using namespace tolvo;

class PaletteTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void parsesHexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QColor>("expected");
        const QColor fallback(1, 1, 0, 1);
        QTest::newRow("six with hash") << "#303A48" << QColor(48, 58, 72);
        QTest::newRow("six bare") << "303A48" << QColor(48, 58, 72);
        QTest::newRow("three white") << "#FFF" << QColor(255, 255, 255);
        QTest::newRow("three F0A") << "#F0A" << QColor(255, 0, 170);
        QTest::newRow("three with junk around") << "  #abc\n" << QColor(170, 187, 204);
        QTest::newRow("eight alpha first") << "#80FF0000" << QColor(255, 0, 0, 128);
        QTest::newRow("eight opaque") << "FF303030" << QColor(48, 48, 48, 255);
        QTest::newRow("0x prefix counts as characters") << "0xFFFFFF" << QColor(255, 255, 255, 0);
        QTest::newRow("no hex digits") << "GGGGGG" << QColor(0, 0, 0);
        QTest::newRow("inner blank kept") << "#12 3456" << fallback;
        QTest::newRow("empty") << "" << fallback;
        QTest::newRow("only junk") << " # " << fallback;
        QTest::newRow("five") << "#12345" << fallback;
        QTest::newRow("seven") << "1234567" << fallback;
        QTest::newRow("trailing junk trimmed") << "#379BFF);" << QColor(55, 155, 255);
        QTest::newRow("partly readable") << "#12GG56" << QColor(0, 0, 0x12);
    }

    void parsesHexText()
    {
        QFETCH(QString, text);
        QFETCH(QColor, expected);
        const QColor color = colorFromHex(text);
        QCOMPARE(color.rgba(), expected.rgba());
        QCOMPARE(color.spec(), QColor::Rgb);
    }

    // Text stays readable on the surfaces it is drawn on (WCAG's 4.5:1 for body text).
    void textIsReadableOnItsSurface_data()
    {
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("surface");
        QTest::newRow("dark text, light screen")
            << palette::textDark() << palette::backgroundLight();
        QTest::newRow("white text, dark screen") << QColor(Qt::white) << palette::backgroundDark();
        QTest::newRow("gray text, dark screen") << palette::textGray() << palette::backgroundDark();
        QTest::newRow("primary button title") << QColor(Qt::white) << palette::primaryBlue();
    }
    void textIsReadableOnItsSurface()
    {
        QFETCH(QColor, text);
        QFETCH(QColor, surface);
        const auto luminance = [](const QColor &color) {
            const auto channel = [](qreal value) {
                return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
            };
            return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF())
                + 0.0722 * channel(color.blueF());
        };
        const qreal a = luminance(text);
        const qreal b = luminance(surface);
        const qreal ratio = (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
        QVERIFY2(ratio >= 4.5, qPrintable(QString::number(ratio)));
    }

    void dynamicColourFollowsAppearance()
    {
        const DynamicColor color {Qt::black, Qt::white};
        QCOMPARE(color.resolve(ColorScheme::light), QColor(Qt::black));
        QCOMPARE(color.resolve(ColorScheme::dark), QColor(Qt::white));

        QSignalSpy changed(&Appearance::instance(), &Appearance::changed);
        Appearance::instance().setOverride(ColorScheme::dark);
        QCOMPARE(color.resolve(), QColor(Qt::white));
        Appearance::instance().setOverride(ColorScheme::light);
        QCOMPARE(color.resolve(), QColor(Qt::black));
        QCOMPARE(changed.count(), 2);
        Appearance::instance().setOverride(ColorScheme::light);
        QCOMPARE(changed.count(), 2); // nothing changed, nothing announced
        Appearance::instance().setOverride(std::nullopt);
    }

    void desktopSchemeWinsOverPaletteButNotOverride()
    {
        auto &appearance = Appearance::instance();
        QPalette darkPalette;
        darkPalette.setColor(QPalette::Window, QColor(30, 30, 30));
        darkPalette.setColor(QPalette::WindowText, QColor(240, 240, 240));
        const QPalette saved = QGuiApplication::palette();
        QGuiApplication::setPalette(darkPalette);
        QCOMPARE(appearance.scheme(), ColorScheme::dark);
        appearance.setDesktopScheme(ColorScheme::light);
        QCOMPARE(appearance.scheme(), ColorScheme::light);
        appearance.setOverride(ColorScheme::dark);
        QCOMPARE(appearance.scheme(), ColorScheme::dark);
        appearance.setOverride(std::nullopt);
        appearance.setDesktopScheme(std::nullopt);
        QGuiApplication::setPalette(saved);
        QCOMPARE(appearance.scheme(), ColorScheme::light);
    }
};

TOLVO_WIDGET_TEST_MAIN(PaletteTest)
#include "PaletteTest.moc"
