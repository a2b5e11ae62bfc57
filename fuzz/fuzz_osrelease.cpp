#include "FuzzMain.h"

#include "platform/linux/LinuxSystemInfo.h"

KELVANE_FUZZ_TARGET({ (void)LinuxSystemInfo::PrettyName(Input); })
