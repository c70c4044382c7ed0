#pragma once

#include "core/GoogleCalendarEvent.h"
#include "core/LocalEvent.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <variant>

namespace tolvo {

// One change of a Google event found by the incremental fetch; every case carries the event in
// its state after the change.
struct GoogleCalendarChange
{
    struct Added
    {
        GoogleCalendarEvent event;
    };
    struct Modified
    {
        GoogleCalendarEvent event;
    };
    struct Deleted
    {
        GoogleCalendarEvent event;
    };
    enum class Kind { added, modified, deleted };

    std::variant<Added, Modified, Deleted> value;

    static GoogleCalendarChange added(GoogleCalendarEvent event)
    {
        return {Added {std::move(event)}};
    }
    static GoogleCalendarChange modified(GoogleCalendarEvent event)
    {
        return {Modified {std::move(event)}};
    }
    static GoogleCalendarChange deleted(GoogleCalendarEvent event)
    {
        return {Deleted {std::move(event)}};
    }

    Kind kind() const { return static_cast<Kind>(value.index()); }
    const GoogleCalendarEvent &event() const
    {
        return std::visit(
            [](const auto &change) -> const GoogleCalendarEvent & { return change.event; }, value);
    }
};

// One change in the local calendar store found by its change monitor.
struct AppleCalendarChange
{
    struct Added
    {
        LocalEvent event;
    };
    struct Modified
    {
        LocalEvent event;
    };
    struct Deleted
    {
        QString identifier;
    };
    enum class Kind { added, modified, deleted };

    std::variant<Added, Modified, Deleted> value;

    static AppleCalendarChange added(LocalEvent event) { return {Added {std::move(event)}}; }
    static AppleCalendarChange modified(LocalEvent event) { return {Modified {std::move(event)}}; }
    static AppleCalendarChange deleted(QString identifier)
    {
        return {Deleted {std::move(identifier)}};
    }

    Kind kind() const { return static_cast<Kind>(value.index()); }
};

// Google changes of one calendar on the sync stream. (Outside CalendarSyncUpdate so that its
// member initialiser is complete where the variant needs it.)
struct GoogleChangesUpdate
{
    QString calendarId;
    QList<GoogleCalendarChange> changes;
    // False for changes that happened while Tolvo was not running (the first list of a
    // calendar after start): they update the meetings list without notifications.
    bool notify = true;
};

// The item of the sync stream and the object of the "google_changed_notification" notification.
struct CalendarSyncUpdate
{
    using GoogleChanges = GoogleChangesUpdate;
    struct LocalChanges
    {
        QString calendarId;
        QList<AppleCalendarChange> changes;
    };

    std::variant<GoogleChanges, LocalChanges> value;

    static CalendarSyncUpdate googleChanges(
        QString calendarId, QList<GoogleCalendarChange> changes, bool notify = true)
    {
        return {GoogleChanges {std::move(calendarId), std::move(changes), notify}};
    }
    static CalendarSyncUpdate localChanges(QString calendarId, QList<AppleCalendarChange> changes)
    {
        return {LocalChanges {std::move(calendarId), std::move(changes)}};
    }

    const QString &calendarId() const
    {
        return std::visit(
            [](const auto &update) -> const QString & { return update.calendarId; }, value);
    }
    const GoogleChanges *google() const { return std::get_if<GoogleChanges>(&value); }
    const LocalChanges *local() const { return std::get_if<LocalChanges>(&value); }
};

} // namespace tolvo

Q_DECLARE_METATYPE(tolvo::CalendarSyncUpdate)
