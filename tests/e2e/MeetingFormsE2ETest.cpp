#include "support/FakeGoogleCalendar.h"
#include "support/SyncTestSupport.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include "components/AlertPresenter.h"
#include "components/CardButton.h"
#include "components/StyledButton.h"
#include "components/ToggleSwitch.h"
#include "components/TolvoTextField.h"
#include "core/Dependencies.h"
#include "modules/AddMeeting/AddMeetingWindowController.h"
#include "modules/EditMeeting/EditMeetingWindowController.h"
#include "modules/MeetingForm/MeetingFormView.h"
#include "modules/MeetingForm/MeetingFormViewModel.h"
#include "services/CacheManager.h"
#include "services/GoogleCalendarClient.h"

#include <QAbstractItemView>
#include <QJsonArray>
#include <QMessageBox>
#include <QPointer>

using namespace tolvo;
using test::FakeGoogleCalendar;

namespace {

const QString workId = QStringLiteral("work@example.com");
const QTimeZone berlin("Europe/Berlin");

CalendarContext berlinContext()
{
    CalendarContext context;
    context.zone = berlin;
    context.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    context.firstDayOfWeek = Qt::Monday;
    context.clock = [] { return QDateTime(QDate(2025, 3, 3), QTime(8, 0), Qt::UTC); };
    return context;
}

void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus();
    QTest::keyClicks(field, text);
}

// Presses the OK of the alert the form shows, once it shows.
bool confirmAlert(MeetingFormView &view, const QString &title)
{
    if (!QTest::qWaitFor([&] { return view.alertPresenter()->messageBox() != nullptr; }, 10000))
        return false;
    QMessageBox *box = view.alertPresenter()->messageBox();
    if (box->text() != title) {
        qWarning() << "alert" << box->text() << box->informativeText();
        return false;
    }
    box->buttons().first()->click();
    return true;
}

} // namespace

// The meeting forms against the loopback Calendar fake, over real HTTP with the real client.
class MeetingFormsE2ETest : public QObject
{
    Q_OBJECT

    std::unique_ptr<FakeGoogleCalendar> m_google;
    std::unique_ptr<DependencyScope> m_scope;
    GoogleCalendarClient m_client;

private slots:
    void init()
    {
        m_google = std::make_unique<FakeGoogleCalendar>();
        QVERIFY(m_google->start());
        m_google->acceptAccessToken(QStringLiteral("live"));
        m_google->addCalendar(workId, QStringLiteral("Work"), QStringLiteral("#ac725e"));
        m_client = GoogleCalendarClient::make(
            {m_google->apiRoot(), QUrl(QStringLiteral("https://127.0.0.1:9/relay/")),
                test::signedInAs(QStringLiteral("live")),
                LoggerClient::recording(std::make_shared<LogRecorder>()), berlin});
        GoogleCalendar work;
        work.id = workId;
        work.summary = QStringLiteral("Work");
        CacheManager cache = CacheManager::testValue();
        cache.calendars = [work] { return QList<GoogleCalendar> {work}; };
        m_scope = std::make_unique<DependencyScope>();
        m_scope->set(m_client);
        m_scope->set(cache);
    }

    void cleanup()
    {
        test::deleteTopLevelWindows();
        QVERIFY2(m_google->unexpectedRequests().isEmpty(),
            qPrintable(m_google->unexpectedRequests().join(QLatin1Char('\n'))));
        m_scope.reset();
    }

