#include "platform/IcsEvent.h"
#include "support/TestMain.h"

#include <QDir>

using namespace tolvo;

namespace {
const QDateTime savedAt(QDate(2026, 1, 2), QTime(12, 0), Qt::UTC);

QByteArray roundTripFile(const QString &name)
{
    QFile file(QFINDTESTDATA(QStringLiteral("../data/ics/round-trip/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The one edit a round trip makes, by name.
void edit(LocalEvent &event, const QString &how)
{
    if (how == QLatin1String("a day later")) {
        event.start = event.start.addDays(1);
        event.end = event.end.addDays(1);
    } else if (how == QLatin1String("half an hour later")) {
        event.start = event.start.addSecs(1800);
        event.end = event.end.addSecs(1800);
    } else if (how == QLatin1String("retitled")) {
        event.title = QStringLiteral("Fête nationale, au bord de l'eau");
    } else if (how == QLatin1String("new notes")) {
        event.notes = QStringLiteral("Bring chairs");
    } else if (how != QLatin1String("none")) {
        qFatal("no such edit: %s", qPrintable(how));
    }
}

std::optional<LocalEvent> eventOf(const QByteArray &text, const QString &uid, const QTimeZone &zone)
{
    const auto events = ics::readEvents(text, zone);
    if (!events)
        return std::nullopt;
    for (const LocalEvent &event : *events) {
        if (event.identifier == uid)
            return event;
    }
    return std::nullopt;
}
} // namespace

class IcsEventTest : public QObject
{
    Q_OBJECT

private:
    const QTimeZone m_newYork {QByteArrayLiteral("America/New_York")};

    // The whole text, byte for byte. A mismatch leaves what was written beside the test run,
    // to compare or to take as the new expected file.
    void compareWithExpected(const QByteArray &written, const QString &expectedName)
    {
        const QByteArray expected = roundTripFile(expectedName);
        if (written == expected)
            return;
        const QString actualPath = QDir::current().absoluteFilePath(expectedName + ".actual");
        QFile actual(actualPath);
        if (actual.open(QIODevice::WriteOnly))
            actual.write(written);
        QFAIL(qPrintable(QStringLiteral("%1 differs (written text in %2):\n%3")
                             .arg(expectedName, actualPath, QString::fromUtf8(written))));
    }

private slots:
    // Files of other programs, saved unchanged and with one edit: what is not edited stays as
    // written and the edit reads back.
    void aRoundTripWritesTheExpectedText_data()
    {
        QTest::addColumn<QString>("name"); // the file another program wrote
        QTest::addColumn<QString>("uid"); // the event saved
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected"); // <expected>.saved.ics, <expected>.edited.ics

        // A rule that pins the weekday: its excluded day and override stay on Wednesdays.
        QTest::newRow("weekly series moved")
            << QStringLiteral("weekly-series") << QStringLiteral("weekly-review@example.com")
            << QStringLiteral("a day later") << QStringLiteral("weekly-series");
        QTest::newRow("all-day event retitled")
            << QStringLiteral("all-day-texts") << QStringLiteral("holiday-1")
            << QStringLiteral("retitled") << QStringLiteral("all-day-texts");
        // One event of the file is saved; the other and the to-do stay as they were.
        QTest::newRow("UTC event, new notes")
            << QStringLiteral("floating-and-others") << QStringLiteral("call")
            << QStringLiteral("new notes") << QStringLiteral("floating-and-others.call");
        QTest::newRow("floating event moved")
            << QStringLiteral("floating-and-others") << QStringLiteral("dentist")
            << QStringLiteral("half an hour later")
            << QStringLiteral("floating-and-others.dentist");
    }

    void aRoundTripWritesTheExpectedText()
    {
        QFETCH(QString, name);
        QFETCH(QString, uid);
        QFETCH(QString, change);
        QFETCH(QString, expected);

        const QByteArray input = roundTripFile(name + ".ics");
        QVERIFY(!input.isEmpty());
        const auto event = eventOf(input, uid, m_newYork);
        QVERIFY(event);

        const auto unchanged = ics::writeEvent(*event, input, savedAt, m_newYork);
        QVERIFY2(unchanged, unchanged ? "" : qPrintable(unchanged.error().describe()));
        compareWithExpected(*unchanged, expected + ".saved.ics");
        if (QTest::currentTestFailed())
            return;

        LocalEvent edited = *event;
        edit(edited, change);
        const auto written = ics::writeEvent(edited, input, savedAt, m_newYork);
        QVERIFY2(written, written ? "" : qPrintable(written.error().describe()));
        compareWithExpected(*written, expected + ".edited.ics");
        const auto reread = eventOf(*written, uid, m_newYork);
        QVERIFY(reread);
        QCOMPARE(reread->title, edited.title);
        QCOMPARE(reread->notes, edited.notes);
        QCOMPARE(reread->start, edited.start);
        QCOMPARE(reread->end, edited.end);
    }

    // What other programs say about a value (its language, their own parameters) stays when
    // a save writes the property again; what only described the old value goes with it.
    void rewrittenPropertiesKeepTheirParameters_data()
    {
        QTest::addColumn<QByteArray>("lines"); // the event's properties besides UID
        QTest::addColumn<QString>("change");
        QTest::addColumn<QByteArrayList>("expected");
        QTest::addColumn<QByteArrayList>("absent");

        const QByteArray times = "DTSTART:20250303T200000Z\r\nDTEND:20250303T210000Z\r\n";
        QTest::newRow("unchanged title")
            << times + "SUMMARY;LANGUAGE=en-US:Standup\r\n"
            << QStringLiteral("none") << QByteArrayList {"SUMMARY;LANGUAGE=en-US:Standup"}
            << QByteArrayList {};
        QTest::newRow("changed title")
            << times + "SUMMARY;LANGUAGE=fr-FR;X-ORIGIN=import:Point\r\n"
            << QStringLiteral("retitled")
            << QByteArrayList {"SUMMARY;LANGUAGE=fr-FR;X-ORIGIN=import:Fête nationale\\, au "
                               "bord de l'eau"}
            << QByteArrayList {};
        QTest::newRow("changed notes drop the old text's other form")
            << times + "DESCRIPTION;ALTREP=\"cid:old@example.com\";LANGUAGE=en:Old notes\r\n"
            << QStringLiteral("new notes")
            << QByteArrayList {"DESCRIPTION;LANGUAGE=en:Bring chairs"}
            << QByteArrayList {"ALTREP", "Old notes"};
        QTest::newRow("moved start and end")
            << QByteArray("DTSTART;X-ORIGIN=import;TZID=America/New_York:20250303T150000\r\n"
                          "DTEND;TZID=America/New_York;X-ORIGIN=import:20250303T160000\r\n")
            << QStringLiteral("half an hour later")
            << QByteArrayList {"DTSTART;TZID=America/New_York;X-ORIGIN=import:20250303T153000",
                   "DTEND;TZID=America/New_York;X-ORIGIN=import:20250303T163000"}
            << QByteArrayList {};
    }

    void rewrittenPropertiesKeepTheirParameters()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QString, change);
        QFETCH(QByteArrayList, expected);
        QFETCH(QByteArrayList, absent);

        const QByteArray input = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Other//EN\r\n"
                                 "BEGIN:VEVENT\r\nUID:meeting\r\nDTSTAMP:20250301T080000Z\r\n"
            + lines + "END:VEVENT\r\nEND:VCALENDAR\r\n";
        auto event = eventOf(input, QStringLiteral("meeting"), m_newYork);
        QVERIFY(event);
        edit(*event, change);
        const auto written = ics::writeEvent(*event, input, savedAt, m_newYork);
        QVERIFY2(written, written ? "" : qPrintable(written.error().describe()));
        const QByteArray unfolded = QByteArray(*written).replace("\r\n ", "");
        for (const QByteArray &line : expected)
            QVERIFY2(unfolded.contains(line + "\r\n"), qPrintable(line + "\n" + unfolded));
        for (const QByteArray &text : absent)
            QVERIFY2(!unfolded.contains(text), qPrintable(text + "\n" + unfolded));
        const auto reread = eventOf(*written, QStringLiteral("meeting"), m_newYork);
        QVERIFY(reread);
        QCOMPARE(reread->title, event->title);
        QCOMPARE(reread->start, event->start);
    }
};

TOLVO_TEST_MAIN(IcsEventTest)
#include "IcsEventTest.moc"
