#pragma once

#include <QApplication>

#include <memory>
#include <optional>

namespace tolvo {

class AppViewModel;
class DependencyScope;
class MainWindow;
class SingleInstance;
class UpdateResultPresenter;

// The application type: its identity, the reporting services (crash reporter, then
// analytics), the in-app consent dialog for the local calendar, the root navigation and the
// one main window. One runs per user and data folder: a later start raises this one's window
// and leaves before building anything.
class TolvoApp : public QApplication
{
    Q_OBJECT
public:
    TolvoApp(int &argc, char **argv);
    ~TolvoApp() override;

    // Where both X11 and Wayland are offered, ask for X11 first: Wayland ignores stay-on-top
    // and window placement, which the reminder and the forms rely on. Call before construction.
    static void preferX11();

    // Shows the main window and runs; a later start returns at once (0 once the running
    // instance was asked to raise its window).
    int run();
    MainWindow *mainWindow() const { return m_window.get(); }
    // Brings the main window back in front of the user, also from minimised or hidden.
    void raiseMainWindow();
    // The folder whose single running instance this is: the database's.
    static QString instanceLocation();
    AppViewModel *viewModel() const { return m_viewModel.get(); }

private:
    void followDesktopScheme();

    std::unique_ptr<DependencyScope> m_installed;
    SingleInstance *m_instance = nullptr;
    std::optional<int> m_leaveWith;
    std::unique_ptr<AppViewModel> m_viewModel;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace tolvo
