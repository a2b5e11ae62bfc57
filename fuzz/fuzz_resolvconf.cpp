#include "FuzzMain.h"

#include "platform/linux/HostName.h"
#include "platform/linux/ResolvConf.h"

// The one reader of resolv.conf, and of the host name (a small file of
// /proc like it).
KELVANE_FUZZ_TARGET({
  (void)ParseResolverConfig(Input);
  (void)ParseHostName(Input);
})
