#include "platform/windows/WindowsHelpers.h"
#include "platform/windows/WindowsLibrary.h"

#include <lm.h>
#include <nb30.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

// The ports' own names for these calls.
#undef LookupAccountName
#undef LookupAccountSid
#undef WTSEnumerateSessions
#undef WTSQuerySessionInformation
#undef WTSEnumerateServers

#include "platform/windows/WindowsNetApi.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The server and qualifier arguments: an empty text names the local machine.
class TWideArgument {
public:
  explicit TWideArgument(const QString& AText) : FText(AText.toStdWString()) {}
  wchar_t* Get() { return FText.empty() ? nullptr : FText.data(); }

private:
  std::wstring FText;
};

QString wideText(const wchar_t* AText) {
  return AText ? QString::fromWCharArray(AText) : QString();
}

// ---- NetBIOS and network management -------------------------------------------------

struct TNetApiLibrary {
  decltype(&::Netbios) Netbios = nullptr;
  decltype(&::NetWkstaGetInfo) NetWkstaGetInfo = nullptr;
  decltype(&::NetShareEnum) NetShareEnum = nullptr;
  decltype(&::NetSessionEnum) NetSessionEnum = nullptr;
  decltype(&::NetFileEnum) NetFileEnum = nullptr;
  decltype(&::NetConnectionEnum) NetConnectionEnum = nullptr;
  decltype(&::NetApiBufferFree) NetApiBufferFree = nullptr;

  TNetApiLibrary() {
    SystemLibrary(L"netapi32.dll");
    Netbios = EntryPoint<decltype(Netbios)>(L"netapi32.dll", "Netbios");
    NetApiBufferFree = EntryPoint<decltype(NetApiBufferFree)>(L"netapi32.dll", "NetApiBufferFree");
    // A buffer the system hands over must go back to it: without the call
    // that frees it, the calls that hand one over count as missing.
    if (!NetApiBufferFree)
      return;
    NetWkstaGetInfo = EntryPoint<decltype(NetWkstaGetInfo)>(L"netapi32.dll", "NetWkstaGetInfo");
    NetShareEnum = EntryPoint<decltype(NetShareEnum)>(L"netapi32.dll", "NetShareEnum");
    NetSessionEnum = EntryPoint<decltype(NetSessionEnum)>(L"netapi32.dll", "NetSessionEnum");
    NetFileEnum = EntryPoint<decltype(NetFileEnum)>(L"netapi32.dll", "NetFileEnum");
    // Wine exports NetConnectionEnum as a stub that ends the process when
    // called ("unimplemented function"); there it counts as missing, so the
    // callers skip the connections as on a system without the call.
    if (!RunningUnderWine())
      NetConnectionEnum =
          EntryPoint<decltype(NetConnectionEnum)>(L"netapi32.dll", "NetConnectionEnum");
  }
};

const TNetApiLibrary& netApi() {
  static const TNetApiLibrary Library;
  return Library;
}

// Holds a buffer the network-management calls allocate, and frees it on
// every path.
class TNetApiBuffer {
public:
  TNetApiBuffer() = default;
  ~TNetApiBuffer() {
    if (FData)
      netApi().NetApiBufferFree(FData);
  }
  TNetApiBuffer(const TNetApiBuffer&) = delete;
  TNetApiBuffer& operator=(const TNetApiBuffer&) = delete;
  BYTE** Out() { return &FData; }
  template <class T> const T* As() const { return reinterpret_cast<const T*>(FData); }

private:
  BYTE* FData = nullptr;
};

// One call of an enumeration: its entries are handed over on success and
// with ERROR_MORE_DATA; every other answer leaves none.
template <class TSystem, class TEntry, class TCall, class TConvert>
NET_API_STATUS enumerate(std::vector<TEntry>& AEntries, TCall ACall, TConvert AConvert) {
  AEntries.clear();
  TNetApiBuffer Buffer;
  DWORD Read = 0, Total = 0;
  const NET_API_STATUS Status = ACall(Buffer.Out(), &Read, &Total);
  if ((Status != NERR_Success && Status != ERROR_MORE_DATA) || !Buffer.template As<TSystem>())
    return Status;
  const TSystem* Entries = Buffer.template As<TSystem>();
  AEntries.reserve(Read);
  for (DWORD I = 0; I < Read; ++I)
    AEntries.push_back(AConvert(Entries[I]));
  return Status;
}
} // namespace

