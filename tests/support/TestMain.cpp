#include "support/TestMain.h"

#include "core/Dependencies.h"
#include "core/IssueReporter.h"
#include "support/IssueRecorder.h"

#include <QStandardPaths>

namespace tolvo::test {

void prepareTestProcess()
{
    // Settings, databases and calendars go to throwaway test locations, never the user's.
    QStandardPaths::setTestModeEnabled(true);
    Dependencies::setContext(DependencyContext::test);
    setIssueHandler([](const QString &message) {
        if (auto *recorder = IssueRecorder::current()) {
            recorder->record(message);
            return;
        }
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    });
}

} // namespace tolvo::test
