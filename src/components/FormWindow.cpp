#include "components/FormWindow.h"

#include "components/Palette.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tolvo {

void offerNoMaximize(QWidget *window)
{
    // Without the customise hint Qt gives a plain window every button the platform has.
    Qt::WindowFlags flags = window->windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    flags &= ~(Qt::WindowMaximizeButtonHint | Qt::WindowFullscreenButtonHint);
    window->setWindowFlags(flags);
}

FormWindow::FormWindow(QSize size, QWidget *content, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_content(content)
    , m_size(size)
{
    setAttribute(Qt::WA_DeleteOnClose);
    offerNoMaximize(this);
    setFixedSize(size);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, palette::backgroundDark());
    setPalette(colours);
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // On a screen smaller than the form, the window shrinks to the screen and the form scrolls,
    // so that its lower fields and its buttons can still be reached.
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    m_scrollArea->setWidget(content);
    layout->addWidget(m_scrollArea);
}

void FormWindow::present()
{
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    show();
    // Fitted once shown, when the frame the window manager adds is known.
    if (screen) {
        const QRect room = screen->availableGeometry();
        const QSize frame = frameGeometry().size() - geometry().size();
        setFixedSize(m_size.boundedTo(room.size() - frame));
        move(room.center() - QRect(QPoint(0, 0), size() + frame).center());
    }
    raise();
    activateWindow();
}

void FormWindow::keyPressEvent(QKeyEvent *event)
{
    // Reaches the window only when no control used the key (an open popover takes it first).
    if (event->matches(QKeySequence::Cancel)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FormWindow::closeEvent(QCloseEvent *event)
{
    emit closing();
    QWidget::closeEvent(event);
}

} // namespace tolvo