UCHAR WindowsNetBios::Netbios(TNcb& ANcb) {
  const auto Call = netApi().Netbios;
  if (!Call)
    return NRC_BRIDGE;
  NCB Ncb{};
  Ncb.ncb_command = ANcb.Command;
  Ncb.ncb_lana_num = ANcb.Lana;
  std::memcpy(Ncb.ncb_callname, ANcb.CallName.constData(),
              std::size_t(std::min<qsizetype>(ANcb.CallName.size(), NCBNAMSZ)));
  // The block's length field is 16 bits wide.
  const WORD Length = WORD(std::clamp(ANcb.BufferLength, 0, 0xFFFF));
  QByteArray Buffer(Length, '\0');
  std::memcpy(Buffer.data(), ANcb.Buffer.constData(),
              std::size_t(std::min<qsizetype>(ANcb.Buffer.size(), Length)));
  Ncb.ncb_buffer = Length ? reinterpret_cast<PUCHAR>(Buffer.data()) : nullptr;
  Ncb.ncb_length = Length;
  const UCHAR Result = Call(&Ncb);
  ANcb.Buffer = Buffer;
  return Result;
}

bool WindowsNetApi::HasEntryPoint(TNetApiFunction AFunction) {
  const TNetApiLibrary& Library = netApi();
  switch (AFunction) {
  case TNetApiFunction::NetWkstaGetInfo:
    return Library.NetWkstaGetInfo != nullptr;
  case TNetApiFunction::NetShareEnum:
    return Library.NetShareEnum != nullptr;
  case TNetApiFunction::NetSessionEnum:
    return Library.NetSessionEnum != nullptr;
  case TNetApiFunction::NetFileEnum:
    return Library.NetFileEnum != nullptr;
  case TNetApiFunction::NetConnectionEnum:
    return Library.NetConnectionEnum != nullptr;
  }
  return false;
}

NET_API_STATUS WindowsNetApi::NetWkstaGetInfo(const QString& AServer, TWkstaInfo100& AInfo) {
  const auto Call = netApi().NetWkstaGetInfo;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TWideArgument Server(AServer);
  TNetApiBuffer Buffer;
  const NET_API_STATUS Status = Call(Server.Get(), 100, Buffer.Out());
  const auto* Info = Buffer.As<WKSTA_INFO_100>();
  if (Status != NERR_Success || !Info)
    return Status;
  AInfo.PlatformId = Info->wki100_platform_id;
  AInfo.ComputerName = wideText(Info->wki100_computername);
  AInfo.LanGroup = wideText(Info->wki100_langroup);
  AInfo.VerMajor = Info->wki100_ver_major;
  AInfo.VerMinor = Info->wki100_ver_minor;
  return Status;
}

NET_API_STATUS WindowsNetApi::NetShareEnum(const QString& AServer,
                                           std::vector<TShareInfo2>& AEntries,
                                           DWORD& AResumeHandle) {
  const auto Call = netApi().NetShareEnum;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TWideArgument Server(AServer);
  return enumerate<SHARE_INFO_2>(
      AEntries,
      [&](BYTE** ABuffer, DWORD* ARead, DWORD* ATotal) {
        return Call(Server.Get(), 2, ABuffer, MAX_PREFERRED_LENGTH, ARead, ATotal, &AResumeHandle);
      },
      [](const SHARE_INFO_2& AShare) {
        TShareInfo2 Entry;
        Entry.NetName = wideText(AShare.shi2_netname);
        Entry.Type = AShare.shi2_type;
        Entry.Remark = wideText(AShare.shi2_remark);
        Entry.Permissions = AShare.shi2_permissions;
        Entry.MaxUses = AShare.shi2_max_uses;
        Entry.CurrentUses = AShare.shi2_current_uses;
        Entry.Path = wideText(AShare.shi2_path);
        Entry.Password = wideText(AShare.shi2_passwd);
        return Entry;
      });
}

