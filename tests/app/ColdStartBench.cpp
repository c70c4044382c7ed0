// Cold start to the first painted window, in a fresh home each time: prints figures, asserts
// nothing. Run: ctest --test-dir build -C bench -L bench -V -R ColdStart (or the executable).
#include "app/MainWindow.h"
#include "app/TolvoApp.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

// Seconds since boot when this process started, from /proc.
double processStartSeconds()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // Field 22 of the whole line is the start time; fields here start at field 3.
    return fields.size() > 19 ? fields.at(19).toDouble() / sysconf(_SC_CLK_TCK) : -1;
}

double bootSecondsNow()
{
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

class FirstPaint : public QObject
{
public:
    explicit FirstPaint(std::function<void()> done)
        : m_done(std::move(done))
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_done)
            std::exchange(m_done, nullptr)();
        return false;
    }

private:
    std::function<void()> m_done;
};

int runOnce(int argc, char **argv)
{
    QElapsedTimer sinceMain;
    sinceMain.start();
    tolvo::TolvoApp app(argc, argv);
    FirstPaint watcher([&] {
        const double fromStart = bootSecondsNow() - processStartSeconds();
        std::printf("%.1f %.1f\n", fromStart * 1000.0, sinceMain.nsecsElapsed() / 1e6);
        std::fflush(stdout);
        QTimer::singleShot(0, &app, [&app] { app.exit(0); });
    });
    app.installEventFilter(&watcher);
    return app.run();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--once") == 0)
        return runOnce(argc, argv);

    QCoreApplication app(argc, argv);
    constexpr int runs = 7;
    QList<double> fromStart;
    QList<double> fromMain;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(
            QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral(".config")));
        environment.insert(
            QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral(".local/share")));
        if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--once")});
        if (!child.waitForFinished(60000)) {
            child.kill();
            std::printf("run %d did not finish\n", i);
            continue;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 2)
            continue;
        fromStart.append(figures.at(0).toDouble());
        fromMain.append(figures.at(1).toDouble());
    }
    if (fromStart.isEmpty()) {
        std::printf("cold start: no run painted a window\n");
        return 0;
    }
    std::sort(fromStart.begin(), fromStart.end());
    std::sort(fromMain.begin(), fromMain.end());
    std::printf("cold start to first painted window over %lld runs (goal under 1000 ms):\n",
        static_cast<long long>(fromStart.size()));
    std::printf("  from process start: median %.0f ms, best %.0f ms, worst %.0f ms\n",
        fromStart.at(fromStart.size() / 2), fromStart.first(), fromStart.last());
    std::printf("  from main():        median %.0f ms, best %.0f ms, worst %.0f ms\n",
        fromMain.at(fromMain.size() / 2), fromMain.first(), fromMain.last());
    return 0;
}
