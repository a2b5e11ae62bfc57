#include "FuzzMain.h"

#include "platform/linux/DhcpLeases.h"

KELVANE_FUZZ_TARGET({
  const TDhcpv6Leases Leases = ReadDhcpv6Leases(Input);
  (void)Leases.Of(QStringLiteral("eth0"));
})
