#pragma once

#include "support/TestEnvironment.h"

#include <QApplication>
#include <QtTest>

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
