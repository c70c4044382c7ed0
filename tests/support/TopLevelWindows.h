#pragma once

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace tolvo::test {

// Deletes every top-level window a test left open, for a cleanup() that starts the next test
// from an empty screen. Deleting one window can take others (its popovers, its alert) with it,
// so each is held by a guard until its turn.
inline void deleteTopLevelWindows()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets())
        windows.append(window);
    for (const QPointer<QWidget> &window : windows)
        delete window.data();
}

} // namespace tolvo::test