NET_API_STATUS WindowsNetApi::NetSessionEnum(const QString& AServer,
                                             std::vector<TSessionInfo502>& AEntries,
                                             DWORD& AResumeHandle) {
  const auto Call = netApi().NetSessionEnum;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TWideArgument Server(AServer);
  return enumerate<SESSION_INFO_502>(
      AEntries,
      [&](BYTE** ABuffer, DWORD* ARead, DWORD* ATotal) {
        return Call(Server.Get(), nullptr, nullptr, 502, ABuffer, MAX_PREFERRED_LENGTH, ARead,
                    ATotal, &AResumeHandle);
      },
      [](const SESSION_INFO_502& ASession) {
        TSessionInfo502 Entry;
        Entry.ClientName = wideText(ASession.sesi502_cname);
        Entry.UserName = wideText(ASession.sesi502_username);
        Entry.NumOpens = ASession.sesi502_num_opens;
        Entry.Time = ASession.sesi502_time;
        Entry.IdleTime = ASession.sesi502_idle_time;
        Entry.UserFlags = ASession.sesi502_user_flags;
        Entry.ClientTypeName = wideText(ASession.sesi502_cltype_name);
        Entry.Transport = wideText(ASession.sesi502_transport);
        return Entry;
      });
}

NET_API_STATUS WindowsNetApi::NetFileEnum(const QString& AServer, std::vector<TFileInfo3>& AEntries,
                                          DWORD& AResumeHandle) {
  const auto Call = netApi().NetFileEnum;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TWideArgument Server(AServer);
  // This one call takes its resume handle pointer-wide.
  DWORD_PTR Resume = AResumeHandle;
  const NET_API_STATUS Status = enumerate<FILE_INFO_3>(
      AEntries,
      [&](BYTE** ABuffer, DWORD* ARead, DWORD* ATotal) {
        return Call(Server.Get(), nullptr, nullptr, 3, ABuffer, MAX_PREFERRED_LENGTH, ARead, ATotal,
                    &Resume);
      },
      [](const FILE_INFO_3& AFile) {
        TFileInfo3 Entry;
        Entry.Id = AFile.fi3_id;
        Entry.Permissions = AFile.fi3_permissions;
        Entry.NumLocks = AFile.fi3_num_locks;
        Entry.PathName = wideText(AFile.fi3_pathname);
        Entry.UserName = wideText(AFile.fi3_username);
        return Entry;
      });
  AResumeHandle = DWORD(Resume);
  return Status;
}

NET_API_STATUS WindowsNetApi::NetConnectionEnum(const QString& AServer, const QString& AQualifier,
                                                std::vector<TConnectionInfo1>& AEntries,
                                                DWORD& AResumeHandle) {
  const auto Call = netApi().NetConnectionEnum;
  if (!Call)
    return ERROR_CALL_NOT_IMPLEMENTED;
  TWideArgument Server(AServer), Qualifier(AQualifier);
  return enumerate<CONNECTION_INFO_1>(
      AEntries,
      [&](BYTE** ABuffer, DWORD* ARead, DWORD* ATotal) {
        return Call(Server.Get(), Qualifier.Get(), 1, ABuffer, MAX_PREFERRED_LENGTH, ARead, ATotal,
                    &AResumeHandle);
      },
      [](const CONNECTION_INFO_1& AConnection) {
        TConnectionInfo1 Entry;
        Entry.Id = AConnection.coni1_id;
        Entry.Type = AConnection.coni1_type;
        Entry.NumOpens = AConnection.coni1_num_opens;
        Entry.NumUsers = AConnection.coni1_num_users;
        Entry.Time = AConnection.coni1_time;
        Entry.UserName = wideText(AConnection.coni1_username);
        Entry.NetName = wideText(AConnection.coni1_netname);
        return Entry;
      });
}

// ---- accounts -----------------------------------------------------------------------

