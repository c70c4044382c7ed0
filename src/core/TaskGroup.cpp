#include "core/TaskGroup.h"

#include "core/OneShot.h"

#include <QCoro/QCoroSignal>
#include <QPointer>

#include <vector>

namespace tolvo {

struct TaskGroup::State
{
    int running = 0;
    std::optional<Error> firstFailure;
    std::vector<QPointer<OneShot>> waiters;

    void childEnded(const VoidResult &result)
    {
        if (!result && !firstFailure)
            firstFailure = result.error();
        if (--running > 0)
            return;
        auto pending = std::move(waiters);
        waiters.clear();
        for (const auto &waiter : pending) {
            if (waiter)
                waiter->fire();
        }
    }
};

namespace {
QCoro::Task<> runChild(std::shared_ptr<TaskGroup::State> state, QCoro::Task<VoidResult> child)
{
    const VoidResult result = co_await std::move(child);
    state->childEnded(result);
}
} // namespace

TaskGroup::TaskGroup()
    : m_state(std::make_shared<State>())
{
}

void TaskGroup::add(QCoro::Task<VoidResult> child)
{
    ++m_state->running;
    runChild(m_state, std::move(child));
}

int TaskGroup::running() const
{
    return m_state->running;
}

std::optional<Error> TaskGroup::firstFailure() const
{
    return m_state->firstFailure;
}

QCoro::Task<VoidResult> TaskGroup::waitForAll() const
{
    auto state = m_state;
    if (state->running > 0) {
        OneShot done;
        state->waiters.push_back(&done);
        co_await qCoro(&done, &OneShot::fired);
    }
    if (state->firstFailure)
        co_return failure(*state->firstFailure);
    co_return VoidResult {};
}

} // namespace tolvo
