#pragma once
// The NetBIOS, network-management and accounts ports over netapi32,
// advapi32, wtsapi32 and kernel32, each entry point looked up once at run
// time; one the system lacks answers as the ports say for a missing entry
// point (NRC_BRIDGE, ERROR_CALL_NOT_IMPLEMENTED, nothing found).

#include "platform/NetApi.h"

#include "platform/PortNamesBegin.h"

class WindowsNetBios : public INetBios {
public:
  UCHAR Netbios(TNcb& ANcb) override;
};

class WindowsNetApi : public INetApi {
public:
  bool HasEntryPoint(TNetApiFunction AFunction) override;
  NET_API_STATUS NetWkstaGetInfo(const QString& AServer, TWkstaInfo100& AInfo) override;
  NET_API_STATUS NetShareEnum(const QString& AServer, std::vector<TShareInfo2>& AEntries,
                              DWORD& AResumeHandle) override;
  NET_API_STATUS NetSessionEnum(const QString& AServer, std::vector<TSessionInfo502>& AEntries,
                                DWORD& AResumeHandle) override;
  NET_API_STATUS NetFileEnum(const QString& AServer, std::vector<TFileInfo3>& AEntries,
                             DWORD& AResumeHandle) override;
  NET_API_STATUS NetConnectionEnum(const QString& AServer, const QString& AQualifier,
                                   std::vector<TConnectionInfo1>& AEntries,
                                   DWORD& AResumeHandle) override;
};

class WindowsAccounts : public IAccounts {
public:
  bool HasEntryPoint(TAccountsFunction AFunction) override;
  bool LookupAccountName(const QString& AMachine, const QString& AAccount, TSid& ASid) override;
  bool LookupAccountSid(const QString& AMachine, const TSid& ASid, QString& AName,
                        QString& ADomain) override;
  // The error of this thread's last failed call of this port.
  DWORD GetLastError() override;
  bool WTSQuerySessionInformation(DWORD ASessionId, TWtsInfoClass AInfoClass,
                                  QString& AText) override;
  std::vector<TWtsSessionInfo> WTSEnumerateSessions() override;
  DWORD WTSGetActiveConsoleSessionId() override;
  bool ProcessIdToSessionId(DWORD AProcessId, DWORD& ASessionId) override;
  DWORD GetCurrentProcessId() override;
  // A process whose session cannot be told has WTS_CURRENT_SESSION, which
  // matches no session a caller looks for.
  std::vector<TProcessEntry> Processes() override;
  bool IsWow64Process(bool& AIsWow64) override;
};

#include "platform/PortNamesEnd.h"
