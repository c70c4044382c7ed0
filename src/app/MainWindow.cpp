#include "app/MainWindow.h"

#include "app/ContentView.h"
#include "components/WindowReader.h"
#include "core/StartTask.h"
#include "modules/App/AppViewModel.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

namespace tolvo {

QKeySequence settingsShortcut()
{
    const QKeySequence preferences(QKeySequence::Preferences);
    return preferences.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : preferences;
}

MainWindow::MainWindow(AppViewModel *viewModel, Commands commands, QWidget *parent)
    : QMainWindow(parent)
    , m_viewModel(viewModel)
    , m_commands(std::move(commands))
    , m_content(new ContentView(viewModel, m_commands.makeMainScreen))
{
    setWindowTitle(QStringLiteral("Tolvo"));
    setCentralWidget(m_content);
    buildMenus();
    connect(m_content, &ContentView::appeared, this, &MainWindow::appeared);
    connect(m_content, &ContentView::boundsChanged, this, &MainWindow::applyContentBounds);
    applyContentBounds();
}

int MainWindow::menuBarHeight() const
{
    const QWidget *bar = menuWidget();
    return bar && !bar->isHidden() ? bar->sizeHint().height() : 0;
}

QSize MainWindow::contentRoom() const
{
    const QScreen *screen = this->screen();
    if (!screen)
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    const QSize frame = frameGeometry().size() - geometry().size();
    return screen->availableGeometry().size() - frame - QSize(0, menuBarHeight());
}

void MainWindow::applyContentBounds()
{
    // The window takes the content's bounds plus the menu bar: fixed for onboarding, a
    // minimum for the main screen (never more than the screen has room for).
    m_content->setRoom(contentRoom());
    const QSize minimum = m_content->minimumSize() + QSize(0, menuBarHeight());
    const bool fixed = m_content->minimumSize() == m_content->maximumSize();
    setMinimumSize(minimum);
    if (fixed)
        setMaximumSize(minimum);
    else
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const bool grown = m_fixedSize && !fixed;
    m_fixedSize = fixed;
    if (grown && isVisible()) {
        // Grown from the onboarding's size where the onboarding was, the main screen would
        // run off a small screen's right and bottom edges.
        placeOnScreen();
        return;
    }
    resize(size().expandedTo(minimumSize()).boundedTo(maximumSize()));
}

void MainWindow::placeOnScreen()
{
    const QScreen *screen = this->screen();
    if (!screen) {
        resize(minimumSize());
        return;
    }
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
        frame.right() - inner.right(), frame.bottom() - inner.bottom());
    const QSize size = minimumSize();
    const QSize framed = size.grownBy(margins);
    const QPoint topLeft = centredTopLeft(framed, area, area);
    setGeometry(QRect(topLeft + QPoint(margins.left(), margins.top()), size));
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_watchingScreen && windowHandle()) {
        m_watchingScreen = true;
        connect(windowHandle(), &QWindow::screenChanged, this, &MainWindow::applyContentBounds);
    }
    // The frame the window manager adds is known now.
    applyContentBounds();
}

void MainWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    m_settings = file->addAction(tr("Settings…"));
    m_settings->setShortcut(settingsShortcut());
    m_settings->setMenuRole(QAction::PreferencesRole);
    connect(m_settings, &QAction::triggered, this, [this] {
        if (m_commands.openSettings)
            m_commands.openSettings();
    });
    file->addSeparator();
    m_quit = file->addAction(tr("Quit"));
    m_quit->setShortcut(QKeySequence::Quit);
    m_quit->setMenuRole(QAction::QuitRole);
    connect(m_quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    m_about = help->addAction(tr("About Tolvo"));
    m_about->setMenuRole(QAction::AboutRole);
    connect(m_about, &QAction::triggered, this, [this] {
        if (m_commands.showAbout)
            m_commands.showAbout(this);
    });
    m_checkForUpdates = help->addAction(tr("Check for Updates…"));
    m_checkForUpdates->setEnabled(m_viewModel->canCheckForUpdates());
    connect(m_viewModel, &AppViewModel::canCheckForUpdatesChanged, m_checkForUpdates,
        &QAction::setEnabled);
    connect(m_checkForUpdates, &QAction::triggered, this, [this] {
        if (m_viewModel)
            m_viewModel->appUpdater().checkForUpdates();
    });
    help->addSeparator();
    m_sendFeedback = help->addAction(tr("Send Feedback"));
    connect(m_sendFeedback, &QAction::triggered, this, [this] {
        if (m_commands.openFeedback)
            m_commands.openFeedback();
    });
}

void MainWindow::appeared()
{
    if (!m_viewModel)
        return;
    m_analyticsManager->trackEvent(QStringLiteral("app_launch"), std::nullopt);
    startDetached(m_viewModel->checkAuthorization());
}

} // namespace tolvo
