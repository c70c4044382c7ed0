#pragma once

#include <QColor>
#include <QWidget>

namespace tolvo {

// A translucent backdrop. No blur is available to a Qt 6 application here, so the material is
// a dimmed fill: with a compositor the desktop shows through a top-level that has a
// translucent background, without one it looks near-opaque.
class VisualEffectView : public QWidget
{
    Q_OBJECT
public:
    enum class Material { dark, light };
    enum class BlendingMode { behindWindow, withinWindow };
    enum class State { followsWindowActiveState, active, inactive };

    explicit VisualEffectView(Material material = Material::dark,
        BlendingMode blendingMode = BlendingMode::behindWindow, State state = State::active,
        QWidget *parent = nullptr);

    Material material() const { return m_material; }
    BlendingMode blendingMode() const { return m_blendingMode; }
    State state() const { return m_state; }
    void setMaterial(Material material);
    void setBlendingMode(BlendingMode mode);
    void setState(State state);

    // What is painted for the current settings.
    QColor fillColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    bool looksActive() const;

    Material m_material;
    BlendingMode m_blendingMode;
    State m_state;
};

} // namespace tolvo
