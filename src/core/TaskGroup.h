#pragma once

#include "core/Result.h"

#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

namespace tolvo {

// Runs child tasks side by side. A failing child neither cancels nor stops the others: the
// group remembers the first failure and reports it once every child has ended.
class TaskGroup
{
public:
    TaskGroup();

    // Starts the child at once; it runs until its first suspension before add() returns.
    void add(QCoro::Task<VoidResult> child);

    int running() const;
    std::optional<Error> firstFailure() const;

    // Resolves when no child is running: the first failure, or success.
    QCoro::Task<VoidResult> waitForAll() const;

    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace tolvo
