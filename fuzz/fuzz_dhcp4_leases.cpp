#include "FuzzMain.h"

#include "platform/linux/LinuxIpHelper.h"

KELVANE_FUZZ_TARGET({
  (void)LinuxIpHelper::NetworkdDhcpServer(Input);
  (void)LinuxIpHelper::DhclientDhcpServers(Input);
})
