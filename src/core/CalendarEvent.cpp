#include "core/CalendarEvent.h"

namespace tolvo {

namespace {
size_t hashOptional(const std::optional<QString> &value, size_t seed)
{
    return value ? ::qHash(*value, seed) : ::qHash(-1, seed);
}
} // namespace

size_t qHash(const CalendarEvent &event, size_t seed)
{
    QtPrivate::QHashCombine combine;
    seed = combine(seed, ::qHash(event.id));
    seed = combine(seed, ::qHash(event.identifier));
    seed = combine(seed, ::qHash(event.title));
    seed = combine(seed, ::qHash(event.startDate));
    seed = combine(seed, ::qHash(event.endDate));
    seed = combine(seed, ::qHash(event.color));
    seed = combine(seed, hashOptional(event.location, 1));
    seed = combine(seed, hashOptional(event.notes, 2));
    seed = combine(seed, hashOptional(event.hangoutLink, 3));
    seed = combine(seed, ::qHash(event.isAllDAy));
    return seed;
}

} // namespace tolvo
