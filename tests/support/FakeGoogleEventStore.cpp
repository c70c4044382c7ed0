#include "support/FakeGoogleEventStore.h"

#include <algorithm>

namespace tolvo::test {

void FakeGoogleEventStore::addCalendar(
    const QString &id, const QString &summary, const QString &color, const QString &accessRole)
{
    QJsonObject entry {{QStringLiteral("kind"), QStringLiteral("calendar#calendarListEntry")},
        {QStringLiteral("id"), id}};
    if (!summary.isEmpty())
        entry.insert(QStringLiteral("summary"), summary);
    if (!color.isEmpty())
        entry.insert(QStringLiteral("backgroundColor"), color);
    if (!accessRole.isEmpty())
        entry.insert(QStringLiteral("accessRole"), accessRole);
    if (!m_calendars.contains(id))
        m_calendarOrder.append(id);
    m_calendars[id].entry = entry;
}

QList<QJsonObject> FakeGoogleEventStore::calendarEntries() const
{
    QList<QJsonObject> entries;
    for (const QString &id : m_calendarOrder)
        entries.append(m_calendars.value(id).entry);
    return entries;
}

QJsonObject FakeGoogleEventStore::addEvent(const QString &calendarId, QJsonObject event)
{
    if (!event.contains(QStringLiteral("id")))
        event.insert(QStringLiteral("id"), QStringLiteral("evt%1").arg(takeId()));
    if (!event.contains(QStringLiteral("status")))
        event.insert(QStringLiteral("status"), QStringLiteral("confirmed"));
    const QString now = nowText();
    if (!event.contains(QStringLiteral("created")))
        event.insert(QStringLiteral("created"), now);
    if (!event.contains(QStringLiteral("updated")))
        event.insert(QStringLiteral("updated"), event.value(QStringLiteral("created")));
    m_calendars[calendarId].events.append({event, nextSequence()});
    changed(calendarId);
    return event;
}

void FakeGoogleEventStore::modifyEvent(
    const QString &calendarId, const QString &eventId, const QJsonObject &changes)
{
    StoredEvent *stored = find(calendarId, eventId);
    if (!stored)
        return;
    for (auto it = changes.begin(); it != changes.end(); ++it)
        stored->resource.insert(it.key(), it.value());
    if (!changes.contains(QStringLiteral("updated")))
        stored->resource.insert(QStringLiteral("updated"), nowText());
    stored->sequence = nextSequence();
    changed(calendarId);
}

void FakeGoogleEventStore::deleteEvent(const QString &calendarId, const QString &eventId)
{
    modifyEvent(calendarId, eventId, {{QStringLiteral("status"), QStringLiteral("cancelled")}});
}

QJsonObject FakeGoogleEventStore::replaceEvent(const QString &calendarId, QJsonObject event)
{
    StoredEvent *stored = find(calendarId, event.value(QStringLiteral("id")).toString());
    if (!stored)
        return {};
    event.insert(QStringLiteral("updated"), nowText());
    stored->resource = event;
    stored->sequence = nextSequence();
    changed(calendarId);
    return event;
}

QJsonObject FakeGoogleEventStore::event(const QString &calendarId, const QString &eventId) const
{
    for (const auto &stored : m_calendars.value(calendarId).events) {
        if (stored.resource.value(QStringLiteral("id")).toString() == eventId)
            return stored.resource;
    }
    return {};
}

std::optional<QList<QJsonObject>> FakeGoogleEventStore::changesSince(
    const QString &calendarId, const QString &syncToken, qint64 snapshot) const
{
    const auto token = m_syncTokens.constFind(syncToken);
    if (token == m_syncTokens.constEnd() || token->first != calendarId)
        return std::nullopt;
    QList<QJsonObject> items;
    for (const auto &stored : m_calendars.value(calendarId).events) {
        if (stored.sequence <= token->second || stored.sequence > snapshot)
            continue;
        if (isCancelled(stored.resource))
            items.append({{QStringLiteral("id"), stored.resource.value(QStringLiteral("id"))},
                {QStringLiteral("status"), QStringLiteral("cancelled")}});
        else
            items.append(stored.resource);
    }
    return items;
}

QList<QJsonObject> FakeGoogleEventStore::eventsWithin(const QString &calendarId,
    const QDateTime &timeMin, const QDateTime &timeMax, bool showDeleted, bool byStartTime) const
{
    QList<QJsonObject> items;
    for (const auto &stored : m_calendars.value(calendarId).events) {
        if (isCancelled(stored.resource) && !showDeleted)
            continue;
        const QDateTime start
            = boundaryMoment(stored.resource.value(QStringLiteral("start")).toObject());
        const QDateTime end
            = boundaryMoment(stored.resource.value(QStringLiteral("end")).toObject());
        if (timeMin.isValid() && end.isValid() && end <= timeMin)
            continue;
        if (timeMax.isValid() && start.isValid() && start >= timeMax)
            continue;
        items.append(stored.resource);
    }
    if (byStartTime) {
        std::stable_sort(
            items.begin(), items.end(), [](const QJsonObject &a, const QJsonObject &b) {
                return boundaryMoment(a.value(QStringLiteral("start")).toObject())
                    < boundaryMoment(b.value(QStringLiteral("start")).toObject());
            });
    }
    return items;
}

QString FakeGoogleEventStore::issueSyncToken(const QString &calendarId, qint64 snapshot)
{
    const QString token = QStringLiteral("sync-%1-%2").arg(m_syncTokens.size() + 1).arg(snapshot);
    m_syncTokens.insert(token, {calendarId, snapshot});
    return token;
}

QDateTime FakeGoogleEventStore::boundaryMoment(const QJsonObject &time)
{
    if (time.contains(QStringLiteral("dateTime")))
        return QDateTime::fromString(
            time.value(QStringLiteral("dateTime")).toString(), Qt::ISODateWithMs);
    const QDate date
        = QDate::fromString(time.value(QStringLiteral("date")).toString(), Qt::ISODate);
    return date.isValid() ? QDateTime(date, QTime(0, 0), Qt::UTC) : QDateTime();
}

bool FakeGoogleEventStore::isCancelled(const QJsonObject &event)
{
    return event.value(QStringLiteral("status")).toString() == u"cancelled";
}

FakeGoogleEventStore::StoredEvent *FakeGoogleEventStore::find(
    const QString &calendarId, const QString &eventId)
{
    auto calendar = m_calendars.find(calendarId);
    if (calendar == m_calendars.end())
        return nullptr;
    for (auto &stored : calendar->events) {
        if (stored.resource.value(QStringLiteral("id")).toString() == eventId)
            return &stored;
    }
    return nullptr;
}

QString FakeGoogleEventStore::nowText() const
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

void FakeGoogleEventStore::changed(const QString &calendarId)
{
    if (m_changed)
        m_changed(calendarId);
}

} // namespace tolvo::test
