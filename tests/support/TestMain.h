#pragma once

#include <QtTest>

#include <functional>
#include <optional>

namespace tolvo::test {

// Puts the container in its test context and turns reported issues (an unimplemented test
// value, for example) into failures of the running test. Every test executable calls it first.
void prepareTestProcess();

// A role a test executable plays as a child process of one of its own tests (to die in the
// middle of a write, say). Declared at namespace scope:
//   const test::ChildRole killedWriter("killedWriter", [] { ...; return 0; });
// and started with `startChild(process, "killedWriter")`. Test runs never see it.
class ChildRole
{
public:
    ChildRole(const char *name, std::function<int()> run);
};

// Starts this executable in the named role, with the process's environment plus `environment`.
void startChild(QProcess &process, const char *role, const QProcessEnvironment &environment = {});

// Gives the offscreen platform these screens (the first is the primary one). Call before the
// application object is made, as TOLVO_TEST_MAIN_ON_SCREENS does.
void useOffscreenScreens(const QList<QRect> &screens);

// The exit status of the role this process was started in, after running it; nothing when it
// was started to run its tests.
std::optional<int> runChildRole();

} // namespace tolvo::test

// QTEST_GUILESS_MAIN / QTEST_MAIN with the preparation above; `beforeApp` runs first.
#define TOLVO_TEST_MAIN_IMPL(TestObject, AppType) TOLVO_TEST_MAIN_BEFORE_APP(TestObject, AppType, )
#define TOLVO_TEST_MAIN_BEFORE_APP(TestObject, AppType, beforeApp)                                 \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        beforeApp;                                                                                 \
        AppType app(argc, argv);                                                                   \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        ::tolvo::test::prepareTestProcess();                                                       \
        if (const auto childStatus = ::tolvo::test::runChildRole())                                \
            return *childStatus;                                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#define TOLVO_TEST_MAIN(TestObject) TOLVO_TEST_MAIN_IMPL(TestObject, QCoreApplication)
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#define TOLVO_WIDGET_TEST_MAIN(TestObject) TOLVO_TEST_MAIN_IMPL(TestObject, QApplication)
// A widget test on several offscreen screens, the list in parentheses:
//   TOLVO_WIDGET_TEST_MAIN_ON_SCREENS(T, (QList<QRect> {first, second}))
#define TOLVO_WIDGET_TEST_MAIN_ON_SCREENS(TestObject, screens)                                     \
    TOLVO_TEST_MAIN_BEFORE_APP(                                                                    \
        TestObject, QApplication, ::tolvo::test::useOffscreenScreens(screens))
#endif
#ifdef QT_GUI_LIB
#include <QGuiApplication>
#define TOLVO_GUI_TEST_MAIN(TestObject) TOLVO_TEST_MAIN_IMPL(TestObject, QGuiApplication)
#endif
