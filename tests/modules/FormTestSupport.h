#pragma once

#include "core/CalendarContext.h"
#include "core/OneShot.h"
#include "core/Requests.h"
#include "services/CacheManager.h"
#include "services/FeedbackClient.h"
#include "services/GoogleCalendarClient.h"
#include "support/FakeClock.h"

#include <QCoro/QCoroSignal>
#include <QTimeZone>

#include <memory>

namespace tolvo::test {

inline const QTimeZone formZone()
{
    return QTimeZone("Europe/Berlin");
}

// A Berlin calendar whose clock stands at Monday 3 March 2025, 10:00 local time.
inline CalendarContext formContext(const FakeClock &clock
    = FakeClock(QDateTime(QDate(2025, 3, 3), QTime(10, 0), QTimeZone("Europe/Berlin"))))
{
    CalendarContext context;
    context.zone = formZone();
    context.locale = QLocale(QLocale::English, QLocale::UnitedKingdom);
    context.firstDayOfWeek = Qt::Monday;
    context.clock = clock.clock();
    return context;
}

inline GoogleCalendar calendarNamed(const QString &id, const std::optional<QString> &summary)
{
    GoogleCalendar calendar;
    calendar.id = id;
    calendar.summary = summary;
    return calendar;
}

// What the fake Google client was asked to write, and how it answers: at once, or only once
// `gate` fires (to close a window while the request runs).
struct WriteLog
{
    QList<CalendarEventRequest> creates;
    QList<CalendarEventRequest> updates;
    Result<bool> answer = true;
    std::shared_ptr<OneShot> gate;
};

inline QCoro::Task<Result<bool>> answerWrite(
    std::shared_ptr<WriteLog> log, CalendarEventRequest request, bool update)
{
    (update ? log->updates : log->creates).append(request);
    if (log->gate && !log->gate->hasFired())
        co_await qCoro(log->gate.get(), &OneShot::fired);
    co_return log->answer;
}

// A Google client whose only working operations are the two writes.
inline GoogleCalendarClient writingClient(std::shared_ptr<WriteLog> log)
{
    GoogleCalendarClient client = GoogleCalendarClient::testValue();
    client.createEvent
        = [log](const CalendarEventRequest &request) { return answerWrite(log, request, false); };
    client.updateEvent
        = [log](const CalendarEventRequest &request) { return answerWrite(log, request, true); };
    return client;
}

inline CacheManager cacheWith(QList<GoogleCalendar> calendars)
{
    CacheManager cache = CacheManager::testValue();
    cache.calendars = [calendars] { return calendars; };
    return cache;
}

struct FeedbackLog
{
    QList<FeedbackReport> reports;
    VoidResult answer = VoidResult {};
    std::shared_ptr<OneShot> gate;
};

inline QCoro::Task<VoidResult> answerFeedback(
    std::shared_ptr<FeedbackLog> log, FeedbackReport report)
{
    log->reports.append(report);
    if (log->gate && !log->gate->hasFired())
        co_await qCoro(log->gate.get(), &OneShot::fired);
    co_return log->answer;
}

inline FeedbackClient feedbackClient(std::shared_ptr<FeedbackLog> log)
{
    return FeedbackClient {
        [log](const FeedbackReport &report) { return answerFeedback(log, report); }};
}

} // namespace tolvo::test
