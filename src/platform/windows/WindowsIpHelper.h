#pragma once
// The IP Helper port over iphlpapi, its entry points looked up at run time.

#include "platform/IpHelper.h"

#include "platform/PortNamesBegin.h"

class WindowsIpHelper : public IIpHelper {
public:
  bool HasEntryPoint(TIpHelperFunction) override { return false; }
  DWORD GetAdaptersInfo(std::vector<TIpAdapterInfo>&, ULONG&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  DWORD GetNetworkParams(TFixedInfo&, ULONG&) override { return ERROR_CALL_NOT_IMPLEMENTED; }
  DWORD GetIfEntry(TMibIfRow&) override { return ERROR_CALL_NOT_IMPLEMENTED; }
  DWORD GetAdaptersAddresses(ULONG, ULONG, std::vector<TIpAdapterAddresses>&, ULONG&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
};

#include "platform/PortNamesEnd.h"
