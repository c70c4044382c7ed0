#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;

namespace tolvo {

// A menu-bar entry described in one value (title, key, separator flag) whose action is a
// closure: it answers the QAction it makes.
class NSMenuItemProxy : public QObject
{
    Q_OBJECT
public:
    NSMenuItemProxy(QString title, QString keyEquivalent, std::function<void()> action,
        bool isSeparator = false, QObject *parent = nullptr);

    QString title() const { return m_title; }
    QString keyEquivalent() const { return m_keyEquivalent; }
    bool isSeparator() const { return m_isSeparator; }

    // A separator, or an entry with the title and Ctrl plus the key that triggers this proxy.
    QAction *makeAction(QObject *parent) const;

public slots:
    // Runs the action, when there is one.
    void handleAction();

private:
    QString m_title;
    QString m_keyEquivalent;
    std::function<void()> m_action;
    bool m_isSeparator;
};

} // namespace tolvo
