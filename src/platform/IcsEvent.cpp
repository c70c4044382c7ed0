#include "platform/IcsEvent.h"

#include "platform/IcalComponent.h"

#include <QStringList>

#include <libical/ical.h>

namespace tolvo::ics {

namespace {

// Copies at once: libical may reuse the buffer on its next call.
std::optional<QString> copied(const char *value)
{
    if (!value)
        return std::nullopt;
    return QString::fromUtf8(value);
}

icalcomponent *masterEvent(icalcomponent *root)
{
    if (icalcomponent_isa(root) == ICAL_VEVENT_COMPONENT)
        return root;
    icalcomponent *first = nullptr;
    for (icalcomponent *event = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT);
         event; event = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT)) {
        if (!first)
            first = event;
        if (!icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY))
            return event;
    }
    return first;
}

QDate dateOf(const icaltimetype &time)
{
    return QDate(time.year, time.month, time.day);
}

// A DATE-TIME value as an instant; `tzid` is the property's TZID parameter, if any.
QDateTime instant(
    const icaltimetype &time, const char *tzid, icalcomponent *root, const QTimeZone &localZone)
{
    const QDate date = dateOf(time);
    const QTime clock(time.hour, time.minute, std::min(time.second, 59));
    if (!date.isValid() || !clock.isValid())
        return {};
    if (icaltime_is_utc(time))
        return QDateTime(date, clock, Qt::UTC);
    if (tzid) {
        const QTimeZone zone = zoneForTzid(QString::fromUtf8(tzid));
        if (zone.isValid())
            return QDateTime(date, clock, zone);
        // A zone only the file defines: let libical apply its VTIMEZONE rules.
        if (icaltimezone *defined = icalcomponent_get_timezone(root, tzid)) {
            icaltimetype local = time;
            local.zone = nullptr;
            const time_t seconds = icaltime_as_timet_with_zone(local, defined);
            return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(seconds), Qt::UTC);
        }
        qWarning("Unknown time zone \"%s\" read as local time", tzid);
    }
    return QDateTime(date, clock, localZone);
}

// libical's own conversion to seconds overflows an int for a long DURATION, which then read
// as zero and was written back as an end equal to the start.
qint64 durationOf(const icaldurationtype &duration)
{
    const qint64 seconds = qint64(duration.weeks) * 7 * 86400 + qint64(duration.days) * 86400
        + qint64(duration.hours) * 3600 + qint64(duration.minutes) * 60 + qint64(duration.seconds);
    return duration.is_neg ? -seconds : seconds;
}

// iCalendar dates are written with four-digit years; libical writes zeros for others.
bool isWritable(const QDate &date)
{
    return date.isValid() && date.year() >= 1 && date.year() <= 3000;
}

struct Moment
{
    bool isDate = false;
    QDate date;
    QDateTime time;
};

std::optional<Moment> readMoment(
    icalcomponent *event, icalproperty_kind kind, icalcomponent *root, const QTimeZone &localZone)
{
    icalproperty *property = icalcomponent_get_first_property(event, kind);
    if (!property)
        return std::nullopt;
    icalvalue *raw = icalproperty_get_value(property);
    if (!raw)
        return std::nullopt;
    const icaltimetype value = icalvalue_get_datetime(raw);
    if (icaltime_is_null_time(value))
        return std::nullopt;
    Moment moment;
    if (value.is_date) {
        moment.isDate = true;
        moment.date = dateOf(value);
        if (!moment.date.isValid())
            return std::nullopt;
        return moment;
    }
    moment.time
        = instant(value, icalproperty_get_parameter_as_string(property, "TZID"), root, localZone);
    if (!moment.time.isValid())
        return std::nullopt;
    return moment;
}

QDateTime readStamp(icalcomponent *event, icalproperty_kind kind, icalcomponent *root)
{
    const auto moment = readMoment(event, kind, root, QTimeZone::utc());
    if (!moment)
        return {};
    return moment->isDate ? moment->date.startOfDay(Qt::UTC) : moment->time.toUTC();
}

