#include "services/DateManager.h"

namespace tolvo {

DateManager DateManager::liveValue()
{
    auto subject = Subject<QDateTime>::withCurrentValue(QDateTime::currentDateTime());
    DateManager manager;
    manager.selectDate = [subject](const QDateTime &date) { subject->send(date); };
    manager.selectedDate = [subject] { return *subject->currentValue(); };
    manager.listenDateSelection = [subject] {
        return Publisher<QDateTime>([subject](Subscriber<QDateTime> subscriber) {
            return subject->subscribe(std::move(subscriber));
        });
    };
    return manager;
}

} // namespace tolvo
