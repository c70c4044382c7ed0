#pragma once

#include "core/GoogleCalendarEvent.h"
#include "core/Requests.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class QScreen;
class QWidget;

namespace tolvo {

class FullScreenView;
class FullScreenViewModel;

// Opens the reminder over the whole screen: frameless, stay-on-top windows, the reminder on
// the given screen and a plain backdrop on every other one. It answers exactly once: Dismiss,
// or a window manager's close (Alt+F4), calls the close handler; a snooze choice calls the
// snooze handler. Then the windows close and the controller deletes itself, so the opener
// need not keep it. With no screen nothing is shown and the close handler is called on the
// next turn of the event loop, so that the opener's state never stays "showing".
class FullScreenWindowController : public QObject
{
    Q_OBJECT
public:
    using OpenUrl = std::function<void(const QUrl &)>;

    FullScreenWindowController(const GoogleCalendarEvent &event,
        std::function<void(SnoozeTime)> snoozeHandler, std::function<void()> closeHandler,
        QScreen *screen = defaultScreen(), OpenUrl openUrl = {});
    ~FullScreenWindowController() override;

    static QScreen *defaultScreen();

    void showWindow();
    void closeReminder();
    void snoozeReminder(SnoozeTime time);
    void joinMeeting();

    FullScreenViewModel *viewModel() const { return m_viewModel; }
    FullScreenView *view() const { return m_view; }
    QList<QWidget *> windows() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void finish();
    QWidget *prepareWindow(QWidget *window, QScreen *screen);

    std::function<void(SnoozeTime)> m_snoozeHandler;
    std::function<void()> m_closeHandler;
    OpenUrl m_openUrl;
    FullScreenViewModel *m_viewModel = nullptr;
    QPointer<FullScreenView> m_view;
    QList<QPointer<QWidget>> m_windows;
    bool m_answered = false;
};

} // namespace tolvo
