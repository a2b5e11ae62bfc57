#pragma once
// The ports for NetBIOS, the network-management calls and accounts: the
// services the system-information components ask about sessions, shares and
// users. Value types stand for the Windows buffers; a call answers the
// Windows code the callers branch on.
//
// Which entry points a library offers is part of the port (HasEntryPoint),
// as GetProcAddress tells it on Windows, so that the callers' "missing entry
// point: skip the work" paths stay real.
//
// Off Windows none of these services runs, and the Linux backends answer as
// a Windows machine does where they are stopped:
//   NetBIOS     NCBENUM succeeds with no LAN adapter number (NetBIOS bound to
//               no transport); NCBRESET and NCBASTAT give NRC_BRIDGE (no such
//               adapter number).
//   NetApi      NetWkstaGetInfo gives NERR_WkstaNotStarted; the share,
//               session, file and connection enumerations give
//               NERR_ServerNotStarted.
//   Accounts    users come from the password database, their SID in the
//               Unix-user form S-1-22-1-<uid>; there are no terminal
//               services, so their entry points are missing; the process
//               runs in session 1 (the console), and no process bears a
//               Windows program name.

#include "common/WinError.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

#include "platform/PortNamesBegin.h"

using NET_API_STATUS = DWORD;

inline constexpr UCHAR NCBRESET = 0x32;
inline constexpr UCHAR NCBASTAT = 0x33;
inline constexpr UCHAR NCBENUM = 0x37;
inline constexpr UCHAR NRC_GOODRET = 0x00;
inline constexpr UCHAR NRC_BRIDGE = 0x23;
inline constexpr int NCBNAMSZ = 16;

// The network control block of the three commands used: the command, the
// LAN adapter number, the call name (NCBNAMSZ bytes) and the buffer, of
// BufferLength bytes, that the command fills.
struct TNcb {
  UCHAR Command = 0;
  UCHAR Lana = 0;
  QByteArray CallName;
  int BufferLength = 0;
  QByteArray Buffer;
};

class INetBios {
public:
  virtual ~INetBios() = default;
  virtual UCHAR Netbios(TNcb& ANcb) = 0;
};

struct TWkstaInfo100 {
  DWORD PlatformId = 0;
  QString ComputerName;
  QString LanGroup;
  DWORD VerMajor = 0;
  DWORD VerMinor = 0;
};

struct TShareInfo2 {
  QString NetName;
  DWORD Type = 0;
  QString Remark;
  DWORD Permissions = 0;
  DWORD MaxUses = 0;
  DWORD CurrentUses = 0;
  QString Path;
  QString Password;
};

struct TSessionInfo502 {
  QString ClientName;
  QString UserName;
  DWORD NumOpens = 0;
  DWORD Time = 0;
  DWORD IdleTime = 0;
  DWORD UserFlags = 0;
  QString ClientTypeName;
  QString Transport;
};

struct TFileInfo3 {
  DWORD Id = 0;
  DWORD Permissions = 0;
  DWORD NumLocks = 0;
  QString PathName;
  QString UserName;
};

struct TConnectionInfo1 {
  DWORD Id = 0;
  DWORD Type = 0;
  DWORD NumOpens = 0;
  DWORD NumUsers = 0;
  DWORD Time = 0;
  QString UserName;
  QString NetName;
};

enum class TNetApiFunction {
  NetWkstaGetInfo,
  NetShareEnum,
  NetSessionEnum,
  NetFileEnum,
  NetConnectionEnum
};

// The enumerations hand over one call's entries; ERROR_MORE_DATA says that
// another call with the resume handle as this one left it gives more.
class INetApi {
public:
  virtual ~INetApi() = default;
  virtual bool HasEntryPoint(TNetApiFunction AFunction) = 0;
  // Level 100.
  virtual NET_API_STATUS NetWkstaGetInfo(const QString& AServer, TWkstaInfo100& AInfo) = 0;
  // Level 2.
  virtual NET_API_STATUS NetShareEnum(const QString& AServer, std::vector<TShareInfo2>& AEntries,
                                      DWORD& AResumeHandle) = 0;
  // Level 502, no client or user filter.
  virtual NET_API_STATUS NetSessionEnum(const QString& AServer,
                                        std::vector<TSessionInfo502>& AEntries,
                                        DWORD& AResumeHandle) = 0;
  // Level 3, no base path or user filter.
  virtual NET_API_STATUS NetFileEnum(const QString& AServer, std::vector<TFileInfo3>& AEntries,
                                     DWORD& AResumeHandle) = 0;
  // Level 1.
  virtual NET_API_STATUS NetConnectionEnum(const QString& AServer, const QString& AQualifier,
                                           std::vector<TConnectionInfo1>& AEntries,
                                           DWORD& AResumeHandle) = 0;
};

// A security identifier: the six-byte identifier authority and the
// sub-authorities in order.
struct TSid {
  std::array<std::uint8_t, 6> Authority{};
  std::vector<std::uint32_t> SubAuthorities;
  bool operator==(const TSid&) const = default;
};

// In a namespace: the system's header declares the same enumerators.
namespace WtsNames {
enum TWtsInfoClass { WTSUserName = 5, WTSDomainName = 7 };
enum TWtsConnectState { WTSActive = 0, WTSConnected = 1, WTSDisconnected = 4 };
} // namespace WtsNames
using namespace WtsNames;
inline constexpr DWORD WTS_CURRENT_SESSION = 0xFFFFFFFF;

struct TWtsSessionInfo {
  DWORD SessionId = 0;
  QString WinStationName;
  TWtsConnectState State = WtsNames::WTSActive;
};

// A running process with its session and, when it can be opened, the
// account of its token.
struct TProcessEntry {
  DWORD ProcessId = 0;
  QString ExeName;
  DWORD SessionId = 0;
  bool TokenReadable = false;
  TSid User;
};

enum class TAccountsFunction {
  WTSEnumerateServers,
  WTSQuerySessionInformation,
  WTSEnumerateSessions,
  WTSGetActiveConsoleSessionId,
  ProcessIdToSessionId,
  IsWow64Process
};

class IAccounts {
public:
  virtual ~IAccounts() = default;
  virtual bool HasEntryPoint(TAccountsFunction AFunction) = 0;
  // False with ERROR_NONE_MAPPED in GetLastError for an unknown account.
  virtual bool LookupAccountName(const QString& AMachine, const QString& AAccount, TSid& ASid) = 0;
  virtual bool LookupAccountSid(const QString& AMachine, const TSid& ASid, QString& AName,
                                QString& ADomain) = 0;
  virtual DWORD GetLastError() = 0;
  virtual bool WTSQuerySessionInformation(DWORD ASessionId, TWtsInfoClass AInfoClass,
                                          QString& AText) = 0;
  virtual std::vector<TWtsSessionInfo> WTSEnumerateSessions() = 0;
  virtual DWORD WTSGetActiveConsoleSessionId() = 0;
  virtual bool ProcessIdToSessionId(DWORD AProcessId, DWORD& ASessionId) = 0;
  virtual DWORD GetCurrentProcessId() = 0;
  virtual std::vector<TProcessEntry> Processes() = 0;
  virtual bool IsWow64Process(bool& AIsWow64) = 0;
};

#include "platform/PortNamesEnd.h"
