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

} // namespace tolvo::test
