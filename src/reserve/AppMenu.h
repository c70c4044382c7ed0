#pragma once

#include "reserve/MenuConfiguration.h"
#include "reserve/MenuItem.h"

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace tolvo {

class EventMonitor;
class ContentViewController;
class MenuWindow;

// One popup menu: opens below a control, lets the pointer or the keyboard choose an entry,
// and closes with a short fade after a choice (or at once on Escape, a click elsewhere or the
// application losing focus). It reports its close once per opening. Destroyed while open,
// it takes its window with it without reporting.
class AppMenu : public QObject
{
    Q_OBJECT
public:
    AppMenu(QList<MenuItem> items, MenuStyle style, std::optional<QString> title = {},
        QObject *parent = nullptr);
    ~AppMenu() override;

    // Opens below `target`, at least as wide as it and kept on its screen, with the entry
    // `selectedId` names drawn as chosen. Does nothing while open.
    void popUp(QWidget *target);
    // Closes at once, reporting the close.
    void dismiss();
    // What choosing an entry does: records it and fades the open window out.
    void didSelectItem(const QUuid &id);

    bool isOpen() const { return m_window; }
    MenuWindow *window() const { return m_window; }
    ContentViewController *contentView() const;
    EventMonitor *localMonitor() const { return m_localMonitor.get(); }
    QWidget *targetView() const { return m_targetView; }
    const QList<MenuItem> &items() const { return m_items; }
    const MenuStyle &configuration() const { return m_style; }
    std::optional<QUuid> selectedId() const { return m_selectedId; }
    void setSelectedId(std::optional<QUuid> id) { m_selectedId = id; }

signals:
    void closed();

private:
    void closeWindow(bool report);

    QList<MenuItem> m_items;
    MenuStyle m_style;
    std::optional<QString> m_title;
    std::optional<QUuid> m_selectedId;
    QPointer<MenuWindow> m_window;
    QPointer<QObject> m_windowObject; // the same window, for its destruction
    QPointer<QWidget> m_targetView;
    std::unique_ptr<EventMonitor> m_localMonitor;
    QMetaObject::Connection m_lostFocusObserver;
    bool m_open = false;
    bool m_closing = false;
};

// Ties a menu to a shown/hidden flag held elsewhere: a closed menu sets it to false.
struct MenuBinding
{
    std::function<void(bool)> setState;

    void menuDidClose() const
    {
        if (setState)
            setState(false);
    }
};

} // namespace tolvo
