#include "FormTestSupport.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include "components/AlertPresenter.h"
#include "components/CalView.h"
#include "components/CardButton.h"
#include "components/MacEditorTextView.h"
#include "components/StyledButton.h"
#include "components/TimeSelectionView.h"
#include "components/ToggleSwitch.h"
#include "components/TolvoTextField.h"
#include "components/ValidationFrame.h"
#include "core/Dependencies.h"
#include "modules/AddMeeting/AddMeetingView.h"
#include "modules/AddMeeting/AddMeetingViewModel.h"
#include "modules/AddMeeting/AddMeetingWindowController.h"
#include "modules/EditMeeting/EditMeetingView.h"
#include "modules/EditMeeting/EditMeetingViewModel.h"
#include "modules/EditMeeting/EditMeetingWindowController.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>

using namespace tolvo;
using namespace tolvo::test;

namespace {

const QString workId = QStringLiteral("work@example.com");

GoogleCalendarEvent sampleEvent()
{
    GoogleCalendarEvent value;
    value.id = QStringLiteral("ev1");
    value.summary = QStringLiteral("Standup");
    value.start = QDateTime(QDate(2025, 3, 5), QTime(9, 30), formZone());
    value.end = QDateTime(QDate(2025, 3, 5), QTime(10, 15), formZone());
    value.description = QStringLiteral("Notes");
    value.location = QStringLiteral("Room 4");
    value.reminderMinutes = 45;
    return value;
}

void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus();
    QTest::keyClicks(field, text);
}

QAbstractItemView *popoverList(Popover *popover)
{
    return popover ? qobject_cast<QAbstractItemView *>(popover->content()) : nullptr;
}

void clickRow(QAbstractItemView *list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
        list->visualRect(list->model()->index(row, 0)).center());
}

QMessageBox *alertBox(MeetingFormView &view)
{
    return view.alertPresenter()->messageBox();
}

} // namespace

class MeetingFormViewTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DependencyScope> m_scope;
    std::shared_ptr<WriteLog> m_writes;

