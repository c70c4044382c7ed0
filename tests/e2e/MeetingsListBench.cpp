// How long a date selection takes to become the published meetings list: 5 followed calendars
// of 200 events in the selected month, fetched from the Calendar fake on loopback. Prints
// figures; asserts nothing.
#include "modules/Meetings/MeetingsListViewModel.h"
#include "support/FakeGoogleCalendar.h"
#include "support/SyncTestSupport.h"
#include "support/TestMain.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

using namespace tolvo;

namespace {

QCoro::Task<Result<bool>> refuse()
{
    co_return false;
}

void waitFor(const std::function<bool()> &condition)
{
    QDeadlineTimer deadline(30'000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    test::prepareTestProcess();
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    constexpr int calendarCount = 5;
    constexpr int eventsPerCalendar = 200;

    test::FakeGoogleCalendar google;
    if (!google.start()) {
        std::fprintf(stderr, "The Calendar fake could not start.\n");
        return 1;
    }
    google.acceptAccessToken(QStringLiteral("bench"));

    // The two months after this one, each full: selecting one replaces the other.
    const QDate thisMonth = QDate::currentDate();
    const QDate months[] = {QDate(thisMonth.year(), thisMonth.month(), 1).addMonths(1),
        QDate(thisMonth.year(), thisMonth.month(), 1).addMonths(2)};
    QList<GoogleCalendar> followed;
    for (int c = 0; c < calendarCount; ++c) {
        const QString id = QStringLiteral("bench%1@example.com").arg(c);
        google.addCalendar(id, QStringLiteral("Bench %1").arg(c));
        GoogleCalendar calendar;
        calendar.id = id;
        calendar.accessRole = QStringLiteral("owner");
        followed.append(calendar);
        for (const QDate &month : months) {
            for (int e = 0; e < eventsPerCalendar; ++e) {
                const QDateTime start = month.addDays(e % 28)
                                            .startOfDay(QTimeZone::utc())
                                            .addSecs(3600 * (7 + e / 28) + 60 * c);
                google.addEvent(id,
                    {{"summary", QStringLiteral("Meeting %1").arg(e)},
                        {"start", QJsonObject {{"dateTime", start.toString(Qt::ISODate)}}},
                        {"end",
                            QJsonObject {
                                {"dateTime", start.addSecs(1800).toString(Qt::ISODate)}}}});
            }
        }
    }

    DependencyScope scope;
    scope.set(std::make_shared<TimerScheduler>());
    GoogleClient signIn = GoogleClient::testValue();
    signIn.authorize = refuse;
    UserDefaultsClient defaults = UserDefaultsClient::testValue();
    defaults.boolValue = [](const QString &) { return false; };
    const auto log = std::make_shared<LogRecorder>();
    CacheManager cache = CacheManager::liveValue();
    DateManager dates = DateManager::liveValue();
    scope.set(CalendarContext {QTimeZone::utc(), QLocale::c(), Qt::Monday, systemClock()})
        .set(EventsTimerManager::liveValue())
        .set(cache)
        .set(dates)
        .set(SyncBus::liveValue())
        .set(signIn)
        .set(defaults)
        .set(LoggerClient::recording(log))
        .set(NotificationHandler {[](const QString &, const QString &, const QString &) {}})
        .set(GoogleCalendarClient::make({google.apiRoot(),
            QUrl(QStringLiteral("http://127.0.0.1:9")), test::signedInAs(QStringLiteral("bench")),
            LoggerClient::recording(log), QTimeZone::utc()}));
    cache.storeCalendars(followed);

    MeetingsListViewModel list;
    waitFor([&list] { return !list.isLoading() && !list.currentHandleCalendars().isEmpty(); });

    QList<double> times;
    const int expected = calendarCount * eventsPerCalendar;
    bool published = false;
    QObject::connect(&list, &MeetingsListViewModel::eventsModelChanged, &list,
        [&list, &published, expected] { published = list.eventsModel().size() == expected; });
    for (int round = 0; round < rounds; ++round) {
        published = false;
        QElapsedTimer timer;
        timer.start();
        dates.selectDate(months[round % 2].addDays(10).startOfDay(QTimeZone::utc()));
        waitFor([&published] { return published; });
        times.append(timer.nsecsElapsed() / 1e6);
        if (list.eventsModel().size() != expected) {
            std::fprintf(stderr, "Round %d listed %lld events, not %d.\n", round,
                qlonglong(list.eventsModel().size()), expected);
            return 1;
        }
        waitFor([&list] { return !list.isLoading(); });
    }
    std::sort(times.begin(), times.end());
    std::printf("date selection to published eventsModel, %d calendars x %d events: %d rounds, "
                "min %.1f ms, median %.1f ms, max %.1f ms\n",
        calendarCount, eventsPerCalendar, rounds, times.first(), times.at(times.size() / 2),
        times.last());
    return 0;
}
