#include "app/TolvoApplication.h"
#include "app/MainWindow.h"

#include <QMainWindow>
#include <QtTest>

// The application type owns its QApplication, so this test has its own main.
int main(int argc, char *argv[])
{
    tolvo::TolvoApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        QMainWindow *window = app.mainWindow();
        const bool ok = window && window->isVisible()
            && window->windowTitle() == QStringLiteral("Tolvo")
            && QApplication::applicationName() == QStringLiteral("Tolvo");
        if (!ok)
            qCritical("The main window did not open as expected.");
        app.exit(ok ? 0 : 1);
    });
    return app.run();
}
