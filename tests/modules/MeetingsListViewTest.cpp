#include "modules/Meetings/MeetingsListView.h"
#include "components/Appearance.h"
#include "core/StartTask.h"
#include "modules/Calendar/CalendarPeriodView.h"
#include "modules/Calendar/IntuitiveCalendarView.h"
#include "modules/Meetings/MeetingsListViewModel.h"
#include "support/ClockedScope.h"
#include "support/TemporaryDatabase.h"
#include "support/TestMain.h"
#include "support/TopLevelWindows.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>

using namespace tolvo;
using namespace tolvo::test;

namespace {

// What the view opened, in order.
struct Opened
{
    QStringList log;
    std::function<void(SnoozeTime)> snooze;
    std::function<void()> close;

    MeetingsListView::Windows windows()
    {
        MeetingsListView::Windows result;
        result.openAdd = [this] { log << QStringLiteral("add"); };
        result.openEdit = [this](const GoogleCalendarEvent &event, const QString &calendarId) {
            log << QStringLiteral("edit %1 %2").arg(event.summary.value_or(QString()), calendarId);
        };
        result.openReminder
            = [this](const GoogleCalendarEvent &event, std::function<void(SnoozeTime)> onSnooze,
                  std::function<void()> onClose) {
                  log << QStringLiteral("reminder %1").arg(event.id);
                  snooze = std::move(onSnooze);
                  close = std::move(onClose);
              };
        return result;
    }
};

} // namespace

// The list view over the real list view model, its Calendar reads answered from a table.
class MeetingsListViewTest : public QObject
{
    Q_OBJECT

    test::ClockedScope m_time;
    std::unique_ptr<QTemporaryDir> m_folder;
    QList<DeleteEventRequest> m_deletes;
    QList<GoogleCalendarEvent> m_listed;

    GoogleCalendarEvent event(const QString &id, const QString &summary, int startInMinutes)
    {
        GoogleCalendarEvent e;
        e.id = id;
        e.summary = summary;
        e.start = m_time.now().addSecs(60 * startInMinutes);
        e.end = e.start->addSecs(1800);
        return e;
    }

private slots:
    void init()
    {
        m_time.clock.set(QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC));
        DependencyScope &scope = m_time.open();
        m_folder = std::make_unique<QTemporaryDir>();
        m_deletes.clear();
        m_listed
            = {event("dup", "First", 60), event("dup", "Second", 90), event("solo", "Solo", 120)};

        GoogleCalendarClient google = GoogleCalendarClient::testValue();
        google.fetchEventsForDate = [this](const QDateTime &, const QDateTime &, const QString &) {
            return readyTask<Result<QList<GoogleCalendarEvent>>>(m_listed);
        };
        google.deleteEvent = [this](const DeleteEventRequest &request) {
            m_deletes.append(request);
            return readyTask<Result<bool>>(true);
        };
        CacheManager cache = CacheManager::liveValue();
        GoogleCalendar calendar;
        calendar.id = QStringLiteral("cal");
        calendar.accessRole = QStringLiteral("owner");
        cache.storeCalendars({calendar});
        DateManager dates = DateManager::liveValue();
        dates.selectDate(m_time.now());
        UserDefaultsClient defaults = UserDefaultsClient::testValue();
        defaults.boolValue = [](const QString &) { return false; };
        scope.set(EventsTimerManager::keepingMarksIn(test::temporaryDatabase(*m_folder)))
            .set(cache)
            .set(dates)
            .set(SyncBus::liveValue())
            .set(google)
            .set(defaults)
            .set(LoggerClient::recording(std::make_shared<LogRecorder>()))
            .set(NotificationHandler {[](const QString &, const QString &, const QString &) {}});
    }

    void cleanup()
    {
        Appearance::instance().setOverride(std::nullopt);
        test::deleteTopLevelWindows();
        m_time.close();
        m_folder.reset();
    }

    void editAndDeleteActOnTheFirstMatch()
    {
        Opened opened;
        MeetingsListView view(nullptr, opened.windows());
        QTRY_COMPARE(view.viewModel()->eventsModel().size(), 3);
        QTRY_VERIFY(!view.viewModel()->isLoading());

        CalendarEvent missing;
        missing.identifier = QStringLiteral("gone");
        view.openEditor(missing);
        view.requestDelete(missing);
        QVERIFY(opened.log.isEmpty());
        QVERIFY(m_deletes.isEmpty());

        CalendarEvent item;
        item.identifier = QStringLiteral("dup");
        // The calendar screen's edit action reaches the same place.
        emit view.calendarScreen()->editRequested(item);
        QCOMPARE(opened.log, QStringList {QStringLiteral("edit First cal")});
        view.requestDelete(item);
        QTRY_COMPARE(m_deletes.size(), 1);
        QCOMPARE(m_deletes.first().eventId, QStringLiteral("dup"));
        QCOMPARE(m_deletes.first().calendarId, QStringLiteral("cal"));
    }

    void aDueReminderOpensOneWindow()
    {
        Opened opened;
        auto view = std::make_unique<MeetingsListView>(nullptr, opened.windows());
        MeetingsListViewModel *model = view->viewModel();
        const GoogleCalendarEvent due = event("solo", "Solo", 10);
        model->showReminder(due);
        QCOMPARE(opened.log, QStringList {QStringLiteral("reminder solo")});
        model->showReminder(event("other", "Other", 10)); // dropped while one shows
        QCOMPARE(view->remindersOpened(), 1);

        opened.close();
        QVERIFY(model->notificationStatus().isIdle());
        QCOMPARE(view->remindersOpened(), 1);

        // The list goes (sign-out) while a reminder still shows: its buttons do nothing.
        model->showReminder(due);
        QCOMPARE(view->remindersOpened(), 2);
        view.reset();
        const QStringList shown = opened.log;
        opened.snooze(SnoozeTime::minute);
        opened.close();
        QCOMPARE(m_time.scheduler()->pendingCount(), std::size_t(0)); // no snooze armed
        QCOMPARE(opened.log, shown); // and no window opened
    }

    void toolbarOpensTheAddWindow_data()
    {
        QTest::addColumn<ColorScheme>("scheme");
        QTest::addColumn<QColor>("tint");
        QTest::newRow("light") << ColorScheme::light << QColor(0x37, 0x9B, 0xFF);
        QTest::newRow("dark") << ColorScheme::dark << QColor(Qt::white);
    }
    void toolbarOpensTheAddWindow()
    {
        QFETCH(ColorScheme, scheme);
        QFETCH(QColor, tint);
        Appearance::instance().setOverride(scheme);
        Opened opened;
        MeetingsListView view(nullptr, opened.windows());
        view.resize(900, 600);
        view.show();
        QCOMPARE(view.titleLabel()->text(), QStringLiteral("Meetings"));
        const QImage icon = view.addButton()->icon().pixmap(QSize(22, 22)).toImage();
        bool tinted = false;
        for (int y = 0; y < icon.height() && !tinted; ++y)
            for (int x = 0; x < icon.width() && !tinted; ++x) {
                const QColor pixel = icon.pixelColor(x, y);
                tinted = pixel.alpha() == 255 && pixel.rgb() == tint.rgb();
            }
        QVERIFY(tinted);
        QTest::mouseClick(view.addButton(), Qt::LeftButton);
        QCOMPARE(opened.log, QStringList {QStringLiteral("add")});
    }
};

TOLVO_WIDGET_TEST_MAIN(MeetingsListViewTest)
#include "MeetingsListViewTest.moc"
