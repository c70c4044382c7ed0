#include "core/SyncBus.h"

namespace tolvo {

SyncBus SyncBus::liveValue()
{
    auto subject = Subject<CalendarSyncUpdate>::passthrough();
    SyncBus bus;
    bus.postGoogleChanged = [subject](const CalendarSyncUpdate &update) { subject->send(update); };
    bus.googleChanged = subject->publisher();
    return bus;
}

} // namespace tolvo
