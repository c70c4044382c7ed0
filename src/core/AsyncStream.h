#pragma once

#include "core/OneShot.h"
#include "core/Result.h"

#include <QCoro/QCoroSignal>
#include <QCoro/QCoroTask>
#include <QPointer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace tolvo {

// A stream with any number of producers and one consumer, buffered without bound (or keeping
// only the newest items, when made so). Producers
// yield items and finish it (with or without an error); anything yielded after the finish is
// dropped. The consumer awaits next() and may end the stream itself, which tells the producers
// through onTermination. Everything runs on one thread (the main loop).
template<typename T> class AsyncStream
{
    struct State
    {
        std::deque<T> items;
        std::size_t limit = 0; // 0: unbounded; otherwise the oldest waiting item is dropped
        bool finished = false;
        std::optional<Error> error;
        QPointer<OneShot> waiter;
        std::vector<std::function<void()>> onTermination;

        void wake()
        {
            if (waiter)
                waiter->fire();
        }
        void terminate()
        {
            auto handlers = std::move(onTermination);
            onTermination.clear();
            for (auto &handler : handlers)
                handler();
        }
    };

public:
    // The producers' side. Copies share the stream.
    class Continuation
    {
    public:
        // False when the stream has already finished and the item was dropped.
        bool yield(T item) const
        {
            if (m_state->finished)
                return false;
            if (m_state->limit > 0 && m_state->items.size() >= m_state->limit)
                m_state->items.pop_front();
            m_state->items.push_back(std::move(item));
            m_state->wake();
            return true;
        }
        void finish(std::optional<Error> error = std::nullopt) const
        {
            if (m_state->finished)
                return;
            m_state->finished = true;
            m_state->error = std::move(error);
            m_state->wake();
            m_state->terminate();
        }
        bool isFinished() const { return m_state->finished; }
        // Runs when the stream finishes, from either side (at once when it already has).
        void onTermination(std::function<void()> handler) const
        {
            if (m_state->finished) {
                handler();
                return;
            }
            m_state->onTermination.push_back(std::move(handler));
        }

    private:
        friend class AsyncStream;
        explicit Continuation(std::shared_ptr<State> state)
            : m_state(std::move(state))
        {
        }
        std::shared_ptr<State> m_state;
    };

    AsyncStream()
        : m_state(std::make_shared<State>())
    {
    }

    // A stream that keeps only the `limit` newest waiting items.
    static AsyncStream keepingNewest(std::size_t limit)
    {
        AsyncStream stream;
        stream.m_state->limit = limit;
        return stream;
    }

    Continuation continuation() const { return Continuation(m_state); }

    // The next item; nullopt once the stream has finished and is drained; the finishing error
    // (after the buffered items) when it finished with one.
    QCoro::Task<Result<std::optional<T>>> next() const
    {
        auto state = m_state;
        while (state->items.empty() && !state->finished) {
            OneShot arrived;
            state->waiter = &arrived;
            co_await qCoro(&arrived, &OneShot::fired);
        }
        if (!state->items.empty()) {
            T item = std::move(state->items.front());
            state->items.pop_front();
            co_return std::optional<T>(std::move(item));
        }
        if (state->error)
            co_return failure(*state->error);
        co_return std::optional<T>();
    }

    // The consumer's way out: drops what is buffered and finishes the stream without error.
    void cancel() const
    {
        m_state->items.clear();
        continuation().finish();
    }

    std::size_t buffered() const { return m_state->items.size(); }

private:
    std::shared_ptr<State> m_state;
};

} // namespace tolvo
