#pragma once
// Test programs start and stop the program's modules explicitly, in the same
// order as the program does, around the Qt Test run. Logging starts from an
// empty registry so no test depends on the machine's configuration.

#include <QCoreApplication>
#include <QStringList>
#include <QTest>

int RunKelvaneTest(int argc, char** argv, QObject& ATest);

// Every record from the debug level up is held in the logging engine's
// memory target until ReleaseLogRecords; a test's init() and cleanup()
// call them so each test function sees its own records only.
void HoldLogRecords();
void ReleaseLogRecords();

// One field ("title", "kind", ...) of every record the logging engine's
// memory target holds, oldest first; only records of AKind (a record kind
// name such as "exception") when it is given.
QStringList HeldRecordFields(const QString& AField, const QString& AKind = {});

// The system's own text for a file that is not there, and for a path whose
// folder is not there ("No such file or directory" for both on Linux; two
// texts on Windows), as the program passes them on.
QString MissingFileText();
QString MissingFolderText();

#define KELVANE_TEST_MAIN(TestClass)                                                               \
  int main(int argc, char** argv) {                                                                \
    QCoreApplication App(argc, argv);                                                              \
    TestClass Test;                                                                                \
    return RunKelvaneTest(argc, argv, Test);                                                       \
  }
