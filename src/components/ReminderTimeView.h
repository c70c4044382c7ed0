#pragma once

#include "components/HoverPickList.h"

namespace tolvo {

// The reminder lead times offered by the meeting forms, in minutes.
const QList<qint64> &reminderChoices();
// "30 minutes before event" (the same words for every count).
QString reminderText(qint64 minutes);

// The forms' reminder list: one row per lead time; a click hands its minutes to the handler.
// It does not mark the form's current choice.
class ReminderTimeView : public HoverPickList
{
    Q_OBJECT
public:
    ReminderTimeView(const QList<qint64> &remindersTime,
        std::function<void(qint64)> reminderTimeSelectionHandler, QWidget *parent = nullptr);
};

} // namespace tolvo
