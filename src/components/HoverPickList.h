#pragma once

#include <QListView>
#include <QVariant>

#include <functional>

class QStandardItemModel;

namespace tolvo {

// A white list of plain rows for a picker popover. The row the pointer last entered gets a
// soft rounded highlight that stays when the pointer leaves (rows with the same id light up
// together); a click hands the row's value to the handler, once, and the list never closes
// itself. Long texts are elided; the list is as tall as its rows up to `maximumRows`.
class HoverPickList : public QListView
{
    Q_OBJECT
public:
    struct Row
    {
        QVariant id; // what the highlight compares
        QString text;
        QVariant value; // what a click hands on
    };

    static constexpr int rowHeight = 36;
    static constexpr int highlightRadius = 12;
    static constexpr int maximumRows = 8;
    static constexpr int emptyHeight = 44;

    HoverPickList(const QList<Row> &rows, std::function<void(const QVariant &)> handler,
        QWidget *parent = nullptr);

    QVariant hoveredItemId() const { return m_hoveredId; }
    int rowCount() const;
    QRect rowRect(int row) const;

    QSize sizeHint() const override;

private:
    QStandardItemModel *m_model;
    std::function<void(const QVariant &)> m_handler;
    QVariant m_hoveredId;
};

} // namespace tolvo
