#include "FuzzMain.h"

#include "platform/linux/DhcpLeases.h"

KELVANE_FUZZ_TARGET({
  (void)NetworkdDhcpServer(Input);
  (void)DhclientDhcpServers(Input);
})