namespace {

struct TAccountsLibrary {
  decltype(&::LookupAccountNameW) LookupAccountName = nullptr;
  decltype(&::LookupAccountSidW) LookupAccountSid = nullptr;
  decltype(&::WTSEnumerateServersA) WTSEnumerateServers = nullptr;
  decltype(&::WTSQuerySessionInformationW) WTSQuerySessionInformation = nullptr;
  decltype(&::WTSEnumerateSessionsW) WTSEnumerateSessions = nullptr;
  decltype(&::WTSFreeMemory) WTSFreeMemory = nullptr;
  decltype(&::WTSGetActiveConsoleSessionId) WTSGetActiveConsoleSessionId = nullptr;
  decltype(&::ProcessIdToSessionId) ProcessIdToSessionId = nullptr;
  decltype(&::IsWow64Process) IsWow64Process = nullptr;

  TAccountsLibrary() {
    SystemLibrary(L"advapi32.dll");
    LookupAccountName =
        EntryPoint<decltype(LookupAccountName)>(L"advapi32.dll", "LookupAccountNameW");
    LookupAccountSid = EntryPoint<decltype(LookupAccountSid)>(L"advapi32.dll", "LookupAccountSidW");
    SystemLibrary(L"wtsapi32.dll");
    WTSEnumerateServers =
        EntryPoint<decltype(WTSEnumerateServers)>(L"wtsapi32.dll", "WTSEnumerateServersA");
    WTSFreeMemory = EntryPoint<decltype(WTSFreeMemory)>(L"wtsapi32.dll", "WTSFreeMemory");
    // What they hand over must go back through WTSFreeMemory.
    if (WTSFreeMemory) {
      WTSQuerySessionInformation = EntryPoint<decltype(WTSQuerySessionInformation)>(
          L"wtsapi32.dll", "WTSQuerySessionInformationW");
      WTSEnumerateSessions =
          EntryPoint<decltype(WTSEnumerateSessions)>(L"wtsapi32.dll", "WTSEnumerateSessionsW");
    }
    SystemLibrary(L"kernel32.dll");
    WTSGetActiveConsoleSessionId = EntryPoint<decltype(WTSGetActiveConsoleSessionId)>(
        L"kernel32.dll", "WTSGetActiveConsoleSessionId");
    ProcessIdToSessionId =
        EntryPoint<decltype(ProcessIdToSessionId)>(L"kernel32.dll", "ProcessIdToSessionId");
    IsWow64Process = EntryPoint<decltype(IsWow64Process)>(L"kernel32.dll", "IsWow64Process");
  }
};

const TAccountsLibrary& accounts() {
  static const TAccountsLibrary Library;
  return Library;
}

thread_local DWORD LastError = ERROR_SUCCESS;

// The outcome of one call of the port, with the system's error kept for
// GetLastError when it failed.
bool outcome(bool ASucceeded) {
  LastError = ASucceeded ? ERROR_SUCCESS : ::GetLastError();
  return ASucceeded;
}

bool missing() {
  LastError = ERROR_CALL_NOT_IMPLEMENTED;
  return false;
}

TSid sidRecord(PSID ASid) {
  TSid Result;
  if (!ASid || !::IsValidSid(ASid))
    return Result;
  const SID_IDENTIFIER_AUTHORITY* Authority = ::GetSidIdentifierAuthority(ASid);
  std::copy(std::begin(Authority->Value), std::end(Authority->Value), Result.Authority.begin());
  const UCHAR Count = *::GetSidSubAuthorityCount(ASid);
  for (UCHAR I = 0; I < Count; ++I)
    Result.SubAuthorities.push_back(*::GetSidSubAuthority(ASid, I));
  return Result;
}

// The system's form of ASid; empty when it has more parts than a SID holds.
std::vector<BYTE> systemSid(const TSid& ASid) {
  if (ASid.SubAuthorities.size() > SID_MAX_SUB_AUTHORITIES)
    return {};
  const auto Count = BYTE(ASid.SubAuthorities.size());
  SID_IDENTIFIER_AUTHORITY Authority;
  std::copy(ASid.Authority.begin(), ASid.Authority.end(), std::begin(Authority.Value));
  std::vector<BYTE> Sid(::GetSidLengthRequired(Count));
  if (!::InitializeSid(Sid.data(), &Authority, Count))
    return {};
  for (BYTE I = 0; I < Count; ++I)
    *::GetSidSubAuthority(Sid.data(), I) = ASid.SubAuthorities[I];
  return Sid;
}

// The lookups ask for their buffer sizes first; a name that changes in
// between may ask again, a few times at most.
constexpr int MostLookups = 4;

// The user of a process's token, when this process may read it.
bool processUser(DWORD AProcessId, TSid& AUser) {
  // The limited right is enough from Vista on and opens more processes;
  // older systems know only the full one.
  HANDLE Process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, AProcessId);
  if (!Process)
    Process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, AProcessId);
  if (!Process)
    return false;
  HANDLE Token = nullptr;
  std::vector<BYTE> User;
  if (::OpenProcessToken(Process, TOKEN_QUERY, &Token)) {
    User = TokenUserSid(Token);
    ::CloseHandle(Token);
  }
  ::CloseHandle(Process);
  if (User.empty())
    return false;
  AUser = sidRecord(User.data());
  return true;
}
} // namespace

