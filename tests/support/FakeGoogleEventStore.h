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

    // Fills id, created, updated and status when missing.
    QJsonObject addEvent(const QString &calendarId, QJsonObject event);
    void modifyEvent(const QString &calendarId, const QString &eventId, const QJsonObject &changes);
    void deleteEvent(const QString &calendarId, const QString &eventId);
    // Puts `event` in place of the stored event with its id, stamped as updated now.
    QJsonObject replaceEvent(const QString &calendarId, QJsonObject event);
    // Empty when there is no such event.
    QJsonObject event(const QString &calendarId, const QString &eventId) const;

    // The events changed after the position `syncToken` names, up to `snapshot`, a cancelled
    // one as its id and status alone; nothing when the token is unknown here or names another
    // calendar.
    std::optional<QList<QJsonObject>> changesSince(
        const QString &calendarId, const QString &syncToken, qint64 snapshot) const;
    // The events overlapping [timeMin, timeMax) (an invalid bound is open).
    QList<QJsonObject> eventsWithin(const QString &calendarId, const QDateTime &timeMin,
        const QDateTime &timeMax, bool showDeleted, bool byStartTime) const;
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