    void createdMeetingAppearsAndAnEditKeepsWhatTheFormDoesNotShow()
    {
        // Create: typed into the add form, calendar picked from its list, Meet and reminder on.
        int saved = 0;
        auto *add = new AddMeetingWindowController([&] { ++saved; }, berlinContext());
        QPointer<FormWindow> addWindow = add->window();
        MeetingFormView &form = *add->view();
        QVERIFY(QTest::qWaitForWindowExposed(addWindow));
        typeInto(form.titleField(), QStringLiteral("Design review"));
        typeInto(form.startField(), QStringLiteral("1400"));
        typeInto(form.endField(), QStringLiteral("1530"));
        QTest::mouseClick(form.calendarCard(), Qt::LeftButton);
        auto *calendars = qobject_cast<QAbstractItemView *>(form.calendarPopover()->content());
        QTest::mouseClick(calendars->viewport(), Qt::LeftButton, {},
            calendars->visualRect(calendars->model()->index(0, 0)).center());
        QTRY_VERIFY(!form.calendarPopover());
        QTest::mouseClick(form.meetSwitch(), Qt::LeftButton);
        QTest::mouseClick(form.reminderCard(), Qt::LeftButton);
        auto *reminders = qobject_cast<QAbstractItemView *>(form.reminderPopover()->content());
        QTest::mouseClick(reminders->viewport(), Qt::LeftButton, {},
            reminders->visualRect(reminders->model()->index(1, 0)).center());
        QTRY_VERIFY(!form.reminderPopover());
        QTest::mouseClick(form.saveButton(), Qt::LeftButton);
        QVERIFY(confirmAlert(form, QStringLiteral("Event created")));
        QTRY_VERIFY(!addWindow);
        QCOMPARE(saved, 1);

        const auto inserts = m_google->requestsTo(QStringLiteral("POST"), QStringLiteral("events"));
        QCOMPARE(inserts.size(), 1);
        QCOMPARE(inserts.first().query.queryItemValue(QStringLiteral("conferenceDataVersion")),
            QStringLiteral("1"));
        const QJsonObject sent = inserts.first().body;
        QCOMPARE(sent.value("conferenceData")
                     .toObject()
                     .value("createRequest")
                     .toObject()
                     .value("conferenceSolutionKey")
                     .toObject()
                     .value("type")
                     .toString(),
            QStringLiteral("hangoutsMeet"));
        const QJsonArray overrides
            = sent.value("reminders").toObject().value("overrides").toArray();
        QCOMPARE(overrides.size(), 1);
        QCOMPARE(overrides.first().toObject().value("minutes").toInt(), 10);
        QCOMPARE(sent.value("start").toObject().value("dateTime").toString(),
            "2025-03-03T14:00:00+01:00");
        QCOMPARE(
            sent.value("end").toObject().value("dateTime").toString(), "2025-03-03T15:30:00+01:00");

        // The meeting is on the fake, with its Meet link, and someone adds a place and guests.
        const auto listed = QCoro::waitFor(m_client.fetchEvents(workId));
        QVERIFY(listed);
        QCOMPARE(listed->size(), 1);
        const QString eventId = listed->first().id;
        QVERIFY(listed->first().hangoutLink);
        QCOMPARE(listed->first().reminderMinutes, 10);
        const QJsonArray guests {QJsonObject {{"email", "bo@example.com"}}};
        m_google->modifyEvent(workId, eventId, {{"location", "Room 4"}, {"attendees", guests}});
        const auto refreshed = QCoro::waitFor(m_client.fetchEvents(workId));
        QVERIFY(refreshed && !refreshed->isEmpty());
        const GoogleCalendarEvent stored = refreshed->last();

        // Edit only the title.
        auto *edit = new EditMeetingWindowController(stored, workId, {}, berlinContext());
        QPointer<FormWindow> editWindow = edit->window();
        MeetingFormView &editForm = *edit->view();
        QVERIFY(QTest::qWaitForWindowExposed(editWindow));
        QCOMPARE(editForm.startField()->text(), QStringLiteral("14:00"));
        editForm.titleField()->selectAll();
        typeInto(editForm.titleField(), QStringLiteral("Design review, moved"));
        QTest::mouseClick(editForm.saveButton(), Qt::LeftButton);
        QVERIFY(confirmAlert(editForm, QStringLiteral("Event updated")));
        QTRY_VERIFY(!editWindow);

        const QJsonObject after = m_google->event(workId, eventId);
        QCOMPARE(after.value("summary").toString(), QStringLiteral("Design review, moved"));
        QCOMPARE(after.value("location").toString(), QStringLiteral("Room 4"));
        QCOMPARE(after.value("attendees").toArray(), guests);
        QCOMPARE(after.value("hangoutLink").toString(), *listed->first().hangoutLink);
        const auto moment = [](const QJsonObject &boundary) {
            return QDateTime::fromString(boundary.value("dateTime").toString(), Qt::ISODate);
        };
        QCOMPARE(moment(after.value("start").toObject()),
            QDateTime(QDate(2025, 3, 3), QTime(14, 0), berlin));
        QCOMPARE(moment(after.value("end").toObject()),
            QDateTime(QDate(2025, 3, 3), QTime(15, 30), berlin));
    }