bool WindowsAccounts::HasEntryPoint(TAccountsFunction AFunction) {
  const TAccountsLibrary& Library = accounts();
  switch (AFunction) {
  case TAccountsFunction::WTSEnumerateServers:
    return Library.WTSEnumerateServers != nullptr;
  case TAccountsFunction::WTSQuerySessionInformation:
    return Library.WTSQuerySessionInformation != nullptr;
  case TAccountsFunction::WTSEnumerateSessions:
    return Library.WTSEnumerateSessions != nullptr;
  case TAccountsFunction::WTSGetActiveConsoleSessionId:
    return Library.WTSGetActiveConsoleSessionId != nullptr;
  case TAccountsFunction::ProcessIdToSessionId:
    return Library.ProcessIdToSessionId != nullptr;
  case TAccountsFunction::IsWow64Process:
    return Library.IsWow64Process != nullptr;
  }
  return false;
}

bool WindowsAccounts::LookupAccountName(const QString& AMachine, const QString& AAccount,
                                        TSid& ASid) {
  const auto Call = accounts().LookupAccountName;
  if (!Call)
    return missing();
  TWideArgument Machine(AMachine);
  const std::wstring Account = AAccount.toStdWString();
  std::vector<BYTE> Sid;
  std::vector<wchar_t> Domain;
  for (int Try = 0; Try < MostLookups; ++Try) {
    DWORD SidSize = DWORD(Sid.size()), DomainSize = DWORD(Domain.size());
    SID_NAME_USE Use;
    if (Call(Machine.Get(), Account.c_str(), Sid.empty() ? nullptr : Sid.data(), &SidSize,
             Domain.empty() ? nullptr : Domain.data(), &DomainSize, &Use)) {
      ASid = sidRecord(Sid.data());
      return outcome(true);
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || SidSize == 0)
      return outcome(false);
    Sid.resize(SidSize);
    Domain.resize(std::max<DWORD>(DomainSize, 1));
  }
  return outcome(false);
}

