#include "modules/FullScreenNotification/FullScreenWindowController.h"

#include "components/VisualEffectView.h"
#include "modules/FullScreenNotification/FullScreenView.h"
#include "modules/FullScreenNotification/FullScreenViewModel.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace tolvo {

FullScreenWindowController::FullScreenWindowController(const GoogleCalendarEvent &event,
    std::function<void(SnoozeTime)> snoozeHandler, std::function<void()> closeHandler,
    QScreen *screen, OpenUrl openUrl)
    : m_snoozeHandler(std::move(snoozeHandler))
    , m_closeHandler(std::move(closeHandler))
    , m_openUrl(openUrl ? std::move(openUrl)
                        : OpenUrl([](const QUrl &url) { QDesktopServices::openUrl(url); }))
    , m_viewModel(new FullScreenViewModel(event, AppDateFormatter::current(), this))
{
    if (!screen) {
        QTimer::singleShot(0, this, [this] { closeReminder(); });
        return;
    }
    m_view = new FullScreenView(
        m_viewModel, [this] { closeReminder(); }, [this](SnoozeTime time) { snoozeReminder(time); },
        [this] { joinMeeting(); });
    m_windows.append(prepareWindow(m_view, screen));
    for (QScreen *other : QGuiApplication::screens()) {
        if (other != screen)
            m_windows.append(prepareWindow(new VisualEffectView, other));
    }
    for (const auto &window : std::as_const(m_windows))
        window->showFullScreen();
    showWindow();
}

FullScreenWindowController::~FullScreenWindowController()
{
    for (const auto &window : std::as_const(m_windows)) {
        if (window) {
            window->removeEventFilter(this);
            delete window.data();
        }
    }
}

QScreen *FullScreenWindowController::defaultScreen()
{
    return QGuiApplication::primaryScreen();
}

QWidget *FullScreenWindowController::prepareWindow(QWidget *window, QScreen *screen)
{
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window->setAttribute(Qt::WA_TranslucentBackground);
    window->setWindowTitle(m_viewModel->title());
    window->winId();
    if (QWindow *handle = window->windowHandle())
        handle->setScreen(screen);
    window->setGeometry(screen->geometry());
    window->installEventFilter(this);
    return window;
}

void FullScreenWindowController::showWindow()
{
    if (!m_view)
        return;
    m_view->raise();
    m_view->activateWindow();
}

QList<QWidget *> FullScreenWindowController::windows() const
{
    QList<QWidget *> result;
    for (const auto &window : m_windows) {
        if (window)
            result.append(window);
    }
    return result;
}

void FullScreenWindowController::closeReminder()
{
    if (m_answered)
        return;
    m_answered = true;
    if (m_closeHandler)
        m_closeHandler();
    finish();
}

void FullScreenWindowController::snoozeReminder(SnoozeTime time)
{
    if (m_answered)
        return;
    m_answered = true;
    if (m_snoozeHandler)
        m_snoozeHandler(time);
    finish();
}

void FullScreenWindowController::joinMeeting()
{
    if (const auto url = m_viewModel->meetingUrl())
        m_openUrl(*url);
}

void FullScreenWindowController::finish()
{
    for (const auto &window : std::as_const(m_windows)) {
        if (window) {
            window->removeEventFilter(this);
            window->close();
        }
    }
    deleteLater();
}

bool FullScreenWindowController::eventFilter(QObject *watched, QEvent *event)
{
    // Closed by the window manager: that is a Dismiss, or the reminder status would stay
    // "showing" and swallow every later reminder.
    if (event->type() == QEvent::Close && !m_answered)
        closeReminder();
    return QObject::eventFilter(watched, event);
}

} // namespace tolvo
