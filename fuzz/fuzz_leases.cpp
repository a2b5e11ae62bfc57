#include "FuzzMain.h"

#include "platform/linux/LinuxIpHelper.h"

KELVANE_FUZZ_TARGET({
  const LinuxIpHelper::TDhcpv6Leases Leases = LinuxIpHelper::ReadDhcpv6Leases(Input);
  (void)Leases.Of(QStringLiteral("eth0"));
})
