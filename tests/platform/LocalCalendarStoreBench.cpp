// Save and look-up times of the local calendar store as it grows. Figures, not assertions.
#include "platform/LocalCalendarStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace tolvo;

namespace {
LocalEvent eventNumber(const QString &calendarId, int number)
{
    LocalEvent event;
    event.calendarId = calendarId;
    event.identifier = QStringLiteral("bench-%1").arg(number);
    event.title = QStringLiteral("Meeting %1").arg(number);
    event.start = QDateTime(QDate(2025, 1, 1), QTime(9, 0), Qt::UTC).addSecs(qint64(number) * 3600);
    event.end = event.start.addSecs(1800);
    return event;
}

void measure(int count)
{
    QTemporaryDir dir;
    LocalCalendarStore store(dir.filePath(QStringLiteral("calendars")),
        {QTimeZone::utc(), systemClock(), std::chrono::milliseconds(200)});
    const QString calendarId = store.calendars().first().identifier;
    for (int number = 0; number < count - 100; ++number) {
        if (!store.save(eventNumber(calendarId, number)))
            qFatal("a save failed");
    }
    // Let the watcher report the writes, as it would between a user's edits.
    QCoreApplication::processEvents();

    // The last 100 saves and 100 look-ups, each at the full size.
    QElapsedTimer timer;
    timer.start();
    for (int number = count - 100; number < count; ++number) {
        if (!store.save(eventNumber(calendarId, number)))
            qFatal("a save failed");
    }
    const double saveMs = double(timer.nsecsElapsed()) / 1e6 / 100;
    QCoreApplication::processEvents();
    timer.restart();
    for (int lookUp = 0; lookUp < 100; ++lookUp) {
        if (!store.event(QStringLiteral("bench-%1").arg((lookUp * 37) % count)))
            qFatal("a look-up failed");
    }
    const double lookUpMs = double(timer.nsecsElapsed()) / 1e6 / 100;
    std::printf("local store, %5d events: save %.3f ms, look-up %.4f ms (goal: flat, under 5 ms "
                "and 1 ms)\n",
        count, saveMs, lookUpMs);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (int count : {200, 2000})
        measure(count);
    return 0;
}
