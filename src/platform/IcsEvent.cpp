#include "platform/IcsEvent.h"

#include "platform/IcalComponent.h"

#include <QHash>
#include <QStringList>

#include <libical/ical.h>

namespace tolvo::ics {

QString normalisedText(QString text)
{
    // libical keeps control characters inside a value but writes them back where the next
    // read splits or drops them, and iCalendar forbids them: the text would change on a save.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.removeIf([](QChar c) {
        return (c.unicode() < 0x20 || c.unicode() == 0x7f) && c != QLatin1Char('\n')
            && c != QLatin1Char('\t');
    });
    // libical trims spaces and tabs around a value as it reads the line, so "a \F" (a form
    // feed, dropped above) must not leave a space that the next read loses.
    const auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && blank(text.at(first)))
        ++first;
    while (last > first && blank(text.at(last - 1)))
        --last;
    return text.mid(first, last - first);
}

namespace {
// The years libical writes faithfully here; outside them dates come out as zeros.
constexpr int minimumYear = 1;
constexpr int maximumYear = 3000;

// Copies at once: libical may reuse the buffer on its next call.
std::optional<QString> copied(const char *value)
{
    if (!value)
        return std::nullopt;
    return QString::fromUtf8(value);
}

bool isOverride(icalcomponent *event)
{
    return icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY) != nullptr;
}

std::optional<QString> uidOf(icalcomponent *event)
{
    if (!icalcomponent_get_first_property(event, ICAL_UID_PROPERTY))
        return std::nullopt;
    return copied(icalcomponent_get_uid(event));
}

// The VEVENTs of the text in order: the root itself when it is one, else its children.
QList<icalcomponent *> allEvents(icalcomponent *root)
{
    if (icalcomponent_isa(root) == ICAL_VEVENT_COMPONENT)
        return {root};
    QList<icalcomponent *> result;
    for (icalcomponent *event = icalcomponent_get_first_component(root, ICAL_VEVENT_COMPONENT);
         event; event = icalcomponent_get_next_component(root, ICAL_VEVENT_COMPONENT))
        result.append(event);
    return result;
}

// The VEVENTs listed as events: each series master, a series' first override when its master
// is missing, and the first event without a UID (the file name stands in for its UID, so
// only one can have it).
QList<icalcomponent *> listedEvents(icalcomponent *root)
{
    const QList<icalcomponent *> events = allEvents(root);
    QList<icalcomponent *> result;
    QHash<QString, qsizetype> bySeries;
    bool unnamed = false;
    for (icalcomponent *event : events) {
        const auto uid = uidOf(event);
        if (!uid) {
            if (!unnamed)
                result.append(event);
            unnamed = true;
            continue;
        }
        const auto known = bySeries.constFind(*uid);
        if (known == bySeries.cend()) {
            bySeries.insert(*uid, result.size());
            result.append(event);
        } else if (isOverride(result.at(*known)) && !isOverride(event)) {
            result[*known] = event;
        }
    }
    return result;
}

// The VEVENT that holds the event `identifier`: its series master (or first override), else
// the first event without a UID, which the file name names.
icalcomponent *eventFor(icalcomponent *root, const QString &identifier)
{
    icalcomponent *unnamed = nullptr;
    for (icalcomponent *event : listedEvents(root)) {
        const auto uid = uidOf(event);
        if (uid && *uid == identifier)
            return event;
        if (!uid && !unnamed)
            unnamed = event;
    }
    return unnamed;
}

