#include "app/TolvoApp.h"
#include "app/MainWindow.h"
#include "platform/SingleInstance.h"

#include <QMainWindow>
#include <QTemporaryDir>
#include <QtTest>

namespace {
bool check(bool ok, const char *what)
{
    if (!ok)
        qCritical("%s", what);
    return ok;
}
} // namespace

// The application type owns its QApplication, so this test has its own main.
int main(int argc, char *argv[])
{
    // A home of its own: the application keeps one instance per data folder, and a developer's
    // running Tolvo (or another test) must be neither reached nor in the way.
    QTemporaryDir home;
    qputenv(
        "XDG_DATA_HOME", QFile::encodeName(QDir(home.path()).filePath(QStringLiteral("share"))));
    qputenv(
        "XDG_CONFIG_HOME", QFile::encodeName(QDir(home.path()).filePath(QStringLiteral("config"))));

    tolvo::TolvoApp app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        QMainWindow *window = app.mainWindow();
        bool ok = check(window && window->isVisible()
                && window->windowTitle() == QStringLiteral("Tolvo")
                && QApplication::applicationName() == QStringLiteral("Tolvo"),
            "The main window did not open as expected.");
        if (ok) {
            // A later start brings the window back, minimised or hidden as it may be.
            window->showMinimized();
            window->hide();
            tolvo::SingleInstance later(tolvo::TolvoApp::instanceLocation());
            ok = check(later.start() == tolvo::SingleInstance::Outcome::raisedOther,
                "A later start did not reach the running application.");
            ok = ok
                && check(QTest::qWaitFor([window] {
                       return window->isVisible() && !window->isMinimized()
                           && QApplication::activeWindow() == window;
                   }),
                    "The running application did not raise its window.");
        }
        app.exit(ok ? 0 : 1);
    });
    return app.run();
}
