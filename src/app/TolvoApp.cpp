#include "app/TolvoApp.h"

#include "BuildConfig.h"
#include "app/AboutDialog.h"
#include "app/CalendarAccessDialog.h"
#include "app/FeedbackCommand.h"
#include "app/MainWindow.h"
#include "app/StartUp.h"
#include "app/UpdateResultPresenter.h"
#include "components/Appearance.h"
#include "components/Fonts.h"
#include "components/Resources.h"
#include "modules/App/AppViewModel.h"
#include "modules/Main/MainView.h"
#include "modules/Settings/SettingsView.h"
#include "platform/ColorSchemePortal.h"
#include "platform/SingleInstance.h"
#include "services/AppDatabase.h"
#include "services/AppleCalendarClient.h"

#include <QFileInfo>
#include <QSysInfo>

#include <cstdio>

namespace tolvo {

namespace {
QWidget *makeMainScreen()
{
    return new MainView;
}
} // namespace

TolvoApp::TolvoApp(int &argc, char **argv)
    : QApplication(argc, argv)
    , m_installed(std::make_unique<DependencyScope>())
{
    setApplicationName(QStringLiteral("Tolvo"));
    setOrganizationName(QStringLiteral("Tolvo"));
    setOrganizationDomain(QStringLiteral("tolvo.app"));
    setApplicationVersion(QString::fromLatin1(buildconfig::appVersion));
    setDesktopFileName(QStringLiteral("app.tolvo.Tolvo"));

    // Before anything registers channels, reminds or opens the database: two instances would
    // each do all of it, on the same files.
    m_instance = new SingleInstance(instanceLocation(), this);
    switch (m_instance->start()) {
    case SingleInstance::Outcome::raisedOther: m_leaveWith = 0; return;
    case SingleInstance::Outcome::otherSilent:
        std::fprintf(stderr, "Tolvo is already running but does not answer.\n");
        m_leaveWith = 1;
        return;
    case SingleInstance::Outcome::primary:
    case SingleInstance::Outcome::unguarded: break;
    }
    connect(m_instance, &SingleInstance::raiseRequested, this, &TolvoApp::raiseMainWindow);

    setWindowIcon(resources::icon(QStringLiteral("app_icon"), {256, 256}));
    setFont(applicationFont());

    startReporting(Dependencies::current<AnalyticsManager>(), applicationVersion(),
        QSysInfo::prettyProductName());
    // The appearance sets the application palette before the first window is made.
    Appearance::instance();
    followDesktopScheme();

    // Consent to the local calendar is asked in the application's own dialog.
    m_installed->set(calendarAccessDialogPrompt());

    m_viewModel = std::make_unique<AppViewModel>();
    MainWindow::Commands commands;
    commands.makeMainScreen = makeMainScreen;
    commands.openFeedback = openFeedbackWindow;
    commands.openSettings = [this] { SettingsView::openWindow(m_window.get()); };
    commands.showAbout = [](QWidget *parent) { showAboutDialog(parent); };
    m_window = std::make_unique<MainWindow>(m_viewModel.get(), std::move(commands));
    new UpdateResultPresenter(m_viewModel->appUpdater().updateCheckResults, m_window.get());
}

TolvoApp::~TolvoApp()
{
    // Windows and view models go before the services they hold.
    m_window.reset();
    m_viewModel.reset();
}

void TolvoApp::followDesktopScheme()
{
    // Light or dark follows the desktop's own setting where a portal publishes it.
    auto *portal = new ColorSchemePortal(QDBusConnection::sessionBus(), this);
    connect(portal, &ColorSchemePortal::changed, this, [](ColorSchemePortal::Scheme scheme) {
        switch (scheme) {
        case ColorSchemePortal::Scheme::dark:
            Appearance::instance().setDesktopScheme(ColorScheme::dark);
            break;
        case ColorSchemePortal::Scheme::light:
            Appearance::instance().setDesktopScheme(ColorScheme::light);
            break;
        case ColorSchemePortal::Scheme::noPreference:
            Appearance::instance().setDesktopScheme(std::nullopt);
            break;
        }
    });
    portal->start();
}

void TolvoApp::preferX11()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}

QString TolvoApp::instanceLocation()
{
    return QFileInfo(AppDatabase::defaultPath()).absolutePath();
}

void TolvoApp::raiseMainWindow()
{
    if (!m_window)
        return;
    m_window->setWindowState((m_window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

int TolvoApp::run()
{
    if (m_leaveWith)
        return *m_leaveWith;
    m_window->show();
    return exec();
}

} // namespace tolvo
