#include "components/WindowSystem.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <memory>

namespace tolvo::windowsystem {

namespace {
#if QT_CONFIG(xcb)
bool compositingManagerRuns()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    // The compositing manager's own claim (EWMH): it owns this selection while it runs.
    const QByteArray name
        = "_NET_WM_CM_S" + QByteArray::number(x11ScreenNumber(qgetenv("DISPLAY")));
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> atom(
        xcb_intern_atom_reply(connection,
            xcb_intern_atom(connection, true, uint16_t(name.size()), name.constData()), nullptr),
        &free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false;
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&free)> owner(
        xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}
#endif
} // namespace

int x11ScreenNumber(const QByteArray &displayName)
{
    const int colon = displayName.lastIndexOf(':');
    const int dot = displayName.indexOf('.', colon + 1);
    if (colon < 0 || dot < 0)
        return 0;
    bool ok = false;
    const int number = displayName.mid(dot + 1).toInt(&ok);
    return ok && number >= 0 ? number : 0;
}

bool showsTranslucency()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return true;
#if QT_CONFIG(xcb)
    if (platform == QLatin1String("xcb"))
        return compositingManagerRuns();
#endif
    return false;
}

} // namespace tolvo::windowsystem