    // An edit reaches Google as the form shows it, and leaves what it did not change. An
    // expected value of null means the key is gone.
    void editsReachGoogleAsTheFormShows_data()
    {
        QTest::addColumn<QJsonObject>("seed");
        QTest::addColumn<QString>("newStart"); // empty: left alone
        QTest::addColumn<QString>("newEnd");
        QTest::addColumn<bool>("toggleAllDay");
        QTest::addColumn<bool>("toggleMeet");
        QTest::addColumn<QJsonObject>("expected");

        const auto timed = [](const char *start, const char *end) {
            return QJsonObject {{"summary", "Release"},
                {"start", QJsonObject {{"dateTime", QLatin1String(start)}}},
                {"end", QJsonObject {{"dateTime", QLatin1String(end)}}}};
        };
        const auto at = [](const char *text) { return QJsonObject {{"dateTime", text}}; };
        const auto day = [](const char *text) { return QJsonObject {{"date", text}}; };

        QTest::addRow("overnight re-timed into the day")
            << timed("2025-03-05T22:00:00+01:00", "2025-03-06T01:00:00+01:00") << "0900"
            << "1000" << false << false
            << QJsonObject {{"start", at("2025-03-05T09:00:00+01:00")},
                   {"end", at("2025-03-05T10:00:00+01:00")}};

        const QJsonObject addOn {{"conferenceId", "845-1234"},
            {"conferenceSolution",
                QJsonObject {{"key", QJsonObject {{"type", "addOn"}}}, {"name", "Video rooms"}}},
            {"entryPoints",
                QJsonArray {QJsonObject {{"entryPointType", "video"},
                                {"uri", "https://rooms.example/j/8451234"}},
                    QJsonObject {{"entryPointType", "phone"}, {"uri", "tel:+49-30-1234"}}}}};
        QJsonObject withAddOn = timed("2025-03-05T09:00:00+01:00", "2025-03-05T10:00:00+01:00");
        withAddOn.insert("conferenceData", addOn);
        QTest::addRow("title edit keeps an add-on's conference")
            << withAddOn << ""
            << "" << false << false
            << QJsonObject {{"conferenceData", addOn}, {"hangoutLink", QJsonValue::Null}};

        const QJsonObject allDay {
            {"summary", "Release"}, {"start", day("2025-03-05")}, {"end", day("2025-03-06")}};
        QTest::addRow("all-day made timed")
            << allDay << "0900"
            << "1000" << true << false
            << QJsonObject {{"start", at("2025-03-05T09:00:00+01:00")},
                   {"end", at("2025-03-05T10:00:00+01:00")}};
        QTest::addRow("timed made all-day")
            << timed("2025-03-05T09:00:00+01:00", "2025-03-05T10:00:00+01:00") << ""
            << "" << true << false
            << QJsonObject {{"start", day("2025-03-05")}, {"end", day("2025-03-06")}};

        QJsonObject withMeet = timed("2025-03-05T09:00:00+01:00", "2025-03-05T10:00:00+01:00");
        withMeet.insert("hangoutLink", "https://meet.google.com/abc-defg-hij");
        withMeet.insert("conferenceData",
            QJsonObject {{"conferenceSolution",
                             QJsonObject {{"key", QJsonObject {{"type", "hangoutsMeet"}}}}},
                {"entryPoints",
                    QJsonArray {QJsonObject {{"entryPointType", "video"},
                        {"uri", "https://meet.google.com/abc-defg-hij"}}}}});
        QTest::addRow("Meet turned off") << withMeet << ""
                                         << "" << false << true
                                         << QJsonObject {{"conferenceData", QJsonValue::Null},
                                                {"hangoutLink", QJsonValue::Null}};
        QTest::addRow("Meet left on")
            << withMeet << ""
            << "" << false << false
            << QJsonObject {{"conferenceData", withMeet.value("conferenceData")},
                   {"hangoutLink", withMeet.value("hangoutLink")}};
    }

    void editsReachGoogleAsTheFormShows()
    {
        QFETCH(QJsonObject, seed);
        QFETCH(QString, newStart);
        QFETCH(QString, newEnd);
        QFETCH(bool, toggleAllDay);
        QFETCH(bool, toggleMeet);
        QFETCH(QJsonObject, expected);
        const QString eventId = m_google->addEvent(workId, seed).value("id").toString();
        const auto listed = QCoro::waitFor(m_client.fetchEvents(workId));
        QVERIFY(listed);
        QCOMPARE(listed->size(), 1);

        auto *edit = new EditMeetingWindowController(listed->first(), workId, {}, berlinContext());
        QPointer<FormWindow> window = edit->window();
        MeetingFormView &form = *edit->view();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        form.titleField()->selectAll();
        typeInto(form.titleField(), QStringLiteral("Release, edited"));
        if (toggleAllDay)
            QTest::mouseClick(form.allDaySwitch(), Qt::LeftButton);
        if (toggleMeet)
            QTest::mouseClick(form.meetSwitch(), Qt::LeftButton);
        if (!newStart.isEmpty()) {
            form.startField()->selectAll();
            typeInto(form.startField(), newStart);
        }
        if (!newEnd.isEmpty()) {
            form.endField()->selectAll();
            typeInto(form.endField(), newEnd);
        }
        QTest::mouseClick(form.saveButton(), Qt::LeftButton);
        QVERIFY(confirmAlert(form, QStringLiteral("Event updated")));
        QTRY_VERIFY(!window);

        const QJsonObject after = m_google->event(workId, eventId);
        QCOMPARE(after.value("summary").toString(), QStringLiteral("Release, edited"));
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            if (it.value().isNull())
                QVERIFY2(!after.contains(it.key()), qPrintable(it.key()));
            else
                QCOMPARE(after.value(it.key()), it.value());
        }
    }
};

TOLVO_WIDGET_TEST_MAIN(MeetingFormsE2ETest)

#include "MeetingFormsE2ETest.moc"
