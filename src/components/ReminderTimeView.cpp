#include "components/ReminderTimeView.h"

#include <QCoreApplication>

namespace tolvo {

const QList<qint64> &reminderChoices()
{
    static const QList<qint64> choices {5, 10, 15, 30, 60};
    return choices;
}

QString reminderText(qint64 minutes)
{
    return QCoreApplication::translate("ReminderTimeView", "%1 minutes before event").arg(minutes);
}

namespace {
QList<HoverPickList::Row> rowsFor(const QList<qint64> &minutes)
{
    QList<HoverPickList::Row> rows;
    for (const qint64 value : minutes)
        rows.append({value, reminderText(value), value});
    return rows;
}
} // namespace

ReminderTimeView::ReminderTimeView(const QList<qint64> &remindersTime,
    std::function<void(qint64)> reminderTimeSelectionHandler, QWidget *parent)
    : HoverPickList(
        rowsFor(remindersTime),
        [handler = std::move(reminderTimeSelectionHandler)](const QVariant &value) {
            if (handler)
                handler(value.toLongLong());
        },
        parent)
{
}

} // namespace tolvo
