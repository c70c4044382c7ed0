#include "reserve/MenuTiming.h"

#include <QPointF>
#include <QVariantAnimation>

#include <cmath>

namespace tolvo::menuTiming {

namespace {

QEasingCurve bezier(QPointF first, QPointF second)
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(first, second, QPointF(1, 1));
    return curve;
}

double scale = 1.0;

} // namespace

QEasingCurve easeInEaseOut()
{
    return bezier({0.42, 0.0}, {0.58, 1.0});
}

QEasingCurve easeOut()
{
    return bezier({0.0, 0.0}, {0.58, 1.0});
}

QEasingCurve defaultCurve()
{
    return bezier({0.25, 0.1}, {0.25, 1.0});
}

void setDurationScale(double value)
{
    scale = std::max(0.0, value);
}

double durationScale()
{
    return scale;
}

int milliseconds(double seconds)
{
    return int(std::lround(seconds * 1000.0 * scale));
}

void animateTo(QVariantAnimation *animation, const QVariant &from, const QVariant &to,
    double seconds, const QEasingCurve &curve)
{
    animation->stop();
    const int duration = milliseconds(seconds);
    animation->setStartValue(from);
    animation->setEndValue(to);
    animation->setEasingCurve(curve);
    if (duration <= 0) {
        // A zero-length run would still wait for the next timer tick; this one reaches its
        // end (and reports finished) before returning.
        animation->setDuration(1);
        animation->start();
        animation->setCurrentTime(1);
        return;
    }
    animation->setDuration(duration);
    animation->start();
}

} // namespace tolvo::menuTiming
