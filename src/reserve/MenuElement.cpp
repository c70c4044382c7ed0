#include "reserve/MenuElement.h"

#include "reserve/CheckmarkView.h"
#include "reserve/Control.h"
#include "reserve/MenuLabel.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>

namespace tolvo {

namespace {

// A row's image: drawn in the tint colour when it is a mask, as it is otherwise.
class MenuImageView : public QWidget
{
public:
    MenuImageView(QIcon icon, std::optional<qreal> side, QWidget *parent)
        : QWidget(parent)
        , m_icon(std::move(icon))
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        QSize size = side ? QSize(int(*side), int(*side)) : m_icon.availableSizes().value(0);
        if (size.isEmpty())
            size = QSize(16, 16);
        setFixedSize(size);
    }

    QColor tint() const { return m_icon.isMask() ? m_tint : QColor(); }
    void setTint(const std::optional<QColor> &tint)
    {
        m_tint = tint.value_or(QColor());
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QPixmap pixmap = m_icon.pixmap(size(), devicePixelRatioF());
        if (m_icon.isMask() && m_tint.isValid()) {
            QPainter tinted(&pixmap);
            tinted.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tinted.fillRect(pixmap.rect(), m_tint);
        }
        painter.drawPixmap(rect(), pixmap);
    }

private:
    QIcon m_icon;
    QColor m_tint;
};

Qt::Alignment textAlignment(MenuBaseConfiguration::Alignment alignment)
{
    return alignment == MenuBaseConfiguration::Alignment::right ? Qt::AlignRight : Qt::AlignLeft;
}

} // namespace

MenuElement::MenuElement(const MenuItem &item, bool isSelected, MenuStyle style, QWidget *parent)
    : QWidget(parent)
    , m_style(std::move(style))
    , m_selected(isSelected)
    , m_handler(item.action)
{
    if (!item.isEnabled) {
        auto *half = new QGraphicsOpacityEffect(this);
        half->setOpacity(0.5);
        setGraphicsEffect(half);
    }
    if (item.customView)
        setupCustomView(item.customView());
    else
        setupStandardLayout(item);
    if (m_control)
        m_control->setEnabled(item.isEnabled);
}

void MenuElement::setupCustomView(QWidget *view)
{
    m_custom = view;
    if (!view)
        return;
    const QMarginsF insets = m_style->contentInsets();
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(int(insets.left()), 0, int(insets.right()), 0);
    layout->addWidget(view, 0,
        m_style->contentAlignment() == MenuBaseConfiguration::Alignment::right ? Qt::AlignRight
                                                                               : Qt::AlignLeft);
}

void MenuElement::setupStandardLayout(const MenuItem &item)
{
    const MenuBaseConfiguration &style = *m_style;
    setFixedHeight(int(style.itemHeight()));

    // The control lies behind the content; the content lets the pointer through to it.
    m_control = new Control(style, this);
    m_control->hover = [this](bool hovered) {
        updateHoverAppearance(hovered);
        emit this->hovered(this, hovered);
    };
    m_control->action = [this] { menuElementClicked(); };

    auto *stack = new QHBoxLayout(this);
    const QMarginsF insets = style.contentInsets();
    stack->setContentsMargins(int(insets.left()), 0, int(insets.right()), 0);
    stack->setSpacing(int(style.itemSpacing()));

    const bool imageOnRight = style.imageAlignment() == MenuBaseConfiguration::Alignment::right;
    auto *image = new MenuImageView(item.image, style.imageSize(), this);
    image->setTint(style.imageTintColor());
    image->setVisible(!item.image.isNull());
    m_image = image;
    m_title = new MenuLabel(item.title, style.itemFont(), style.itemTitleColor(),
        textAlignment(style.contentAlignment()), this);
    if (!imageOnRight)
        stack->addWidget(image, 0, Qt::AlignVCenter);
    stack->addWidget(m_title, 1);
    if (imageOnRight)
        stack->addWidget(image, 0, Qt::AlignVCenter);

    if (style.showsCheckmark()) {
        m_checkmark = new CheckmarkView(m_style, this);
        const int side = int(style.checkmarkSize());
        m_checkmark->setFixedSize(side, side);
        if (imageOnRight)
            stack->insertWidget(0, m_checkmark, 0, Qt::AlignVCenter);
        else
            stack->addWidget(m_checkmark, 0, Qt::AlignVCenter);
        if (m_selected) {
            m_checkmark->showCheckmark(0);
            image->setTint(style.highlightedImageTintColor());
            m_title->setColor(style.highlightedItemTitleColor());
        }
    }
    m_control->lower();
}

void MenuElement::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_control)
        m_control->setGeometry(rect());
}

void MenuElement::updateHoverAppearance(bool hovered)
{
    const MenuBaseConfiguration &style = *m_style;
    const bool lit = hovered || m_selected;
    if (m_title)
        m_title->setColor(lit ? style.highlightedItemTitleColor() : style.itemTitleColor());
    if (auto *image = static_cast<MenuImageView *>(m_image))
        image->setTint(lit ? std::optional<QColor>(style.highlightedImageTintColor())
                           : style.imageTintColor());
}

QColor MenuElement::imageTint() const
{
    return m_image ? static_cast<MenuImageView *>(m_image)->tint() : QColor();
}

qreal MenuElement::opacity() const
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

void MenuElement::setHighlighted(bool highlighted)
{
    if (m_control)
        m_control->setHovered(highlighted);
}

bool MenuElement::isHighlighted() const
{
    return m_control && m_control->isHovered();
}

bool MenuElement::canActivate() const
{
    return m_control && m_control->isEnabled();
}

void MenuElement::activate()
{
    if (canActivate())
        m_control->activate();
}

void MenuElement::menuElementClicked()
{
    if (m_handler)
        m_handler();
    emit clicked(this);
}

} // namespace tolvo
