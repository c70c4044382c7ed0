#pragma once

#include <QColor>
#include <QObject>
#include <QPalette>

#include <optional>

namespace tolvo {

enum class ColorScheme { light, dark };

// Whether the application draws light or dark. The first answer wins: an override (tests,
// the gallery), what the desktop reports (the app feeds the settings portal's answer in), and
// finally the desktop's palette (a window lighter than its text means light).
//
// The answer also sets the application palette, so that what Qt draws itself (the menu bar and
// menus, message boxes and other standard dialogs, combo boxes, scroll bars, focus frames)
// follows it: dark gets the palette from `paletteFor()`; light gets the desktop's own palette
// back when that palette is light, and `paletteFor()` otherwise.
class Appearance : public QObject
{
    Q_OBJECT
public:
    static Appearance &instance();
    static ColorScheme current() { return instance().scheme(); }

    ColorScheme scheme() const;
    void setOverride(std::optional<ColorScheme> scheme);
    void setDesktopScheme(std::optional<ColorScheme> scheme);

    // The application palette that Tolvo sets for a scheme.
    static QPalette paletteFor(ColorScheme scheme);
    // Whether the application palette is one that Tolvo set (rather than the desktop's).
    bool setsApplicationPalette() const { return m_ownPalette; }

signals:
    void changed(tolvo::ColorScheme scheme);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Appearance();
    void announceIfChanged();
    void applyPalette();
    void rereadDesktopPalette();
    static ColorScheme schemeOf(const QPalette &palette);

    std::optional<ColorScheme> m_override;
    std::optional<ColorScheme> m_desktop;
    // The desktop's palette, as it was before Tolvo set one of its own.
    QPalette m_desktopPalette;
    // Whether that palette was set in code rather than taken from the desktop's theme.
    bool m_desktopPaletteSet = false;
    ColorScheme m_last = ColorScheme::light;
    bool m_ownPalette = false;
    bool m_applying = false;
    bool m_rereadPending = false;
};

// A colour with a light and a dark side, resolved when it is used.
struct DynamicColor
{
    QColor light;
    QColor dark;

    QColor resolve(ColorScheme scheme) const { return scheme == ColorScheme::dark ? dark : light; }
    QColor resolve() const { return resolve(Appearance::current()); }
};

} // namespace tolvo
