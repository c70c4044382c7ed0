#include "support/TestMain.h"

#include "core/Dependencies.h"
#include "core/IssueReporter.h"
#include "support/IssueRecorder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

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

void useOffscreenScreens(const QList<QRect> &screens)
{
    QJsonArray list;
    for (const QRect &screen : screens) {
        list.append(
            QJsonObject {{QStringLiteral("name"), QStringLiteral("Screen %1").arg(list.size())},
                {QStringLiteral("x"), screen.x()}, {QStringLiteral("y"), screen.y()},
                {QStringLiteral("width"), screen.width()},
                {QStringLiteral("height"), screen.height()}, {QStringLiteral("logicalDpi"), 96},
                {QStringLiteral("logicalBaseDpi"), 96}, {QStringLiteral("dpr"), 1}});
    }
    // The platform reads the file while the application starts; it lives as long as the process.
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("screens.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QJsonDocument(QJsonObject {{QStringLiteral("screens"), list}}).toJson()) < 0)
        qFatal("Cannot write the offscreen screens to %s", qPrintable(path));
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(path));
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
