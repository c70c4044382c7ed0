#include "support/TestMain.h"

#include "core/Dependencies.h"
#include "core/IssueReporter.h"
#include "support/IssueRecorder.h"

#include <QMap>
#include <QProcess>
#include <QStandardPaths>

namespace tolvo::test {

namespace {
constexpr const char *childRoleVariable = "TOLVO_TEST_CHILD_ROLE";

QMap<QByteArray, std::function<int()>> &childRoles()
{
    static QMap<QByteArray, std::function<int()>> roles;
    return roles;
}
} // namespace

ChildRole::ChildRole(const char *name, std::function<int()> run)
{
    childRoles().insert(QByteArray(name), std::move(run));
}

void startChild(QProcess &process, const char *role, const QProcessEnvironment &environment)
{
    QProcessEnvironment all = QProcessEnvironment::systemEnvironment();
    for (const QString &key : environment.keys())
        all.insert(key, environment.value(key));
    all.insert(QString::fromLatin1(childRoleVariable), QString::fromLatin1(role));
    all.insert(QStringLiteral("QTEST_DISABLE_STACK_DUMP"), QStringLiteral("1"));
    process.setProcessEnvironment(all);
    process.start(QCoreApplication::applicationFilePath(), {});
}

std::optional<int> runChildRole()
{
    const QByteArray name = qgetenv(childRoleVariable);
    if (name.isEmpty())
        return std::nullopt;
    const auto role = childRoles().find(name);
    if (role == childRoles().end()) {
        qCritical("No child role named %s", name.constData());
        return 2;
    }
    return role.value()();
}

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
