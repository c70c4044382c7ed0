#pragma once

#include "reserve/MenuConfiguration.h"
#include "reserve/MenuItem.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <optional>

namespace tolvo {

class MenuElement;
class MenuLabel;
class MenuScrollView;

// What the popup menu shows: an optional title and the list of rows and separators, which
// scrolls inside the style's maximum height or, without one, is as tall as its rows. The
// keyboard moves a highlight over the rows that can be chosen.
class ContentViewController : public QWidget
{
    Q_OBJECT
public:
    ContentViewController(std::optional<QString> title, QList<MenuItem> items, MenuStyle style,
        std::optional<QUuid> selectedId, QWidget *parent = nullptr);

    const QList<MenuItem> &menuItems() const { return m_items; }
    // One widget per entry, in order: a MenuElement, or a separator line.
    const QList<QWidget *> &menuElements() const { return m_elements; }
    MenuElement *elementAt(qsizetype index) const;
    MenuScrollView *scrollView() const { return m_scrollView; }
    MenuLabel *titleLabel() const { return m_title; }
    const MenuStyle &configuration() const { return m_style; }

    // Reports the entry of a clicked row (a widget that is not one of the rows is ignored).
    void menuElementDidClick(QWidget *element);

    // Keyboard: the next (step 1) or previous (-1) row that can be chosen, round the ends,
    // past separators, disabled entries and custom rows.
    void moveHighlight(int step);
    qsizetype highlightedIndex() const { return m_highlighted; }
    // Chooses the highlighted row as a click would; false when none is highlighted.
    bool activateHighlighted();

    QSize sizeHint() const override;

signals:
    void didSelectItem(const QUuid &id);

private:
    void setHighlighted(qsizetype index);

    QList<MenuItem> m_items;
    MenuStyle m_style;
    QList<QWidget *> m_elements;
    MenuLabel *m_title = nullptr;
    MenuScrollView *m_scrollView = nullptr;
    QWidget *m_stack = nullptr;
    qsizetype m_highlighted = -1;
};

} // namespace tolvo
