#include "components/Appearance.h"
#include "components/Palette.h"
#include "components/Popover.h"
#include "components/StyledButton.h"
#include "core/TimelineGeometry.h"
#include "core/TimelineSelection.h"
#include "modules/Calendar/AgendaView.h"
#include "modules/Calendar/CalendarHeaderView.h"
#include "modules/Calendar/EventBlock.h"
#include "modules/Calendar/EventDetailsView.h"
#include "modules/Calendar/EventPopoverPresenter.h"
#include "modules/Calendar/IntuitiveCalendarView.h"
#include "modules/Calendar/MonthCalendarView.h"
#include "modules/Calendar/TimelineView.h"
#include "modules/Calendar/TimelineWidgets.h"
#include "support/BundledFont.h"
#include "support/CalendarContexts.h"
#include "support/GrabArtefacts.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>

using namespace tolvo;
using namespace tolvo::test;

namespace {
const QTimeZone newYorkZone("America/New_York");

// "Now" in these tests: Monday 2025-03-03, 09:00 UTC (04:00 in New York).
FakeClock testClock()
{
    return FakeClock(QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
}

QDateTime ny(int month, int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2025, month, day), QTime(hour, minute), newYorkZone);
}

CalendarEvent meeting(const QString &name, const QDateTime &start, const QDateTime &end,
    QColor color = QColor("#379BFF"))
{
    CalendarEvent result;
    result.id = QUuid::createUuidV5(QUuid(), name);
    result.identifier = name;
    result.title = name;
    result.startDate = start;
    result.endDate = end;
    result.color = color.rgba();
    return result;
}

// January 2025 in New York, "b" on the 20th and "a" on the 21st, shown on screen.
struct TwoMeetingMonth
{
    MonthCalendarView view {newYork(testClock())};
    const CalendarEvent a = meeting("a", ny(1, 21, 9), ny(1, 21, 10));
    const CalendarEvent b = meeting("b", ny(1, 20, 11), ny(1, 20, 12));

    TwoMeetingMonth()
    {
        view.setDate(ny(1, 15, 12));
        view.setEvents({a, b});
        view.resize(900, 700);
        view.show();
    }
};

// Sizes a timeline view so that its scrolled content is exactly `contentWidth` wide.
void setContentWidth(TimelineView &view, int contentWidth)
{
    view.resize(contentWidth + 40, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int extra = view.width() - view.content()->width();
    view.resize(contentWidth + extra, 600);
    QTRY_COMPARE(view.content()->width(), contentWidth);
}

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

Popover *openPopover()
{
    return qobject_cast<Popover *>(QApplication::activePopupWidget());
}
} // namespace

class CalendarViewsTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
        test::deleteTopLevelWindows();
        Appearance::instance().setOverride(std::nullopt);
    }

    void aLoneBlockFillsTheDayWidth()
    {
        auto view = std::unique_ptr<TimelineView>(TimelineView::dayView(newYork(testClock())));
        view->setDate(ny(1, 10, 12));
        view->setEvents({meeting("standup", ny(1, 10, 9, 15), ny(1, 10, 10, 45)),
            meeting("late", ny(1, 10, 23), ny(1, 11, 1)),
            meeting("yesterday", ny(1, 9, 22), ny(1, 10, 1))});
        setContentWidth(*view, 1000);

        EventBlock *standup = view->blockFor(meeting("standup", {}, {}).id);
        QVERIFY(standup);
        // The event area starts right after the 54-pixel labels, below the first label's room.
        QCOMPARE(standup->mapTo(view->content(), QPoint(0, 0)),
            QPoint(54, TimelineView::topInset + 740));
        QCOMPARE(standup->size(), QSize(945, 120));
        QVERIFY(standup->showsDetails());
        // "12 AM", raised above midnight's line, is drawn whole.
        QCOMPARE(view->timeGrid()->label(0), QStringLiteral("12 AM"));
        QVERIFY(view->timeGrid()->labelRect(0).top() >= 0);
        // Starts late and runs 80 pixels past the end of the day.
        EventBlock *late = view->blockFor(meeting("late", {}, {}).id);
        QCOMPARE(late->geometry().top(), 23 * 80);
        QCOMPARE(late->height(), 160);
        // Only events that start on the day are shown.
        QVERIFY(!view->blockFor(meeting("yesterday", {}, {}).id));
    }

    void weekColumnsShareTheWidth()
    {
        auto view = std::unique_ptr<TimelineView>(TimelineView::weekView(newYork(testClock())));
        view->setDate(ny(1, 15, 12)); // a Wednesday: the week runs Sun 12 to Sat 18
        view->setEvents({meeting("a", ny(1, 15, 9), ny(1, 15, 10)),
            meeting("b", ny(1, 15, 9, 30), ny(1, 15, 11)),
            meeting("saturday night", ny(1, 18, 23), ny(1, 19, 1))});
        setContentWidth(*view, 755);

        QCOMPARE(view->days().first(), QDate(2025, 1, 12));
        QCOMPARE(view->header()->names(),
            QStringList({"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}));
        const QList<DayColumnWidget *> columns = view->columns();
        QCOMPARE(columns.size(), 7);
        QCOMPARE(columns[0]->geometry(), QRect(54, 6, 100, 1920));
        QCOMPARE(columns[3]->blocks().size(), 2);
        for (EventBlock *block : columns[3]->blocks()) {
            QCOMPARE(block->width(), 50);
            QVERIFY(!block->showsDetails());
        }
        QCOMPARE(columns[3]->blocks()[1]->x(), 50);
        QCOMPARE(columns[6]->blocks().size(), 1);
        QCOMPARE(columns[0]->blocks().size(), 0);
    }

    void detailsOrEllipsisFollowTheLayoutWidth_data()
    {
        QTest::addColumn<int>("contentWidth");
        QTest::addColumn<bool>("details");
        // Two overlapping events share the column: 60 each, or 60.5 each (61 and 60 pixels).
        QTest::newRow("60 each") << 55 + 120 << false;
        QTest::newRow("60.5 each") << 55 + 121 << true;
    }
    void detailsOrEllipsisFollowTheLayoutWidth()
    {
        QFETCH(int, contentWidth);
        QFETCH(bool, details);
        auto view = std::unique_ptr<TimelineView>(TimelineView::dayView(newYork(testClock())));
        view->setDate(ny(1, 15, 12));
        view->setEvents({meeting("a", ny(1, 15, 9), ny(1, 15, 10)),
            meeting("b", ny(1, 15, 9, 30), ny(1, 15, 11))});
        setContentWidth(*view, contentWidth);
        const QList<EventBlock *> blocks = view->columns().first()->blocks();
        QCOMPARE(blocks.size(), 2);
        for (EventBlock *block : blocks)
            QCOMPARE(block->showsDetails(), details);
    }

    void aShortBlockDrawsOnlyWholeLines_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<int>("lines"); // of the title, the location and the time, from the top
        QTest::newRow("5 minutes") << 5 << 0;
        QTest::newRow("15 minutes") << 15 << 1;
        QTest::newRow("an hour") << 60 << 3;
    }

    void aShortBlockDrawsOnlyWholeLines()
    {
        QFETCH(int, minutes);
        QFETCH(int, lines);
        BundledFontScope font;
        auto view = std::unique_ptr<TimelineView>(TimelineView::dayView(newYork(testClock())));
        view->setDate(ny(1, 15, 12));
        CalendarEvent event = meeting("event", ny(1, 15, 9), ny(1, 15, 9).addSecs(minutes * 60));
        event.location = QStringLiteral("Room 4");
        view->setEvents({event});
        setContentWidth(*view, 800);

        EventBlock *block = view->blockFor(event.id);
        QCOMPARE(block->height(), qRound(minutes * 80 / 60.0));
        const EventBlock::Lines laid = block->lines();
        const QRect drawn[] = {laid.title, laid.location, laid.time};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(!drawn[i].isEmpty(), i < lines);
            QVERIFY(drawn[i].isEmpty() || block->rect().contains(drawn[i]));
        }
        if (lines == 1) {
            // Too short for every line: the title comes first, from the top.
            QCOMPARE(laid.title.top(), 0);
        } else if (lines == 3) {
            // With room for every line they are centred as a group.
            QVERIFY(laid.title.top() > 0);
            QVERIFY(qAbs(laid.title.top() - (80 - laid.time.bottom() - 1)) <= 1);
        }
    }

    void weekStartsOnTheLocalesFirstDay_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("first");
        QTest::newRow("en_US") << "en_US" << QDate(2025, 1, 12);
        QTest::newRow("de_DE") << "de_DE" << QDate(2025, 1, 13);
        QTest::newRow("ar_EG") << "ar_EG" << QDate(2025, 1, 11);
    }
    void weekStartsOnTheLocalesFirstDay()
    {
        QFETCH(QString, locale);
        QFETCH(QDate, first);
        const CalendarContext context
            = calendarContext(locale.toLatin1().constData(), "America/New_York", testClock());
        auto view = std::unique_ptr<TimelineView>(TimelineView::weekView(context));
        view->setDate(ny(1, 15, 12));
        QCOMPARE(view->days().first(), first);
        QCOMPARE(view->header()->names().first(),
            context.locale.dayName(first.dayOfWeek(), QLocale::ShortFormat));
    }

    void clicksSelectAndOpenTheDetails()
    {
        auto view = std::unique_ptr<TimelineView>(TimelineView::weekView(newYork(testClock())));
        view->setDate(ny(1, 15, 12));
        const CalendarEvent a = meeting("a", ny(1, 15, 9), ny(1, 15, 10));
        CalendarEvent b = meeting("b", ny(1, 16, 9), ny(1, 16, 10));
        b.hangoutLink = QString();
        view->setEvents({a, b});
        setContentWidth(*view, 1055);
        TimelineSelection *selection = view->selection();
        EventBlock *blockA = view->blockFor(a.id);
        EventBlock *blockB = view->blockFor(b.id);

        QTest::mouseClick(blockA, Qt::LeftButton, {}, blockA->rect().center());
        QTRY_VERIFY(selection->isSelected(a.id));
        QVERIFY(blockA->isSelected());
        QVERIFY(!openPopover());
        QCOMPARE(blockA->backgroundColor(), QColor("#379BFF"));
        QCOMPARE(qRound(blockB->backgroundColor().alphaF() * 100), 10);

        // A double click on another block moves the selection, across columns, and opens it.
        QTest::mouseDClick(blockB, Qt::LeftButton, {}, blockB->rect().center());
        QVERIFY(selection->showsPopoverFor(b.id));
        QVERIFY(!blockA->isSelected());
        Popover *popover = openPopover();
        QVERIFY(popover);
        QCOMPARE(popover->anchor(), blockB);
        // Beside the block, on its leading side, and inside the screen.
        const QRect blockRect(blockB->mapToGlobal(QPoint(0, 0)), blockB->size());
        QVERIFY(!popover->isFlipped());
        QCOMPARE(popover->geometry().right(), blockRect.left() - 1 - Popover::gap);
        QVERIFY(blockB->screen()->availableGeometry().contains(popover->geometry()));
        auto *details = qobject_cast<EventDetailsView *>(popover->content());
        QVERIFY(details);
        QCOMPARE(details->event(), b);
        QVERIFY(details->joinButton()->isVisibleTo(details)); // an empty link still offers Join

        QSignalSpy edits(view.get(), &CalendarPeriodView::editRequested);
        details->editButton()->click();
        QCOMPARE(edits.size(), 1);
        QCOMPARE(edits.first().first().value<CalendarEvent>(), b);
        QVERIFY(popover->isVisible()); // the actions leave it open

        // Esc closes it; the highlight stays.
        QTest::keyClick(popover, Qt::Key_Escape);
        QTRY_VERIFY(!openPopover());
        QVERIFY(!selection->isPopoverShown());
        QVERIFY(selection->isSelected(b.id));

        // A press on empty rows clears everything; a double click afterwards opens it again.
        DayColumnWidget *column = view->columns()[0];
        QTest::mouseClick(column, Qt::LeftButton, {}, QPoint(20, 20 * 80));
        QVERIFY(!selection->selected());
        QVERIFY(!blockB->isSelected());
        QTest::mouseDClick(blockA, Qt::LeftButton, {}, blockA->rect().center());
        QVERIFY(openPopover());
    }

    void thePopoverClosesWhenItsEventGoes()
    {
        auto view = std::unique_ptr<TimelineView>(TimelineView::dayView(newYork(testClock())));
        view->setDate(ny(1, 15, 12));
        const CalendarEvent a = meeting("a", ny(1, 15, 9), ny(1, 15, 10));
        const CalendarEvent b = meeting("b", ny(1, 15, 11), ny(1, 15, 12));
        view->setEvents({a, b});
        setContentWidth(*view, 800);
        QTest::mouseDClick(view->blockFor(a.id), Qt::LeftButton);
        QVERIFY(openPopover());

        // A refresh that keeps the event keeps the popover on its block.
        CalendarEvent renamed = a;
        renamed.title = "a, renamed";
        view->setEvents({b, renamed});
        QVERIFY(openPopover());
        QCOMPARE(openPopover()->anchor(), view->blockFor(a.id));
        QCOMPARE(qobject_cast<EventDetailsView *>(openPopover()->content())->event().title,
            "a, renamed");
        // So does a reload, which gives every event a new per-load id.
        renamed.id = QUuid::createUuid();
        view->setEvents({b, renamed});
        QVERIFY(openPopover());
        QCOMPARE(openPopover()->anchor(), view->blockFor(renamed.id));

        view->setEvents({b});
        QTRY_VERIFY(!openPopover());
        QVERIFY(!view->selection()->selected());
        QVERIFY(!view->selection()->isPopoverShown());
    }

    void monthCellsShowTwoChipsAndTheRest()
    {
        MonthCalendarView view(newYork(testClock()));
        view.setDate(ny(1, 15, 12));
        QList<CalendarEvent> events;
        for (int i = 0; i < 5; ++i)
            events << meeting(
                QStringLiteral("busy %1").arg(i), ny(1, 20, 9 + i), ny(1, 20, 10 + i));
        events << meeting("pair 1", ny(1, 21, 9), ny(1, 21, 10))
               << meeting("pair 0", ny(1, 21, 8), ny(1, 21, 9))
               << meeting("long", ny(1, 22, 9), ny(1, 24, 9));
        view.setEvents(events);
        view.resize(900, 700);
        view.show();

        QCOMPARE(view.cells().size(), 42);
        QCOMPARE(view.cells().first()->day(), QDate(2024, 12, 29));
        MonthDayCell *busy = view.cellFor(QDate(2025, 1, 20));
        QCOMPARE(busy->visibleChips().size(), 2);
        QVERIFY(busy->overflowLabel()->isVisibleTo(busy));
        QCOMPARE(busy->overflowLabel()->text(), "+3 more events");
        MonthDayCell *pair = view.cellFor(QDate(2025, 1, 21));
        QCOMPARE(pair->visibleChips().size(), 2);
        QVERIFY(!pair->overflowLabel()->isVisibleTo(pair));
        QCOMPARE(pair->visibleChips()[0]->event().title, "pair 0"); // by start
        QCOMPARE(view.cellFor(QDate(2025, 1, 22))->visibleChips().size(), 1);
        QCOMPARE(view.cellFor(QDate(2025, 1, 23))->visibleChips().size(), 0);
        QVERIFY(view.cellFor(QDate(2025, 1, 20))->height() >= MonthDayCell::minimumHeight);

        // Dimmed are the days outside the displayed month, not outside today's.
        QVERIFY(view.cellFor(QDate(2025, 1, 20))->isCurrentMonth());
        QVERIFY(!view.cellFor(QDate(2024, 12, 31))->isCurrentMonth());
        QVERIFY(!view.cellFor(QDate(2025, 2, 3))->isCurrentMonth());
    }

    void monthSelectionFollowsItsEvent()
    {
        TwoMeetingMonth month;
        QVERIFY(QTest::qWaitForWindowExposed(&month.view));
        MonthCalendarView &view = month.view;
        const CalendarEvent &a = month.a;
        const CalendarEvent &b = month.b;

        EventChipWidget *chipB = view.chipFor(b.id);
        QTest::mouseClick(chipB, Qt::LeftButton, {}, chipB->rect().center());
        QTRY_VERIFY(chipB->isSelected());
        QVERIFY(!openPopover());
        QTest::mouseDClick(chipB, Qt::LeftButton, {}, chipB->rect().center());
        QVERIFY(openPopover());
        // At the chip's trailing side, level with it.
        const QRect chipRect(chipB->mapToGlobal(QPoint(0, 0)), chipB->size());
        QCOMPARE(openPopover()->geometry().left(), chipRect.right() + 1 + Popover::gap);
        QVERIFY(qAbs(openPopover()->geometry().center().y() - chipRect.center().y()) <= 1);

        // A push inserts an earlier event that day: the popover still shows and deletes "b".
        const CalendarEvent early = meeting("early", ny(1, 20, 7), ny(1, 20, 8));
        view.setEvents({early, a, b});
        QVERIFY(openPopover());
        QCOMPARE(openPopover()->anchor(), view.chipFor(b.id));
        auto *details = qobject_cast<EventDetailsView *>(openPopover()->content());
        QCOMPARE(details->event(), b);
        QSignalSpy deletes(&view, &CalendarPeriodView::deleteRequested);
        details->deleteButton()->click();
        QCOMPARE(deletes.first().first().value<CalendarEvent>().id, b.id);

        // Closed from outside: the highlight stays.
        openPopover()->close();
        QVERIFY(!view.selection()->isPopoverShown());
        QVERIFY(view.selection()->isSelected(b.id));
        QVERIFY(view.chipFor(b.id)->isSelected());

        // Gone from the list: the selection goes too.
        QTest::mouseDClick(view.chipFor(b.id), Qt::LeftButton);
        QVERIFY(openPopover());
        view.setEvents({early, a});
        QTRY_VERIFY(!openPopover());
        QVERIFY(!view.selection()->selected());

        // A month change keeps the selection; a press on a cell's background clears it.
        view.setEvents({early, a, b});
        view.selection()->singleClick(b);
        view.setDate(ny(2, 10, 12));
        QVERIFY(view.selection()->isSelected(b.id));
        MonthDayCell *cell = view.cells()[10];
        QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(cell->width() / 2, cell->height() - 5));
        QVERIFY(!view.selection()->selected());
    }

    void monthClicksActOnThePressedEventAcrossReloads()
    {
        TwoMeetingMonth month;
        QVERIFY(QTest::qWaitForWindowExposed(&month.view));
        MonthCalendarView &view = month.view;
        const CalendarEvent &a = month.a;
        const CalendarEvent &b = month.b;

        // A push lands between the press on "b" and the click's report: the chip that was
        // pressed now shows "early", and the click still selects "b", under its new load's id.
        const auto reload = [](CalendarEvent event) {
            event.id = QUuid::createUuid();
            return event;
        };
        EventChipWidget *chip = view.chipFor(b.id);
        QTest::mouseClick(chip, Qt::LeftButton, {}, chip->rect().center());
        const CalendarEvent early = meeting("early", ny(1, 20, 7), ny(1, 20, 8));
        const CalendarEvent b2 = reload(b);
        view.setEvents({early, reload(a), b2});
        QCOMPARE(chip->event().identifier, "early");
        QTRY_VERIFY(view.selection()->selected());
        QCOMPARE(view.selection()->selected()->identifier, "b");
        QVERIFY(view.chipFor(b2.id)->isSelected());
        QVERIFY(!chip->isSelected());

        // A reload (a date step) keeps the open popover on its event.
        QTest::mouseDClick(view.chipFor(b2.id), Qt::LeftButton);
        QVERIFY(openPopover());
        const CalendarEvent b3 = reload(b2);
        view.setDate(ny(1, 16, 12));
        view.setEvents({reload(early), b3});
        QVERIFY(view.selection()->showsPopoverFor(b3.id));
        QVERIFY(openPopover());
        QCOMPARE(openPopover()->anchor(), view.chipFor(b3.id));

        // A pressed event that a push removed before the report selects nothing.
        view.selection()->clear();
        QTRY_VERIFY(!openPopover());
        EventChipWidget *gone = view.chipFor(b3.id);
        QSignalSpy reported(gone, &EventChipWidget::clicked);
        QTest::mouseClick(gone, Qt::LeftButton, {}, gone->rect().center());
        view.setEvents({early});
        QTRY_COMPARE(reported.size(), 1);
        QVERIFY(!view.selection()->selected());
    }

    void agendaListsTheMonthByDay()
    {
        AgendaView view(newYork(testClock()));
        view.setDate(ny(4, 10, 12));
        CalendarEvent located = meeting("located", ny(4, 30, 8), ny(4, 30, 9));
        located.location = QString();
        CalendarEvent allDay = meeting("all day", ny(4, 30, 0), ny(5, 1, 0));
        allDay.isAllDAy = true;
        view.setEvents({meeting("later", ny(4, 30, 18), ny(5, 2, 9)), located, allDay,
            meeting("may", ny(5, 1, 0), ny(5, 1, 1))});
        view.resize(700, 600);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.dayHeadings(), QStringList({"Wednesday, April 30"}));
        const QList<AgendaEventRow *> rows = view.rows();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0]->event().title, "all day");
        QCOMPARE(rows[1]->event().title, "located");
        QCOMPARE(rows[2]->event().title, "later");
        QCOMPARE(rows[0]->timeLabel()->fullText(), "All-Day Event");
        // The time, the bullet and the location are items of one row, 8 apart.
        QCOMPARE(rows[1]->timeLabel()->fullText(), "8:00 AM - 9:00 AM");
        QCOMPARE(rows[1]->bulletLabel()->text(), "•");
        QCOMPARE(rows[1]->locationLabel()->fullText(), QString());
        QCOMPARE(rows[1]->bulletLabel()->x() - rows[1]->timeLabel()->geometry().right() - 1, 8);
        QVERIFY(!rows[2]->bulletLabel());
        // Text starts 12 after the 4-wide stripe; notes are in the primary text colour.
        QCOMPARE(rows[2]->titleLabel()->x(), 8 + 4 + 12);
        QCOMPARE(
            rows[2]->notesLabel()->palette().color(QPalette::WindowText), QColor(0x30, 0x30, 0x30));
        QVERIFY(!rows[1]->joinButton()->isVisibleTo(rows[1]));

        QSignalSpy edits(&view, &CalendarPeriodView::editRequested);
        rows[2]->editButton()->click();
        QCOMPARE(edits.first().first().value<CalendarEvent>().title, "later");

        view.setDate(ny(6, 1, 12));
        QVERIFY(view.rows().isEmpty());
        QVERIFY(view.dayHeadings().isEmpty());
    }

    void agendaTextsAreWholeWhileTheRowHasRoom_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("width");
        QTest::newRow("en_US, 1366") << "en_US" << 1366;
        QTest::newRow("en_US, 700") << "en_US" << 700;
        QTest::newRow("de_DE, 1024") << "de_DE" << 1024;
    }

    void agendaTextsAreWholeWhileTheRowHasRoom()
    {
        QFETCH(QString, locale);
        QFETCH(int, width);
        BundledFontScope font;
        QVERIFY2(BundledFontScope::isActive(), "the Inter font (fonts-inter) is missing");
        AgendaView view(calendarContext(locale.toLatin1(), "America/New_York", testClock()));
        view.setDate(ny(4, 10, 12));
        CalendarEvent standup = meeting("Standup", ny(4, 8, 10, 30), ny(4, 8, 11, 30));
        standup.location = QStringLiteral("Room 4");
        standup.notes = QStringLiteral("Bring the numbers\nand the mock-ups");
        CalendarEvent allDay = meeting("Company offsite", ny(4, 9, 0), ny(4, 10, 0));
        allDay.isAllDAy = true;
        view.setEvents({standup, allDay, meeting("Lunch", ny(4, 8, 13), ny(4, 8, 13, 15)),
            meeting("1:1", ny(4, 9, 9, 5), ny(4, 9, 9, 50)),
            meeting("Design review", ny(4, 9, 15, 45), ny(4, 9, 17))});
        view.resize(width, 768);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.rows().size(), 5);
        for (AgendaEventRow *row : view.rows()) {
            for (ElidedLabel *label : row->findChildren<ElidedLabel *>()) {
                if (!label->isVisibleTo(row))
                    continue;
                QCOMPARE(label->text(),
                    QString(label->fullText()).replace(QLatin1Char('\n'), QLatin1Char(' ')));
            }
        }
    }

    void theScreenAsksItsOwner()
    {
        IntuitiveCalendarView screen(newYork(testClock()));
        screen.setDate(ny(1, 31, 10));
        screen.setViewType(CalendarViewType::month);
        QCOMPARE(screen.header()->title(), "January 2025");
        QSignalSpy dates(&screen, &IntuitiveCalendarView::dateChangeRequested);
        QSignalSpy types(&screen, &IntuitiveCalendarView::viewTypeChangeRequested);

        screen.header()->forwardButton()->click();
        QCOMPARE(dates.last().first().toDateTime(), ny(2, 28, 10));
        // The owner has not reloaded yet: a second click steps from the same date.
        screen.header()->forwardButton()->click();
        QCOMPARE(dates.last().first().toDateTime(), ny(2, 28, 10));
        QCOMPARE(screen.date(), ny(1, 31, 10));

        screen.header()->todayButton()->click();
        QCOMPARE(dates.last().first().toDateTime(), testClock().now());
        QCOMPARE(screen.viewType(), CalendarViewType::month);

        screen.header()->viewTypeButton(CalendarViewType::week)->click();
        QCOMPARE(types.last().first().value<CalendarViewType>(), CalendarViewType::week);
        QCOMPARE(screen.viewType(), CalendarViewType::month); // until the owner sets it
        QCOMPARE(screen.header()->viewTypeButton(CalendarViewType::month)->backgroundColor(),
            palette::accentBlue());
        QCOMPARE(
            screen.header()->viewTypeButton(CalendarViewType::week)->backgroundColor().alpha(), 0);
    }

    void aNewViewTypeStartsAFreshSelection()
    {
        IntuitiveCalendarView screen(newYork(testClock()));
        screen.setDate(ny(1, 15, 10));
        screen.setViewType(CalendarViewType::week);
        const CalendarEvent a = meeting("a", ny(1, 15, 9), ny(1, 15, 10));
        screen.setEvents({a});
        QPointer<CalendarPeriodView> week = screen.view();
        week->selection()->singleClick(a);

        screen.setDate(ny(1, 16, 10));
        screen.setEvents({a, meeting("b", ny(1, 16, 9), ny(1, 16, 10))});
        QCOMPARE(screen.view(), week.data());
        QVERIFY(week->selection()->isSelected(a.id));

        screen.setViewType(CalendarViewType::day);
        QVERIFY(!week);
        QVERIFY(!screen.view()->selection()->selected());
        screen.setViewType(CalendarViewType::week);
        QVERIFY(!screen.view()->selection()->selected());
        QCOMPARE(screen.header()->title(), "Jan 12 - 18, 2025");
    }

    void detailsPopoverContent()
    {
        const CalendarContext context = newYork(testClock());
        CalendarEvent e = meeting("A title long enough to need more than one line in a card that "
                                  "is four hundred pixels wide, whatever the font",
            ny(1, 10, 13, 5), ny(1, 10, 14));
        e.location = QString();
        // A paragraph that fills the three lines hides the line that follows it.
        e.notes = QStringLiteral("word ").repeated(200) + QStringLiteral("\nsecond");
        EventDetailsView details(e, context);
        details.adjustSize();
        QCOMPARE(details.width(), 400);
        QCOMPARE(details.timeLabel()->text(), "Jan 10, 2025, 1:05 PM - Jan 10, 2025, 2:00 PM");
        // The detail rows use the subheadline size, 10 from their icons.
        QCOMPARE(details.timeLabel()->font().pixelSize(), 11);
        QCOMPARE(details.notesLabel()->font().pixelSize(), 11);
        QCOMPARE(details.timeLabel()->parentWidget()->layout()->spacing(), 10);
        QVERIFY(!details.locationRow()->isVisibleTo(&details));
        QVERIFY(details.notesRow()->isVisibleTo(&details));
        QCOMPARE(details.notesLabel()->text().count(QLatin1Char('\n')), 2);
        QVERIFY(details.notesLabel()->text().endsWith(QChar(0x2026)));
        QVERIFY(!details.notesLabel()->text().contains(QStringLiteral("second")));
        QVERIFY(!details.joinButton()->isVisibleTo(&details));

        e.isAllDAy = true;
        e.location = QStringLiteral("Room 4");
        e.notes = QString();
        details.setEvent(e);
        QCOMPARE(details.timeLabel()->text(), "All-Day Event");
        QVERIFY(details.locationRow()->isVisibleTo(&details));
        QVERIFY(!details.notesRow()->isVisibleTo(&details));
    }

    void notesKeepTheirLineBreaksWithinThreeLines_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("five lines") << "one\ntwo\nthree\nfour\nfive"
                                    << "one\ntwo\nthree \u2026";
        QTest::newRow("Windows breaks") << "one\r\ntwo\r\nthree\r\nfour"
                                        << "one\ntwo\nthree \u2026";
        QTest::newRow("three lines") << "one\ntwo\nthree"
                                     << "one\ntwo\nthree";
        QTest::newRow("trailing break") << "one\ntwo\nthree\n"
                                        << "one\ntwo\nthree";
        QTest::newRow("blank line") << "one\n\ntwo"
                                    << "one\n\ntwo";
    }

    void notesKeepTheirLineBreaksWithinThreeLines()
    {
        QFETCH(QString, notes);
        QFETCH(QString, shown);
        CalendarEvent e = meeting("call", ny(1, 10, 9), ny(1, 10, 10));
        e.notes = notes;
        EventDetailsView details(e, newYork(testClock()));
        QCOMPARE(details.notesLabel()->text(), shown);
    }

    void joinOpensOnlyWebLinks()
    {
        UrlCatcher catcher;
        for (const char *scheme : {"https", "http", "file", "zoommtg"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
        CalendarEvent e = meeting("call", ny(1, 10, 9), ny(1, 10, 10));
        EventDetailsView details(e, newYork(testClock()));
        for (const char *link : {"https://meet.google.com/abc", "file:///etc/passwd",
                 "zoommtg://zoom.us/join", "", "http://example.com/x"}) {
            e.hangoutLink = QString::fromLatin1(link);
            details.setEvent(e);
            QVERIFY(details.joinButton()->isVisibleTo(&details));
            details.joinButton()->click();
        }
        for (const char *scheme : {"https", "http", "file", "zoommtg"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        QCOMPARE(catcher.opened,
            QList<QUrl>({QUrl("https://meet.google.com/abc"), QUrl("http://example.com/x")}));
    }

    void aSmallWindowKeepsEveryViewUsable()
    {
        IntuitiveCalendarView screen(newYork(testClock()));
        screen.setDate(ny(1, 15, 10));
        screen.setEvents({meeting(
                              QStringLiteral("A title ").repeated(40), ny(1, 15, 9), ny(1, 15, 10)),
            meeting("b", ny(1, 15, 9), ny(1, 15, 10)), meeting("c", ny(1, 15, 9), ny(1, 15, 10))});
        screen.resize(420, 300);
        screen.show();
        QVERIFY(QTest::qWaitForWindowExposed(&screen));
        for (const CalendarViewType type : {CalendarViewType::day, CalendarViewType::week,
                 CalendarViewType::month, CalendarViewType::agenda}) {
            screen.setViewType(type);
            QCoreApplication::processEvents();
            QVERIFY(screen.view()->isVisible());
            QVERIFY(screen.view()->height() > 0);
            // Every block keeps some width and stays within the window's width.
            for (EventBlock *block : screen.view()->findChildren<EventBlock *>()) {
                if (!block->isVisible())
                    continue;
                const QRect shown(block->mapTo(&screen, QPoint(0, 0)), block->size());
                QVERIFY2(shown.width() >= 8 && shown.left() >= 0 && shown.right() < screen.width(),
                    qPrintable(QStringLiteral("view %1: block at %2,%3 %4 wide")
                                   .arg(int(type))
                                   .arg(shown.left())
                                   .arg(shown.top())
                                   .arg(shown.width())));
            }
            saveGrab(screen, QStringLiteral("calendar-small-%1").arg(int(type)));
        }
    }

    // Every view with three calendars, overlapping meetings, an all-day event and a long title,
    // in both appearances, written to PNG for a person to look at.
    void grabsForPeople()
    {
        const QColor work("#379BFF");
        const QColor home("#E67C73");
        const QColor team("#33B679");
        CalendarEvent allDay = meeting("Company offsite", ny(1, 15, 0), ny(1, 16, 0), team);
        allDay.isAllDAy = true;
        CalendarEvent standup = meeting("Standup", ny(1, 15, 9), ny(1, 15, 9, 30), work);
        standup.hangoutLink = QStringLiteral("https://meet.google.com/abc-defg-hij");
        standup.location = QStringLiteral("Room 4");
        CalendarEvent review = meeting("Design review", ny(1, 15, 9, 15), ny(1, 15, 11), home);
        review.notes = QStringLiteral("Bring the mock-ups for the new calendar screen and the "
                                      "numbers from last quarter.");
        const CalendarEvent longTitle = meeting("A meeting with a very long title that never "
                                                "fits in any block of any view at all",
            ny(1, 15, 13), ny(1, 15, 14, 30), team);
        QList<CalendarEvent> events {allDay, standup, review, longTitle,
            meeting("Lunch", ny(1, 14, 12), ny(1, 14, 13), home),
            meeting("1:1", ny(1, 16, 10), ny(1, 16, 10, 45), work),
            meeting("Planning", ny(1, 17, 15), ny(1, 17, 16), team)};
        for (int i = 0; i < 4; ++i)
            events << meeting(
                QStringLiteral("Call %1").arg(i), ny(1, 20, 10 + i), ny(1, 20, 11 + i), work);

        const struct
        {
            CalendarViewType type;
            const char *name;
        } views[] = {{CalendarViewType::day, "day"}, {CalendarViewType::week, "week"},
            {CalendarViewType::month, "month"}, {CalendarViewType::agenda, "agenda"}};
        for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
            Appearance::instance().setOverride(scheme);
            const QString suffix = scheme == ColorScheme::light ? "light" : "dark";
            for (const auto &view : views) {
                IntuitiveCalendarView screen(newYork(testClock()));
                screen.setDate(ny(1, 15, 10));
                screen.setViewType(view.type);
                screen.setEvents(events);
                screen.resize(1100, 760);
                screen.show();
                QVERIFY(QTest::qWaitForWindowExposed(&screen));
                if (auto *timeline = qobject_cast<TimelineView *>(screen.view())) {
                    timeline->scrollArea()->verticalScrollBar()->setValue(8 * 80);
                    timeline->selection()->singleClick(review);
                }
                saveGrab(screen, QStringLiteral("calendar-%1-%2").arg(view.name, suffix));
                if (view.type == CalendarViewType::week) {
                    screen.view()->selection()->doubleClick(review);
                    QVERIFY(openPopover());
                    saveGrab(*openPopover(), QStringLiteral("calendar-popover-%1").arg(suffix));
                    openPopover()->close();
                }
            }
        }
    }
};

TOLVO_WIDGET_TEST_MAIN(CalendarViewsTest)
#include "CalendarViewsTest.moc"
