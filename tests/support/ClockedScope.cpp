#include "ClockedScope.h"

#include "core/CalendarContext.h"

#include <QCoreApplication>

namespace tolvo::test {

namespace {
QDateTime wholeSecondNow()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return now.addMSecs(-now.time().msec());
}
} // namespace

ClockedScope::ClockedScope()
    : clock(wholeSecondNow())
{
}

DependencyScope &ClockedScope::open()
{
    close();
    m_scheduler = std::make_shared<TimerScheduler>(clock.clock());
    m_scope = std::make_unique<DependencyScope>();
    m_scope->set(m_scheduler)
        .set(CalendarContext {QTimeZone::utc(), QLocale::c(), Qt::Monday, clock.clock()});
    return *m_scope;
}

void ClockedScope::close()
{
    m_scope.reset();
    m_scheduler.reset();
}

void ClockedScope::advanceTo(const QDateTime &moment)
{
    clock.set(moment);
    if (m_scheduler)
        m_scheduler->checkNow();
    QCoreApplication::processEvents();
}

} // namespace tolvo::test
