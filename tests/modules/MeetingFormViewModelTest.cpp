#include "FormTestSupport.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include "core/Dependencies.h"
#include "modules/AddMeeting/AddMeetingViewModel.h"
#include "modules/EditMeeting/EditMeetingViewModel.h"

#include <QPointer>
#include <QSignalSpy>

using namespace tolvo;
using namespace tolvo::test;

namespace {

const QString workId = QStringLiteral("work@example.com");

QDateTime berlin(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2025, 3, day), QTime(hour, minute), formZone());
}

GoogleCalendarEvent timedEvent()
{
    GoogleCalendarEvent event;
    event.id = QStringLiteral("ev1");
    event.summary = QStringLiteral("Standup");
    event.start = berlin(5, 9, 30);
    event.end = berlin(5, 10, 15);
    event.description = QStringLiteral("Notes");
    event.location = QStringLiteral("Room 4");
    event.reminderMinutes = 10;
    return event;
}

// Fills a new form so that it sends.
void fillValid(MeetingFormViewModel &model)
{
    model.setTitle(QStringLiteral("Planning"));
    model.setStartTime(QStringLiteral("09:00"));
    model.setEndTime(QStringLiteral("10:00"));
    model.setSelectedCalendar(calendarNamed(workId, QStringLiteral("Work")));
}

} // namespace

class MeetingFormViewModelTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<DependencyScope> m_scope;
    std::shared_ptr<WriteLog> m_writes;
    int m_completions = 0;

    std::function<void()> completion()
    {
        return [this] { ++m_completions; };
    }

    // Confirms the alert that is showing, as its OK button would.
    static void confirm(MeetingFormViewModel &model)
    {
        QVERIFY(model.alertType()->isSet());
        const auto handler = model.alertType()->value()->handler();
        model.alertType()->clear();
        if (handler)
            handler();
    }

