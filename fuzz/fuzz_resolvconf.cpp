#include "FuzzMain.h"

#include "platform/linux/LinuxIpHelper.h"

KELVANE_FUZZ_TARGET({
  QStringList Search;
  (void)LinuxIpHelper::NameServers(Input, &Search);
})
