#include "core/EventTexts.h"

namespace tolvo {

QString shortTime(const QDateTime &moment, const CalendarContext &context)
{
    return context.locale.toString(moment.toTimeZone(context.zone).time(), QLocale::ShortFormat);
}

QString mediumDateTime(const QDateTime &moment, const CalendarContext &context)
{
    const QDateTime local = moment.toTimeZone(context.zone);
    return context.locale.toString(local.date(), QStringLiteral("MMM d, yyyy"))
        + QStringLiteral(", ") + shortTime(moment, context);
}

QString timeRangeText(const CalendarEvent &event, const CalendarContext &context)
{
    return shortTime(event.startDate, context) + QStringLiteral(" - ")
        + shortTime(event.endDate, context);
}

QString detailsTimeText(const CalendarEvent &event, const CalendarContext &context)
{
    if (event.isAllDAy)
        return QObject::tr("All-Day Event");
    return mediumDateTime(event.startDate, context) + QStringLiteral(" - ")
        + mediumDateTime(event.endDate, context);
}

QString agendaTimeText(const CalendarEvent &event, const CalendarContext &context)
{
    if (event.isAllDAy)
        return QObject::tr("All-Day Event");
    const QString pattern = QStringLiteral("h:mm AP");
    return context.locale.toString(event.startDate.toTimeZone(context.zone).time(), pattern)
        + QStringLiteral(" - ")
        + context.locale.toString(event.endDate.toTimeZone(context.zone).time(), pattern);
}

std::optional<QUrl> meetingLinkUrl(const QString &link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return url;
}

} // namespace tolvo
