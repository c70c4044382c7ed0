#pragma once

#include "core/Clock.h"

#include <QDateTime>

#include <memory>

namespace tolvo::test {

// A wall clock that moves only when told. Copies share the time.
class FakeClock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2025, 3, 3), QTime(9, 0), Qt::UTC))
        : m_now(std::make_shared<QDateTime>(std::move(start)))
    {
    }

    QDateTime now() const { return *m_now; }
    void set(const QDateTime &moment) { *m_now = moment; }
    void advance(qint64 seconds) { *m_now = m_now->addSecs(seconds); }
    void advanceMs(qint64 msecs) { *m_now = m_now->addMSecs(msecs); }

    Clock clock() const
    {
        return [now = m_now] { return *now; };
    }

private:
    std::shared_ptr<QDateTime> m_now;
};

} // namespace tolvo::test
