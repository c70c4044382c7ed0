#pragma once

#include <QList>
#include <QScrollArea>
#include <QUuid>

#include <functional>

class QVBoxLayout;

namespace tolvo {

// One row of an event list: the event's identity and what draws it.
struct EventListItem
{
    QUuid identifier;
    std::function<QWidget *()> content;
};

// A vertical, transparent list of events, each drawn by the widget its item makes, 10 px
// apart and 10 px inside the edges. Setting new items keeps the widget of every identifier
// that stays and makes widgets only for new ones.
class CollectionViewController : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int spacing = 10;

    explicit CollectionViewController(QList<EventListItem> items = {}, QWidget *parent = nullptr);

    void setItems(QList<EventListItem> items);
    QList<QUuid> identifiers() const;
    // The widget showing `identifier`, or null.
    QWidget *rowWidget(const QUuid &identifier) const;
    qsizetype count() const { return m_rows.size(); }

private:
    struct Row
    {
        QUuid identifier;
        QWidget *widget;
    };

    QWidget *m_list;
    QVBoxLayout *m_layout;
    QList<Row> m_rows;
};

} // namespace tolvo
