#include "reserve/AppMenu.h"

#include "reserve/ContentViewController.h"
#include "reserve/EventMonitor.h"
#include "reserve/MenuTiming.h"
#include "reserve/MenuWindow.h"
#include "reserve/WindowFade.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

#include <utility>

namespace tolvo {

AppMenu::AppMenu(
    QList<MenuItem> items, MenuStyle style, std::optional<QString> title, QObject *parent)
    : QObject(parent)
    , m_items(std::move(items))
    , m_style(std::move(style))
    , m_title(std::move(title))
{
}

AppMenu::~AppMenu()
{
    // Nothing could close a window left behind: its rows report to this menu.
    closeWindow(false);
}

ContentViewController *AppMenu::contentView() const
{
    return m_window ? qobject_cast<ContentViewController *>(m_window->contentView()) : nullptr;
}

void AppMenu::popUp(QWidget *target)
{
    if (m_window || !target)
        return;
    m_targetView = target;
    m_closing = false;
    auto *content = new ContentViewController(m_title, m_items, m_style, m_selectedId);
    content->setMinimumWidth(target->width());
    connect(content, &ContentViewController::didSelectItem, this, &AppMenu::didSelectItem);

    auto *window = new MenuWindow(m_style, target->window());
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setContentView(content);
    m_window = window;
    m_windowObject = window;
    m_open = true;
    // The window system closes a popup on a click outside it.
    connect(window, &MenuWindow::closed, this, [this, window] {
        if (window == m_window && !m_closing)
            closeWindow(true);
    });
    // Gone with the window it belongs to: the menu is closed all the same. A widget announces
    // its destruction before guarded pointers to it clear, so the guard is cleared here. By then
    // the window is only a QObject: it is compared as one, never read as a menu window.
    connect(window, &QObject::destroyed, this, [this](QObject *gone) {
        if (!m_open)
            return;
        if (m_windowObject.data() == gone) {
            m_window.clear();
            m_windowObject.clear();
        }
        if (m_window.isNull())
            closeWindow(true);
    });

    m_localMonitor = std::make_unique<EventMonitor>(EventMonitor::MonitorType::local,
        EventMonitor::EventKind::keyDown, nullptr, [this](QEvent *event) -> QEvent * {
            ContentViewController *shown = contentView();
            if (!shown || m_closing)
                return event;
            switch (static_cast<QKeyEvent *>(event)->key()) {
            case Qt::Key_Escape: dismiss(); return nullptr;
            case Qt::Key_Down: shown->moveHighlight(1); return nullptr;
            case Qt::Key_Up: shown->moveHighlight(-1); return nullptr;
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space: shown->activateHighlighted(); return nullptr;
            default: return event;
            }
        });
    m_localMonitor->start();
    m_lostFocusObserver = connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
        [this](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                dismiss();
        });

    window->showFor(target);
    windowFade::fadeIn(window);
}

void AppMenu::dismiss()
{
    if (m_window)
        closeWindow(true);
}

void AppMenu::didSelectItem(const QUuid &id)
{
    m_selectedId = id;
    // A second choice while the first fades changes nothing more: the close comes once.
    if (!m_window || m_closing)
        return;
    m_closing = true;
    QPointer<MenuWindow> window = m_window;
    QPointer<AppMenu> self(this);
    windowFade::fade(window,
        {m_style->selectionFadeDuration(), menuTiming::easeOut(), 0.0, windowFade::End::none, false,
            [self, window] {
                if (self && window == self->m_window)
                    self->closeWindow(true);
            }});
}

void AppMenu::closeWindow(bool report)
{
    const bool wasOpen = std::exchange(m_open, false);
    m_closing = true;
    if (MenuWindow *window = m_window) {
        m_window = nullptr;
        m_windowObject.clear();
        window->hide();
        window->deleteLater();
    }
    m_localMonitor.reset();
    disconnect(m_lostFocusObserver);
    m_closing = false;
    if (wasOpen && report)
        emit closed();
}

} // namespace tolvo
