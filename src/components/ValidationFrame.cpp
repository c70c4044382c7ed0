#include "components/ValidationFrame.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace tolvo {

ValidationFrame::ValidationFrame(QWidget *control, QWidget *parent)
    : QWidget(parent)
    , m_control(control)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(control);
    setSizePolicy(control->sizePolicy());
}

void ValidationFrame::setInvalid(bool invalid)
{
    if (m_invalid == invalid)
        return;
    m_invalid = invalid;
    update();
}

void ValidationFrame::paintEvent(QPaintEvent *)
{
    if (!m_invalid)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(m_control->geometry()), cornerRadius, cornerRadius);
    painter.strokePath(outline, QPen(Qt::red, lineWidth));
}

} // namespace tolvo
