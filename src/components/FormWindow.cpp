#include "components/FormWindow.h"

#include "components/Palette.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace tolvo {

FormWindow::FormWindow(QSize size, QWidget *content, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_content(content)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(size);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, palette::backgroundDark());
    setPalette(colours);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void FormWindow::present()
{
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen)
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void FormWindow::closeEvent(QCloseEvent *event)
{
    emit closing();
    QWidget::closeEvent(event);
}

} // namespace tolvo
