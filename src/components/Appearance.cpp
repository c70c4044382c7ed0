#include "components/Appearance.h"

#include "components/Palette.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

namespace tolvo {

namespace {
bool hasGuiApplication()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

void setAllGroups(QPalette &palette, QPalette::ColorRole role, const QColor &color)
{
    palette.setColor(QPalette::All, role, color);
}

void setDisabled(QPalette &palette, const QColor &text)
{
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, text);
}
} // namespace

Appearance &Appearance::instance()
{
    static Appearance *appearance = new Appearance;
    return *appearance;
}

Appearance::Appearance()
{
    if (hasGuiApplication()) {
        m_desktopPalette = QGuiApplication::palette();
        m_desktopPaletteSet = QCoreApplication::testAttribute(Qt::AA_SetPalette);
    }
    m_last = schemeOf(m_desktopPalette);
    if (auto *app = QCoreApplication::instance())
        app->installEventFilter(this);
    applyPalette();
}

ColorScheme Appearance::scheme() const
{
    if (m_override)
        return *m_override;
    if (m_desktop)
        return *m_desktop;
    return schemeOf(m_desktopPalette);
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

QPalette Appearance::paletteFor(ColorScheme scheme)
{
    QPalette colors;
    if (scheme == ColorScheme::dark) {
        const QColor text = Qt::white;
        setAllGroups(colors, QPalette::Window, palette::backgroundDark());
        setAllGroups(colors, QPalette::WindowText, text);
        setAllGroups(colors, QPalette::Base, QColor(0x25, 0x2D, 0x38));
        setAllGroups(colors, QPalette::AlternateBase, QColor(0x2B, 0x34, 0x41));
        setAllGroups(colors, QPalette::Text, text);
        setAllGroups(colors, QPalette::PlaceholderText, palette::textGray());
        setAllGroups(colors, QPalette::Button, QColor(0x3A, 0x45, 0x54));
        setAllGroups(colors, QPalette::ButtonText, text);
        setAllGroups(colors, QPalette::BrightText, QColor(0xFF, 0x6B, 0x6B));
        setAllGroups(colors, QPalette::Light, QColor(0x4E, 0x5A, 0x6B));
        setAllGroups(colors, QPalette::Midlight, QColor(0x43, 0x4E, 0x5E));
        setAllGroups(colors, QPalette::Mid, QColor(0x2A, 0x32, 0x3E));
        setAllGroups(colors, QPalette::Dark, QColor(0x1F, 0x26, 0x2F));
        setAllGroups(colors, QPalette::Shadow, QColor(0x12, 0x16, 0x1B));
        setAllGroups(colors, QPalette::ToolTipBase, QColor(0x3A, 0x45, 0x54));
        setAllGroups(colors, QPalette::ToolTipText, text);
        setDisabled(colors, QColor(0x7D, 0x88, 0x96));
    } else {
        const QColor text = palette::textDark();
        setAllGroups(colors, QPalette::Window, palette::backgroundLight());
        setAllGroups(colors, QPalette::WindowText, text);
        setAllGroups(colors, QPalette::Base, Qt::white);
        setAllGroups(colors, QPalette::AlternateBase, QColor(0xF5, 0xF6, 0xF8));
        setAllGroups(colors, QPalette::Text, text);
        setAllGroups(colors, QPalette::PlaceholderText, QColor(0x8A, 0x96, 0xA3));
        setAllGroups(colors, QPalette::Button, QColor(0xE4, 0xE6, 0xEA));
        setAllGroups(colors, QPalette::ButtonText, text);
        setAllGroups(colors, QPalette::BrightText, QColor(0xD0, 0x21, 0x21));
        setAllGroups(colors, QPalette::Light, Qt::white);
        setAllGroups(colors, QPalette::Midlight, QColor(0xF5, 0xF6, 0xF8));
        setAllGroups(colors, QPalette::Mid, QColor(0xC4, 0xC9, 0xD0));
        setAllGroups(colors, QPalette::Dark, QColor(0xA3, 0xAB, 0xB5));
        setAllGroups(colors, QPalette::Shadow, QColor(0x6E, 0x77, 0x81));
        setAllGroups(colors, QPalette::ToolTipBase, Qt::white);
        setAllGroups(colors, QPalette::ToolTipText, text);
        setDisabled(colors, QColor(0xA0, 0xA6, 0xAE));
    }
    // The accent marks the selection and the keyboard focus in both schemes.
    setAllGroups(colors, QPalette::Highlight, palette::accentBlue());
    colors.setColor(QPalette::Disabled, QPalette::Highlight, palette::textGray());
    setAllGroups(colors, QPalette::HighlightedText, Qt::white);
    setAllGroups(colors, QPalette::Link, palette::accentBlue());
    setAllGroups(colors, QPalette::LinkVisited, palette::primaryBlue());
    return colors;
}

bool Appearance::eventFilter(QObject *watched, QEvent *event)
{
    if (m_applying)
        return false;
    if (watched == QCoreApplication::instance()
        && event->type() == QEvent::ApplicationPaletteChange) {
        // Someone else set a palette: that is now the desktop's as far as Tolvo knows.
        m_desktopPalette = QGuiApplication::palette();
        m_desktopPaletteSet = QCoreApplication::testAttribute(Qt::AA_SetPalette);
        m_ownPalette = false;
        announceIfChanged();
        applyPalette();
    } else if (event->type() == QEvent::ThemeChange && m_ownPalette && !m_rereadPending) {
        // Every window hears of a theme change; the desktop palette is read once for all.
        m_rereadPending = true;
        QTimer::singleShot(0, this, &Appearance::rereadDesktopPalette);
    }
    return false;
}

void Appearance::rereadDesktopPalette()
{
    m_rereadPending = false;
    if (!m_ownPalette || !hasGuiApplication())
        return;
    // The palette Tolvo set hides the desktop's; without it, the application shows it again.
    m_applying = true;
    QApplication::setPalette(QPalette());
    m_desktopPalette = QGuiApplication::palette();
    m_desktopPaletteSet = false;
    m_ownPalette = false;
    m_applying = false;
    announceIfChanged();
    applyPalette();
}

void Appearance::announceIfChanged()
{
    const ColorScheme now = scheme();
    if (now == m_last)
        return;
    m_last = now;
    applyPalette();
    emit changed(now);
}

void Appearance::applyPalette()
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    const ColorScheme wanted = scheme();
    const bool own = wanted == ColorScheme::dark || schemeOf(m_desktopPalette) != wanted;
    if (!own && !m_ownPalette)
        return; // the desktop's palette is already the one shown
    m_applying = true;
    if (own)
        QApplication::setPalette(paletteFor(wanted));
    else if (m_desktopPaletteSet)
        QApplication::setPalette(m_desktopPalette);
    else
        QApplication::setPalette(QPalette()); // unset, so that it follows the desktop again
    m_ownPalette = own;
    // Qt passes a new application palette on to child widgets only; windows that are already
    // open (the main window, an open dialog) are told here.
    QEvent changed(QEvent::ApplicationPaletteChange);
    for (QWidget *window : QApplication::topLevelWidgets())
        QCoreApplication::sendEvent(window, &changed);
    m_applying = false;
}

ColorScheme Appearance::schemeOf(const QPalette &palette)
{
    if (!hasGuiApplication())
        return ColorScheme::light;
    return palette.color(QPalette::Window).lightness()
            < palette.color(QPalette::WindowText).lightness()
        ? ColorScheme::dark
        : ColorScheme::light;
}

} // namespace tolvo
