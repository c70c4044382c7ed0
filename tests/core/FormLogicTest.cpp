#include "support/TestMain.h"

#include "core/FormLogic.h"

using namespace tolvo;

namespace {

const QTimeZone berlin("Europe/Berlin");

GoogleCalendar work()
{
    GoogleCalendar calendar;
    calendar.id = QStringLiteral("work@example.com");
    calendar.summary = QStringLiteral("Work");
    return calendar;
}

// A valid timed meeting on Tuesday 4 March 2025 in Berlin.
MeetingFormState validTimed()
{
    MeetingFormState state;
    state.title = QStringLiteral("Planning");
    state.startTime = QStringLiteral("09:00");
    state.endTime = QStringLiteral("10:00");
    state.description = QStringLiteral("Agenda");
    state.reminderTime = 15;
    state.selectedCalendar = work();
    state.selectedDate = QDateTime(QDate(2025, 3, 4), QTime(17, 45), berlin);
    return state;
}

QDateTime at(QDate day, QTime time)
{
    return QDateTime(day, time, berlin);
}

enum class Expect { request, stop, emptyInputs, equalDates, wrongStartDate };

} // namespace

Q_DECLARE_METATYPE(MeetingFormState)
Q_DECLARE_METATYPE(FieldValidity)
Q_DECLARE_METATYPE(Expect)

