#pragma once

#include <QtTest>

namespace tolvo::test {

// Puts the container in its test context and turns reported issues (an unimplemented test
// value, for example) into failures of the running test. Every test executable calls it first.
void prepareTestProcess();

} // namespace tolvo::test

// QTEST_GUILESS_MAIN / QTEST_MAIN with the preparation above.
#define TOLVO_TEST_MAIN_IMPL(TestObject, AppType)                                                  \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        AppType app(argc, argv);                                                                   \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        ::tolvo::test::prepareTestProcess();                                                       \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#define TOLVO_TEST_MAIN(TestObject) TOLVO_TEST_MAIN_IMPL(TestObject, QCoreApplication)
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#define TOLVO_WIDGET_TEST_MAIN(TestObject) TOLVO_TEST_MAIN_IMPL(TestObject, QApplication)
#endif
#ifdef QT_GUI_LIB
#include <QGuiApplication>
#define TOLVO_GUI_TEST_MAIN(TestObject) TOLVO_TEST_MAIN_IMPL(TestObject, QGuiApplication)
#endif
