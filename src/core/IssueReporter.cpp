#include "core/IssueReporter.h"

#include <QDebug>
#include <QMutex>

namespace tolvo {

namespace {
QMutex &handlerMutex()
{
    static QMutex mutex;
    return mutex;
}

IssueHandler &currentHandler()
{
    static IssueHandler handler = [](const QString &message) { qWarning().noquote() << message; };
    return handler;
}
} // namespace

void reportIssue(const QString &message)
{
    IssueHandler handler;
    {
        QMutexLocker lock(&handlerMutex());
        handler = currentHandler();
    }
    if (handler)
        handler(message);
}

IssueHandler setIssueHandler(IssueHandler handler)
{
    QMutexLocker lock(&handlerMutex());
    return std::exchange(currentHandler(), std::move(handler));
}

} // namespace tolvo
