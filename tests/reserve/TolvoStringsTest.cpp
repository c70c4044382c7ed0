#include "reserve/TolvoStrings.h"
#include "support/TestMain.h"

using namespace tolvo;

class TolvoStringsTest : public QObject
{
    Q_OBJECT
private slots:
    void countedDurations()
    {
        QCOMPARE(TolvoStrings::minutes(5), QStringLiteral("5 minutes"));
        QCOMPARE(TolvoStrings::hours(2), QStringLiteral("2 hours"));
        QCOMPARE(TolvoStrings::days(3), QStringLiteral("3 days"));
        QCOMPARE(TolvoStrings::seconds(10), QStringLiteral("10 seconds"));
    }
};

TOLVO_TEST_MAIN(TolvoStringsTest)
#include "TolvoStringsTest.moc"
