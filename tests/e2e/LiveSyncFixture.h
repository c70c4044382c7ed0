#pragma once

#include "backend/BackendServer.h"
#include "core/DateHelpers.h"
#include "core/StartTask.h"
#include "platform/LocalCalendarStore.h"
#include "services/AppDatabase.h"
#include "services/CacheManager.h"
#include "services/GoogleCalendarSyncClient.h"
#include "support/FakeGoogleCalendar.h"

#include <QTemporaryDir>

#include <memory>

namespace tolvo::test {

// Everything of the live-sync loop, real, on loopback: the Calendar fake whose channels point
// at an in-process relay, the engine, the local calendar store (access granted, its calendar
// chosen) and the database, all in a temporary folder.
class LiveSyncFixture
{
public:
    struct Received
    {
        QList<CalendarSyncUpdate> items;
        bool ended = false;
        std::optional<Error> error;

        // Google changes of one calendar, empty signals left out.
        QList<GoogleCalendarChange> changesOf(const QString &calendarId) const
        {
            QList<GoogleCalendarChange> changes;
            for (const auto &item : items) {
                if (const auto *google = item.google(); google && google->calendarId == calendarId)
                    changes.append(google->changes);
            }
            return changes;
        }
    };

    explicit LiveSyncFixture(SyncTimings timings = fastTimings());

    static SyncTimings fastTimings();
    static QString streamName(const QString &calendarId) { return sha256Hex(calendarId); }

    std::shared_ptr<Received> open(const QStringList &calendarIds);
    QList<CalendarChannel> rows() const;
    QList<LocalEvent> localEvents() const;
    std::size_t subscribers(const QString &calendarId) const
    {
        return backend.subscriberCount(streamName(calendarId).toStdString());
    }

    QTemporaryDir folder;
    FakeGoogleCalendar google;
    backend::BackendServer backend;
    std::shared_ptr<LocalCalendarStore> store;
    std::shared_ptr<LogRecorder> log = std::make_shared<LogRecorder>();
    DatabaseClient database;
    CalendarSyncSession::Ptr session;
    GoogleCalendarSyncClient client;
    bool ready = false;

private:
    static QCoro::Task<> drain(SyncStream stream, std::shared_ptr<Received> received);
};

} // namespace tolvo::test
