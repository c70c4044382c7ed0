#include "reserve/ContentViewController.h"

#include "reserve/MenuElement.h"
#include "reserve/MenuLabel.h"
#include "reserve/MenuScrollView.h"
#include "reserve/MenuScroller.h"

#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace tolvo {

namespace {

class MenuSeparator : public QWidget
{
public:
    MenuSeparator(const MenuBaseConfiguration &style, QWidget *parent)
        : QWidget(parent)
        , m_color(style.separatorColor())
        , m_horizontal(style.separatorHorizontalPadding())
        , m_vertical(style.separatorVerticalPadding())
        , m_thickness(style.separatorThickness())
    {
        setFixedHeight(int(std::ceil(m_vertical.top + m_thickness + m_vertical.bottom)));
    }

    QRectF line() const
    {
        return QRectF(m_horizontal.left, m_vertical.top,
            width() - m_horizontal.left - m_horizontal.right, m_thickness);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(line(), m_color);
    }

private:
    QColor m_color;
    MenuBaseConfiguration::Padding::Horizontal m_horizontal;
    MenuBaseConfiguration::Padding::Vertical m_vertical;
    qreal m_thickness;
};

} // namespace

ContentViewController::ContentViewController(std::optional<QString> title, QList<MenuItem> items,
    MenuStyle style, std::optional<QUuid> selectedId, QWidget *parent)
    : QWidget(parent)
    , m_items(std::move(items))
    , m_style(std::move(style))
{
    const MenuBaseConfiguration &config = *m_style;
    const QMarginsF insets = config.contentInsets();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, int(insets.top()), 0, int(insets.bottom()));
    layout->setSpacing(0);

    if (title) {
        m_title = new MenuLabel(*title, config.titleFont(), config.titleColor(),
            config.contentAlignment() == MenuBaseConfiguration::Alignment::right ? Qt::AlignRight
                                                                                 : Qt::AlignLeft,
            this);
        auto *titleRow = new QHBoxLayout;
        titleRow->setContentsMargins(int(insets.left()), 0, int(insets.right()), 0);
        titleRow->addWidget(m_title);
        layout->addLayout(titleRow);
        layout->addSpacing(int(config.titleSpacing()));
    }

    m_scrollView = new MenuScrollView(this);
    m_stack = new QWidget;
    auto *stack = new QVBoxLayout(m_stack);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    for (const MenuItem &item : std::as_const(m_items)) {
        if (item.isSeparator) {
            auto *separator = new MenuSeparator(config, m_stack);
            stack->addWidget(separator);
            m_elements << separator;
            continue;
        }
        auto *element
            = new MenuElement(item, selectedId && *selectedId == item.id, m_style, m_stack);
        connect(element, &MenuElement::clicked, this,
            [this](MenuElement *clicked) { menuElementDidClick(clicked); });
        connect(element, &MenuElement::hovered, this, [this](MenuElement *row, bool hovered) {
            // The pointer takes the highlight over from the keyboard.
            const qsizetype index = m_elements.indexOf(row);
            if (hovered && index != m_highlighted) {
                if (MenuElement *previous = elementAt(m_highlighted))
                    previous->setHighlighted(false);
                m_highlighted = index;
            } else if (!hovered && index == m_highlighted) {
                m_highlighted = -1;
            }
        });
        stack->addWidget(element);
        m_elements << element;
    }
    stack->addStretch();
    m_scrollView->setWidget(m_stack);
    m_stack->setAutoFillBackground(false); // the window's card shows through

    const std::optional<qreal> maximumHeight = config.maximumHeight();
    m_scrollView->setScrollingEnabled(maximumHeight.has_value());
    if (maximumHeight) {
        m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        m_scrollView->setFixedHeight(int(std::abs(*maximumHeight)));
    } else {
        m_scrollView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scrollView->setFixedHeight(m_stack->sizeHint().height());
    }
    layout->addWidget(m_scrollView);
}

MenuElement *ContentViewController::elementAt(qsizetype index) const
{
    return qobject_cast<MenuElement *>(m_elements.value(index));
}

QSize ContentViewController::sizeHint() const
{
    const QMarginsF insets = m_style->contentInsets();
    int width = m_stack->sizeHint().width();
    if (m_style->maximumHeight())
        width += MenuScroller::thickness;
    if (m_title)
        width = std::max(width, m_title->sizeHint().width() + int(insets.left() + insets.right()));
    return {width, QWidget::sizeHint().height()};
}

void ContentViewController::menuElementDidClick(QWidget *element)
{
    const qsizetype index = m_elements.indexOf(element);
    if (index < 0 || index >= m_items.size())
        return;
    emit didSelectItem(m_items[index].id);
}

void ContentViewController::setHighlighted(qsizetype index)
{
    if (MenuElement *previous = elementAt(m_highlighted))
        previous->setHighlighted(false);
    m_highlighted = index;
    if (MenuElement *element = elementAt(index)) {
        element->setHighlighted(true);
        m_scrollView->ensureWidgetVisible(element, 0, 0);
    }
}

void ContentViewController::moveHighlight(int step)
{
    const qsizetype count = m_elements.size();
    if (count == 0 || step == 0)
        return;
    const int direction = step > 0 ? 1 : -1;
    qsizetype index = m_highlighted;
    for (qsizetype tried = 0; tried < count; ++tried) {
        if (index < 0)
            index = direction > 0 ? 0 : count - 1;
        else
            index = (index + direction + count) % count;
        MenuElement *element = elementAt(index);
        if (element && element->canActivate()) {
            setHighlighted(index);
            return;
        }
    }
}

bool ContentViewController::activateHighlighted()
{
    MenuElement *element = elementAt(m_highlighted);
    if (!element || !element->canActivate())
        return false;
    element->activate();
    return true;
}

} // namespace tolvo
