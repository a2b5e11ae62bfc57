#include "FuzzMain.h"

#include "platform/linux/LinuxIpHelper.h"
#include "platform/linux/SystemView.h"

// The IP Helper's and the system view's readings of resolv.conf, and the
// system view's of the host name (a small file of /proc like it).
KELVANE_FUZZ_TARGET({
  QStringList Search;
  (void)LinuxIpHelper::NameServers(Input, &Search);
  (void)ParseResolverConfig(Input);
  (void)ParseHostName(Input);
})
