#pragma once
// The NetBIOS, network-management and accounts ports over netapi32,
// advapi32 and wtsapi32, each entry point looked up at run time.

#include "platform/NetApi.h"

#include "platform/PortNamesBegin.h"

class WindowsNetBios : public INetBios {
public:
  UCHAR Netbios(TNcb&) override { return NRC_BRIDGE; }
};

class WindowsNetApi : public INetApi {
public:
  bool HasEntryPoint(TNetApiFunction) override { return false; }
  NET_API_STATUS NetWkstaGetInfo(const QString&, TWkstaInfo100&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  NET_API_STATUS NetShareEnum(const QString&, std::vector<TShareInfo2>&, DWORD&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  NET_API_STATUS NetSessionEnum(const QString&, std::vector<TSessionInfo502>&, DWORD&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  NET_API_STATUS NetFileEnum(const QString&, std::vector<TFileInfo3>&, DWORD&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  NET_API_STATUS NetConnectionEnum(const QString&, const QString&, std::vector<TConnectionInfo1>&,
                                   DWORD&) override {
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
};

class WindowsAccounts : public IAccounts {
public:
  bool HasEntryPoint(TAccountsFunction) override { return false; }
  bool LookupAccountName(const QString&, const QString&, TSid&) override { return false; }
  bool LookupAccountSid(const QString&, const TSid&, QString&, QString&) override { return false; }
  DWORD GetLastError() override { return ERROR_CALL_NOT_IMPLEMENTED; }
  bool WTSQuerySessionInformation(DWORD, TWtsInfoClass, QString&) override { return false; }
  std::vector<TWtsSessionInfo> WTSEnumerateSessions() override { return {}; }
  DWORD WTSGetActiveConsoleSessionId() override { return WTS_CURRENT_SESSION; }
  bool ProcessIdToSessionId(DWORD, DWORD&) override { return false; }
  DWORD GetCurrentProcessId() override { return 0; }
  std::vector<TProcessEntry> Processes() override { return {}; }
  bool IsWow64Process(bool&) override { return false; }
};

#include "platform/PortNamesEnd.h"
