#pragma once

#include "support/TestEnvironment.h"

#include <QApplication>
#include <QtTest>

// Qt's QTRY_* give up after 5 s, which a loaded machine exceeds: they wait as long as every other wait.
// Qt's own forms would wait twice as long again after a failure, only to say how long would have done.
#undef QTRY_VERIFY
#undef QTRY_VERIFY2
#undef QTRY_COMPARE
#define QTRY_VERIFY(expr)                                                                                    \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&] { return bool(expr); }, zq::test::kWaitMs);                                \
        QVERIFY(expr);                                                                                       \
    } while (false)
#define QTRY_VERIFY2(expr, message)                                                                          \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&] { return bool(expr); }, zq::test::kWaitMs);                                \
        QVERIFY2(expr, message);                                                                             \
    } while (false)
#define QTRY_COMPARE(expr, expected)                                                                         \
    do {                                                                                                     \
        (void)QTest::qWaitFor([&] { return bool((expr) == (expected)); }, zq::test::kWaitMs);                \
        QCOMPARE((expr), expected);                                                                          \
    } while (false)

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