icaltimetype utcTime(const QDateTime &moment)
{
    return icaltime_from_timet_with_zone(
        static_cast<time_t>(moment.toSecsSinceEpoch()), 0, icaltimezone_get_utc_timezone());
}

icaltimetype dateValue(const QDate &date)
{
    icaltimetype value = icaltime_null_date();
    value.year = date.year();
    value.month = date.month();
    value.day = date.day();
    return value;
}

void removeAll(icalcomponent *event, icalproperty_kind kind)
{
    while (icalproperty *property = icalcomponent_get_first_property(event, kind)) {
        icalcomponent_remove_property(event, property);
        icalproperty_free(property);
    }
}

void replace(icalcomponent *event, icalproperty_kind kind, icalproperty *property)
{
    removeAll(event, kind);
    if (property)
        icalcomponent_add_property(event, property);
}

void replaceText(icalcomponent *event, icalproperty_kind kind, const std::optional<QString> &value,
    icalproperty *(*make)(const char *))
{
    replace(event, kind, value && !value->isEmpty() ? make(value->toUtf8().constData()) : nullptr);
}

} // namespace

QTimeZone zoneForTzid(const QString &tzid)
{
    const QString trimmed = tzid.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (QTimeZone::isTimeZoneIdAvailable(trimmed.toUtf8()))
        return QTimeZone(trimmed.toUtf8());
    // Vendor prefixes: "/freeassociation.sourceforge.net/Tzfile/Europe/Berlin" and the like.
    const QStringList parts = trimmed.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype first = 1; first < parts.size(); ++first) {
        const QByteArray candidate = parts.mid(first).join(QLatin1Char('/')).toUtf8();
        if (QTimeZone::isTimeZoneIdAvailable(candidate))
            return QTimeZone(candidate);
    }
    const QByteArray windows = QTimeZone::windowsIdToDefaultIanaId(trimmed.toUtf8());
    if (!windows.isEmpty() && QTimeZone::isTimeZoneIdAvailable(windows))
        return QTimeZone(windows);
    return {};
}

Result<LocalEvent> readEvent(const QByteArray &text, const QTimeZone &localZone)
{
    TRY_ASSIGN(const IcalComponent root, IcalComponent::parse(text));
    icalcomponent *event = masterEvent(root.get());
    if (!event)
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The file holds no event."));

    const auto start = readMoment(event, ICAL_DTSTART_PROPERTY, root.get(), localZone);
    if (!start)
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The event has no valid start."));

    LocalEvent result;
    result.identifier = copied(icalcomponent_get_uid(event)).value_or(QString());
    result.isAllDay = start->isDate;
    const auto end = readMoment(event, ICAL_DTEND_PROPERTY, root.get(), localZone);
    icalproperty *duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
    const qint64 durationSeconds = duration ? durationOf(icalproperty_get_duration(duration)) : 0;
    if (start->isDate) {
        QDate last = start->date.addDays(1);
        if (end)
            last = end->isDate ? end->date : end->time.toTimeZone(localZone).date();
        else if (duration)
            last = start->date.addDays(std::max<qint64>(1, durationSeconds / 86400));
        if (last <= start->date)
            last = start->date.addDays(1);
        result.start = start->date.startOfDay(localZone);
        result.end = last.startOfDay(localZone);
    } else {
        result.start = start->time;
        if (end)
            result.end = end->isDate ? end->date.startOfDay(localZone) : end->time;
        else
            result.end = start->time.addSecs(durationSeconds);
        if (!result.end.isValid())
            return failure(ErrorDomain::decoding, 0,
                QStringLiteral("The event's duration reaches beyond any date."));
        if (result.end < result.start)
            result.end = result.start;
    }

    const auto property
        = [event](icalproperty_kind kind) { return icalcomponent_get_first_property(event, kind); };
    if (auto *summary = property(ICAL_SUMMARY_PROPERTY))
        result.title = copied(icalproperty_get_summary(summary)).value_or(QString());
    if (auto *description = property(ICAL_DESCRIPTION_PROPERTY))
        result.notes = copied(icalproperty_get_description(description));
    if (auto *location = property(ICAL_LOCATION_PROPERTY))
        result.location = copied(icalproperty_get_location(location));
    if (auto *url = property(ICAL_URL_PROPERTY))
        result.url = copied(icalproperty_get_url(url));
    result.created = readStamp(event, ICAL_CREATED_PROPERTY, root.get());
    result.lastModified = readStamp(event, ICAL_LASTMODIFIED_PROPERTY, root.get());
    return result;
}

