#include "components/ElidedLabel.h"
#include "components/Fonts.h"
#include "support/BundledFont.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

using namespace tolvo;
using namespace tolvo::test;

class ElidedLabelTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    // Texts whose width is a fraction of a pixel over a whole number are the ones a rounded
    // size cut.
    void isWholeAtItsSizeHintAndCutOnePixelLess_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("time") << QStringLiteral("10:30 AM - 11:30 AM") << 10;
        QTest::newRow("short time") << QStringLiteral("1:00 PM - 1:15 PM") << 10;
        QTest::newRow("all day") << QStringLiteral("All-Day Event") << 10;
        QTest::newRow("title") << QStringLiteral("Design review") << 11;
        QTest::newRow("calendar name") << QStringLiteral("Holidays in Germany") << 14;
        QTest::newRow("line break") << QStringLiteral("Bring the mock-ups\nand the numbers") << 10;
    }

    void isWholeAtItsSizeHintAndCutOnePixelLess()
    {
        QFETCH(QString, text);
        QFETCH(int, pixelSize);
        BundledFontScope font;
        QVERIFY2(BundledFontScope::isActive(), "the Inter font (fonts-inter) is missing");
        ElidedLabel label(text);
        label.setFont(uiFont(pixelSize));
        label.resize(label.sizeHint());
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        QCOMPARE(label.text(), QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        label.resize(label.sizeHint().width() - 1, label.height());
        QVERIFY(label.text().endsWith(QChar(0x2026)));
    }
};

TOLVO_WIDGET_TEST_MAIN(ElidedLabelTest)
#include "ElidedLabelTest.moc"
