#pragma once

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QStringList>

#include <functional>
#include <optional>

namespace tolvo::test {

// The calendars and events behind the Google fake, with the change sequence that sync tokens
// point into. It knows nothing of HTTP: the router asks it, tests seed it through the fake.
class FakeGoogleEventStore
{
public:
    // Called after every change to a calendar's events, so channels can be told.
    void onChange(std::function<void(const QString &calendarId)> changed)
    {
        m_changed = std::move(changed);
    }

    void addCalendar(
        const QString &id, const QString &summary, const QString &color, const QString &accessRole);
    bool hasCalendar(const QString &id) const { return m_calendars.contains(id); }
    // Calendar list entries in the order they were added.
    QList<QJsonObject> calendarEntries() const;

    // Fills id, created, updated and status when missing. An event with `recurrence` lines is
    // a series master.
    QJsonObject addEvent(const QString &calendarId, QJsonObject event);
    // An instance id (`<series>_<original start>`) that was never changed becomes a changed
    // instance of its series here, as on Google.
    void modifyEvent(const QString &calendarId, const QString &eventId, const QJsonObject &changes);
    void deleteEvent(const QString &calendarId, const QString &eventId);
    // Puts `event` in place of the stored event with its id, stamped as updated now.
    QJsonObject replaceEvent(const QString &calendarId, QJsonObject event);
    // Empty when there is no such event; an unchanged instance of a series is made on demand.
    QJsonObject event(const QString &calendarId, const QString &eventId) const;

    // The events changed after the position `syncToken` names, up to `snapshot`, a cancelled
    // one as its id and status alone (an instance also with its series keys); nothing when the
    // token is unknown here or names another calendar. Series come as their masters and their
    // changed instances.
    std::optional<QList<QJsonObject>> changesSince(
        const QString &calendarId, const QString &syncToken, qint64 snapshot) const;
    // The events overlapping [timeMin, timeMax) (an invalid bound is open). With
    // `singleEvents` every series is served as its instances; without, as its master (when any
    // occurrence overlaps) and its changed instances.
    QList<QJsonObject> eventsWithin(const QString &calendarId, const QDateTime &timeMin,
        const QDateTime &timeMax, bool showDeleted, bool byStartTime,
        bool singleEvents = false) const;
    // A new token for the position `snapshot` of the calendar.
    QString issueSyncToken(const QString &calendarId, qint64 snapshot);
    // Every sync token handed out so far becomes unknown.
    void expireSyncTokens() { m_syncTokens.clear(); }

    // The position of the latest change.
    qint64 sequence() const { return m_sequence; }
    // Ids for events and channels come from one counter, so they never collide.
    int takeId() { return m_nextId++; }

    static QDateTime boundaryMoment(const QJsonObject &time);
    static bool isCancelled(const QJsonObject &event);
    static bool isSeriesMaster(const QJsonObject &event);

private:
    struct StoredEvent
    {
        QJsonObject resource;
        qint64 sequence = 0;
    };
    struct Calendar
    {
        QJsonObject entry;
        QList<StoredEvent> events;
    };

    StoredEvent *find(const QString &calendarId, const QString &eventId);
    const StoredEvent *findStored(const QString &calendarId, const QString &eventId) const;
    // The unchanged instance `eventId` names, or nothing.
    std::optional<QJsonObject> generatedInstance(
        const QString &calendarId, const QString &eventId) const;
    bool overlaps(
        const QJsonObject &event, const QDateTime &timeMin, const QDateTime &timeMax) const;
    QString nowText() const;
    qint64 nextSequence() { return ++m_sequence; }
    void changed(const QString &calendarId);

    QMap<QString, Calendar> m_calendars;
    QStringList m_calendarOrder;
    QHash<QString, QPair<QString, qint64>> m_syncTokens; // token -> calendar, sequence
    std::function<void(const QString &)> m_changed;
    qint64 m_sequence = 0;
    int m_nextId = 1;
};

} // namespace tolvo::test
