#include "core/EventTexts.h"

#include <QList>

namespace tolvo {

namespace {
// A date or time format in pieces: a field ("dddd", "MM"), a quoted literal ("'de'") or a
// run of separators (", ").
struct FormatPiece
{
    enum class Kind { field, literal, separator };
    Kind kind;
    QString text;
};

QList<FormatPiece> splitFormat(const QString &format)
{
    QList<FormatPiece> pieces;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        qsizetype end = i + 1;
        FormatPiece::Kind kind = FormatPiece::Kind::separator;
        if (c == QLatin1Char('\'')) {
            kind = FormatPiece::Kind::literal;
            while (end < format.size() && format.at(end) != QLatin1Char('\''))
                ++end;
            end = qMin(end + 1, format.size());
        } else if (c.isLetter()) {
            kind = FormatPiece::Kind::field;
            while (end < format.size() && format.at(end) == c)
                ++end;
        } else {
            while (end < format.size() && !format.at(end).isLetter()
                && format.at(end) != QLatin1Char('\''))
                ++end;
        }
        pieces.append({kind, format.mid(i, end - i)});
        i = end;
    }
    return pieces;
}

bool isSeparator(const QList<FormatPiece> &pieces, qsizetype i)
{
    return i >= 0 && i < pieces.size() && pieces[i].kind == FormatPiece::Kind::separator;
}

// Drops the field at `i` with the separator that joins it to the rest: the one before it, or
// the one after it when it comes first.
void dropField(QList<FormatPiece> &pieces, qsizetype i)
{
    if (isSeparator(pieces, i - 1) && i - 1 > 0) {
        pieces.remove(i - 1, 2);
    } else {
        pieces.remove(i);
        if (isSeparator(pieces, i) && i == 0)
            pieces.remove(i);
    }
}

QString joinFormat(const QList<FormatPiece> &pieces)
{
    QString format;
    for (const FormatPiece &piece : pieces)
        format += piece.text;
    return format.trimmed();
}
} // namespace

QString shortTimeFormat(const QLocale &locale)
{
    QList<FormatPiece> pieces = splitFormat(locale.timeFormat(QLocale::ShortFormat));
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (i >= pieces.size())
            continue; // a drop took the separator after it too
        const FormatPiece &piece = pieces[i];
        if (piece.kind == FormatPiece::Kind::field
            && (piece.text.front() == QLatin1Char('s') || piece.text.front() == QLatin1Char('z')))
            dropField(pieces, i);
    }
    return joinFormat(pieces);
}

QString mediumDateFormat(const QLocale &locale)
{
    QList<FormatPiece> pieces = splitFormat(locale.dateFormat(QLocale::LongFormat));
    for (qsizetype i = pieces.size() - 1; i >= 0; --i) {
        if (i >= pieces.size())
            continue;
        FormatPiece &piece = pieces[i];
        if (piece.kind != FormatPiece::Kind::field)
            continue;
        if (piece.text.front() == QLatin1Char('d') && piece.text.size() >= 3)
            dropField(pieces, i); // the weekday's name
        else if (piece.text.front() == QLatin1Char('M') && piece.text.size() == 4)
            piece.text = QStringLiteral("MMM");
    }
    return joinFormat(pieces);
}

QString shortTime(const QDateTime &moment, const CalendarContext &context)
{
    return context.locale.toString(
        moment.toTimeZone(context.zone).time(), shortTimeFormat(context.locale));
}

QString mediumDateTime(const QDateTime &moment, const CalendarContext &context)
{
    const QDateTime local = moment.toTimeZone(context.zone);
    return context.locale.toString(local.date(), mediumDateFormat(context.locale))
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
