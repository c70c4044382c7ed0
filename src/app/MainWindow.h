#pragma once

#include "core/Dependencies.h"
#include "services/AnalyticsManager.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;

namespace tolvo {

class AppViewModel;
class ContentView;

// The one main window: the content (onboarding or the main screen) under a menu bar laid out
// the way Linux desktops do: File holds Settings… and Quit; Help holds About, Check for
// Updates… (enabled only while the updater can check) and Send Feedback. There is no "New".
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    struct Commands
    {
        std::function<QWidget *()> makeMainScreen;
        // A new feedback window on every call; nothing keeps it.
        std::function<void()> openFeedback;
        std::function<void()> openSettings;
        std::function<void(QWidget *parent)> showAbout;
    };

    MainWindow(AppViewModel *viewModel, Commands commands, QWidget *parent = nullptr);

    ContentView *content() const { return m_content; }
    QAction *settingsAction() const { return m_settings; }
    QAction *quitAction() const { return m_quit; }
    QAction *aboutAction() const { return m_about; }
    QAction *checkForUpdatesAction() const { return m_checkForUpdates; }
    QAction *sendFeedbackAction() const { return m_sendFeedback; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildMenus();
    void appeared();
    void applyContentBounds();
    int menuBarHeight() const;
    // The screen's available area less the window manager's frame and the menu bar.
    QSize contentRoom() const;
    // The main screen's first size, centred on the screen's available area.
    void placeOnScreen();

    Dependency<AnalyticsManager> m_analyticsManager;
    QPointer<AppViewModel> m_viewModel;
    Commands m_commands;
    ContentView *m_content;
    QAction *m_settings = nullptr;
    QAction *m_quit = nullptr;
    QAction *m_about = nullptr;
    QAction *m_checkForUpdates = nullptr;
    QAction *m_sendFeedback = nullptr;
    bool m_fixedSize = true;
    bool m_watchingScreen = false;
};

// The shortcut for Settings…: the desktop's Preferences key where it has one, else Ctrl+,.
QKeySequence settingsShortcut();

} // namespace tolvo
