#include "FuzzMain.h"

#include "platform/RegFile.h"

KELVANE_FUZZ_TARGET({
  TRegHive Hive;
  (void)Hive.Apply(Input, QStringLiteral("fuzz.reg"));
})
