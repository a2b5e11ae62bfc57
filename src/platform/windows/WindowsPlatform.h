#pragma once
// The Windows platform. The tree builds and its suite runs for Windows
// before the Windows services are wired to the ports: until they are, every
// port answers as a system would that offers none of its entry points
// (HasEntryPoint false, ERROR_CALL_NOT_IMPLEMENTED, nothing found), which
// the callers already handle as the missing-entry-point case, and the
// registry is an empty hive.

#include "platform/IpHelper.h"
#include "platform/NetApi.h"
#include "platform/Platform.h"
#include "platform/RegFile.h"
#include "platform/Sockets.h"
#include "platform/SystemInfo.h"
#include "platform/Wmi.h"

#include "platform/PortNamesBegin.h"

class WindowsSystemInfo : public ISystemInfo {
public:
  TOSVersionInfo Version() override { return {}; }
  DWORD KernelProductVersion() override { return 0; }
  bool GetComputerName(QString& AName) override;
  bool GetUserName(QString& AName) override;
  std::optional<QString> GetEnvironmentVariable(const QString& AName) override;
  int GetSystemMetrics(int) override { return 0; }
  void GetSystemInfo(TSystemInfo& AInfo) override { AInfo = {}; }
  bool GetNativeSystemInfo(TSystemInfo&) override { return false; }
  std::optional<bool> GetProductInfo(DWORD, DWORD, DWORD, DWORD, DWORD&) override {
    return std::nullopt;
  }
  DWORD GetLastError() override { return ERROR_CALL_NOT_IMPLEMENTED; }
};

class WindowsSockets : public ISockets {
public:
  int WSAStartup(std::uint16_t, TWsaData*) override { return int(WSASYSNOTREADY); }
  int WSACleanup() override { return SOCKET_ERROR; }
  int WSAGetLastError() override { return int(WSANOTINITIALISED); }
  int GetHostName(QString&) override { return SOCKET_ERROR; }
  std::vector<std::uint32_t> GetHostByName(const QString&, int) override { return {}; }
  int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) override;

private:
  int FLastError = 0;
};

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

class WindowsPlatform : public Platform {
public:
  WindowsPlatform();
  IRegistry& Registry() override { return FRegistry; }
  ISystemInfo& SystemInfo() override { return FSystemInfo; }
  ISockets& Sockets() override { return FSockets; }
  IWmi& Wmi() override { return FWmi; }
  INetBios& NetBios() override { return FNetBios; }
  INetApi& NetApi() override { return FNetApi; }
  IAccounts& Accounts() override { return FAccounts; }
  IIpHelper& IpHelper() override { return FIpHelper; }

private:
  THiveRegistry FRegistry;
  WindowsSystemInfo FSystemInfo;
  WindowsSockets FSockets;
  TLocalWmi FWmi;
  WindowsNetBios FNetBios;
  WindowsNetApi FNetApi;
  WindowsAccounts FAccounts;
  WindowsIpHelper FIpHelper;
};

#include "platform/PortNamesEnd.h"