class FormLogicTest : public QObject
{
    Q_OBJECT

private slots:
    void formatTimeInput_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addRow("one digit") << "9"
                                   << "9";
        QTest::addRow("two digits") << "09"
                                    << "09";
        QTest::addRow("three digits") << "093"
                                      << "09:3";
        QTest::addRow("four digits") << "0930"
                                     << "09:30";
        QTest::addRow("already formatted") << "09:30"
                                           << "09:30";
        QTest::addRow("more than four") << "12345"
                                        << "12:34";
        QTest::addRow("colon dropped, not placed") << "9:3"
                                                   << "93";
        QTest::addRow("letters") << "ab"
                                 << "";
        QTest::addRow("empty") << ""
                               << "";
        QTest::addRow("pasted date and time") << "2024-01-05 10:30"
                                              << "20:24";
        QTest::addRow("arabic-indic digits dropped") << QString::fromUtf8("٠٩٣٠") << "";
        QTest::addRow("fullwidth digits dropped") << QString::fromUtf8("０９") << "";
        QTest::addRow("spaces") << " 1 0 3 0 "
                                << "10:30";
        QTest::addRow("out of range passes") << "9999"
                                             << "99:99";
    }

    void formatTimeInput()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QCOMPARE(tolvo::formatTimeInput(typed), kept);
    }

    void prefixText()
    {
        QCOMPARE(tolvo::prefixText(QStringLiteral("abcdef"), 4), QStringLiteral("abcd"));
        QCOMPARE(tolvo::prefixText(QStringLiteral("ab"), 4), QStringLiteral("ab"));
        QCOMPARE(tolvo::prefixText(QStringLiteral("ab"), 0), QString());
    }

    void validators()
    {
        QVERIFY(isNonEmptyText(QStringLiteral(" ")));
        QVERIFY(isNonEmptyText(QStringLiteral("a")));
        QVERIFY(!isNonEmptyText(QString()));
        QVERIFY(isCalendarChosen(work()));
        QVERIFY(!isCalendarChosen(std::nullopt));
        QVERIFY(allFourValid(true, true, true, true));
        for (int off = 0; off < 4; ++off)
            QVERIFY(!allFourValid(off != 0, off != 1, off != 2, off != 3));
        QVERIFY(allThreeValid(true, true, true));
        QVERIFY(!allThreeValid(true, false, true));
    }

    void email_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addRow("plain") << "ann@example.com" << true;
        QTest::addRow("two-letter ending") << "ann@example.de" << true;
        QTest::addRow("one-letter ending") << "ann@example.c" << false;
        QTest::addRow("symbols in the name") << "a.b_c%d+e-f@mail.example.org" << true;
        QTest::addRow("no at sign") << "ann.example.com" << false;
        QTest::addRow("space before") << " ann@example.com" << false;
        QTest::addRow("space after") << "ann@example.com " << false;
        QTest::addRow("empty") << "" << false;
        QTest::addRow("no domain dot") << "ann@localhost" << false;
        QTest::addRow("digits in the ending") << "ann@example.c0m" << false;
        QTest::addRow("two addresses") << "a@b.com c@d.com" << false;
        QTest::addRow("newline inside") << "ann@example.com\nx@y.zz" << false;
        QTest::addRow("64-letter ending") << QStringLiteral("a@b.") + QString(64, u'x') << true;
        QTest::addRow("65-letter ending") << QStringLiteral("a@b.") + QString(65, u'x') << false;
    }

    void email()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QCOMPARE(isValidEmail(text), valid);
    }

    void saveDecision_data()
    {
        QTest::addColumn<MeetingFormState>("state");
        QTest::addColumn<Expect>("expect");
        QTest::addColumn<FieldValidity>("validity");

        const FieldValidity allValid;
        QTest::addRow("valid") << validTimed() << Expect::request << allValid;

        MeetingFormState state = validTimed();
        state.title.clear();
        QTest::addRow("empty title")
            << state << Expect::emptyInputs << FieldValidity {false, true, true, true};

        state = validTimed();
        state.title = QStringLiteral(" ");
        QTest::addRow("title of a space") << state << Expect::request << allValid;

        state = validTimed();
        state.selectedCalendar.reset();
        QTest::addRow("no calendar")
            << state << Expect::stop << FieldValidity {true, true, true, false};

        state.title.clear();
        QTest::addRow("no calendar and no title")
            << state << Expect::stop << FieldValidity {false, true, true, false};

        state = validTimed();
        state.startTime.clear();
        QTest::addRow("empty start")
            << state << Expect::stop << FieldValidity {true, false, true, true};

        state = validTimed();
        state.endTime.clear();
        QTest::addRow("empty end")
            << state << Expect::stop << FieldValidity {true, true, false, true};

        state = validTimed();
        state.startTime = QStringLiteral("25:00");
        QTest::addRow("unusable start")
            << state << Expect::stop << FieldValidity {true, false, true, true};

        state = validTimed();
        state.endTime = QStringLiteral("99:99");
        QTest::addRow("unusable end")
            << state << Expect::stop << FieldValidity {true, true, false, true};

        state = validTimed();
        state.endTime = QStringLiteral("09:00");
        QTest::addRow("equal times") << state << Expect::equalDates << allValid;

        state.endTime = QStringLiteral("9");
        QTest::addRow("end without minutes equals start")
            << state << Expect::equalDates << allValid;

        state = validTimed();
        state.startTime = QStringLiteral("10:00");
        state.endTime = QStringLiteral("09:00");
        QTest::addRow("start after end") << state << Expect::wrongStartDate << allValid;

        state.endDayOffset = 1;
        QTest::addRow("overnight edit") << state << Expect::request << allValid;

        state = validTimed();
        state.isAllDayEvent = true;
        state.startTime = QStringLiteral("nonsense");
        state.endTime.clear();
        QTest::addRow("all-day ignores the times") << state << Expect::request << allValid;
    }

    void saveDecision()
    {
        QFETCH(MeetingFormState, state);
        QFETCH(Expect, expect);
        QFETCH(FieldValidity, validity);
        const SaveDecision decision = decideSave(state, berlin);
        QCOMPARE(decision.validity, validity);
        switch (expect) {
        case Expect::request: QVERIFY(decision.request()); break;
        case Expect::stop: QVERIFY(std::holds_alternative<SaveStop>(decision.outcome)); break;
        case Expect::emptyInputs: QCOMPARE(decision.alert(), AlertType::Kind::emptyInputs); break;
        case Expect::equalDates: QCOMPARE(decision.alert(), AlertType::Kind::equalDates); break;
        case Expect::wrongStartDate:
            QCOMPARE(decision.alert(), AlertType::Kind::wrongStartDate);
            break;
        }
    }

    void timedRequestCarriesEveryField()
    {
        MeetingFormState state = validTimed();
        state.shouldCreateGoogleMeet = true;
        state.eventId = QStringLiteral("ev1");
        state.location = QStringLiteral("Room 4");
        const SaveDecision decision = decideSave(state, berlin);
        const CalendarEventRequest *request = decision.request();
        QVERIFY(request);
        QCOMPARE(request->title, QStringLiteral("Planning"));
        QCOMPARE(request->description, QStringLiteral("Agenda"));
        QCOMPARE(request->startDate, at(QDate(2025, 3, 4), QTime(9, 0)));
        QCOMPARE(request->endDate, at(QDate(2025, 3, 4), QTime(10, 0)));
        QCOMPARE(request->reminderTime, 15);
        QCOMPARE(request->calendar.id, work().id);
        QVERIFY(request->shouldCreateGoogleMeet);
        QCOMPARE(request->eventId, QStringLiteral("ev1"));
        QCOMPARE(request->location, QStringLiteral("Room 4"));
        QVERIFY(!request->isAllDay);
    }

    void endKeepsItsDayOffset()
    {
        // 10:00 on one day to 11:00 two days later stays a three-day event.
        MeetingFormState state = validTimed();
        state.startTime = QStringLiteral("10:00");
        state.endTime = QStringLiteral("11:00");
        state.endDayOffset = 2;
        state.openedStartTime = state.startTime;
        state.openedEndTime = state.endTime;
        const SaveDecision decision = decideSave(state, berlin);
        const CalendarEventRequest *request = decision.request();
        QVERIFY(request);
        QCOMPARE(request->startDate, at(QDate(2025, 3, 4), QTime(10, 0)));
        QCOMPARE(request->endDate, at(QDate(2025, 3, 6), QTime(11, 0)));
    }

    void allDayCoversItsDays()
    {
        MeetingFormState state = validTimed();
        state.isAllDayEvent = true;
        state.endDayOffset = 2; // a timed event's offset plays no part
        SaveDecision decision = decideSave(state, berlin);
        QVERIFY(decision.request());
        QVERIFY(decision.request()->isAllDay);
        QCOMPARE(decision.request()->startDate.toTimeZone(berlin).date(), QDate(2025, 3, 4));
        QCOMPARE(decision.request()->endDate.toTimeZone(berlin).date(), QDate(2025, 3, 5));

        state.allDayDays = 3; // a three-day all-day event being edited
        decision = decideSave(state, berlin);
        QVERIFY(decision.request());
        QCOMPARE(decision.request()->endDate.toTimeZone(berlin).date(), QDate(2025, 3, 7));
    }

    void daylightSavingTimes()
    {
        // 30 March 2025: Berlin skips 02:00-03:00.
        MeetingFormState state = validTimed();
        state.selectedDate = at(QDate(2025, 3, 30), QTime(12, 0));
        state.startTime = QStringLiteral("02:30");
        state.endTime = QStringLiteral("04:00");
        const SaveDecision decision = decideSave(state, berlin);
        const CalendarEventRequest *request = decision.request();
        QVERIFY(request);
        QCOMPARE(request->startDate, at(QDate(2025, 3, 30), QTime(3, 0)));
        QCOMPARE(request->startDate.secsTo(request->endDate), 3600);
    }
};

TOLVO_TEST_MAIN(FormLogicTest)

#include "FormLogicTest.moc"
