#pragma once

#include "core/AsyncStream.h"
#include "core/StartTask.h"

#include <QList>

#include <memory>
#include <optional>

namespace tolvo::test {

// What a stream delivered so far, and whether (and how) it ended.
template<typename T> struct Collected
{
    QList<T> items;
    bool ended = false;
    std::optional<Error> error;
};

template<typename T>
QCoro::Task<> collectInto(AsyncStream<T> stream, std::shared_ptr<Collected<T>> out)
{
    while (true) {
        auto next = co_await stream.next();
        if (!next) {
            out->error = next.error();
            out->ended = true;
            co_return;
        }
        if (!next->has_value()) {
            out->ended = true;
            co_return;
        }
        out->items.append(**next);
    }
}

// Consumes `stream` in the background; the result fills in as items arrive.
template<typename T> std::shared_ptr<Collected<T>> collect(AsyncStream<T> stream)
{
    auto out = std::make_shared<Collected<T>>();
    startDetached(collectInto(std::move(stream), out));
    return out;
}

template<typename T>
QCoro::Task<> resultInto(QCoro::Task<T> task, std::shared_ptr<std::optional<T>> out)
{
    *out = co_await std::move(task);
}

// Runs `task` in the background; its result fills in when it ends, so that a test waits for
// it with QTRY_VERIFY (and so a bound) instead of blocking on it.
template<typename T> std::shared_ptr<std::optional<T>> startRecorded(QCoro::Task<T> task)
{
    auto out = std::make_shared<std::optional<T>>();
    startDetached(resultInto(std::move(task), out));
    return out;
}

} // namespace tolvo::test
