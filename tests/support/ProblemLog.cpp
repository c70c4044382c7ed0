#include "support/ProblemLog.h"

#include "core/IssueReporter.h"
#include "support/IssueRecorder.h"

#include <QtTest>

namespace tolvo::test {

ProblemLog::ProblemLog(QString fakeName)
    : m_fakeName(std::move(fakeName))
{
}

ProblemLog::~ProblemLog()
{
    if (m_entries.isEmpty())
        return;
    const QString message = QStringLiteral("%1 saw what it did not expect:\n  %2")
                                .arg(m_fakeName, m_entries.join(QStringLiteral("\n  ")));
    if (QTest::currentTestFunction() || IssueRecorder::current()) {
        reportIssue(message);
        return;
    }
    // Outside any test function (a fake kept until the process ends): no test can fail, so
    // the process does.
    qFatal("%s", qPrintable(message));
}

} // namespace tolvo::test