Result<QByteArray> writeEvent(
    const LocalEvent &event, const QByteArray &previous, const QDateTime &now)
{
    if (event.identifier.isEmpty())
        return failure(
            ErrorDomain::invalidInput, 0, QStringLiteral("The event has no identifier."));
    if (!event.start.isValid())
        return failure(ErrorDomain::invalidInput, 0, QStringLiteral("The event has no start."));
    if (!isWritable(event.start.toUTC().date()) || !isWritable(event.start.date())
        || (event.end.isValid()
            && (!isWritable(event.end.toUTC().date()) || !isWritable(event.end.date()))))
        return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("The event's dates lie outside the years 1 to 3000, which the "
                           "calendar file cannot hold."));

    std::optional<IcalComponent> root;
    if (!previous.isEmpty()) {
        TRY_ASSIGN(root, IcalComponent::parse(previous));
    } else {
        root = IcalComponent::newCalendar();
    }
    icalcomponent *vevent = masterEvent(root->get());
    if (!vevent) {
        vevent = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        icalcomponent_add_component(root->get(), vevent);
    }

    replace(vevent, ICAL_UID_PROPERTY, icalproperty_new_uid(event.identifier.toUtf8().constData()));
    removeAll(vevent, ICAL_DURATION_PROPERTY);
    if (event.isAllDay) {
        // The dates as the caller sees them, whatever zone its times are in.
        const QDate first = event.start.date();
        QDate last = event.end.isValid() ? event.end.date() : first;
        // The start of a day whose midnight does not exist (a daylight-saving change at
        // midnight) is a later hour of that same day, not a time inside it.
        const bool startOfItsDay
            = event.end.isValid() && event.end == event.end.date().startOfDay(event.end.timeZone());
        if (event.end.isValid() && event.end.time() != QTime(0, 0) && !startOfItsDay)
            last = last.addDays(1); // an end inside a day still covers that day
        if (last <= first)
            last = first.addDays(1);
        replace(vevent, ICAL_DTSTART_PROPERTY, icalproperty_new_dtstart(dateValue(first)));
        replace(vevent, ICAL_DTEND_PROPERTY, icalproperty_new_dtend(dateValue(last)));
    } else {
        const QDateTime end
            = event.end.isValid() && event.end >= event.start ? event.end : event.start;
        replace(vevent, ICAL_DTSTART_PROPERTY, icalproperty_new_dtstart(utcTime(event.start)));
        replace(vevent, ICAL_DTEND_PROPERTY, icalproperty_new_dtend(utcTime(end)));
    }
    replaceText(vevent, ICAL_SUMMARY_PROPERTY, event.title, icalproperty_new_summary);
    replaceText(vevent, ICAL_DESCRIPTION_PROPERTY, event.notes, icalproperty_new_description);
    replaceText(vevent, ICAL_LOCATION_PROPERTY, event.location, icalproperty_new_location);
    replaceText(vevent, ICAL_URL_PROPERTY, event.url, icalproperty_new_url);
    if (!icalcomponent_get_first_property(vevent, ICAL_CREATED_PROPERTY)) {
        const QDateTime created = event.created.isValid() ? event.created : now;
        icalcomponent_add_property(vevent, icalproperty_new_created(utcTime(created)));
    }
    replace(vevent, ICAL_LASTMODIFIED_PROPERTY, icalproperty_new_lastmodified(utcTime(now)));
    replace(vevent, ICAL_DTSTAMP_PROPERTY, icalproperty_new_dtstamp(utcTime(now)));
    return root->toText();
}

} // namespace tolvo::ics