private slots:
    void init()
    {
        m_writes = std::make_shared<WriteLog>();
        m_completions = 0;
        m_scope = std::make_unique<DependencyScope>();
        m_scope->set(writingClient(m_writes));
        m_scope->set(cacheWith({calendarNamed(workId, QStringLiteral("Work"))}));
    }

    void cleanup()
    {
        test::deleteTopLevelWindows();
        m_scope.reset();
    }

    void freshAddFormIsInvalidWithoutOutlines()
    {
        AddMeetingViewModel model(formContext());
        QVERIFY(model.isValidTitle() && model.isValidStartTime() && model.isValidEndTime()
            && model.isCalendarSelected());
        QVERIFY(!model.formIsValid());
        QCOMPARE(model.reminderTime(), 30);
        QCOMPARE(model.selectedDate(), berlin(3, 10));
        model.saveTapped(completion());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::emptyInputs);
        QVERIFY(m_writes->creates.isEmpty());
        // Save showed the user what is missing: every required field is outlined.
        QVERIFY(!model.isValidTitle());
        QVERIFY(!model.isValidStartTime());
        QVERIFY(!model.isValidEndTime());
        QVERIFY(!model.isCalendarSelected());
    }

    void hiddenTimesNeverBlockAnAllDaySave()
    {
        AddMeetingViewModel model(formContext());
        model.setDebounceInterval(1);
        fillValid(model);
        model.setEndTime(QString()); // outlined, then hidden by "All day"
        QVERIFY(!model.formIsValid());
        model.setIsAllDayEvent(true);
        QVERIFY(model.formIsValid());
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->creates.size(), 1);
        QVERIFY(m_writes->creates.first().isAllDay);
    }

    void everyWriteRevalidates()
    {
        AddMeetingViewModel model(formContext());
        QSignalSpy changed(&model, &MeetingFormViewModel::changed);
        model.setStartTime(QStringLiteral("09:00"));
        // One value typed makes the untouched form "valid"; Save then checks everything.
        QVERIFY(model.formIsValid());
        model.setStartTime(QStringLiteral("09:00"));
        model.setReminderTime(30);
        QCOMPARE(changed.size(), 5); // each write announces, the same value too
        model.setEndTime(QString());
        QVERIFY(!model.isValidEndTime());
        QVERIFY(!model.formIsValid());
    }

    void startTimeOnlyThenSaveOutlinesTheRest()
    {
        AddMeetingViewModel model(formContext());
        model.setStartTime(QStringLiteral("09:00"));
        model.saveTapped(completion());
        QVERIFY(!model.isValidTitle());
        QVERIFY(!model.isValidEndTime());
        QVERIFY(!model.isCalendarSelected());
        QVERIFY(model.isValidStartTime());
        QVERIFY(!model.alertType()->isSet()); // no calendar: the outlines say it all
        QVERIFY(m_writes->creates.isEmpty());
    }

    void titleIsCheckedAfterThePause()
    {
        AddMeetingViewModel model(formContext());
        model.setDebounceInterval(60 * 60 * 1000);
        fillValid(model);
        model.setTitle(QString());
        QCoreApplication::processEvents();
        QVERIFY(model.isValidTitle()); // still typing
        QVERIFY(model.formIsValid());

        model.setDebounceInterval(1);
        model.setTitle(QString());
        QTRY_VERIFY(!model.isValidTitle());
        QVERIFY(!model.formIsValid());
        model.saveTapped(completion());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::emptyInputs);
    }

    void saveBeforeThePauseUsesTheCurrentTitle()
    {
        AddMeetingViewModel model(formContext());
        model.setDebounceInterval(60 * 60 * 1000);
        fillValid(model);
        model.setTitle(QStringLiteral("Typed just now"));
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->creates.size(), 1);
        QCOMPARE(m_writes->creates.first().title, QStringLiteral("Typed just now"));
    }

    void emptyTitleIsNotSent()
    {
        AddMeetingViewModel model(formContext());
        model.setDebounceInterval(60 * 60 * 1000);
        model.setStartTime(QStringLiteral("09:00"));
        model.setEndTime(QStringLiteral("10:00"));
        model.setSelectedCalendar(calendarNamed(workId, QStringLiteral("Work")));
        model.save(completion());
        QVERIFY(!model.isValidTitle());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::emptyInputs);
        QCoreApplication::processEvents();
        QVERIFY(m_writes->creates.isEmpty());
    }

    void unusableTimeIsOutlined()
    {
        AddMeetingViewModel model(formContext());
        fillValid(model);
        model.setEndTime(QStringLiteral("25:00"));
        QVERIFY(model.isValidEndTime()); // text is there; only Save can tell
        model.saveTapped(completion());
        QVERIFY(!model.isValidEndTime());
        QVERIFY(!model.formIsValid());
        QVERIFY(m_writes->creates.isEmpty());
    }

    void createRequest_data()
    {
        QTest::addColumn<bool>("allDay");
        QTest::addColumn<bool>("meet");
        QTest::addColumn<qint64>("reminder");
        QTest::addRow("timed") << false << false << qint64(30);
        QTest::addRow("timed with Meet") << false << true << qint64(5);
        QTest::addRow("all-day") << true << false << qint64(60);
        QTest::addRow("all-day with Meet") << true << true << qint64(15);
    }

    void createRequest()
    {
        QFETCH(bool, allDay);
        QFETCH(bool, meet);
        QFETCH(qint64, reminder);
        AddMeetingViewModel model(formContext());
        fillValid(model);
        model.setDescription(QStringLiteral("Agenda"));
        model.setSelectedDate(berlin(7, 0));
        model.setIsAllDayEvent(allDay);
        model.setShouldCreateGoogleMeet(meet);
        model.setReminderTime(reminder);
        if (allDay)
            model.setStartTime(QStringLiteral("junk"));
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->creates.size(), 1);
        const CalendarEventRequest &request = m_writes->creates.first();
        QCOMPARE(request.title, QStringLiteral("Planning"));
        QCOMPARE(request.description, QStringLiteral("Agenda"));
        QCOMPARE(request.reminderTime, reminder);
        QCOMPARE(request.shouldCreateGoogleMeet, meet);
        QCOMPARE(request.isAllDay, allDay);
        QCOMPARE(request.calendar.id, workId);
        QVERIFY(!request.eventId);
        QVERIFY(!request.location);
        if (allDay) {
            QCOMPARE(request.startDate.toTimeZone(formZone()).date(), QDate(2025, 3, 7));
            QCOMPARE(request.endDate.toTimeZone(formZone()).date(), QDate(2025, 3, 8));
        } else {
            QCOMPARE(request.startDate, berlin(7, 9));
            QCOMPARE(request.endDate, berlin(7, 10));
        }
    }

    void successAlertRunsTheCompletionOnConfirm()
    {
        AddMeetingViewModel model(formContext());
        fillValid(model);
        model.saveTapped(completion());
        QTRY_VERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::eventCreatedSuccessfully);
        QCOMPARE(m_completions, 0); // the window stays open until OK
        confirm(model);
        QCOMPARE(m_completions, 1);
    }

    void failureShowsTheErrorAndKeepsTheForm()
    {
        m_writes->answer = failure(Error::http(403, QStringLiteral("Forbidden calendar")));
        AddMeetingViewModel model(formContext());
        fillValid(model);
        const MeetingFormState before = model.state();
        model.saveTapped(completion());
        QTRY_VERIFY(model.alertType()->isSet());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::error);
        QCOMPARE(
            alertSpec(*model.alertType()->value()).message, QStringLiteral("Forbidden calendar"));
        QCOMPARE(model.state().title, before.title);
        QCOMPARE(model.state().startTime, before.startTime);
        QVERIFY(!model.isSaving());
        confirm(model);
        QCOMPARE(m_completions, 0);
        // And it can be saved again.
        m_writes->answer = true;
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->creates.size(), 2);
    }

    void doublePressSendsOnce()
    {
        m_writes->gate = std::make_shared<OneShot>();
        AddMeetingViewModel model(formContext());
        fillValid(model);
        model.saveTapped(completion());
        model.saveTapped(completion());
        QTRY_VERIFY(model.isSaving());
        model.saveTapped(completion());
        m_writes->gate->fire();
        QTRY_VERIFY(!model.isSaving());
        QCOMPARE(m_writes->creates.size(), 1);
    }

    void lateAnswerAfterAbandonOrDeletionIsDropped()
    {
        m_writes->gate = std::make_shared<OneShot>();
        QPointer<AddMeetingViewModel> deleted = new AddMeetingViewModel(formContext());
        fillValid(*deleted);
        deleted->saveTapped(completion());
        AddMeetingViewModel abandoned(formContext());
        fillValid(abandoned);
        abandoned.saveTapped(completion());
        QTRY_COMPARE(m_writes->creates.size(), 2);
        delete deleted;
        abandoned.abandon();
        m_writes->gate->fire();
        QCoreApplication::processEvents();
        QVERIFY(!abandoned.alertType()->isSet());
        QCOMPARE(m_completions, 0);
    }

    void editPrefillsFromTheEvent()
    {
        const GoogleCalendarEvent event = timedEvent();
        EditMeetingViewModel model(event, workId, formContext());
        QCOMPARE(model.title(), QStringLiteral("Standup"));
        QCOMPARE(model.startTime(), QStringLiteral("09:30"));
        QCOMPARE(model.endTime(), QStringLiteral("10:15"));
        QCOMPARE(model.selectedDate(), berlin(5, 9, 30));
        QCOMPARE(model.selectedCalendar()->summary, QStringLiteral("Work"));
        QCOMPARE(model.reminderTime(), 10);
        QCOMPARE(model.description(), QStringLiteral("Notes"));
        QVERIFY(!model.shouldCreateGoogleMeet());
        QVERIFY(!model.isAllDayEvent());
        // Valid from the start, without any outline.
        QVERIFY(model.formIsValid());
        QVERIFY(model.isValidTitle() && model.isValidStartTime() && model.isValidEndTime()
            && model.isCalendarSelected());
    }

    void unchangedEditSendsTheSameEventWithItsLocation()
    {
        GoogleCalendarEvent event = timedEvent();
        event.hangoutLink = QStringLiteral("https://meet.example/abc");
        EditMeetingViewModel model(event, workId, formContext());
        QVERIFY(model.shouldCreateGoogleMeet());
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->updates.size(), 1);
        const CalendarEventRequest &request = m_writes->updates.first();
        QCOMPARE(request.eventId, QStringLiteral("ev1"));
        QCOMPARE(request.title, QStringLiteral("Standup"));
        QCOMPARE(request.description, QStringLiteral("Notes"));
        QCOMPARE(request.location, QStringLiteral("Room 4"));
        QCOMPARE(request.startDate, *event.start);
        QCOMPARE(request.endDate, *event.end);
        QCOMPARE(request.reminderTime, 10);
        QVERIFY(request.shouldCreateGoogleMeet);
        QVERIFY(m_writes->creates.isEmpty());
        QTRY_COMPARE(model.alertType()->value()->kind(), AlertType::Kind::eventUpdatedSuccessfully);
    }

    // What an edit sends for an event that may span days: renamed or moved to another day it
    // keeps its length; given new times it runs from the start to the next time the end
    // shows; in every locale the prefilled times read back.
    void editKeepsTheLengthAcrossDays_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QDateTime>("movedTo"); // invalid: the day stays
        QTest::addColumn<QString>("newStart"); // empty: the field is left alone
        QTest::addColumn<QString>("newEnd");
        QTest::addColumn<QDateTime>("sentStart");
        QTest::addColumn<QDateTime>("sentEnd");
        const QString en = QStringLiteral("en_GB");
        const QDateTime stays;
        QTest::addRow("overnight, renamed") << en << berlin(5, 22) << berlin(6, 1) << stays << ""
                                            << "" << berlin(5, 22) << berlin(6, 1);
        QTest::addRow("three days, renamed") << en << berlin(5, 10) << berlin(7, 11) << stays << ""
                                             << "" << berlin(5, 10) << berlin(7, 11);
        QTest::addRow("ends at midnight, renamed")
            << en << berlin(5, 23) << berlin(6, 0) << stays << ""
            << "" << berlin(5, 23) << berlin(6, 0);
        QTest::addRow("overnight, moved to another day")
            << en << berlin(5, 22) << berlin(6, 1) << berlin(9, 12) << ""
            << "" << berlin(9, 22) << berlin(10, 1);
        QTest::addRow("three days, moved to another day")
            << en << berlin(5, 10) << berlin(7, 11) << berlin(10, 8) << ""
            << "" << berlin(10, 10) << berlin(12, 11);
        QTest::addRow("overnight, re-timed into the day")
            << en << berlin(5, 22) << berlin(6, 1) << stays << "09:00"
            << "10:00" << berlin(5, 9) << berlin(5, 10);
        QTest::addRow("overnight, re-timed and still overnight")
            << en << berlin(5, 22) << berlin(6, 1) << stays << "23:00"
            << "02:00" << berlin(5, 23) << berlin(6, 2);
        QTest::addRow("overnight, only the end re-timed into the day")
            << en << berlin(5, 22) << berlin(6, 1) << stays << ""
            << "23:30" << berlin(5, 22) << berlin(5, 23, 30);
        QTest::addRow("three days, end re-timed before the start")
            << en << berlin(5, 10) << berlin(7, 11) << stays << ""
            << "09:00" << berlin(5, 10) << berlin(6, 9);
        QTest::addRow("overnight, equal times run a whole day")
            << en << berlin(5, 22) << berlin(6, 1) << stays << "10:00"
            << "10:00" << berlin(5, 10) << berlin(6, 10);
        QTest::addRow("overnight, times retyped as they were")
            << en << berlin(5, 22) << berlin(6, 1) << stays << "22:00"
            << "01:00" << berlin(5, 22) << berlin(6, 1);
        QTest::addRow("Egyptian Arabic, unchanged")
            << QStringLiteral("ar_EG") << berlin(5, 9, 30) << berlin(5, 10, 15) << stays << ""
            << "" << berlin(5, 9, 30) << berlin(5, 10, 15);
        QTest::addRow("Persian, overnight renamed")
            << QStringLiteral("fa_IR") << berlin(5, 22) << berlin(6, 1) << stays << ""
            << "" << berlin(5, 22) << berlin(6, 1);
        QTest::addRow("Persian, re-timed")
            << QStringLiteral("fa_IR") << berlin(5, 22) << berlin(6, 1) << stays << "09:00"
            << "10:00" << berlin(5, 9) << berlin(5, 10);
    }

    void editKeepsTheLengthAcrossDays()
    {
        QFETCH(QString, locale);
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(QDateTime, movedTo);
        QFETCH(QString, newStart);
        QFETCH(QString, newEnd);
        QFETCH(QDateTime, sentStart);
        QFETCH(QDateTime, sentEnd);
        GoogleCalendarEvent event = timedEvent();
        event.start = start;
        event.end = end;
        CalendarContext context = formContext();
        context.locale = QLocale(locale);
        EditMeetingViewModel model(event, workId, context);
        model.setTitle(QStringLiteral("Renamed"));
        if (movedTo.isValid())
            model.setSelectedDate(movedTo);
        if (!newStart.isEmpty())
            model.setStartTime(newStart);
        if (!newEnd.isEmpty())
            model.setEndTime(newEnd);
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->updates.size(), 1);
        QCOMPARE(m_writes->updates.first().startDate, sentStart);
        QCOMPARE(m_writes->updates.first().endDate, sentEnd);
        QVERIFY(model.isValidStartTime() && model.isValidEndTime());
    }

    void editWithoutAnEndComparesWithNow()
    {
        GoogleCalendarEvent event = timedEvent();
        event.start = berlin(3, 10); // the clock's own time
        event.end.reset();
        EditMeetingViewModel model(event, workId, formContext());
        QCOMPARE(model.endTime(), QStringLiteral("10:00"));
        model.saveTapped(completion());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::equalDates);
    }

    void allDayEditTurnedTimedUsesThePrefilledTimes()
    {
        GoogleCalendarEvent event = timedEvent();
        event.isAllDay = true;
        event.start = berlin(5, 0);
        event.end = berlin(6, 0);
        EditMeetingViewModel model(event, workId, formContext());
        QVERIFY(model.isAllDayEvent());
        QCOMPARE(model.startTime(), QStringLiteral("00:00"));
        QCOMPARE(model.endTime(), QStringLiteral("00:00"));
        model.setIsAllDayEvent(false);
        model.saveTapped(completion());
        QCOMPARE(model.alertType()->value()->kind(), AlertType::Kind::equalDates);

        model.alertType()->clear();
        model.setIsAllDayEvent(true);
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->updates.size(), 1);
        QVERIFY(m_writes->updates.first().isAllDay);
        QCOMPARE(
            m_writes->updates.first().endDate.toTimeZone(formZone()).date(), QDate(2025, 3, 6));
    }

    void uncachedCalendarStillSaves()
    {
        EditMeetingViewModel model(
            timedEvent(), QStringLiteral("other@example.com"), formContext());
        QVERIFY(model.selectedCalendar());
        QVERIFY(!model.selectedCalendar()->summary);
        model.saveTapped(completion());
        QTRY_COMPARE(m_writes->updates.size(), 1);
        QCOMPARE(m_writes->updates.first().calendar.id, QStringLiteral("other@example.com"));
    }
};

TOLVO_WIDGET_TEST_MAIN(MeetingFormViewModelTest)

#include "MeetingFormViewModelTest.moc"