private slots:
    void init()
    {
        m_writes = std::make_shared<WriteLog>();
        m_scope = std::make_unique<DependencyScope>();
        m_scope->set(writingClient(m_writes));
        m_scope->set(cacheWith({calendarNamed(workId, QStringLiteral("Work")),
            calendarNamed(QStringLiteral("home@example.com"), QStringLiteral("Home"))}));
    }

    void cleanup()
    {
        test::deleteTopLevelWindows();
        m_scope.reset();
    }

    void freshAddForm()
    {
        AddMeetingWindowController *controller = new AddMeetingWindowController({}, formContext());
        QPointer<FormWindow> window = controller->window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), QSize(500, 700));
        // Centred, give or take the frame the platform adds.
        QVERIFY((window->geometry().center() - window->screen()->availableGeometry().center())
                    .manhattanLength()
            <= 4);
        MeetingFormView &view = *controller->view();
        QCOMPARE(view.header()->text(), QStringLiteral("Add Schedule"));
        QVERIFY(!view.titleFrame()->isInvalid());
        QVERIFY(!view.calendarFrame()->isInvalid());
        QCOMPARE(view.reminderCard()->text(), QStringLiteral("30 minutes before event"));
        QCOMPARE(view.dateCard()->text(), QStringLiteral("3 March 2025"));
        QCOMPARE(view.calendarCard()->text(), QString());
        // The calendar card spans the column; the action buttons sit at the trailing edge.
        QVERIFY(view.calendarCard()->width() > 400);
        QCOMPARE(view.saveButton()->size(), QSize(80, 34));
        QCOMPARE(view.saveButton()->mapTo(&view, QPoint(80, 34)),
            QPoint(
                view.width() - MeetingFormView::padding, view.height() - MeetingFormView::padding));
        QCOMPARE(view.startField()->width(), MeetingFormView::timeFieldWidth);
        // Every row fits inside the window.
        QVERIFY(view.descriptionEditor()->height() > 60);

        QTest::mouseClick(view.saveButton(), Qt::LeftButton);
        QVERIFY(alertBox(view));
        QCOMPARE(alertBox(view)->text(), QStringLiteral("Empty inputs"));
        // What is missing is outlined.
        QVERIFY(view.titleFrame()->isInvalid());
        QVERIFY(view.startFrame()->isInvalid());
        QVERIFY(view.endFrame()->isInvalid());
        QVERIFY(view.calendarFrame()->isInvalid());
    }

    // Return saves from a field, a focused button takes it itself, Escape closes what is on
    // top: the alert, then a popover, then the form.
    void keyboardSavesAndCloses()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        QPointer<FormWindow> window = controller->window();
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowActive(window));
        typeInto(view.titleField(), QStringLiteral("Planning"));
        QTest::keyClick(view.titleField(), Qt::Key_Return);
        QVERIFY(alertBox(view));
        QCOMPARE(alertBox(view)->text(), QStringLiteral("Empty inputs"));
        QPointer<QMessageBox> box = alertBox(view);
        QVERIFY(QTest::qWaitForWindowActive(box));
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!box || !box->isVisible());
        QVERIFY(window && window->isVisible());

        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::mouseClick(view.reminderCard(), Qt::LeftButton);
        QPointer<Popover> popover = view.reminderPopover();
        QVERIFY(popover);
        QTest::keyClick(popover->content(), Qt::Key_Escape);
        QTRY_VERIFY(!popover || !popover->isVisible());
        QVERIFY(window && window->isVisible());

        // A new line in the description is not a save.
        QVERIFY(QTest::qWaitForWindowActive(window));
        view.descriptionEditor()->editor()->setFocus();
        QTest::keyClick(view.descriptionEditor()->editor(), Qt::Key_Return);
        QVERIFY(!alertBox(view));
        QCOMPARE(view.model()->description(), QStringLiteral("\n"));

        view.cancelButton()->setFocus();
        QTest::keyClick(view.cancelButton(), Qt::Key_Enter);
        QTRY_VERIFY(!window);

        auto *second = new AddMeetingWindowController({}, formContext());
        window = second->window();
        QVERIFY(QTest::qWaitForWindowActive(window));
        typeInto(second->view()->titleField(), QStringLiteral("Draft"));
        QTest::keyClick(second->view()->titleField(), Qt::Key_Escape);
        QTRY_VERIFY(!window);
        QVERIFY(m_writes->creates.isEmpty());
    }

    // Typing goes into the title as soon as a form opens, and Tab goes on to the next field.
    void formsOpenWithTheTitleFocused_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::newRow("add") << false;
        QTest::newRow("edit") << true;
    }
    void formsOpenWithTheTitleFocused()
    {
        QFETCH(bool, editing);
        MeetingFormWindowController *controller = editing
            ? static_cast<MeetingFormWindowController *>(
                new EditMeetingWindowController(sampleEvent(), workId, {}, formContext()))
            : new AddMeetingWindowController({}, formContext());
        QPointer<FormWindow> window = controller->window();
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTRY_COMPARE(QApplication::focusWidget(), view.titleField());
        view.titleField()->end(false);
        QTest::keyClick(window->windowHandle(), Qt::Key_X);
        QVERIFY(view.titleField()->text().endsWith(u'x'));
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != view.titleField());
        QVERIFY(QApplication::focusWidget() != view.closeButton());
        QVERIFY(view.isAncestorOf(QApplication::focusWidget()));
    }

    void timeFieldsFilterWhatIsTyped()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        QVERIFY(view.startField()->isHintShown());
        typeInto(view.startField(), QStringLiteral("0930"));
        QCOMPARE(view.startField()->text(), QStringLiteral("09:30"));
        QCOMPARE(view.model()->startTime(), QStringLiteral("09:30"));
        QVERIFY(!view.startField()->isHintShown());
        typeInto(view.endField(), QStringLiteral("ab"));
        QCOMPARE(view.endField()->text(), QString());
        QVERIFY(view.endField()->isHintShown());
        // Emptied after a change: outlined at once.
        QVERIFY(view.endFrame()->isInvalid());
        view.startField()->selectAll();
        QTest::keyClick(view.startField(), Qt::Key_Backspace);
        QVERIFY(view.startFrame()->isInvalid());
    }

    void titleOutlineFollowsThePause()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        MeetingFormView &view = *controller->view();
        view.model()->setDebounceInterval(1);
        typeInto(view.titleField(), QStringLiteral("x"));
        QTest::keyClick(view.titleField(), Qt::Key_Backspace);
        QVERIFY(!view.titleFrame()->isInvalid());
        QTRY_VERIFY(view.titleFrame()->isInvalid());
    }

    void allDayHidesTheTimesInPlace()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        typeInto(view.startField(), QStringLiteral("0900"));
        const QRect dateCard = view.dateCard()->geometry();
        const QRect switchPlace = view.allDaySwitch()->geometry();
        QTest::mouseClick(view.allDaySwitch(), Qt::LeftButton);
        QVERIFY(view.model()->isAllDayEvent());
        QVERIFY(!view.timesGroup()->isVisible());
        QCOMPARE(view.dateCard()->geometry(), dateCard);
        QCOMPARE(view.allDaySwitch()->geometry(), switchPlace);
        // Hidden fields take neither focus nor typing: Tab passes them by.
        view.dateCard()->setFocus();
        QTest::keyClick(view.dateCard(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), view.allDaySwitch());
        QTest::mouseClick(view.allDaySwitch(), Qt::LeftButton);
        QVERIFY(view.timesGroup()->isVisible());
        QCOMPARE(view.startField()->text(), QStringLiteral("09:00"));
    }

    void choosingACalendarClosesItsPopover()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        QTest::mouseClick(view.calendarCard(), Qt::LeftButton);
        QAbstractItemView *list = popoverList(view.calendarPopover());
        QVERIFY(list);
        QCOMPARE(list->width(), MeetingFormView::calendarPopoverWidth);
        QCOMPARE(list->model()->rowCount(), 2);
        clickRow(list, 1);
        QTRY_VERIFY(!view.calendarPopover());
        QCOMPARE(view.calendarCard()->text(), QStringLiteral("Home"));
        QCOMPARE(view.model()->selectedCalendar()->id, QStringLiteral("home@example.com"));
    }

    void choosingAReminder()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        QTest::mouseClick(view.reminderCard(), Qt::LeftButton);
        QAbstractItemView *list = popoverList(view.reminderPopover());
        QVERIFY(list);
        QCOMPARE(list->width(), MeetingFormView::reminderPopoverWidth);
        clickRow(list, 2);
        QTRY_VERIFY(!view.reminderPopover());
        QCOMPARE(view.reminderCard()->text(), QStringLiteral("15 minutes before event"));
    }

    void datePopoverSetsTheDay()
    {
        auto *controller = new AddMeetingWindowController({}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        QTest::mouseClick(view.dateCard(), Qt::LeftButton);
        auto *panel = qobject_cast<TimeSelectionView *>(view.datePopover()->content());
        QVERIFY(panel);
        // It opens at the form's day.
        QCOMPARE(panel->picker()->selectedDate(), view.model()->selectedDate());
        QTest::mouseClick(panel->picker(), Qt::LeftButton, {},
            panel->picker()->dayRect(QDate(2025, 3, 14)).center());
        QTest::mouseClick(panel->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY(!view.datePopover());
        QCOMPARE(view.dateCard()->text(), QStringLiteral("3 March 2025"));

        QTest::mouseClick(view.dateCard(), Qt::LeftButton);
        panel = qobject_cast<TimeSelectionView *>(view.datePopover()->content());
        QTest::mouseClick(panel->picker(), Qt::LeftButton, {},
            panel->picker()->dayRect(QDate(2025, 3, 14)).center());
        QTest::mouseClick(panel->saveButton(), Qt::LeftButton);
        QTRY_VERIFY(!view.datePopover());
        QCOMPARE(view.dateCard()->text(), QStringLiteral("14 March 2025"));
        QCOMPARE(view.model()->selectedDate().toTimeZone(formZone()).date(), QDate(2025, 3, 14));
    }

    void closeAndCancelSendNothing()
    {
        int saves = 0;
        for (int button = 0; button < 2; ++button) {
            auto *controller = new AddMeetingWindowController([&] { ++saves; }, formContext());
            QPointer<FormWindow> window = controller->window();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            typeInto(controller->view()->titleField(), QStringLiteral("Draft"));
            StyledButton *target = button == 0 ? controller->view()->closeButton()
                                               : controller->view()->cancelButton();
            QTest::mouseClick(target, Qt::LeftButton);
            QTRY_VERIFY(!window);
        }
        QCOMPARE(saves, 0);
        QVERIFY(m_writes->creates.isEmpty());
    }

    void savedFormClosesOnlyOnOk()
    {
        int saves = 0;
        auto *controller = new AddMeetingWindowController([&] { ++saves; }, formContext());
        QPointer<FormWindow> window = controller->window();
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        typeInto(view.titleField(), QStringLiteral("Planning"));
        typeInto(view.startField(), QStringLiteral("0900"));
        typeInto(view.endField(), QStringLiteral("1000"));
        view.model()->setSelectedCalendar(calendarNamed(workId, QStringLiteral("Work")));
        QTest::mouseClick(view.saveButton(), Qt::LeftButton);
        QTRY_VERIFY(alertBox(view));
        QCOMPARE(alertBox(view)->text(), QStringLiteral("Event created"));
        QVERIFY(window->isVisible());
        QCOMPARE(saves, 0);
        alertBox(view)->buttons().first()->click();
        QTRY_VERIFY(!window);
        QCOMPARE(saves, 1);
        QCOMPARE(m_writes->creates.size(), 1);
    }

    void windowClosedWhileSavingIsLeftAlone()
    {
        m_writes->gate = std::make_shared<OneShot>();
        int saves = 0;
        auto *controller = new AddMeetingWindowController([&] { ++saves; }, formContext());
        QPointer<FormWindow> window = controller->window();
        MeetingFormView &view = *controller->view();
        view.model()->setTitle(QStringLiteral("Planning"));
        view.model()->setStartTime(QStringLiteral("09:00"));
        view.model()->setEndTime(QStringLiteral("10:00"));
        view.model()->setSelectedCalendar(calendarNamed(workId, QStringLiteral("Work")));
        view.saveTapped();
        QTRY_COMPARE(m_writes->creates.size(), 1);
        window->close();
        QTRY_VERIFY(!window);
        m_writes->gate->fire();
        QCoreApplication::processEvents();
        QCOMPARE(saves, 0);
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *remaining : windows)
            QVERIFY(!qobject_cast<QMessageBox *>(remaining));
    }

    void editFormShowsTheEvent()
    {
        int saves = 0;
        auto *controller = new EditMeetingWindowController(
            sampleEvent(), workId, [&] { ++saves; }, formContext());
        QPointer<FormWindow> window = controller->window();
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->size(), QSize(500, 700));
        QCOMPARE(view.header()->text(), QStringLiteral("Edit Schedule"));
        QCOMPARE(view.titleField()->text(), QStringLiteral("Standup"));
        QCOMPARE(view.startField()->text(), QStringLiteral("09:30"));
        QCOMPARE(view.endField()->text(), QStringLiteral("10:15"));
        QCOMPARE(view.dateCard()->text(), QStringLiteral("5 March 2025"));
        QCOMPARE(view.calendarField()->text(), QStringLiteral("Work"));
        QVERIFY(!view.calendarCard());
        QCOMPARE(view.reminderCard()->text(), QStringLiteral("45 minutes before event"));
        QCOMPARE(view.descriptionEditor()->text(), QStringLiteral("Notes"));
        QVERIFY(!view.titleFrame()->isInvalid() && !view.startFrame()->isInvalid());
        // The calendar cannot be changed here.
        QTest::mouseClick(view.calendarField(), Qt::LeftButton);
        QVERIFY(!view.calendarField()->hasFocus());
        QVERIFY(!view.calendarPopover());
        // Its reminder list still offers the five choices only.
        QTest::mouseClick(view.reminderCard(), Qt::LeftButton);
        QCOMPARE(popoverList(view.reminderPopover())->model()->rowCount(), 5);
        view.reminderPopover()->close();

        QTest::mouseClick(view.saveButton(), Qt::LeftButton);
        QTRY_VERIFY(alertBox(view));
        QCOMPARE(alertBox(view)->text(), QStringLiteral("Event updated"));
        alertBox(view)->buttons().first()->click();
        QTRY_VERIFY(!window);
        QCOMPARE(saves, 1);
        QCOMPARE(m_writes->updates.first().location, QStringLiteral("Room 4"));
    }

    void editFormOfAnAllDayEventHidesTheTimesFromTheStart()
    {
        GoogleCalendarEvent allDay = sampleEvent();
        allDay.isAllDay = true;
        auto *controller
            = new EditMeetingWindowController(allDay, QStringLiteral("gone@x"), {}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        QVERIFY(!view.timesGroup()->isVisible());
        QVERIFY(view.allDaySwitch()->isChecked());
        QCOMPARE(view.calendarField()->text(), QString());
    }

    void longTextsStayInsideTheWindow()
    {
        GoogleCalendarEvent longOne = sampleEvent();
        longOne.summary = QString(500, u'W');
        longOne.description = QString(5000, u'x');
        m_scope->set(cacheWith({calendarNamed(workId, QString(400, u'C'))}));
        auto *controller = new EditMeetingWindowController(longOne, workId, {}, formContext());
        MeetingFormView &view = *controller->view();
        QVERIFY(QTest::qWaitForWindowExposed(controller->window()));
        QCOMPARE(controller->window()->size(), QSize(500, 700));
        const QRect inside
            = view.rect().adjusted(MeetingFormView::padding - 1, MeetingFormView::padding - 1,
                -MeetingFormView::padding + 1, -MeetingFormView::padding + 1);
        for (QWidget *part :
            std::initializer_list<QWidget *> {view.titleField(), view.calendarField(),
                view.reminderCard(), view.descriptionEditor(), view.saveButton()}) {
            const QRect placed(part->mapTo(&view, QPoint(0, 0)), part->size());
            QVERIFY2(inside.contains(placed), qPrintable(part->metaObject()->className()));
        }
    }

    void twoOpensAreTwoWindows()
    {
        auto *first = new AddMeetingWindowController({}, formContext());
        auto *second = new AddMeetingWindowController({}, formContext());
        QVERIFY(first->window() != second->window());
        first->view()->model()->setTitle(QStringLiteral("One"));
        QCOMPARE(second->view()->model()->title(), QString());
    }
};

TOLVO_WIDGET_TEST_MAIN(MeetingFormViewTest)

#include "MeetingFormViewTest.moc"
