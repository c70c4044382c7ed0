#pragma once

#include <QByteArray>

namespace tolvo::windowsystem {

// Whether the window system can show a window's transparent pixels as see-through. Wayland
// always composites; an X server does only while a compositing manager holds its selection
// for the screen. Elsewhere (offscreen, a framebuffer) transparent pixels come out black.
bool showsTranslucency();

// The screen number an X display name ("host:display.screen") names; 0 when it names none.
int x11ScreenNumber(const QByteArray &displayName);

} // namespace tolvo::windowsystem
