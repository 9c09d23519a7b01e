#pragma once

#include <QtTest>

namespace orvotest {

// Registers the program's metatypes and makes tests deterministic.
// QtTest's message handler prints every warning while a test runs; CTest
// fails any test whose output holds a "QObject::connect" warning.
void initTestProcess();

} // namespace orvotest

#define ORVO_TEST_MAIN_WITH(AppClass, TestClass)                                                   \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        AppClass app(argc, argv);                                                                  \
        orvotest::initTestProcess();                                                               \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

// QTEST_MAIN for tests without widgets, and for widget tests.
#define ORVO_TEST_MAIN(TestClass) ORVO_TEST_MAIN_WITH(QCoreApplication, TestClass)
#define ORVO_TEST_GUI_MAIN(TestClass) ORVO_TEST_MAIN_WITH(QApplication, TestClass)
