#include "FuzzMain.h"

#include "platform/linux/OsRelease.h"

KELVANE_FUZZ_TARGET({ (void)OsReleasePrettyName(Input); })
