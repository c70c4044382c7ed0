#include "components/CalView.h"
#include "components/Palette.h"
#include "support/CalendarContexts.h"
#include "support/GrabArtefacts.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QSignalSpy>

using namespace tolvo;
using namespace tolvo::test;

namespace {
QDateTime at(const CalendarContext &context, QDate day, QTime time)
{
    return QDateTime(day, time, context.zone);
}

void showAt(CalView &picker, QSize size = QSize(280, 300))
{
    picker.resize(size);
    picker.show();
}
} // namespace

class CalViewTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { test::deleteTopLevelWindows(); }

    void startsAtTheDateItIsGiven()
    {
        const CalendarContext context = newYork();
        const QDateTime given = at(context, QDate(2026, 7, 14), QTime(15, 30));
        CalView picker(context, given, CalendarTheme::light);
        QCOMPARE(picker.selectedDate(), given);
        QCOMPARE(picker.checkedDate(), given);
        QCOMPARE(picker.title(), "July 2026");
        QVERIFY(picker.days().contains(QDate(2026, 7, 14)));
    }

    // At the sidebar's width, with the sidebar's padding.
    void everyMonthsTitleFitsBesideTheChevrons_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("en") << QStringLiteral("en_US");
        QTest::newRow("de") << QStringLiteral("de_DE");
        QTest::newRow("fr") << QStringLiteral("fr_FR");
    }
    void everyMonthsTitleFitsBesideTheChevrons()
    {
        QFETCH(QString, locale);
        const CalendarContext context
            = calendarContext(locale.toLatin1().constData(), "America/New_York", FakeClock());
        CalView picker(context, at(context, QDate(2025, 1, 10), QTime(9, 0)), CalendarTheme::dark);
        picker.setContentsMargins(10, 10, 10, 10);
        showAt(picker, QSize(310, 320));
        for (int month = 1; month <= 12; ++month) {
            picker.setCheckedDate(at(context, QDate(2025, month, 10), QTime(9, 0)));
            const int advance = QFontMetrics(picker.titleFont()).horizontalAdvance(picker.title());
            QVERIFY2(advance <= picker.titleRect().width(), qPrintable(picker.title()));
            QVERIFY(picker.titleRect().right() < picker.backButtonRect().left());
        }
        picker.setCheckedDate(at(context, QDate(2025, 5, 10), QTime(9, 0)));
        QCOMPARE(picker.titleFont().pixelSize(), CalView::titlePixelSize);
    }

    void clickingADayWritesItsStartAndKeepsTheMonth()
    {
        const CalendarContext context = newYork();
        CalView picker(
            context, at(context, QDate(2025, 3, 12), QTime(15, 30)), CalendarTheme::light);
        showAt(picker);
        QSignalSpy spy(&picker, &CalView::checkedDateChanged);

        QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.dayRect(QDate(2025, 3, 20)).center());
        QCOMPARE(spy.size(), 1);
        const QDateTime written = spy.first().first().toDateTime();
        QCOMPARE(written, at(context, QDate(2025, 3, 20), QTime(0, 0)));
        QCOMPARE(picker.checkedDate(), written);
        QCOMPARE(picker.title(), "March 2025");

        // The same day again writes nothing.
        QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.dayRect(QDate(2025, 3, 20)).center());
        QCOMPARE(spy.size(), 1);
    }

    void aDimmedDayDoesNothing()
    {
        const CalendarContext context = newYork();
        const QDateTime given = at(context, QDate(2025, 3, 12), QTime(15, 30));
        CalView picker(context, given, CalendarTheme::light);
        showAt(picker);
        QSignalSpy spy(&picker, &CalView::checkedDateChanged);
        // March 2025 starts on a Saturday: Feb 23..28 lead the grid.
        QCOMPARE(picker.days().first(), QDate(2025, 2, 23));
        QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.dayRect(QDate(2025, 2, 25)).center());
        QCOMPARE(spy.size(), 0);
        QCOMPARE(picker.selectedDate(), given);
    }

    void chevronsMoveAMonthKeepingTheTime()
    {
        const CalendarContext context = berlin();
        CalView picker(context, at(context, QDate(2025, 3, 31), QTime(9, 45)), CalendarTheme::dark);
        showAt(picker);
        QSignalSpy spy(&picker, &CalView::checkedDateChanged);

        QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.backButtonRect().center());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.last().first().toDateTime(), at(context, QDate(2025, 2, 28), QTime(9, 45)));
        QCOMPARE(picker.title(), "Februar 2025");

        QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.forwardButtonRect().center());
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.last().first().toDateTime(), at(context, QDate(2025, 3, 28), QTime(9, 45)));
    }

    void followsOutsideChangesWithoutEchoing()
    {
        const CalendarContext context = newYork();
        CalView picker(context, at(context, QDate(2025, 3, 12), QTime(8, 0)), CalendarTheme::light);
        QSignalSpy spy(&picker, &CalView::checkedDateChanged);
        const QDateTime outside = at(context, QDate(2027, 1, 5), QTime(10, 0));
        picker.setCheckedDate(outside);
        QCOMPARE(picker.selectedDate(), outside);
        QCOMPARE(picker.title(), "January 2027");
        QCOMPARE(spy.size(), 0);
    }

    void weekdayOrderFollowsTheLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<Qt::DayOfWeek>("first");
        QTest::newRow("en_US") << "en_US" << Qt::Sunday;
        QTest::newRow("de_DE") << "de_DE" << Qt::Monday;
        QTest::newRow("ar_EG") << "ar_EG" << Qt::Saturday;
    }
    void weekdayOrderFollowsTheLocale()
    {
        QFETCH(QString, locale);
        QFETCH(Qt::DayOfWeek, first);
        const CalendarContext context
            = calendarContext(locale.toLatin1().constData(), "UTC", FakeClock());
        CalView picker(context, at(context, QDate(2026, 2, 10), QTime(8, 0)), CalendarTheme::light);
        QCOMPARE(
            picker.weekdayNames().first(), context.locale.dayName(first, QLocale::ShortFormat));
        QCOMPARE(picker.days().first().dayOfWeek(), int(first));
    }

    void themeColours()
    {
        const CalendarContext context = newYork();
        CalView picker(context, context.now(), CalendarTheme::dark);
        QCOMPARE(picker.backgroundColor(), QColor("#303A48"));
        QCOMPARE(picker.textColor(), QColor("#A3B0BB"));
        picker.resize(picker.sizeHint());
        QCOMPARE(picker.grab().toImage().pixelColor(1, 1), QColor("#303A48"));
        picker.setTheme(CalendarTheme::light);
        QCOMPARE(picker.backgroundColor(), QColor(Qt::white));
        QCOMPARE(picker.textColor(), QColor("#303030"));
    }

    void layoutFitsNarrowAndWide()
    {
        const CalendarContext context = newYork();
        CalView picker(context, at(context, QDate(2025, 3, 12), QTime(8, 0)), CalendarTheme::light);
        for (const int width : {picker.minimumSizeHint().width(), 600}) {
            picker.resize(width, picker.sizeHint().height());
            const QRect last = picker.dayRect(picker.days().last());
            QVERIFY(picker.rect().contains(last));
            QVERIFY(last.right() >= width - 2);
            QVERIFY(picker.dayRect(picker.days().first()).left() >= 0);
            QVERIFY(!picker.backButtonRect().intersects(picker.forwardButtonRect()));
        }
    }

    void grabsForPeople()
    {
        const CalendarContext context = newYork();
        for (const CalendarTheme theme : {CalendarTheme::light, CalendarTheme::dark}) {
            CalView picker(context, at(context, QDate(2025, 3, 12), QTime(8, 0)), theme);
            picker.setContentsMargins(12, 12, 12, 12);
            picker.resize(picker.sizeHint());
            QVERIFY(!saveGrab(
                picker, theme == CalendarTheme::light ? "mini-month-light" : "mini-month-dark")
                         .isEmpty());
        }
    }
};

TOLVO_WIDGET_TEST_MAIN(CalViewTest)
#include "CalViewTest.moc"
