#pragma once

#include <QEasingCurve>

#include <functional>

class QWidget;

namespace tolvo {

// Fades of a whole top-level window (its window opacity). Where the platform cannot make a
// window see-through the fade still takes its time and its ending still happens.
namespace windowFade {

enum class End { none, orderOut, close };

struct Options
{
    double seconds = 0.25;
    QEasingCurve curve;
    qreal target = 0;
    End end = End::orderOut;
    bool restoreOpacity = true; // put the opacity back after the ending
    std::function<void()> completion; // last, only while the window lives
};

// Opacity 0, shown and raised, then up to 1 over 0.25 s.
void fadeIn(QWidget *window);
// Down to 0 over 0.25 s, then hidden with its opacity as it was.
void fadeOut(QWidget *window);
void fade(QWidget *window, Options options);

} // namespace windowFade

} // namespace tolvo
