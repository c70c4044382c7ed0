#include "reserve/CollectionViewController.h"

#include <QHash>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvo {

CollectionViewController::CollectionViewController(QList<EventListItem> items, QWidget *parent)
    : QScrollArea(parent)
    , m_list(new QWidget)
    , m_layout(new QVBoxLayout(m_list))
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    m_layout->setContentsMargins(spacing, spacing, spacing, spacing);
    m_layout->setSpacing(spacing);
    m_layout->addStretch();
    setWidget(m_list);
    m_list->setAutoFillBackground(false); // setWidget turned it on
    setItems(std::move(items));
}

void CollectionViewController::setItems(QList<EventListItem> items)
{
    QHash<QUuid, QWidget *> kept;
    for (const Row &row : std::as_const(m_rows))
        kept.insert(row.identifier, row.widget);
    QList<Row> rows;
    for (EventListItem &item : items) {
        // An identifier listed twice is shown once.
        if (std::any_of(rows.cbegin(), rows.cend(),
                [&item](const Row &row) { return row.identifier == item.identifier; }))
            continue;
        QWidget *widget = kept.take(item.identifier);
        if (!widget && item.content)
            widget = item.content();
        if (!widget)
            continue;
        rows.append({item.identifier, widget});
    }
    for (QWidget *gone : std::as_const(kept))
        delete gone;
    for (const Row &row : std::as_const(rows))
        m_layout->removeWidget(row.widget);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        m_layout->insertWidget(int(i), rows[i].widget);
        rows[i].widget->show();
    }
    m_rows = std::move(rows);
}

QList<QUuid> CollectionViewController::identifiers() const
{
    QList<QUuid> result;
    for (const Row &row : m_rows)
        result << row.identifier;
    return result;
}

QWidget *CollectionViewController::rowWidget(const QUuid &identifier) const
{
    for (const Row &row : m_rows) {
        if (row.identifier == identifier)
            return row.widget;
    }
    return nullptr;
}

} // namespace tolvo
