#pragma once

#include "support/TestEnvironment.h"

#include <QApplication>
#include <QtTest>

// Qt's QTRY_* give up after 5 s, which a loaded machine exceeds: they wait as long as every other wait.
#undef QTRY_VERIFY
#undef QTRY_VERIFY2
#undef QTRY_COMPARE
#define QTRY_VERIFY(expr) QTRY_VERIFY_WITH_TIMEOUT((expr), zq::test::kWaitMs)
#define QTRY_VERIFY2(expr, message) QTRY_VERIFY2_WITH_TIMEOUT((expr), (message), zq::test::kWaitMs)
#define QTRY_COMPARE(expr, expected) QTRY_COMPARE_WITH_TIMEOUT((expr), expected, zq::test::kWaitMs)

// QTEST_MAIN with a fresh temporary HOME, the application's names and the registered meta types.
#define ZQ_TEST_MAIN(TestObject)                                                                             \
    int main(int argc, char* argv[])                                                                         \
    {                                                                                                        \
        zq::test::prepareEnvironment();                                                                      \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        zq::test::prepareApplication();                                                                      \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