std::optional<QString> copiedText(const char *value)
{
    auto text = copied(value);
    if (text)
        *text = normalisedText(*text);
    return text;
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

struct Moment
{
    bool isDate = false;
    QDate date;
    QDateTime time;
};

// A DATE or DATE-TIME value; `tzid` is the TZID parameter of its property, if any.
std::optional<Moment> momentOf(
    const icaltimetype &value, const char *tzid, icalcomponent *root, const QTimeZone &localZone)
{
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
    moment.time = instant(value, tzid, root, localZone);
    if (!moment.time.isValid())
        return std::nullopt;
    return moment;
}

std::optional<Moment> readMoment(
    icalcomponent *event, icalproperty_kind kind, icalcomponent *root, const QTimeZone &localZone)
{
    icalproperty *property = icalcomponent_get_first_property(event, kind);
    if (!property)
        return std::nullopt;
    icalvalue *raw = icalproperty_get_value(property);
    if (!raw)
        return std::nullopt;
    return momentOf(icalvalue_get_datetime(raw),
        icalproperty_get_parameter_as_string(property, "TZID"), root, localZone);
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
    // A null date's clock is -1, which libical's recurrence steps would count with.
    value.hour = value.minute = value.second = 0;
    return value;
}

void removeAll(icalcomponent *event, icalproperty_kind kind)
{
    while (icalproperty *property = icalcomponent_get_first_property(event, kind)) {
        icalcomponent_remove_property(event, property);
        icalproperty_free(property);
    }
}

// Puts `property` in the place of the event's `kind` properties. It takes over the parameters
// of the first one (another program's LANGUAGE, CN or X- parameters), except those that its
// new value decides or that describe the old value alone.
void replace(icalcomponent *event, icalproperty_kind kind, icalproperty *property)
{
    icalproperty *previous = icalcomponent_get_first_property(event, kind);
    if (previous && property) {
        for (icalparameter *parameter
             = icalproperty_get_first_parameter(previous, ICAL_ANY_PARAMETER);
             parameter; parameter = icalproperty_get_next_parameter(previous, ICAL_ANY_PARAMETER)) {
            switch (icalparameter_isa(parameter)) {
            case ICAL_TZID_PARAMETER:
            case ICAL_VALUE_PARAMETER:
            case ICAL_ALTREP_PARAMETER: // another form of the old text
            case ICAL_ENCODING_PARAMETER: break;
            default: icalproperty_add_parameter(property, icalparameter_new_clone(parameter));
            }
        }
    }
    removeAll(event, kind);
    if (property)
        icalcomponent_add_property(event, property);
}

// The value of a text or URI property as written, unescaped.
std::optional<QString> writtenText(icalproperty *property)
{
    icalvalue *raw = property ? icalproperty_get_value(property) : nullptr;
    if (!raw)
        return std::nullopt;
    switch (icalvalue_isa(raw)) {
    case ICAL_TEXT_VALUE: return copied(icalvalue_get_text(raw));
    case ICAL_URI_VALUE: return copied(icalvalue_get_uri(raw));
    default: return std::nullopt;
    }
}

// Written as it reads back: a text that holds nothing after normalising is left out, and one
// the file already says is left as written.
void replaceText(icalcomponent *event, icalproperty_kind kind, const std::optional<QString> &value,
    icalproperty *(*make)(const char *))
{
    const QString text = value ? normalisedText(*value) : QString();
    if (!text.isEmpty() && writtenText(icalcomponent_get_first_property(event, kind)) == text)
        return;
    replace(event, kind, text.isEmpty() ? nullptr : make(text.toUtf8().constData()));
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

namespace {

bool inHeldRange(int year)
{
    return year >= minimumYear && year <= maximumYear;
}

QString outOfRangeMessage()
{
    return QStringLiteral("The event has a date outside the years %1 to %2, which iCalendar "
                          "files cannot hold here.")
        .arg(minimumYear)
        .arg(maximumYear);
}

bool holdsOutOfRangeTime(icalcomponent *event, icalproperty_kind kind)
{
    icalproperty *property = icalcomponent_get_first_property(event, kind);
    icalvalue *raw = property ? icalproperty_get_value(property) : nullptr;
    if (!raw)
        return false;
    const icaltimetype value = icalvalue_get_datetime(raw);
    return !icaltime_is_null_time(value) && !inHeldRange(value.year);
}

// libical sums a DURATION in an int, which wraps for long ones; the sum here does not.
qint64 durationSeconds(icalproperty *property)
{
    const icaldurationtype duration = icalproperty_get_duration(property);
    const qint64 seconds = qint64(duration.weeks) * 7 * 86400 + qint64(duration.days) * 86400
        + qint64(duration.hours) * 3600 + qint64(duration.minutes) * 60 + qint64(duration.seconds);
    return duration.is_neg ? -seconds : seconds;
}

Result<LocalEvent> readOne(icalcomponent *event, icalcomponent *root, const QTimeZone &localZone)
{
    if (holdsOutOfRangeTime(event, ICAL_DTSTART_PROPERTY)
        || holdsOutOfRangeTime(event, ICAL_DTEND_PROPERTY))
        return failure(ErrorDomain::decoding, 0, outOfRangeMessage());
    const auto start = readMoment(event, ICAL_DTSTART_PROPERTY, root, localZone);
    if (!start)
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The event has no valid start."));

    LocalEvent result;
    result.identifier = uidOf(event).value_or(QString());
    result.isAllDay = start->isDate;
    const auto end = readMoment(event, ICAL_DTEND_PROPERTY, root, localZone);
    icalproperty *duration = icalcomponent_get_first_property(event, ICAL_DURATION_PROPERTY);
    const qint64 seconds = duration ? durationSeconds(duration) : 0;
    if (start->isDate) {
        QDate last = start->date.addDays(1);
        if (end)
            last = end->isDate ? end->date : end->time.toTimeZone(localZone).date();
        else if (duration)
            last = start->date.addDays(std::max<qint64>(1, seconds / 86400));
        if (last <= start->date)
            last = start->date.addDays(1);
        if (!inHeldRange(last.year()))
            return failure(ErrorDomain::decoding, 0, outOfRangeMessage());
        result.start = start->date.startOfDay(localZone);
        result.end = last.startOfDay(localZone);
    } else {
        result.start = start->time;
        if (end)
            result.end = end->isDate ? end->date.startOfDay(localZone) : end->time;
        else
            result.end = start->time.addSecs(seconds);
        if (!result.end.isValid() || !inHeldRange(result.end.toUTC().date().year()))
            return failure(ErrorDomain::decoding, 0, outOfRangeMessage());
        if (result.end < result.start)
            result.end = result.start;
    }

    const auto property
        = [event](icalproperty_kind kind) { return icalcomponent_get_first_property(event, kind); };
    if (auto *summary = property(ICAL_SUMMARY_PROPERTY))
        result.title = copiedText(icalproperty_get_summary(summary)).value_or(QString());
    if (auto *description = property(ICAL_DESCRIPTION_PROPERTY))
        result.notes = copiedText(icalproperty_get_description(description));
    if (auto *location = property(ICAL_LOCATION_PROPERTY))
        result.location = copiedText(icalproperty_get_location(location));
    if (auto *url = property(ICAL_URL_PROPERTY))
        result.url = copied(icalproperty_get_url(url));
    result.created = readStamp(event, ICAL_CREATED_PROPERTY, root);
    result.lastModified = readStamp(event, ICAL_LASTMODIFIED_PROPERTY, root);
    return result;
}

bool isRecurrenceKind(icalproperty_kind kind)
{
    return kind == ICAL_RRULE_PROPERTY || kind == ICAL_RDATE_PROPERTY
        || kind == ICAL_EXDATE_PROPERTY || kind == ICAL_EXRULE_PROPERTY;
}

// One property as one unfolded line of text, without its line end.
QString propertyLine(icalproperty *property)
{
    char *text = icalproperty_as_ical_string_r(property);
    if (!text)
        return {};
    QByteArray line(text);
    icalmemory_free_buffer(text);
    line.replace("\r\n ", "").replace("\r\n\t", "");
    return QString::fromUtf8(line.trimmed());
}

// A RECURRENCE-ID as the instant that keys an override; all-day ones at their local midnight.
QDateTime recurrenceKey(icalcomponent *event, icalcomponent *root, const QTimeZone &localZone)
{
    const auto moment = readMoment(event, ICAL_RECURRENCEID_PROPERTY, root, localZone);
    if (!moment)
        return {};
    return moment->isDate ? moment->date.startOfDay(localZone) : moment->time;
}

// The VEVENTs that override occurrences of the series `uid`.
QList<icalcomponent *> overridesOf(icalcomponent *root, const QString &uid)
{
    QList<icalcomponent *> result;
    for (icalcomponent *event : allEvents(root)) {
        if (isOverride(event) && uidOf(event) == uid)
            result.append(event);
    }
    return result;
}

void sortOverrides(QList<LocalOccurrence> &overrides)
{
    std::sort(
        overrides.begin(), overrides.end(), [](const LocalOccurrence &a, const LocalOccurrence &b) {
            return a.recurrenceId < b.recurrenceId;
        });
}

// A listed event with what makes it a series: its rule lines, its readable overrides (one
// that cannot be read is left out, and left alone by saves) and the zone of its start.
Result<LocalEvent> readListed(icalcomponent *event, icalcomponent *root, const QTimeZone &localZone)
{
    TRY_ASSIGN(LocalEvent result, readOne(event, root, localZone));
    icalproperty *start = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
    if (!result.isAllDay && start) {
        if (const char *tzid = icalproperty_get_parameter_as_string(start, "TZID")) {
            const QTimeZone zone = zoneForTzid(QString::fromUtf8(tzid));
            if (zone.isValid())
                result.timeZone = QString::fromUtf8(zone.id());
        }
    }
    if (isOverride(event))
        return result;
    for (icalproperty *property = icalcomponent_get_first_property(event, ICAL_ANY_PROPERTY);
         property; property = icalcomponent_get_next_property(event, ICAL_ANY_PROPERTY)) {
        if (isRecurrenceKind(icalproperty_isa(property)))
            result.recurrence.append(propertyLine(property));
    }
    const auto uid = uidOf(event);
    if (!uid)
        return result;
    for (icalcomponent *changed : overridesOf(root, *uid)) {
        const QDateTime key = recurrenceKey(changed, root, localZone);
        auto read = readOne(changed, root, localZone);
        if (!key.isValid() || !read)
            continue;
        result.overrides.append(LocalOccurrence {
            key, read->title, read->start, read->end, read->location, read->notes});
    }
    sortOverrides(result.overrides);
    return result;
}

struct TimeForm
{
    enum Kind { utc, floating, zoned } kind = utc;
    QByteArray tzid;
};

// The form a changed time keeps: that of the property it replaces (DTEND without one follows
// DTSTART).
TimeForm formOf(icalproperty *property)
{
    if (!property)
        return {};
    icalvalue *raw = icalproperty_get_value(property);
    if (!raw)
        return {};
    const icaltimetype value = icalvalue_get_datetime(raw);
    if (value.is_date || icaltime_is_utc(value))
        return {};
    if (const char *tzid = icalproperty_get_parameter_as_string(property, "TZID"))
        return {TimeForm::zoned, QByteArray(tzid)};
    return {TimeForm::floating, {}};
}

Result<icaltimetype> timeValue(const QDateTime &moment)
{
    if (!moment.isValid() || !inHeldRange(moment.toUTC().date().year()))
        return failure(ErrorDomain::invalidInput, 0, outOfRangeMessage());
    return utcTime(moment);
}

Result<icaltimetype> wallTime(const QDateTime &moment, const QTimeZone &zone)
{
    const QDateTime local = moment.toTimeZone(zone);
    if (!local.isValid() || !inHeldRange(local.date().year()))
        return failure(ErrorDomain::invalidInput, 0, outOfRangeMessage());
    icaltimetype value = icaltime_null_time();
    value.year = local.date().year();
    value.month = local.date().month();
    value.day = local.date().day();
    value.hour = local.time().hour();
    value.minute = local.time().minute();
    value.second = local.time().second();
    return value;
}

// `moment` as a value of the given form: a zone's or the local wall time, or UTC. Nothing
// when the form names a zone neither Qt nor the file knows.
Result<std::optional<icaltimetype>> valueInForm(
    const QDateTime &moment, const TimeForm &form, icalcomponent *root, const QTimeZone &localZone)
{
    if (form.kind == TimeForm::floating) {
        TRY_ASSIGN(const icaltimetype value, wallTime(moment, localZone));
        return value;
    }
    if (form.kind == TimeForm::zoned) {
        const QTimeZone zone = zoneForTzid(QString::fromUtf8(form.tzid));
        if (zone.isValid()) {
            TRY_ASSIGN(const icaltimetype value, wallTime(moment, zone));
            return value;
        }
        if (icaltimezone *defined = icalcomponent_get_timezone(root, form.tzid.constData())) {
            TRY(timeValue(moment));
            icaltimetype value = icaltime_from_timet_with_zone(
                static_cast<time_t>(moment.toSecsSinceEpoch()), 0, defined);
            value.zone = nullptr;
            return value;
        }
        return std::optional<icaltimetype>();
    }
    TRY_ASSIGN(const icaltimetype value, timeValue(moment));
    return value;
}

icalproperty *newTimeProperty(icalproperty_kind kind, const icaltimetype &value)
{
    switch (kind) {
    case ICAL_DTSTART_PROPERTY: return icalproperty_new_dtstart(value);
    case ICAL_DTEND_PROPERTY: return icalproperty_new_dtend(value);
    default: return icalproperty_new_recurrenceid(value);
    }
}

// Writes DTSTART, DTEND or RECURRENCE-ID as `moment`: untouched when the file already says
// that instant, else in the form the file used for it.
VoidResult writeTime(icalcomponent *root, icalcomponent *event, icalproperty_kind kind,
    const QDateTime &moment, const TimeForm &form, const QTimeZone &localZone)
{
    if (icalproperty *existing = icalcomponent_get_first_property(event, kind)) {
        const auto read = readMoment(event, kind, root, localZone);
        const TimeForm written = formOf(existing);
        if (read && !read->isDate && read->time == moment && written.kind == form.kind
            && written.tzid == form.tzid)
            return {};
    }
    TRY_ASSIGN(auto value, valueInForm(moment, form, root, localZone));
    TimeForm written = form;
    if (!value) {
        TRY_ASSIGN(value, timeValue(moment));
        written = {};
    }
    icalproperty *property = newTimeProperty(kind, *value);
    if (written.kind == TimeForm::zoned)
        icalproperty_set_parameter_from_string(property, "TZID", written.tzid.constData());
    replace(event, kind, property);
    return {};
}

VoidResult writeDate(icalcomponent *event, icalproperty_kind kind, const QDate &date)
{
    if (!date.isValid() || !inHeldRange(date.year()))
        return failure(ErrorDomain::invalidInput, 0, outOfRangeMessage());
    replace(event, kind,
        kind == ICAL_DTSTART_PROPERTY ? icalproperty_new_dtstart(dateValue(date))
                                      : icalproperty_new_dtend(dateValue(date)));
    return {};
}

// How far a save moved a series: the wall-clock shift of its start in the zone its rule counts
// in (whole days for an all-day series), so that its exceptions still name its occurrences.
struct SeriesShift
{
    qint64 seconds = 0;
    QTimeZone zone;
    // The part of the shift that changes the time of day (none for all-day series): all that
    // moves the occurrences a rule pins to their days (BYDAY, BYMONTHDAY).
    qint64 clockSeconds = 0;
};

// The wall clock of `moment` in `zone`, as a plain date and time.
QDateTime wallClock(const QDateTime &moment, const QTimeZone &zone)
{
    const QDateTime local = moment.toTimeZone(zone);
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

std::optional<SeriesShift> seriesShift(
    const Moment &before, const Moment &after, const TimeForm &form, const QTimeZone &localZone)
{
    if (before.isDate != after.isDate)
        return std::nullopt; // neither kind of exception fits the other
    if (before.isDate)
        return SeriesShift {before.date.daysTo(after.date) * 86400, localZone};
    QTimeZone zone = QTimeZone::utc();
    if (form.kind == TimeForm::floating)
        zone = localZone;
    else if (form.kind == TimeForm::zoned && zoneForTzid(QString::fromUtf8(form.tzid)).isValid())
        zone = zoneForTzid(QString::fromUtf8(form.tzid));
    const QDateTime from = wallClock(before.time, zone);
    const QDateTime to = wallClock(after.time, zone);
    return SeriesShift {from.secsTo(to), zone, from.time().secsTo(to.time())};
}

// One date or time of the series moved with it, in the form it was written in.
std::optional<icaltimetype> shiftedValue(const icaltimetype &value, const char *tzid,
    icalcomponent *root, const QTimeZone &localZone, const SeriesShift &shift)
{
    if (icaltime_is_null_time(value))
        return std::nullopt;
    if (value.is_date) {
        const QDate date
            = QDateTime(dateOf(value), QTime(0, 0), Qt::UTC).addSecs(shift.seconds).date();
        if (!date.isValid() || !inHeldRange(date.year()))
            return std::nullopt;
        return dateValue(date);
    }
    const QDateTime from = instant(value, tzid, root, localZone);
    if (!from.isValid())
        return std::nullopt;
    const QDateTime wall = wallClock(from, shift.zone).addSecs(shift.seconds);
    const QDateTime moved(wall.date(), wall.time(), shift.zone);
    TimeForm form;
    if (!icaltime_is_utc(value))
        form = tzid ? TimeForm {TimeForm::zoned, QByteArray(tzid)} : TimeForm {TimeForm::floating};
    auto written = valueInForm(moved, form, root, localZone);
    if (!written || !*written)
        return std::nullopt; // a zone nothing knows: left as it was
    return **written;
}

// The properties of one kind, listed before any is looked into: libical keeps one property
// cursor per component, which a nested look would move.
QList<icalproperty *> propertiesOf(icalcomponent *event, icalproperty_kind kind)
{
    QList<icalproperty *> result;
    for (icalproperty *property = icalcomponent_get_first_property(event, kind); property;
         property = icalcomponent_get_next_property(event, kind))
        result.append(property);
    return result;
}

// Copied: libical hands parameter text out of a buffer it reuses.
std::optional<QByteArray> tzidOf(icalproperty *property)
{
    if (const char *tzid = icalproperty_get_parameter_as_string(property, "TZID"))
        return QByteArray(tzid);
    return std::nullopt;
}

const char *orNull(const std::optional<QByteArray> &text)
{
    return text ? text->constData() : nullptr;
}

void shiftProperties(icalcomponent *event, icalproperty_kind kind, icalcomponent *root,
    const QTimeZone &localZone, const SeriesShift &shift)
{
    for (icalproperty *property : propertiesOf(event, kind)) {
        const auto tzid = tzidOf(property);
        const auto moved = [&](const icaltimetype &value) {
            return shiftedValue(value, orNull(tzid), root, localZone, shift);
        };
        switch (kind) {
        case ICAL_EXDATE_PROPERTY:
            if (const auto value = moved(icalproperty_get_exdate(property)))
                icalproperty_set_exdate(property, *value);
            break;
        case ICAL_RECURRENCEID_PROPERTY:
            if (const auto value = moved(icalproperty_get_recurrenceid(property)))
                icalproperty_set_recurrenceid(property, *value);
            break;
        case ICAL_DTSTART_PROPERTY:
            if (const auto value = moved(icalproperty_get_dtstart(property)))
                icalproperty_set_dtstart(property, *value);
            break;
        case ICAL_DTEND_PROPERTY:
            if (const auto value = moved(icalproperty_get_dtend(property)))
                icalproperty_set_dtend(property, *value);
            break;
        case ICAL_RDATE_PROPERTY: {
            icaldatetimeperiodtype rdate = icalproperty_get_rdate(property);
            if (!icaltime_is_null_time(rdate.time)) {
                if (const auto value = moved(rdate.time))
                    rdate.time = *value;
            } else {
                if (const auto start = moved(rdate.period.start))
                    rdate.period.start = *start;
                if (const auto end = moved(rdate.period.end))
                    rdate.period.end = *end;
            }
            icalproperty_set_rdate(property, rdate);
            break;
        }
        case ICAL_RRULE_PROPERTY: {
            // The last occurrence stays within the series' end.
            icalrecurrencetype rule = icalproperty_get_rrule(property);
            if (const auto until = moved(rule.until)) {
                rule.until = *until;
                icalproperty_set_rrule(property, rule);
            }
            break;
        }
        default: break;
        }
    }
}

// A moment on one time line with the others: a date at its local midnight.
QDateTime orderOf(const Moment &moment, const QTimeZone &localZone)
{
    return moment.isDate ? moment.date.startOfDay(localZone) : moment.time;
}

bool sameMoment(const Moment &a, const Moment &b)
{
    return a.isDate == b.isDate && (a.isDate ? a.date == b.date : a.time == b.time);
}

// Far past any series a person keeps; a rule that would need more steps (every minute for
// years) leaves its exceptions where they are.
constexpr int maximumRuleSteps = 100'000;

// Whether one of the master's rules makes `moment`, counted from its start `dtstart`.
bool ruleMakes(icalproperty *rrule, const icaltimetype &dtstart, const char *tzid,
    icalcomponent *root, const Moment &moment, const QTimeZone &localZone)
{
    icalrecurrencetype rule = icalproperty_get_rrule(rrule);
    // The rule's end is compared here, as an instant: libical would compare a zone's wall
    // clock with a UTC end.
    const auto until = momentOf(rule.until, nullptr, root, localZone);
    rule.until = icaltime_null_time();
    const QDateTime wanted = orderOf(moment, localZone);
    icalrecur_iterator *iterator = icalrecur_iterator_new(rule, dtstart);
    bool found = false;
    for (int step = 0; iterator && step < maximumRuleSteps && !found; ++step) {
        const auto made = momentOf(icalrecur_iterator_next(iterator), tzid, root, localZone);
        if (!made)
            break;
        const QDateTime at = orderOf(*made, localZone);
        if (until
            && (until->isDate ? at >= until->date.addDays(1).startOfDay(localZone)
                              : at > until->time))
            break;
        if (at > wanted)
            break;
        found = sameMoment(*made, moment);
    }
    if (iterator)
        icalrecur_iterator_free(iterator);
    return found;
}

// Whether `moment` is an occurrence of the series as the master now says: its start, an added
// date or one its rules make (excluded dates aside: they name occurrences themselves).
bool isOccurrence(
    icalcomponent *root, icalcomponent *master, const Moment &moment, const QTimeZone &localZone)
{
    icalproperty *startProperty = icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY);
    if (!startProperty)
        return false;
    const icaltimetype dtstart = icalproperty_get_dtstart(startProperty);
    const auto tzid = tzidOf(startProperty);
    const auto start = momentOf(dtstart, orNull(tzid), root, localZone);
    if (!start)
        return false;
    if (sameMoment(*start, moment))
        return true;
    for (icalproperty *added : propertiesOf(master, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype rdate = icalproperty_get_rdate(added);
        const auto at
            = momentOf(icaltime_is_null_time(rdate.time) ? rdate.period.start : rdate.time,
                orNull(tzidOf(added)), root, localZone);
        if (at && sameMoment(*at, moment))
            return true;
    }
    const QList<icalproperty *> rules = propertiesOf(master, ICAL_RRULE_PROPERTY);
    return std::any_of(rules.cbegin(), rules.cend(), [&](icalproperty *rule) {
        return ruleMakes(rule, dtstart, orNull(tzid), root, moment, localZone);
    });
}

// The shift that moves one exception (an excluded date, an override's recurrence id; `value`
// as written): the series' own when that lands on an occurrence of the series as saved, else
// the change of the time of day alone when that does (a rule that pins the weekday keeps its
// occurrences on their days), else none: the exception stays on the occurrence it named.
std::optional<SeriesShift> exceptionShift(icalcomponent *root, icalcomponent *master,
    const icaltimetype &value, const char *tzid, const QTimeZone &localZone,
    const SeriesShift &shift)
{
    QList<SeriesShift> candidates {shift};
    if (shift.clockSeconds != 0 && shift.clockSeconds != shift.seconds)
        candidates.append(SeriesShift {shift.clockSeconds, shift.zone, shift.clockSeconds});
    for (const SeriesShift &candidate : std::as_const(candidates)) {
        const auto moved = shiftedValue(value, tzid, root, localZone, candidate);
        const auto at = moved ? momentOf(*moved, tzid, root, localZone) : std::nullopt;
        if (at && isOccurrence(root, master, *at, localZone))
            return candidate;
    }
    return std::nullopt;
}

// Moves the series' exceptions with its start: excluded and added dates, the end of its rule
// and the occurrences its overrides replace (with those overrides that were not moved apart).
// Only what the save kept as it was moves: rules and overrides the save wrote are as meant.
// An exception moves only onto an occurrence of the series as saved: one whose rule keeps
// the occurrence where it was (a pinned weekday) stays on it.
void shiftSeries(icalcomponent *root, icalcomponent *master, const QTimeZone &localZone,
    const SeriesShift &shift, bool rulesKept, bool overridesKept)
{
    if (rulesKept) {
        for (const auto kind : {ICAL_RDATE_PROPERTY, ICAL_RRULE_PROPERTY})
            shiftProperties(master, kind, root, localZone, shift);
        for (icalproperty *excluded : propertiesOf(master, ICAL_EXDATE_PROPERTY)) {
            const auto tzid = tzidOf(excluded);
            const icaltimetype value = icalproperty_get_exdate(excluded);
            const auto own = exceptionShift(root, master, value, orNull(tzid), localZone, shift);
            const auto moved
                = own ? shiftedValue(value, orNull(tzid), root, localZone, *own) : std::nullopt;
            if (moved)
                icalproperty_set_exdate(excluded, *moved);
        }
    }
    const auto uid = uidOf(master);
    if (!uid || !overridesKept)
        return;
    for (icalcomponent *event : allEvents(root)) {
        if (!isOverride(event) || uidOf(event) != uid)
            continue;
        const auto replaced = readMoment(event, ICAL_RECURRENCEID_PROPERTY, root, localZone);
        const auto start = readMoment(event, ICAL_DTSTART_PROPERTY, root, localZone);
        const bool inPlace = replaced && start && sameMoment(*replaced, *start);
        icalproperty *recurrenceId
            = icalcomponent_get_first_property(event, ICAL_RECURRENCEID_PROPERTY);
        const auto own = exceptionShift(root, master, icalproperty_get_recurrenceid(recurrenceId),
            orNull(tzidOf(recurrenceId)), localZone, shift);
        if (!own)
            continue;
        shiftProperties(event, ICAL_RECURRENCEID_PROPERTY, root, localZone, *own);
        if (inPlace) {
            shiftProperties(event, ICAL_DTSTART_PROPERTY, root, localZone, *own);
            shiftProperties(event, ICAL_DTEND_PROPERTY, root, localZone, *own);
        }
    }
}

// The all-day span from `start`'s day to `end`'s as DATE values: an end inside a day still covers
// that day, the first moment of a day does not.
VoidResult writeDays(icalcomponent *event, const QDateTime &start, const QDateTime &end)
{
    // Dates stay dates: an instant at a midnight that a zone skips would move the day.
    const QDate first = start.date();
    QDate last = end.isValid() ? end.date() : first;
    if (end.isValid() && end != last.startOfDay(end.timeZone()) && end.time() != QTime(0, 0))
        last = last.addDays(1);
    if (last <= first)
        last = first.addDays(1);
    TRY(writeDate(event, ICAL_DTSTART_PROPERTY, first));
    TRY(writeDate(event, ICAL_DTEND_PROPERTY, last));
    return {};
}

// Rule lines as libical writes them, so that lines from elsewhere (Google's) compare with what
// a file holds; a line libical cannot read stays as it is.
QStringList canonicalLines(const QStringList &lines)
{
    QStringList result;
    for (const QString &line : lines) {
        icalproperty *property = icalproperty_new_from_string(line.trimmed().toUtf8().constData());
        result.append(property ? propertyLine(property) : line.trimmed());
        if (property)
            icalproperty_free(property);
    }
    return result;
}

VoidResult writeRules(icalcomponent *event, const QStringList &lines)
{
    QList<icalproperty *> parsed;
    for (const QString &line : lines) {
        icalproperty *property = icalproperty_new_from_string(line.trimmed().toUtf8().constData());
        if (!property || !isRecurrenceKind(icalproperty_isa(property))) {
            if (property)
                icalproperty_free(property);
            for (icalproperty *made : std::as_const(parsed))
                icalproperty_free(made);
            return failure(ErrorDomain::invalidInput, 0,
                QStringLiteral("The recurrence line \"%1\" is not an iCalendar rule.").arg(line));
        }
        parsed.append(property);
    }
    for (const auto kind :
        {ICAL_RRULE_PROPERTY, ICAL_RDATE_PROPERTY, ICAL_EXDATE_PROPERTY, ICAL_EXRULE_PROPERTY})
        removeAll(event, kind);
    for (icalproperty *property : std::as_const(parsed))
        icalcomponent_add_property(event, property);
    return {};
}

// A VTIMEZONE for `zoneId` (from libical's zone data, under the IANA name, from 1970 on), so
// that every reader of the file knows the zone's rules.
void addZone(icalcomponent *root, const QByteArray &zoneId)
{
    if (icalcomponent_isa(root) != ICAL_VCALENDAR_COMPONENT
        || icalcomponent_get_timezone(root, zoneId.constData()))
        return;
    icaltimezone *builtin = icaltimezone_get_builtin_timezone(zoneId.constData());
    icalcomponent *definition = builtin ? icaltimezone_get_component(builtin) : nullptr;
    if (!definition)
        return; // readers fall back on the name, as this store does
    icalcomponent *zone = icalcomponent_new_clone(definition);
    if (icalproperty *tzid = icalcomponent_get_first_property(zone, ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(tzid, zoneId.constData());
    icaltimezone_truncate_vtimezone(zone,
        icaltime_from_timet_with_zone(0, 0, icaltimezone_get_utc_timezone()), icaltime_null_time(),
        0);
    icalcomponent_add_component(root, zone);
}

// Writes the series' overrides as given: each one's VEVENT is updated (what this store does
// not manage in it stays), new ones are added in the form of the series' start and those no
// longer given go. Overrides the store could not read are left alone.
VoidResult writeOverrides(icalcomponent *root, icalcomponent *master,
    const QList<LocalOccurrence> &overrides, const QList<LocalOccurrence> &previous,
    const QDateTime &now, const QTimeZone &localZone)
{
    const auto uid = uidOf(master);
    if (!uid)
        return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("A series without a UID cannot hold changed occurrences."));
    const bool allDay = icaltime_is_date(
        icalproperty_get_dtstart(icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY)));
    const TimeForm seriesForm
        = formOf(icalcomponent_get_first_property(master, ICAL_DTSTART_PROPERTY));
    QHash<qint64, icalcomponent *> existing;
    for (icalcomponent *changed : overridesOf(root, *uid)) {
        const QDateTime key = recurrenceKey(changed, root, localZone);
        if (key.isValid())
            existing.insert(key.toSecsSinceEpoch(), changed);
    }
    QSet<qint64> given;
    for (const LocalOccurrence &occurrence : overrides) {
        if (!occurrence.recurrenceId.isValid() || !occurrence.start.isValid())
            return failure(ErrorDomain::invalidInput, 0,
                QStringLiteral("A changed occurrence has no original start or no start."));
        const qint64 key = occurrence.recurrenceId.toSecsSinceEpoch();
        given.insert(key);
        icalcomponent *event = existing.value(key);
        if (!event) {
            event = icalcomponent_new(ICAL_VEVENT_COMPONENT);
            icalcomponent_add_component(root, event);
            icalcomponent_add_property(event, icalproperty_new_uid(uid->toUtf8().constData()));
            if (allDay)
                icalcomponent_add_property(event,
                    icalproperty_new_recurrenceid(
                        dateValue(occurrence.recurrenceId.toTimeZone(localZone).date())));
            else
                TRY(writeTime(root, event, ICAL_RECURRENCEID_PROPERTY, occurrence.recurrenceId,
                    seriesForm, localZone));
        }
        if (allDay) {
            TRY(writeDays(event, occurrence.start.toTimeZone(localZone),
                occurrence.end.toTimeZone(localZone)));
        } else {
            icalproperty *start = icalcomponent_get_first_property(event, ICAL_DTSTART_PROPERTY);
            const TimeForm form = start ? formOf(start) : seriesForm;
            const QDateTime end = occurrence.end.isValid() && occurrence.end >= occurrence.start
                ? occurrence.end
                : occurrence.start;
            TRY(writeTime(root, event, ICAL_DTSTART_PROPERTY, occurrence.start, form, localZone));
            TRY(writeTime(root, event, ICAL_DTEND_PROPERTY, end, form, localZone));
        }
        removeAll(event, ICAL_DURATION_PROPERTY);
        replaceText(event, ICAL_SUMMARY_PROPERTY, occurrence.title, icalproperty_new_summary);
        replaceText(
            event, ICAL_DESCRIPTION_PROPERTY, occurrence.notes, icalproperty_new_description);
        replaceText(event, ICAL_LOCATION_PROPERTY, occurrence.location, icalproperty_new_location);
        replace(event, ICAL_LASTMODIFIED_PROPERTY, icalproperty_new_lastmodified(utcTime(now)));
        replace(event, ICAL_DTSTAMP_PROPERTY, icalproperty_new_dtstamp(utcTime(now)));
    }
    for (const LocalOccurrence &occurrence : previous) {
        const qint64 key = occurrence.recurrenceId.toSecsSinceEpoch();
        if (given.contains(key))
            continue;
        if (icalcomponent *gone = existing.value(key)) {
            icalcomponent_remove_component(root, gone);
            icalcomponent_free(gone);
        }
    }
    return {};
}

// A new version for other clients and servers when the times changed.
void raiseSequence(icalcomponent *event)
{
    icalproperty *property = icalcomponent_get_first_property(event, ICAL_SEQUENCE_PROPERTY);
    const int sequence = property ? icalproperty_get_sequence(property) : 0;
    replace(event, ICAL_SEQUENCE_PROPERTY, icalproperty_new_sequence(std::max(sequence, 0) + 1));
}

// Removes the VEVENTs of `uid` (keep = false) or all other VEVENTs (keep = true).
Result<QByteArray> filterEvents(const QByteArray &text, const QString &uid, bool keep)
{
    TRY_ASSIGN(const IcalComponent root, IcalComponent::parse(text));
    if (icalcomponent_isa(root.get()) == ICAL_VEVENT_COMPONENT) {
        if (uidOf(root.get()).value_or(QString()) == uid ? keep : !keep)
            return root.toText();
        return failure(ErrorDomain::invalidInput, 0, QStringLiteral("No event is left."));
    }
    for (icalcomponent *event : allEvents(root.get())) {
        const bool matches = uidOf(event).value_or(QString()) == uid;
        if (matches != keep) {
            icalcomponent_remove_component(root.get(), event);
            icalcomponent_free(event);
        }
    }
    return root.toText();
}

} // namespace

LocalEvent storedForm(LocalEvent event)
{
    const auto text = [](std::optional<QString> &value) {
        if (!value)
            return;
        *value = normalisedText(*value);
        if (value->isEmpty())
            value.reset();
    };
    const auto toSecond = [](QDateTime &moment) {
        if (moment.isValid())
            moment = moment.addMSecs(-moment.time().msec());
    };
    event.title = normalisedText(event.title);
    text(event.notes);
    text(event.location);
    text(event.url);
    toSecond(event.start);
    toSecond(event.end);
    IcalComponent::newCalendar(); // sets libical up to refuse bad rule lines without aborting
    event.recurrence = canonicalLines(event.recurrence);
    for (LocalOccurrence &occurrence : event.overrides) {
        occurrence.title = normalisedText(occurrence.title);
        text(occurrence.notes);
        text(occurrence.location);
        toSecond(occurrence.recurrenceId);
        toSecond(occurrence.start);
        toSecond(occurrence.end);
    }
    sortOverrides(event.overrides);
    // All-day times have no zone; a zone nothing knows is not written.
    const QTimeZone zone = event.isAllDay ? QTimeZone() : zoneForTzid(event.timeZone);
    event.timeZone = zone.isValid() ? QString::fromUtf8(zone.id()) : QString();
    return event;
}

Result<LocalEvent> readEvent(const QByteArray &text, const QTimeZone &localZone)
{
    TRY_ASSIGN(const IcalComponent root, IcalComponent::parse(text));
    const QList<icalcomponent *> events = listedEvents(root.get());
    if (events.isEmpty())
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The file holds no event."));
    return readListed(events.first(), root.get(), localZone);
}

Result<QList<LocalEvent>> readEvents(const QByteArray &text, const QTimeZone &localZone)
{
    TRY_ASSIGN(const IcalComponent root, IcalComponent::parse(text));
    const QList<icalcomponent *> events = listedEvents(root.get());
    if (events.isEmpty())
        return failure(ErrorDomain::decoding, 0, QStringLiteral("The file holds no event."));
    QList<LocalEvent> result;
    for (icalcomponent *event : events) {
        auto read = readListed(event, root.get(), localZone);
        if (!read) {
            // One bad event makes the file unreadable as a whole: a partial listing would
            // let a save drop the events it could not read.
            return failure(read.error());
        }
        result.append(std::move(*read));
    }
    return result;
}

Result<QByteArray> withoutEvent(const QByteArray &text, const QString &uid)
{
    return filterEvents(text, uid, false);
}

Result<QByteArray> onlyEvent(const QByteArray &text, const QString &uid)
{
    return filterEvents(text, uid, true);
}

qsizetype eventCount(const QByteArray &text)
{
    auto root = IcalComponent::parse(text);
    return root ? listedEvents(root->get()).size() : 0;
}

Result<QByteArray> writeEvent(const LocalEvent &event, const QByteArray &previous,
    const QDateTime &now, const QTimeZone &localZone)
{
    if (event.identifier.isEmpty())
        return failure(
            ErrorDomain::invalidInput, 0, QStringLiteral("The event has no identifier."));
    if (!event.start.isValid())
        return failure(ErrorDomain::invalidInput, 0, QStringLiteral("The event has no start."));

    std::optional<IcalComponent> root;
    if (!previous.isEmpty()) {
        TRY_ASSIGN(root, IcalComponent::parse(previous));
    } else {
        root = IcalComponent::newCalendar();
    }
    icalcomponent *vevent = eventFor(root->get(), event.identifier);
    std::optional<LocalEvent> before;
    std::optional<Moment> startBefore;
    if (vevent) {
        if (auto read = readListed(vevent, root->get(), localZone))
            before = std::move(*read);
        startBefore = readMoment(vevent, ICAL_DTSTART_PROPERTY, root->get(), localZone);
    } else {
        vevent = icalcomponent_new(ICAL_VEVENT_COMPONENT);
        icalcomponent_add_component(root->get(), vevent);
    }
    const TimeForm startForm
        = formOf(icalcomponent_get_first_property(vevent, ICAL_DTSTART_PROPERTY));

    // The UID as the file wrote it stays: other programs match it byte for byte.
    if (uidOf(vevent) != event.identifier)
        replace(
            vevent, ICAL_UID_PROPERTY, icalproperty_new_uid(event.identifier.toUtf8().constData()));
    if (event.isAllDay) {
        TRY(writeDays(vevent, event.start, event.end));
    } else {
        const QDateTime end
            = event.end.isValid() && event.end >= event.start ? event.end : event.start;
        icalproperty *oldEnd = icalcomponent_get_first_property(vevent, ICAL_DTEND_PROPERTY);
        TimeForm writtenForm = startForm;
        TimeForm endForm = oldEnd ? formOf(oldEnd) : startForm;
        // A zone given for the event: its times are kept on that zone's wall clock.
        const QTimeZone wanted = zoneForTzid(event.timeZone);
        if (wanted.isValid()
            && !(startForm.kind == TimeForm::zoned
                && zoneForTzid(QString::fromUtf8(startForm.tzid)) == wanted)) {
            writtenForm = endForm = {TimeForm::zoned, wanted.id()};
            addZone(root->get(), wanted.id());
        }
        TRY(writeTime(
            root->get(), vevent, ICAL_DTSTART_PROPERTY, event.start, writtenForm, localZone));
        TRY(writeTime(root->get(), vevent, ICAL_DTEND_PROPERTY, end, endForm, localZone));
    }
    removeAll(vevent, ICAL_DURATION_PROPERTY);
    if (before
        && (before->start != event.start || before->end != event.end
            || before->isAllDay != event.isAllDay)) {
        // Compared as read back, so a time written as it was is no change.
        const auto after = readOne(vevent, root->get(), localZone);
        if (!after || after->start != before->start || after->end != before->end
            || after->isAllDay != before->isAllDay)
            raiseSequence(vevent);
    }
    bool rulesKept = true;
    bool overridesKept = true;
    if (!isOverride(vevent)) {
        const QStringList rulesBefore = before ? before->recurrence : QStringList();
        if (canonicalLines(event.recurrence) != rulesBefore) {
            TRY(writeRules(vevent, event.recurrence));
            rulesKept = false;
        }
        const QList<LocalOccurrence> overridesBefore
            = before ? before->overrides : QList<LocalOccurrence>();
        if (storedForm(LocalEvent {.overrides = event.overrides}).overrides != overridesBefore) {
            TRY(writeOverrides(
                root->get(), vevent, event.overrides, overridesBefore, now, localZone));
            overridesKept = false;
        }
    }
    if (startBefore && !isOverride(vevent)) {
        const auto startAfter = readMoment(vevent, ICAL_DTSTART_PROPERTY, root->get(), localZone);
        if (startAfter) {
            const auto shift = seriesShift(*startBefore, *startAfter, startForm, localZone);
            if (shift && shift->seconds != 0)
                shiftSeries(root->get(), vevent, localZone, *shift, rulesKept, overridesKept);
        }
    }
    replaceText(vevent, ICAL_SUMMARY_PROPERTY, event.title, icalproperty_new_summary);
    replaceText(vevent, ICAL_DESCRIPTION_PROPERTY, event.notes, icalproperty_new_description);
    replaceText(vevent, ICAL_LOCATION_PROPERTY, event.location, icalproperty_new_location);
    replaceText(vevent, ICAL_URL_PROPERTY, event.url, icalproperty_new_url);
    if (!icalcomponent_get_first_property(vevent, ICAL_CREATED_PROPERTY)) {
        const QDateTime created
            = event.created.isValid() && inHeldRange(event.created.toUTC().date().year())
            ? event.created
            : now;
        icalcomponent_add_property(vevent, icalproperty_new_created(utcTime(created)));
    }
    replace(vevent, ICAL_LASTMODIFIED_PROPERTY, icalproperty_new_lastmodified(utcTime(now)));
    replace(vevent, ICAL_DTSTAMP_PROPERTY, icalproperty_new_dtstamp(utcTime(now)));
    QByteArray text = root->toText();
    if (text.isEmpty())
        return failure(ErrorDomain::invalidInput, 0,
            QStringLiteral("The event cannot be written as iCalendar text."));
    return text;
}

} // namespace tolvo::ics
