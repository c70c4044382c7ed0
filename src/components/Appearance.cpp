#include "components/Appearance.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPalette>

namespace tolvo {

Appearance &Appearance::instance()
{
    static Appearance *appearance = new Appearance;
    return *appearance;
}

Appearance::Appearance()
{
    m_last = fromPalette();
    if (auto *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

ColorScheme Appearance::scheme() const
{
    if (m_override)
        return *m_override;
    if (m_desktop)
        return *m_desktop;
    return fromPalette();
}

void Appearance::setOverride(std::optional<ColorScheme> scheme)
{
    m_override = scheme;
    announceIfChanged();
}

void Appearance::setDesktopScheme(std::optional<ColorScheme> scheme)
{
    m_desktop = scheme;
    announceIfChanged();
}

bool Appearance::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QCoreApplication::instance()
        && event->type() == QEvent::ApplicationPaletteChange)
        announceIfChanged();
    return false;
}

void Appearance::announceIfChanged()
{
    const ColorScheme now = scheme();
    if (now == m_last)
        return;
    m_last = now;
    emit changed(now);
}

ColorScheme Appearance::fromPalette()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return ColorScheme::light;
    const QPalette palette = QGuiApplication::palette();
    return palette.color(QPalette::Window).lightness()
            < palette.color(QPalette::WindowText).lightness()
        ? ColorScheme::dark
        : ColorScheme::light;
}

} // namespace tolvo
