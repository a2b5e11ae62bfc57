#pragma once
// The IP Helper port over iphlpapi, its entry points looked up at run time;
// a system without one answers as the port says for a missing entry point.

#include "platform/IpHelper.h"

#include "platform/PortNamesBegin.h"

class WindowsIpHelper : public IIpHelper {
public:
  bool HasEntryPoint(TIpHelperFunction AFunction) override;
  DWORD GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) override;
  DWORD GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) override;
  DWORD GetIfEntry(TMibIfRow& ARow) override;
  DWORD GetAdaptersAddresses(ULONG AFamily, ULONG AFlags,
                             std::vector<TIpAdapterAddresses>& AAddresses, ULONG& ASize) override;
};

#include "platform/PortNamesEnd.h"
