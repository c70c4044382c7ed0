#include "core/DateHelpers.h"
#include "core/CalendarContext.h"
#include "support/TestMain.h"

#include <QScopeGuard>

#include <ctime>

using namespace tolvo;

namespace {
const QTimeZone berlin("Europe/Berlin");

QDateTime berlinTime(int y, int m, int d, int h, int min)
{
    return QDateTime(QDate(y, m, d), QTime(h, min), berlin);
}
} // namespace

class DateHelpersTest : public QObject
{
    Q_OBJECT

private slots:
    void settingHourReadsTypedTimes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "HH:mm" in Berlin, empty: no result
        QTest::newRow("hh:mm") << "09:30"
                               << "09:30";
        QTest::newRow("hour only") << "9"
                                   << "09:00";
        QTest::newRow("first and last pieces") << "10:30:15"
                                               << "10:15";
        QTest::newRow("plus sign") << "+9:05"
                                   << "09:05";
        QTest::newRow("last minute") << "23:59"
                                     << "23:59";
        QTest::newRow("midnight") << "0:00"
                                  << "00:00";
        QTest::newRow("trailing colon") << "10:"
                                        << "";
        QTest::newRow("leading colon") << ":30"
                                       << "";
        QTest::newRow("leading space") << " 9"
                                       << "";
        QTest::newRow("letter") << "9h"
                                << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("hour 24") << "24"
                                 << "";
        QTest::newRow("negative hour") << "-1"
                                       << "";
        QTest::newRow("minute 60") << "9:60"
                                   << "";
        QTest::newRow("beyond 64 bits") << "99999999999999999999"
                                        << "";
        QTest::newRow("non-ascii digit") << QString::fromUtf8("\u0669") << "";
        QTest::newRow("trailing newline") << "9\n"
                                          << "";
        QTest::newRow("double sign") << "+-9"
                                     << "";
    }
    void settingHourReadsTypedTimes()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QDateTime day = berlinTime(2025, 3, 3, 15, 45);
        const auto result = settingHour(day, text, berlin);
        if (expected.isEmpty()) {
            QVERIFY2(!result, qPrintable(text));
            return;
        }
        QVERIFY2(result, qPrintable(text));
        const QDateTime local = result->toTimeZone(berlin);
        QCOMPARE(local.date(), QDate(2025, 3, 3));
        QCOMPARE(local.time().toString(QStringLiteral("HH:mm")), expected);
        QCOMPARE(local.time().second(), 0);
    }

    void settingHourUsesTheDayInTheGivenZone()
    {
        // 23:30 UTC on 3 March is already 4 March in Berlin.
        const QDateTime day(QDate(2025, 3, 3), QTime(23, 30), Qt::UTC);
        const auto result = settingHour(day, QStringLiteral("08:00"), berlin);
        QVERIFY(result);
        QCOMPARE(result->toTimeZone(berlin).date(), QDate(2025, 3, 4));
    }

    void daylightSavingChanges_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expectedUtc");
        // Spring: 02:00-03:00 does not exist; the next existing time is 03:00 CEST.
        QTest::newRow("gap start")
            << QDate(2025, 3, 30) << "02:00" << QDateTime(QDate(2025, 3, 30), QTime(1, 0), Qt::UTC);
        QTest::newRow("inside gap")
            << QDate(2025, 3, 30) << "02:30" << QDateTime(QDate(2025, 3, 30), QTime(1, 0), Qt::UTC);
        QTest::newRow("after gap")
            << QDate(2025, 3, 30) << "03:00" << QDateTime(QDate(2025, 3, 30), QTime(1, 0), Qt::UTC);
        QTest::newRow("before gap") << QDate(2025, 3, 30) << "01:59"
                                    << QDateTime(QDate(2025, 3, 30), QTime(0, 59), Qt::UTC);
        // Autumn: 02:00-03:00 happens twice; the first (CEST, UTC+2) is taken.
        QTest::newRow("repeated hour") << QDate(2025, 10, 26) << "02:30"
                                       << QDateTime(QDate(2025, 10, 26), QTime(0, 30), Qt::UTC);
        QTest::newRow("repeated start") << QDate(2025, 10, 26) << "02:00"
                                        << QDateTime(QDate(2025, 10, 26), QTime(0, 0), Qt::UTC);
        QTest::newRow("after repeat") << QDate(2025, 10, 26) << "03:00"
                                      << QDateTime(QDate(2025, 10, 26), QTime(2, 0), Qt::UTC);
    }
    void daylightSavingChanges()
    {
        QFETCH(QDate, day);
        QFETCH(QString, text);
        QFETCH(QDateTime, expectedUtc);
        const auto result = settingHour(QDateTime(day, QTime(12, 0), berlin), text, berlin);
        QVERIFY(result);
        QCOMPARE(result->toUTC(), expectedUtc);
    }

    void resolveLocalTimeInOtherZones()
    {
        // New York springs forward at 02:00 on 9 March 2025.
        const QTimeZone newYork("America/New_York");
        const auto gap = resolveLocalTime(QDate(2025, 3, 9), QTime(2, 15), newYork);
        QVERIFY(gap);
        QCOMPARE(gap->toUTC(), QDateTime(QDate(2025, 3, 9), QTime(7, 0), Qt::UTC));
        const auto utc = resolveLocalTime(QDate(2025, 3, 9), QTime(2, 15), QTimeZone::utc());
        QCOMPARE(utc->toUTC(), QDateTime(QDate(2025, 3, 9), QTime(2, 15), Qt::UTC));
        QVERIFY(!resolveLocalTime(QDate(), QTime(2, 15), newYork));
    }

    void parseIsoDateTimeNeverUsesTheMachinesZone_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expectedUtc"); // invalid: unreadable
        const auto utc = [](int d, int h, int min, int ms = 0) {
            return QDateTime(QDate(2025, 3, d), QTime(h, min, 0, ms), Qt::UTC);
        };
        QTest::newRow("Z") << "2025-03-03T08:00:00Z" << utc(3, 8, 0);
        QTest::newRow("offset and fractions")
            << "2025-03-03T09:00:00.250+01:00" << utc(3, 8, 0, 250);
        QTest::newRow("negative offset") << "2025-03-02T23:00:00-09:00" << utc(3, 8, 0);
        QTest::newRow("no offset: Berlin wall time") << "2025-03-03T09:00:00" << utc(3, 8, 0);
        QTest::newRow("no offset, in the spring gap") << "2025-03-30T02:30:00" << utc(30, 1, 0);
        QTest::newRow("no offset, repeated hour")
            << "2025-10-26T02:30:00" << QDateTime(QDate(2025, 10, 26), QTime(0, 30), Qt::UTC);
        QTest::newRow("words") << "yesterday" << QDateTime();
        QTest::newRow("empty") << "" << QDateTime();
        QTest::newRow("bad month") << "2025-13-03T09:00:00Z" << QDateTime();
    }

    // Offset-less text is read in the zone given, whatever TZ the process runs under.
    void parseIsoDateTimeNeverUsesTheMachinesZone()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expectedUtc);
        const QDateTime parsed = parseIsoDateTime(text, berlin);
        QCOMPARE(parsed.isValid(), expectedUtc.isValid());
        if (expectedUtc.isValid())
            QCOMPARE(parsed.toUTC(), expectedUtc);
    }

    // The application reads the machine's zone once, when it makes its context: a change of
    // zone while it runs shows from its next start. Reminders are instants and come at the
    // same moment either way; only the days and times on screen keep the old zone.
    void theSystemContextKeepsTheZoneItWasMadeIn()
    {
        const QByteArray saved = qgetenv("TZ");
        const auto restore = qScopeGuard([&saved] {
            if (saved.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", saved);
            tzset();
        });
        qputenv("TZ", "Europe/Berlin");
        tzset();
        const CalendarContext started = CalendarContext::system();
        qputenv("TZ", "Asia/Kolkata");
        tzset();
        const QDateTime instant(QDate(2025, 3, 3), QTime(12, 0), QTimeZone::utc());
        QCOMPARE(started.zone.id(), QByteArray("Europe/Berlin"));
        QCOMPARE(instant.toTimeZone(started.zone).time(), QTime(13, 0));
        QCOMPARE(CalendarContext::system().zone.id(), QByteArray("Asia/Kolkata"));
    }

    void sha256Hex_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty")
            << ""
            << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
        QTest::newRow("abc") << "abc"
                             << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("utf-8") << QString::fromUtf8(
            "\u00e9") << "4a99557e4033c3539de2eb65472017cad5f9557f7a0625a09f1c3f6e2ba69c4c";
        QTest::newRow("calendar id")
            << "primary@group.calendar.google.com"
            << "e9d91fdda6bf1bdd7452bdf2a15cb5e979f8cd9323cf020cb194c59e47218b8a";
    }
    void sha256Hex()
    {
        QFETCH(QString, text);
        QFETCH(QString, digest);
        QCOMPARE(tolvo::sha256Hex(text), digest);
    }

    void formatterUsesLocaleAndZone()
    {
        const QDateTime moment(QDate(2025, 3, 3), QTime(13, 5), Qt::UTC);
        const AppDateFormatter english(QLocale(QLocale::English, QLocale::UnitedKingdom), berlin);
        QCOMPARE(english.time(moment), QStringLiteral("14:05"));
        QCOMPARE(english.date(moment), QStringLiteral("3 March 2025"));
        const AppDateFormatter german(QLocale(QLocale::German, QLocale::Germany), berlin);
        QCOMPARE(german.date(moment), QStringLiteral("3 M\u00e4rz 2025"));
        const AppDateFormatter newYork(
            QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone("America/New_York"));
        QCOMPARE(newYork.time(QDateTime(QDate(2025, 3, 3), QTime(4, 0), Qt::UTC)),
            QStringLiteral("23:00"));
    }
};

TOLVO_TEST_MAIN(DateHelpersTest)
#include "DateHelpersTest.moc"
