#include "FuzzMain.h"

#include "platform/linux/LinuxIpHelper.h"

KELVANE_FUZZ_TARGET({ (void)LinuxIpHelper::Dhcpv6Identity(Input, QStringLiteral("eth0")); })
