#pragma once

#include "core/Dependencies.h"
#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"
#include "services/CacheManager.h"

#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

namespace tolvo {

// One listed meeting: the event as it was fetched or pushed, and the calendar it belongs to. A
// changed event gets a new object, so the fields never change and an item is told apart from
// another by identity (its identifier is new for every object).
class EventModel
{
public:
    EventModel(GoogleCalendarEvent event, QString calendarId);

    const QUuid &identifier() const { return m_identifier; }
    // Nothing fills these yet; a view shows the lead text only when it is not empty.
    const QString &timeToMeeting() const { return m_timeToMeeting; }
    EventState eventState() const { return m_eventState; }
    // The cache as it was in the container when the object was made.
    const CacheManager &cacheManager() const { return *m_cacheManager; }
    const QString &calendarId() const { return m_calendarId; }
    const GoogleCalendarEvent &event() const { return m_event; }

    // The background colour of the event's calendar in the cached calendar list (the first with
    // this calendar id), when it has one.
    std::optional<QString> calendarColor() const;

    friend bool operator==(const EventModel &a, const EventModel &b)
    {
        return a.m_identifier == b.m_identifier;
    }

private:
    QUuid m_identifier = QUuid::createUuid();
    QString m_timeToMeeting;
    EventState m_eventState = EventState::started;
    Dependency<CacheManager> m_cacheManager;
    QString m_calendarId;
    GoogleCalendarEvent m_event;
};

inline size_t qHash(const EventModel &model, size_t seed = 0)
{
    return qHash(model.identifier(), seed);
}

// The list shares one object per listed event; two entries are the same item only when they
// point at the same object.
using EventModelPtr = std::shared_ptr<const EventModel>;

} // namespace tolvo
