#include "components/VisualEffectView.h"

#include <QEvent>
#include <QPainter>

namespace tolvo {

VisualEffectView::VisualEffectView(
    Material material, BlendingMode blendingMode, State state, QWidget *parent)
    : QWidget(parent)
    , m_material(material)
    , m_blendingMode(blendingMode)
    , m_state(state)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void VisualEffectView::setMaterial(Material material)
{
    m_material = material;
    update();
}

void VisualEffectView::setBlendingMode(BlendingMode mode)
{
    m_blendingMode = mode;
    update();
}

void VisualEffectView::setState(State state)
{
    m_state = state;
    update();
}

bool VisualEffectView::looksActive() const
{
    switch (m_state) {
    case State::active: return true;
    case State::inactive: return false;
    case State::followsWindowActiveState: return isActiveWindow();
    }
    return true;
}

QColor VisualEffectView::fillColor() const
{
    // An inactive material loses its translucency, as a window in the background does.
    const qreal alpha = looksActive() ? 0.85 : 1.0;
    QColor color = m_material == Material::dark ? QColor(20, 20, 24) : QColor(246, 246, 248);
    color.setAlphaF(alpha);
    return color;
}

void VisualEffectView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(m_blendingMode == BlendingMode::behindWindow
            ? QPainter::CompositionMode_Source
            : QPainter::CompositionMode_SourceOver);
    painter.fillRect(rect(), fillColor());
}

void VisualEffectView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && m_state == State::followsWindowActiveState)
        update();
    QWidget::changeEvent(event);
}

} // namespace tolvo
