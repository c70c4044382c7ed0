#include "reserve/WindowFade.h"

#include "reserve/MenuTiming.h"

#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>

namespace tolvo::windowFade {

namespace {

QPropertyAnimation *opacityAnimation(QWidget *window)
{
    // One fade per window: a new one takes over from where the running one is.
    auto *animation = window->findChild<QPropertyAnimation *>(
        QStringLiteral("tolvoWindowFade"), Qt::FindDirectChildrenOnly);
    if (animation) {
        animation->stop();
        animation->disconnect();
        return animation;
    }
    animation = new QPropertyAnimation(window, "windowOpacity", window);
    animation->setObjectName(QStringLiteral("tolvoWindowFade"));
    return animation;
}

} // namespace

void fadeIn(QWidget *window)
{
    if (!window)
        return;
    window->setWindowOpacity(0);
    window->show();
    window->raise();
    fade(window, {0.25, menuTiming::defaultCurve(), 1.0, End::none, false, {}});
}

void fadeOut(QWidget *window)
{
    fade(window, {0.25, menuTiming::defaultCurve(), 0.0, End::orderOut, true, {}});
}

void fade(QWidget *window, Options options)
{
    if (!window)
        return;
    QPropertyAnimation *animation = opacityAnimation(window);
    const qreal before = window->windowOpacity();
    const qreal target = options.target;
    const double seconds = options.seconds;
    const QEasingCurve curve = options.curve;
    QPointer<QWidget> guard(window);
    QObject::connect(animation, &QAbstractAnimation::finished, window,
        [guard, before, options = std::move(options)] {
            if (!guard)
                return;
            switch (options.end) {
            case End::none: break;
            case End::orderOut: guard->hide(); break;
            case End::close: guard->close(); break;
            }
            if (guard && options.restoreOpacity)
                guard->setWindowOpacity(before);
            if (guard && options.completion)
                options.completion();
        });
    menuTiming::animateTo(animation, before, target, seconds, curve);
}

} // namespace tolvo::windowFade
