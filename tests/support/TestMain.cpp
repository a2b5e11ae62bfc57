#include "support/TestMain.h"

#include "logging/MorvelDebug.h"
#include "platform/Platform.h"
#include "platform/fake/FakePlatform.h"

int RunKelvaneTest(int argc, char** argv, QObject& ATest) {
  FakePlatform Empty;
  int Result = 0;
  {
    ScopedPlatform Scope(Empty);
    InitializeMorvelDebug();
  }
  Result = QTest::qExec(&ATest, argc, argv);
  FinalizeMorvelDebug();
  return Result;
}
