#pragma once
// Test programs start and stop the program's modules explicitly, in the same
// order as the program does, around the Qt Test run. Logging starts from an
// empty registry so no test depends on the machine's configuration.

#include <QCoreApplication>
#include <QTest>

int RunKelvaneTest(int argc, char** argv, QObject& ATest);

#define KELVANE_TEST_MAIN(TestClass)                                                               \
  int main(int argc, char** argv) {                                                                \
    QCoreApplication App(argc, argv);                                                              \
    TestClass Test;                                                                                \
    return RunKelvaneTest(argc, argv, Test);                                                       \
  }
