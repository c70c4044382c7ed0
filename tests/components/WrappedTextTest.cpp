#include "components/WrappedText.h"
#include "support/TestMain.h"

#include <QFontMetrics>

using namespace tolvo;

class WrappedTextTest : public QObject
{
    Q_OBJECT
private slots:
    void wrapsWithinTheWidthAndElidesAfterTheLastLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("widthInChars"); // in widths of "n"
        QTest::addColumn<int>("maxLines");
        QTest::addColumn<int>("expectedLines");
        QTest::addColumn<bool>("elided");
        QTest::newRow("empty") << QString() << 20 << 3 << 0 << false;
        QTest::newRow("spaces only") << QStringLiteral("  \n ") << 20 << 3 << 0 << false;
        QTest::newRow("fits") << QStringLiteral("Standup") << 20 << 3 << 1 << false;
        QTest::newRow("two lines")
            << QStringLiteral("one two three four five six") << 15 << 3 << 2 << false;
        QTest::newRow("long") << QStringLiteral("word ").repeated(60) << 20 << 3 << 3 << true;
        QTest::newRow("one unbroken word")
            << QStringLiteral("x").repeated(300) << 20 << 3 << 3 << true;
        QTest::newRow("one line allowed")
            << QStringLiteral("word ").repeated(20) << 20 << 1 << 1 << true;
    }

    void wrapsWithinTheWidthAndElidesAfterTheLastLine()
    {
        QFETCH(QString, text);
        QFETCH(int, widthInChars);
        QFETCH(int, maxLines);
        QFETCH(int, expectedLines);
        QFETCH(bool, elided);
        QFont font;
        font.setPixelSize(20);
        const QFontMetrics metrics(font);
        const int width = widthInChars * metrics.horizontalAdvance(QLatin1Char('n'));
        const QStringList lines = wrapAndElide(text, font, width, maxLines);
        QCOMPARE(lines.size(), expectedLines);
        for (const QString &line : lines) {
            QVERIFY(!line.contains(QLatin1Char('\n')));
            QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
        }
        if (!lines.isEmpty())
            QCOMPARE(lines.last().endsWith(QChar(0x2026)), elided);
    }
};

TOLVO_GUI_TEST_MAIN(WrappedTextTest)
#include "WrappedTextTest.moc"
