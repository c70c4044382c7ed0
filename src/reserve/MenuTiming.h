#pragma once

#include <QEasingCurve>
#include <QVariant>

#include <functional>

class QVariantAnimation;

namespace tolvo {

// The popup menu's animation curves and durations. Durations are given in seconds as the
// design states them; a test can scale every one of them (0 makes them finish at once).
namespace menuTiming {

QEasingCurve easeInEaseOut();
QEasingCurve easeOut();
QEasingCurve defaultCurve();

void setDurationScale(double scale);
double durationScale();
int milliseconds(double seconds);

// Runs `animation` from its current value to `to` over `seconds` on `curve`, replacing a run
// in progress; with no time to take it jumps to `to` and finishes at once.
void animateTo(QVariantAnimation *animation, const QVariant &from, const QVariant &to,
    double seconds, const QEasingCurve &curve);

} // namespace menuTiming

} // namespace tolvo
