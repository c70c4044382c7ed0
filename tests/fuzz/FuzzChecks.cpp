#include "FuzzChecks.h"

#include "core/GoogleCalendarEvent.h"
#include "platform/EventStreamLines.h"
#include "platform/IcsEvent.h"
#include "platform/SqliteConnection.h"
#include "services/GoogleCalendarMapping.h"
#include "services/UserDefaultsClient.h"

#include <QJsonDocument>
#include <QTimeZone>

namespace tolvo::fuzz {

namespace {
// A zone with midnights that do not exist, where date handling goes wrong first.
const QTimeZone &testZone()
{
    static const QTimeZone zone(QByteArrayLiteral("America/Sao_Paulo"));
    return zone;
}

QString sameEvent(const LocalEvent &expected, const LocalEvent &actual)
{
    const auto differs = [](const char *field, const QString &a, const QString &b) {
        return QStringLiteral("%1 changed on a save: %2 became %3").arg(QLatin1String(field), a, b);
    };
    if (expected.start != actual.start)
        return differs(
            "start", expected.start.toString(Qt::ISODate), actual.start.toString(Qt::ISODate));
    if (expected.end != actual.end)
        return differs("end", expected.end.toString(Qt::ISODate), actual.end.toString(Qt::ISODate));
    if (expected.isAllDay != actual.isAllDay)
        return differs(
            "all-day", QString::number(expected.isAllDay), QString::number(actual.isAllDay));
    if (expected.title != actual.title)
        return differs("title", expected.title, actual.title);
    if (expected.notes.value_or(QString()) != actual.notes.value_or(QString()))
        return differs(
            "notes", expected.notes.value_or(QString()), actual.notes.value_or(QString()));
    if (expected.location.value_or(QString()) != actual.location.value_or(QString()))
        return differs(
            "location", expected.location.value_or(QString()), actual.location.value_or(QString()));
    return {};
}
} // namespace

QString checkEventStreamLines(const QByteArray &input)
{
    QByteArray whole = input;
    const QList<QByteArray> expected = takeStreamLines(whole);
    if (whole.contains('\n'))
        return QStringLiteral("a line end was left in the buffer");
    for (const QByteArray &line : expected) {
        if (line.contains('\n'))
            return QStringLiteral("a line holds a line end");
    }
    const qsizetype cut = input.isEmpty() ? 0 : quint8(input.at(0)) % (input.size() + 1);
    QByteArray buffer = input.left(cut);
    QList<QByteArray> lines = takeStreamLines(buffer);
    buffer.append(input.mid(cut));
    lines.append(takeStreamLines(buffer));
    if (lines != expected || buffer != whole)
        return QStringLiteral("cutting the body at %1 changed its lines").arg(cut);
    return {};
}

QString checkGoogleJson(const QByteArray &input)
{
    const QJsonDocument document = QJsonDocument::fromJson(input);
    if (!document.isObject())
        return {};
    const QJsonObject object = document.object();
    const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
    google::calendarFromResource(object, now);
    (void)google::channelFromWatchAnswer(QStringLiteral("calendar"), object);
    for (const GoogleCalendarEvent &event : {google::eventFromResource(object, testZone()),
             google::eventFromResource(object, QTimeZone::utc())}) {
        const auto stored = GoogleCalendarEvent::fromJson(event.toJson());
        if (!stored)
            return QStringLiteral("a mapped event cannot be read back: ") + stored.error().message;
        if (!(*stored == event))
            return QStringLiteral("a mapped event reads back changed");
    }
    // A stored event that reads back stores the same again.
    if (const auto stored = GoogleCalendarEvent::fromJson(object)) {
        const auto again = GoogleCalendarEvent::fromJson(stored->toJson());
        if (!again || !(*again == *stored))
            return QStringLiteral("a stored event changes on a second store");
    }
    return {};
}

QString checkIcsRoundTrip(const QByteArray &input)
{
    const auto events = ics::readEvents(input, testZone());
    if (!events)
        return {};
    const QDateTime now(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC);
    for (const LocalEvent &read : events->mid(0, 4)) {
        LocalEvent event = read;
        if (event.identifier.isEmpty())
            event.identifier = QStringLiteral("file-name");
        for (const QByteArray &previous : {input, QByteArray()}) {
            const auto written = ics::writeEvent(event, previous, now, testZone());
            if (!written)
                continue; // refused with an error: nothing is lost
            // A text that does not read back as the event saved is refused by the store, which
            // keeps the old file: what must not happen is a text that reads back changed.
            const auto again = ics::readEvents(*written, testZone());
            if (!again)
                continue;
            if (!previous.isEmpty() && again->size() < events->size())
                return QStringLiteral("a save lost events: %1 became %2")
                    .arg(events->size())
                    .arg(again->size());
            const auto found
                = std::find_if(again->cbegin(), again->cend(), [&](const LocalEvent &candidate) {
                      return candidate.identifier == event.identifier;
                  });
            if (found == again->cend())
                continue;
            if (const QString difference = sameEvent(event, *found); !difference.isEmpty())
                return difference;
        }
    }
    return {};
}

QString checkStoredValues(const QByteArray &input)
{
    if (const auto value = decodeJsonValue(input)) {
        const auto again = decodeJsonValue(encodeJsonValue(*value));
        if (!again || *again != *value)
            return QStringLiteral("a stored value changes when stored again");
    }
    if (const auto text = decodeJsonString(input)) {
        const auto again = decodeJsonString(encodeJsonValue(QJsonValue(*text)));
        if (!again || *again != *text)
            return QStringLiteral("a stored text changes when stored again");
    }
    if (const auto date = sqliteDateFromText(QString::fromUtf8(input))) {
        const auto again = sqliteDateFromText(sqliteDateText(*date));
        if (!again || *again != *date)
            return QStringLiteral("a stored date changes when stored again");
    }
    return {};
}

} // namespace tolvo::fuzz
