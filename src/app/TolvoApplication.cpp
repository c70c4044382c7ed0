#include "app/TolvoApplication.h"

#include "BuildConfig.h"
#include "components/Appearance.h"
#include "platform/ColorSchemePortal.h"

#include <QFont>
#include <QFontDatabase>
#include <QMainWindow>

namespace tolvo {

TolvoApplication::TolvoApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Tolvo"));
    setOrganizationName(QStringLiteral("Tolvo"));
    setOrganizationDomain(QStringLiteral("tolvo.app"));
    setApplicationVersion(QString::fromLatin1(buildconfig::appVersion));
    setDesktopFileName(QStringLiteral("app.tolvo.Tolvo"));
    // An explicit family keeps the look independent of whatever fontconfig prefers.
    QFont font(QStringLiteral("Inter"));
    font.setFamilies({QStringLiteral("Inter"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(13);
    setFont(font);

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

    m_window = std::make_unique<QMainWindow>();
    m_window->setWindowTitle(QStringLiteral("Tolvo"));
    m_window->resize(1200, 700);
}

TolvoApplication::~TolvoApplication() = default;

void TolvoApplication::preferX11()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}

int TolvoApplication::run()
{
    m_window->show();
    return exec();
}

} // namespace tolvo
