#include "services/DateManager.h"

#include "core/CalendarContext.h"
#include "core/Unimplemented.h"

namespace tolvo {

DateManager DateManager::startingAt(const QDateTime &date)
{
    auto subject = Subject<QDateTime>::withCurrentValue(date);
    DateManager manager;
    manager.selectDate = [subject](const QDateTime &selected) { subject->send(selected); };
    manager.selectedDate = [subject] { return *subject->currentValue(); };
    manager.listenDateSelection = [subject] {
        return Publisher<QDateTime>([subject](Subscriber<QDateTime> subscriber) {
            return subject->subscribe(std::move(subscriber));
        });
    };
    return manager;
}

DateManager DateManager::liveValue()
{
    const auto context = Dependencies::current<CalendarContext>();
    return startingAt(context.now().toTimeZone(context.zone));
}

DateManager DateManager::testValue()
{
    constexpr const char *name = "DateManager";
    DateManager manager;
    manager.selectDate = unimplemented<void(const QDateTime &)>(name, "selectDate");
    manager.selectedDate = unimplemented<QDateTime()>(name, "selectedDate");
    manager.listenDateSelection
        = unimplemented<Publisher<QDateTime>()>(name, "listenDateSelection");
    return manager;
}

} // namespace tolvo
