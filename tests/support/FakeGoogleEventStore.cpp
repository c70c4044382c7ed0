#include "support/FakeGoogleEventStore.h"

#include "support/FakeSeriesExpansion.h"

#include <QJsonArray>

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
    if (const StoredEvent *stored = findStored(calendarId, eventId))
        return stored->resource;
    return generatedInstance(calendarId, eventId).value_or(QJsonObject());
}

const FakeGoogleEventStore::StoredEvent *FakeGoogleEventStore::findStored(
    const QString &calendarId, const QString &eventId) const
{
    const auto calendar = m_calendars.constFind(calendarId);
    if (calendar == m_calendars.constEnd())
        return nullptr;
    for (const auto &stored : calendar->events) {
        if (stored.resource.value(QStringLiteral("id")).toString() == eventId)
            return &stored;
    }
    return nullptr;
}

std::optional<QJsonObject> FakeGoogleEventStore::generatedInstance(
    const QString &calendarId, const QString &eventId) const
{
    const int separator = eventId.lastIndexOf(QLatin1Char('_'));
    if (separator <= 0)
        return std::nullopt;
    const StoredEvent *master = findStored(calendarId, eventId.left(separator));
    if (!master || !isSeriesMaster(master->resource) || isCancelled(master->resource))
        return std::nullopt;
    const QString key = eventId.mid(separator + 1);
    // The key is the original start, so the expansion can stop just after it.
    const QDateTime keyed = QDateTime::fromString(key, QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QDateTime day
        = QDateTime(QDate::fromString(key, QStringLiteral("yyyyMMdd")), QTime(0, 0), Qt::UTC);
    const QDateTime until
        = (keyed.isValid() ? QDateTime(keyed.date(), keyed.time(), Qt::UTC) : day).addSecs(1);
    if (!until.isValid())
        return std::nullopt;
    for (const SeriesOccurrence &occurrence : occurrencesOf(master->resource, until)) {
        if (occurrence.key == key)
            return seriesInstance(master->resource, occurrence);
    }
    return std::nullopt;
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
        if (isCancelled(stored.resource)) {
            QJsonObject stub {{QStringLiteral("id"), stored.resource.value(QStringLiteral("id"))},
                {QStringLiteral("status"), QStringLiteral("cancelled")}};
            for (const char *key : {"recurringEventId", "originalStartTime"}) {
                if (stored.resource.contains(QLatin1String(key)))
                    stub.insert(QLatin1String(key), stored.resource.value(QLatin1String(key)));
            }
            items.append(stub);
        } else {
            items.append(stored.resource);
        }
    }
    return items;
}

bool FakeGoogleEventStore::overlaps(
    const QJsonObject &event, const QDateTime &timeMin, const QDateTime &timeMax) const
{
    const QDateTime start = boundaryMoment(event.value(QStringLiteral("start")).toObject());
    const QDateTime end = boundaryMoment(event.value(QStringLiteral("end")).toObject());
    if (timeMin.isValid() && end.isValid() && end <= timeMin)
        return false;
    return !(timeMax.isValid() && start.isValid() && start >= timeMax);
}

QList<QJsonObject> FakeGoogleEventStore::eventsWithin(const QString &calendarId,
    const QDateTime &timeMin, const QDateTime &timeMax, bool showDeleted, bool byStartTime,
    bool singleEvents) const
{
    // An open-ended series is served up to a bound, as Google does.
    const QDateTime horizon
        = timeMax.isValid() ? timeMax : QDateTime::currentDateTimeUtc().addYears(2);
    QList<QJsonObject> items;
    for (const auto &stored : m_calendars.value(calendarId).events) {
        const QJsonObject &resource = stored.resource;
        const QString seriesId = resource.value(QStringLiteral("recurringEventId")).toString();
        if (!seriesId.isEmpty()) {
            const StoredEvent *master = findStored(calendarId, seriesId);
            if (!master || isCancelled(master->resource))
                continue;
            // Cancelled instances are listed with the deleted ones, and always beside their
            // master when series are not expanded.
            if (isCancelled(resource) && !showDeleted && singleEvents)
                continue;
            if (overlaps(resource, timeMin, timeMax))
                items.append(resource);
            continue;
        }
        if (isCancelled(resource) && !showDeleted)
            continue;
        if (!isSeriesMaster(resource) || isCancelled(resource)) {
            if (overlaps(resource, timeMin, timeMax))
                items.append(resource);
            continue;
        }
        const QString id = resource.value(QStringLiteral("id")).toString();
        bool anyOverlaps = false;
        for (const SeriesOccurrence &occurrence : occurrencesOf(resource, horizon)) {
            const QJsonObject instance = seriesInstance(resource, occurrence);
            if (!overlaps(instance, timeMin, timeMax))
                continue;
            anyOverlaps = true;
            const bool changed
                = findStored(calendarId, instance.value(QStringLiteral("id")).toString());
            if (singleEvents && !changed)
                items.append(instance);
        }
        if (!singleEvents && anyOverlaps)
            items.append(resource);
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

bool FakeGoogleEventStore::isSeriesMaster(const QJsonObject &event)
{
    return !event.value(QStringLiteral("recurrence")).toArray().isEmpty();
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
    // The first change to an instance keeps it apart from its series from then on.
    const auto instance = generatedInstance(calendarId, eventId);
    if (!instance)
        return nullptr;
    calendar->events.append({*instance, 0});
    return &calendar->events.last();
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
