#pragma once

#include <QDateTime>
#include <QHashFunctions>
#include <QString>
#include <QUuid>

#include <optional>

namespace tolvo {

// The item that the day, week, month and agenda views draw. The colour is held as 0xAARRGGBB
// (what QColor::rgba() gives) because this layer has no QtGui.
struct CalendarEvent
{
    QUuid id;
    QString identifier; // the Google event id
    QString title;
    QDateTime startDate;
    QDateTime endDate;
    quint32 color = 0;
    std::optional<QString> location;
    std::optional<QString> notes;
    std::optional<QString> hangoutLink;
    bool isAllDAy = false;

    friend bool operator==(const CalendarEvent &, const CalendarEvent &) = default;
};

size_t qHash(const CalendarEvent &event, size_t seed = 0);

} // namespace tolvo
