#pragma once

#include <QApplication>

#include <memory>

class QMainWindow;

namespace tolvo {

// The application type: sets its identity, builds the window and runs the loop.
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
    QMainWindow *mainWindow() const { return m_window.get(); }

private:
    std::unique_ptr<QMainWindow> m_window;
};

} // namespace tolvo
