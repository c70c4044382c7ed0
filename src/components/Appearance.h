#pragma once

#include <QColor>
#include <QObject>

#include <optional>

namespace tolvo {

enum class ColorScheme { light, dark };

// Whether the application draws light or dark. The first answer wins: an override (tests,
// the gallery), what the desktop reports (the app feeds the settings portal's answer in), and
// finally the palette (a window lighter than its text means light).
class Appearance : public QObject
{
    Q_OBJECT
public:
    static Appearance &instance();
    static ColorScheme current() { return instance().scheme(); }

    ColorScheme scheme() const;
    void setOverride(std::optional<ColorScheme> scheme);
    void setDesktopScheme(std::optional<ColorScheme> scheme);

signals:
    void changed(tolvo::ColorScheme scheme);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Appearance();
    void announceIfChanged();
    static ColorScheme fromPalette();

    std::optional<ColorScheme> m_override;
    std::optional<ColorScheme> m_desktop;
    ColorScheme m_last = ColorScheme::light;
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