bool WindowsAccounts::LookupAccountSid(const QString& AMachine, const TSid& ASid, QString& AName,
                                       QString& ADomain) {
  const auto Call = accounts().LookupAccountSid;
  if (!Call)
    return missing();
  std::vector<BYTE> Sid = systemSid(ASid);
  if (Sid.empty()) {
    LastError = ERROR_INVALID_SID;
    return false;
  }
  TWideArgument Machine(AMachine);
  std::vector<wchar_t> Name, Domain;
  for (int Try = 0; Try < MostLookups; ++Try) {
    DWORD NameSize = DWORD(Name.size()), DomainSize = DWORD(Domain.size());
    SID_NAME_USE Use;
    if (Call(Machine.Get(), Sid.data(), Name.empty() ? nullptr : Name.data(), &NameSize,
             Domain.empty() ? nullptr : Domain.data(), &DomainSize, &Use)) {
      AName = QString::fromWCharArray(Name.data(), qsizetype(wcsnlen(Name.data(), Name.size())));
      ADomain =
          QString::fromWCharArray(Domain.data(), qsizetype(wcsnlen(Domain.data(), Domain.size())));
      return outcome(true);
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return outcome(false);
    Name.resize(std::max<DWORD>(NameSize, 1));
    Domain.resize(std::max<DWORD>(DomainSize, 1));
  }
  return outcome(false);
}

DWORD WindowsAccounts::GetLastError() {
  return LastError;
}

bool WindowsAccounts::WTSQuerySessionInformation(DWORD ASessionId, TWtsInfoClass AInfoClass,
                                                 QString& AText) {
  const TAccountsLibrary& Library = accounts();
  if (!Library.WTSQuerySessionInformation)
    return missing();
  wchar_t* Buffer = nullptr;
  DWORD Bytes = 0;
  if (!outcome(Library.WTSQuerySessionInformation(WTS_CURRENT_SERVER_HANDLE, ASessionId,
                                                  WTS_INFO_CLASS(AInfoClass), &Buffer, &Bytes)))
    return false;
  AText = Buffer
              ? QString::fromWCharArray(Buffer, qsizetype(wcsnlen(Buffer, Bytes / sizeof(wchar_t))))
              : QString();
  if (Buffer)
    Library.WTSFreeMemory(Buffer);
  return true;
}

std::vector<TWtsSessionInfo> WindowsAccounts::WTSEnumerateSessions() {
  const TAccountsLibrary& Library = accounts();
  std::vector<TWtsSessionInfo> Result;
  if (!Library.WTSEnumerateSessions) {
    missing();
    return Result;
  }
  WTS_SESSION_INFOW* Sessions = nullptr;
  DWORD Count = 0;
  if (!outcome(Library.WTSEnumerateSessions(WTS_CURRENT_SERVER_HANDLE, 0, 1, &Sessions, &Count)))
    return Result;
  for (DWORD I = 0; Sessions && I < Count; ++I)
    Result.push_back({Sessions[I].SessionId, wideText(Sessions[I].pWinStationName),
                      TWtsConnectState(Sessions[I].State)});
  if (Sessions)
    Library.WTSFreeMemory(Sessions);
  return Result;
}

DWORD WindowsAccounts::WTSGetActiveConsoleSessionId() {
  const auto Call = accounts().WTSGetActiveConsoleSessionId;
  return Call ? Call() : WTS_CURRENT_SESSION;
}

bool WindowsAccounts::ProcessIdToSessionId(DWORD AProcessId, DWORD& ASessionId) {
  const auto Call = accounts().ProcessIdToSessionId;
  if (!Call)
    return missing();
  DWORD Session = 0;
  if (!outcome(Call(AProcessId, &Session)))
    return false;
  ASessionId = Session;
  return true;
}

DWORD WindowsAccounts::GetCurrentProcessId() {
  return ::GetCurrentProcessId();
}

std::vector<TProcessEntry> WindowsAccounts::Processes() {
  std::vector<TProcessEntry> Result;
  const HANDLE Snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (Snapshot == INVALID_HANDLE_VALUE)
    return Result;
  const auto SessionOf = accounts().ProcessIdToSessionId;
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof Entry;
  // Bounded: a snapshot is finite, but nothing here relies on that.
  for (BOOL More = ::Process32FirstW(Snapshot, &Entry); More && Result.size() < 1u << 20;
       More = ::Process32NextW(Snapshot, &Entry)) {
    TProcessEntry Process;
    Process.ProcessId = Entry.th32ProcessID;
    Process.ExeName = QString::fromWCharArray(
        Entry.szExeFile, qsizetype(wcsnlen(Entry.szExeFile, std::size(Entry.szExeFile))));
    DWORD Session = WTS_CURRENT_SESSION;
    if (!SessionOf || !SessionOf(Entry.th32ProcessID, &Session))
      Session = WTS_CURRENT_SESSION;
    Process.SessionId = Session;
    Process.TokenReadable = processUser(Entry.th32ProcessID, Process.User);
    Result.push_back(std::move(Process));
  }
  ::CloseHandle(Snapshot);
  return Result;
}

bool WindowsAccounts::IsWow64Process(bool& AIsWow64) {
  const auto Call = accounts().IsWow64Process;
  if (!Call)
    return missing();
  BOOL Wow64 = FALSE;
  if (!outcome(Call(::GetCurrentProcess(), &Wow64)))
    return false;
  AIsWow64 = Wow64 != FALSE;
  return true;
}
