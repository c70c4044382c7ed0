#include "components/HoverPickList.h"

#include "components/Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QStandardItemModel>
#include <QStyledItemDelegate>

namespace tolvo {

namespace {
constexpr int idRole = Qt::UserRole + 1;
constexpr int valueRole = Qt::UserRole + 2;
constexpr int textPadding = 10;

class RowDelegate : public QStyledItemDelegate
{
public:
    explicit RowDelegate(const HoverPickList *list)
        : QStyledItemDelegate(const_cast<HoverPickList *>(list))
        , m_list(list)
    {
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QVariant hovered = m_list->hoveredItemId();
        if (hovered.isValid() && index.data(idRole) == hovered) {
            QPainterPath path;
            path.addRoundedRect(QRectF(option.rect), HoverPickList::highlightRadius,
                HoverPickList::highlightRadius);
            painter->fillPath(path, palette::backgroundLight());
        }
        painter->setPen(palette::textDark());
        painter->setFont(option.font);
        const QRect textRect = option.rect.adjusted(textPadding, 0, -textPadding, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
            option.fontMetrics.elidedText(
                index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textRect.width()));
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(
            option.fontMetrics.horizontalAdvance(index.data().toString()) + 2 * textPadding,
            HoverPickList::rowHeight);
    }

private:
    const HoverPickList *m_list;
};
} // namespace

HoverPickList::HoverPickList(
    const QList<Row> &rows, std::function<void(const QVariant &)> handler, QWidget *parent)
    : QListView(parent)
    , m_model(new QStandardItemModel(this))
    , m_handler(std::move(handler))
{
    for (const Row &row : rows) {
        auto *item = new QStandardItem(row.text);
        item->setData(row.id, idRole);
        item->setData(row.value, valueRole);
        item->setEditable(false);
        m_model->appendRow(item);
    }
    setModel(m_model);
    setItemDelegate(new RowDelegate(this));
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setUniformItemSizes(true);
    setFocusPolicy(Qt::NoFocus);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::white);
    colours.setColor(QPalette::Window, Qt::white);
    colours.setColor(QPalette::Text, palette::textDark());
    setPalette(colours);
    setAutoFillBackground(true);
    viewport()->setAutoFillBackground(true);

    connect(this, &QAbstractItemView::entered, this, [this](const QModelIndex &index) {
        m_hoveredId = index.data(idRole);
        viewport()->update();
    });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &index) {
        if (m_handler)
            m_handler(index.data(valueRole));
    });
}

int HoverPickList::rowCount() const
{
    return m_model->rowCount();
}

QRect HoverPickList::rowRect(int row) const
{
    return visualRect(m_model->index(row, 0));
}

QSize HoverPickList::sizeHint() const
{
    const int rows = qMin(rowCount(), maximumRows);
    return QSize(QListView::sizeHint().width(), rows == 0 ? emptyHeight : rows * rowHeight);
}

} // namespace tolvo
