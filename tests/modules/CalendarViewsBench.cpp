// Paint time of the busiest calendar views, in figures (no assertions): the month view with 500
// events and the week view with 200. The goal is a frame, 16 ms, on a developer machine.

#include "core/CalendarMath.h"
#include "modules/Calendar/MonthCalendarView.h"
#include "modules/Calendar/TimelineView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>

using namespace tolvo;

namespace {

QList<CalendarEvent> makeEvents(int count, QDate first, int days, const QTimeZone &zone)
{
    QList<CalendarEvent> events;
    for (int i = 0; i < count; ++i) {
        CalendarEvent event;
        event.id = QUuid::createUuid();
        event.identifier = QString::number(i);
        event.title = QStringLiteral("Meeting number %1 with a longer title").arg(i);
        const QDateTime start(
            first.addDays(i % days), QTime(7 + (i * 7) % 12, (i * 13) % 4 * 15), zone);
        event.startDate = start;
        event.endDate = start.addSecs(30 * 60 * (1 + i % 4));
        event.color = QColor::fromHsv((i * 47) % 360, 160, 220).rgba();
        if (i % 3 == 0)
            event.location = QStringLiteral("Room %1").arg(i);
        if (i % 2 == 0)
            event.hangoutLink = QStringLiteral("https://meet.google.com/abc-defg-hij");
        events << event;
    }
    return events;
}

// Renders the whole widget tree into an image, as a frame would, and gives the median time.
double medianPaintMs(QWidget &widget, int rounds)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        image.fill(Qt::white);
        QPainter painter(&image);
        QElapsedTimer timer;
        timer.start();
        widget.render(&painter);
        painter.end();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double medianUpdateMs(CalendarPeriodView &view, const QList<CalendarEvent> &a,
    const QList<CalendarEvent> &b, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        view.setEvents(i % 2 ? a : b);
        QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CalendarContext context;
    context.zone = QTimeZone("America/New_York");
    context.locale = QLocale(QLocale::English, QLocale::UnitedStates);
    context.firstDayOfWeek = Qt::Sunday;
    const QDateTime shown(QDate(2025, 1, 15), QTime(12, 0), context.zone);
    context.clock = [shown] { return shown; };
    const int rounds = 30;

    MonthCalendarView month(context);
    month.resize(1200, 900);
    month.setDate(shown);
    const QList<CalendarEvent> monthEvents = makeEvents(500, QDate(2025, 1, 1), 31, context.zone);
    month.setEvents(monthEvents);
    month.show();
    QCoreApplication::processEvents();
    const double monthPaint = medianPaintMs(month, rounds);
    const double monthUpdate = medianUpdateMs(
        month, monthEvents, makeEvents(500, QDate(2025, 1, 1), 31, context.zone), rounds);

    std::unique_ptr<TimelineView> week(TimelineView::weekView(context));
    week->resize(1200, 900);
    week->setDate(shown);
    const QDate weekFirst = weekStart(shown.date(), context.firstDayOfWeek);
    const QList<CalendarEvent> weekEvents = makeEvents(200, weekFirst, 7, context.zone);
    week->setEvents(weekEvents);
    week->show();
    QCoreApplication::processEvents();
    const double weekPaint = medianPaintMs(*week, rounds);
    const double weekUpdate
        = medianUpdateMs(*week, weekEvents, makeEvents(200, weekFirst, 7, context.zone), rounds);

    std::printf("month view, 500 events: paint %.2f ms, refresh %.2f ms (goal: under 16 ms)\n",
        monthPaint, monthUpdate);
    std::printf("week view, 200 events:  paint %.2f ms, refresh %.2f ms (goal: under 16 ms)\n",
        weekPaint, weekUpdate);
    return 0;
}
