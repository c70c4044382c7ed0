#pragma once

#include "backend/BackendServer.h"
#include "core/DateHelpers.h"
#include "core/StartTask.h"
#include "platform/LocalCalendarStore.h"
#include "services/AppDatabase.h"
#include "services/CacheManager.h"
#include "services/GoogleCalendarSyncClient.h"
#include "support/FakeGoogleCalendar.h"
#include "support/StreamCollector.h"
#include "support/SyncTestSupport.h"

#include <QTemporaryDir>

#include <memory>

namespace tolvo::test {

// Everything of the live-sync loop, real, on loopback: the Calendar fake whose channels point
// at an in-process relay, the engine, the local calendar store (access granted, its calendar
// chosen) and the database, all in a temporary folder.
class LiveSyncFixture
{
public:
    using Received = Collected<CalendarSyncUpdate>;

    explicit LiveSyncFixture(SyncTimings timings = fastSyncTimings());
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
};

// Google changes of one calendar, empty signals left out.
QList<GoogleCalendarChange> changesOf(
    const Collected<CalendarSyncUpdate> &received, const QString &calendarId);

} // namespace tolvo::test
