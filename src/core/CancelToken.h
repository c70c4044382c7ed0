#pragma once

#include "core/Result.h"

#include <QCoro/QCoroTask>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>

namespace tolvo {

class CancelState : public QObject
{
    Q_OBJECT
public:
    bool isCancelled() const { return m_cancelled; }
    void cancel()
    {
        if (m_cancelled)
            return;
        m_cancelled = true;
        emit cancelled();
    }

signals:
    void cancelled();

private:
    bool m_cancelled = false;
};

// Shared between the one who may cancel and the work that must stop. Copies share the state.
// In-flight work connects to it (abort a reply, end a pause) and ends with
// Error::cancellation().
class CancelToken
{
public:
    CancelToken();

    void cancel() const { m_state->cancel(); }
    bool isCancelled() const { return m_state->isCancelled(); }

    // Runs fn once on cancellation (at once when already cancelled); the connection ends with
    // context.
    void onCancel(QObject *context, std::function<void()> fn) const;

    CancelState *state() const { return m_state.get(); }

private:
    std::shared_ptr<CancelState> m_state;
};

// A pause that ends early, with the cancellation error, when the token is cancelled.
QCoro::Task<VoidResult> sleepFor(std::chrono::milliseconds duration, CancelToken token);

} // namespace tolvo
