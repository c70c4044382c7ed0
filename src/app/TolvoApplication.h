#pragma once

#include <QApplication>

#include <memory>

namespace tolvo {

class AppViewModel;
class DependencyScope;
class MainWindow;
class UpdateResultPresenter;

// The application type: its identity, the reporting services (crash reporter, then
// analytics), the in-app consent dialog for the local calendar, the root navigation and the
// one main window.
class TolvoApplication : public QApplication
{
    Q_OBJECT
public:
    TolvoApplication(int &argc, char **argv);
    ~TolvoApplication() override;

    // Where both X11 and Wayland are offered, ask for X11 first: Wayland ignores stay-on-top
    // and window placement, which the reminder and the forms rely on. Call before construction.
    static void preferX11();

    int run();
    MainWindow *mainWindow() const { return m_window.get(); }
    AppViewModel *viewModel() const { return m_viewModel.get(); }

private:
    void followDesktopScheme();

    std::unique_ptr<DependencyScope> m_installed;
    std::unique_ptr<AppViewModel> m_viewModel;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace tolvo
