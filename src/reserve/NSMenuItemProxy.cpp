#include "reserve/NSMenuItemProxy.h"

#include <QAction>
#include <QKeySequence>

namespace tolvo {

NSMenuItemProxy::NSMenuItemProxy(QString title, QString keyEquivalent, std::function<void()> action,
    bool isSeparator, QObject *parent)
    : QObject(parent)
    , m_title(std::move(title))
    , m_keyEquivalent(std::move(keyEquivalent))
    , m_action(std::move(action))
    , m_isSeparator(isSeparator)
{
}

QAction *NSMenuItemProxy::makeAction(QObject *parent) const
{
    auto *action = new QAction(parent);
    if (m_isSeparator) {
        action->setSeparator(true);
        return action;
    }
    action->setText(m_title);
    if (!m_keyEquivalent.isEmpty())
        action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + m_keyEquivalent.toUpper()));
    connect(action, &QAction::triggered, this, &NSMenuItemProxy::handleAction);
    return action;
}

void NSMenuItemProxy::handleAction()
{
    if (m_action)
        m_action();
}

} // namespace tolvo
