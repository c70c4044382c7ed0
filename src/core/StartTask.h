#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

#include <type_traits>
#include <utility>

namespace tolvo {

namespace detail {
template<typename T, typename Callback>
QCoro::Task<> awaitThen(QCoro::Task<T> task, QPointer<QObject> context, Callback callback)
{
    if constexpr (std::is_void_v<T>) {
        co_await std::move(task);
        if (context)
            callback();
    } else {
        T value = co_await std::move(task);
        if (context)
            callback(std::move(value));
    }
}

template<typename T> QCoro::Task<> awaitAndDrop(QCoro::Task<T> task)
{
    co_await std::move(task);
}
} // namespace detail

// Starts a coroutine from ordinary code and hands its result to callback, but only while
// context is alive: an object destroyed mid-task is never touched again. The task itself is
// not cancelled by context's death; use a CancelToken for that.
template<typename T, typename Callback>
void startTask(QObject *context, QCoro::Task<T> &&task, Callback &&callback)
{
    detail::awaitThen(
        std::move(task), QPointer<QObject>(context), std::forward<Callback>(callback));
}

// A task that has already finished with `value`: what a fake or a preview answers at once.
// Name `T` where the value converts, as in readyTask<Result<bool>>(true).
template<typename T> QCoro::Task<T> readyTask(T value)
{
    co_return value;
}

// Starts a coroutine whose result nobody needs.
template<typename T> void startDetached(QCoro::Task<T> &&task)
{
    detail::awaitAndDrop(std::move(task));
}

} // namespace tolvo
