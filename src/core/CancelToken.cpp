#include "core/CancelToken.h"

#include "core/OneShot.h"

#include <QCoro/QCoroSignal>
#include <QTimer>

namespace tolvo {

CancelToken::CancelToken()
    : m_state(std::make_shared<CancelState>())
{
}

void CancelToken::onCancel(QObject *context, std::function<void()> fn) const
{
    if (m_state->isCancelled()) {
        fn();
        return;
    }
    QObject::connect(
        m_state.get(), &CancelState::cancelled, context, std::move(fn), Qt::SingleShotConnection);
}

QCoro::Task<VoidResult> sleepFor(std::chrono::milliseconds duration, CancelToken token)
{
    if (token.isCancelled())
        co_return failure(Error::cancellation());
    // The waiter is owned by this frame, so nothing can resume us after it is gone.
    OneShot done;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &done, &OneShot::fire);
    QObject::connect(token.state(), &CancelState::cancelled, &done, &OneShot::fire);
    timer.start(duration);
    co_await qCoro(&done, &OneShot::fired);
    if (token.isCancelled())
        co_return failure(Error::cancellation());
    co_return VoidResult {};
}

} // namespace tolvo
