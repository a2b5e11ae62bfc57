#pragma once
// NetBIOS, network management and accounts on Linux: the services are not
// there (see platform/NetApi.h for what each call answers); users and their
// identifiers come from the password database.

#include "platform/NetApi.h"
#include "platform/linux/LinuxFacts.h"

#include <memory>

class LinuxNetBios : public INetBios {
public:
  UCHAR Netbios(TNcb& ANcb) override;
};

class LinuxNetApi : public INetApi {
public:
  bool HasEntryPoint(TNetApiFunction) override { return true; }
  NET_API_STATUS NetWkstaGetInfo(const QString&, TWkstaInfo100&) override {
    return NERR_WkstaNotStarted;
  }
  NET_API_STATUS NetShareEnum(const QString&, std::vector<TShareInfo2>& AEntries, DWORD&) override {
    AEntries.clear();
    return NERR_ServerNotStarted;
  }
  NET_API_STATUS NetSessionEnum(const QString&, std::vector<TSessionInfo502>& AEntries,
                                DWORD&) override {
    AEntries.clear();
    return NERR_ServerNotStarted;
  }
  NET_API_STATUS NetFileEnum(const QString&, std::vector<TFileInfo3>& AEntries, DWORD&) override {
    AEntries.clear();
    return NERR_ServerNotStarted;
  }
  NET_API_STATUS NetConnectionEnum(const QString&, const QString&,
                                   std::vector<TConnectionInfo1>& AEntries, DWORD&) override {
    AEntries.clear();
    return NERR_ServerNotStarted;
  }
};

class LinuxAccounts : public IAccounts {
public:
  // The machine's name and its effective user come from AFacts when given
  // (a machine shown from a snapshot is that machine); other users from the
  // password database.
  explicit LinuxAccounts(std::shared_ptr<TLinuxFacts> AFacts = {}) : FFacts(std::move(AFacts)) {}

  // The console session a Linux login counts as.
  static constexpr DWORD ConsoleSession = 1;

  bool HasEntryPoint(TAccountsFunction AFunction) override;
  bool LookupAccountName(const QString& AMachine, const QString& AAccount, TSid& ASid) override;
  bool LookupAccountSid(const QString& AMachine, const TSid& ASid, QString& AName,
                        QString& ADomain) override;
  DWORD GetLastError() override { return FLastError; }
  bool WTSQuerySessionInformation(DWORD, TWtsInfoClass, QString&) override { return false; }
  std::vector<TWtsSessionInfo> WTSEnumerateSessions() override { return {}; }
  DWORD WTSGetActiveConsoleSessionId() override { return ConsoleSession; }
  bool ProcessIdToSessionId(DWORD, DWORD& ASessionId) override;
  DWORD GetCurrentProcessId() override;
  // No process of a Linux system bears a Windows program name, so the
  // processes are not listed.
  std::vector<TProcessEntry> Processes() override { return {}; }
  bool IsWow64Process(bool& AIsWow64) override;

  // The SID of a Unix user: S-1-22-1-<uid>.
  static TSid UnixUserSid(std::uint32_t AUid);

private:
  bool isLocalMachine(const QString& AMachine);
  QString shortHostName();

  std::shared_ptr<TLinuxFacts> FFacts;
  thread_local static inline DWORD FLastError = 0;
};
