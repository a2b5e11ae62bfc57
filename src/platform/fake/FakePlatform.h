#pragma once
// In-memory backends for tests. Registry contents are stated as .reg text,
// the same syntax the Linux backend reads from the machine file; the header
// line may be left out.

#include "platform/IpHelper.h"
#include "platform/NetApi.h"
#include "platform/Platform.h"
#include "platform/RegFile.h"
#include "platform/Sockets.h"
#include "platform/SystemInfo.h"
#include "platform/Wmi.h"

#include <QList>
#include <QMap>

#include <memory>
#include <set>

#include "platform/PortNamesBegin.h"

class FakeRegistry : public THiveRegistry {
public:
  FakeRegistry();
  explicit FakeRegistry(const QString& ARegText);

  // Applies ARegText on top of what the hive holds; returns the warnings the
  // reader gave for malformed lines ("<source>:<line>: <reason>"). Safe while
  // other threads read through this registry.
  QStringList Load(const QString& ARegText,
                   const QString& ASourceName = QStringLiteral("fake.reg"));
  void Clear();
};

// Every answer is a public field the test sets.
class FakeSystemInfo : public ISystemInfo {
public:
  TOSVersionInfo VersionInfo;
  DWORD KernelVersion = 0;
  std::optional<QString> ComputerName = QStringLiteral("FAKEHOST");
  std::optional<QString> UserName = QStringLiteral("tester");
  QMap<QString, QString> Environment; // names compared without regard to case
  QMap<int, int> Metrics;
  TSystemInfo Info;
  std::optional<TSystemInfo> NativeInfo;             // nullopt: the entry point is missing
  std::optional<std::pair<bool, DWORD>> ProductInfo; // nullopt: missing entry point
  DWORD LastError = ERROR_SUCCESS;
  QList<std::pair<DWORD, DWORD>> ProductInfoCalls; // (major, minor) asked for

  // The version record of an NT workstation of version 6.AMinor, the
  // generation the Linux backend reports (6.2) by default.
  void SetWorkstation(DWORD AMinor = 2);

  TOSVersionInfo Version() override { return VersionInfo; }
  DWORD KernelProductVersion() override { return KernelVersion; }
  bool GetComputerName(QString& AName) override;
  bool GetUserName(QString& AName) override;
  std::optional<QString> GetEnvironmentVariable(const QString& AName) override;
  int GetSystemMetrics(int AIndex) override { return Metrics.value(AIndex, 0); }
  void GetSystemInfo(TSystemInfo& AInfo) override { AInfo = Info; }
  bool GetNativeSystemInfo(TSystemInfo& AInfo) override;
  std::optional<bool> GetProductInfo(DWORD AMajor, DWORD AMinor, DWORD ASpMajor, DWORD ASpMinor,
                                     DWORD& AProductType) override;
  DWORD GetLastError() override { return LastError; }
};

// Names and their addresses from a table (names compare without regard to
// case); starts and stops are counted.
class FakeSockets : public ISockets {
public:
  QString HostName = QStringLiteral("fakehost");
  QMap<QString, std::vector<std::uint32_t>> Names;
  int StartResult = 0;
  TWsaData Data{0, 0x0202, QStringLiteral("Fake Sockets"), QStringLiteral("Running")};
  int Starts = 0;
  int Cleanups = 0;
  QStringList LookedUp;

  int WSAStartup(std::uint16_t AVersion, TWsaData* AData = nullptr) override;
  int WSACleanup() override;
  int WSAGetLastError() override { return FLastError; }
  int GetHostName(QString& AName) override;
  std::vector<std::uint32_t> GetHostByName(const QString& AName, int ATimeoutMs = -1) override;
  // Formats as the Linux backend does.
  int WSAAddressToString(const TSocketAddress& AAddress, QString& AText) override;

private:
  int FLastError = 0;
};

// Classes and their instances from tables; every query is recorded. The
// instances pass through the same query handling as real ones.
class FakeWmi : public IWmi {
public:
  FakeWmi();
  ~FakeWmi() override;
  void AddInstance(const TWmiObject& AObject);
  // A class definition, answered to "SELECT * FROM Meta_Class WHERE
  // __CLASS = ...".
  void AddDefinition(const TWmiObject& ADefinition);
  // A class that answers queries with no instance.
  void AddClass(const QString& AClassName);
  QStringList Queries;
  std::unique_ptr<IWmiServices> ConnectServer(const QString& AServer, const QString& ANamespace,
                                              const QString& AUser,
                                              const QString& APassword) override;

private:
  class TTableProvider;
  std::vector<std::unique_ptr<TTableProvider>> FProviders;
};

// LAN adapter numbers with their adapter addresses; every call is recorded.
class FakeNetBios : public INetBios {
public:
  UCHAR EnumResult = NRC_GOODRET;
  std::vector<UCHAR> Lanas;
  QMap<UCHAR, QByteArray> Addresses; // six bytes per adapter number
  std::set<UCHAR> FailingResets;
  std::vector<TNcb> Calls;

  UCHAR Netbios(TNcb& ANcb) override;
};

// Enumerations hand their tables over in pages of PageSize entries, with
// ERROR_MORE_DATA between pages; a status set for a function ends it.
class FakeNetApi : public INetApi {
public:
  std::set<TNetApiFunction> Missing;
  QMap<TNetApiFunction, NET_API_STATUS> Failing;
  TWkstaInfo100 Workstation;
  std::vector<TShareInfo2> Shares;
  std::vector<TSessionInfo502> Sessions;
  std::vector<TFileInfo3> Files;
  std::vector<TConnectionInfo1> Connections;
  std::size_t PageSize = 2;
  QStringList Calls; // "<function> <server> [<qualifier>]"

  bool HasEntryPoint(TNetApiFunction AFunction) override { return !Missing.count(AFunction); }
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

// Accounts by name (compared without regard to case), sessions and
// processes from tables.
class FakeAccounts : public IAccounts {
public:
  std::set<TAccountsFunction> Missing;
  QMap<QString, TSid> Accounts; // "name" or "name@domain"; a SID gives back both parts
  QMap<std::pair<DWORD, int>, QString> SessionInfo; // (session, info class) → text
  std::vector<TWtsSessionInfo> Sessions;
  DWORD ConsoleSession = 1;
  DWORD ProcessSession = 1;
  DWORD ProcessId = 4242;
  std::vector<TProcessEntry> ProcessList;
  bool Wow64 = false;
  QStringList LookedUp; // accounts asked for, "<machine>|<account>"

  bool HasEntryPoint(TAccountsFunction AFunction) override { return !Missing.count(AFunction); }
  bool LookupAccountName(const QString& AMachine, const QString& AAccount, TSid& ASid) override;
  bool LookupAccountSid(const QString& AMachine, const TSid& ASid, QString& AName,
                        QString& ADomain) override;
  DWORD GetLastError() override { return FLastError; }
  bool WTSQuerySessionInformation(DWORD ASessionId, TWtsInfoClass AInfoClass,
                                  QString& AText) override;
  std::vector<TWtsSessionInfo> WTSEnumerateSessions() override { return Sessions; }
  DWORD WTSGetActiveConsoleSessionId() override { return ConsoleSession; }
  bool ProcessIdToSessionId(DWORD, DWORD& ASessionId) override;
  DWORD GetCurrentProcessId() override { return ProcessId; }
  std::vector<TProcessEntry> Processes() override { return ProcessList; }
  bool IsWow64Process(bool& AIsWow64) override;

private:
  DWORD FLastError = ERROR_SUCCESS;
};

// Adapter views from tables. A call whose answer is larger than the
// caller's buffer (RecordSize per record) answers ERROR_BUFFER_OVERFLOW
// with the size it needs, as Windows does.
class FakeIpHelper : public IIpHelper {
public:
  std::set<TIpHelperFunction> Missing;
  QMap<TIpHelperFunction, DWORD> Failing;
  std::vector<TIpAdapterInfo> AdapterInfo;
  TFixedInfo Parameters;
  QMap<DWORD, TMibIfRow> Rows;
  std::vector<TIpAdapterAddresses> Addresses;
  QStringList Calls; // "<function> <size asked with>"

  bool HasEntryPoint(TIpHelperFunction AFunction) override { return !Missing.count(AFunction); }
  DWORD GetAdaptersInfo(std::vector<TIpAdapterInfo>& AInfo, ULONG& ASize) override;
  DWORD GetNetworkParams(TFixedInfo& AInfo, ULONG& ASize) override;
  DWORD GetIfEntry(TMibIfRow& ARow) override;
  DWORD GetAdaptersAddresses(ULONG AFamily, ULONG AFlags,
                             std::vector<TIpAdapterAddresses>& AAddresses, ULONG& ASize) override;
};

class FakePlatform : public Platform {
public:
  FakePlatform() = default;
  explicit FakePlatform(const QString& ARegText) : FRegistry(ARegText) {}

  IRegistry& Registry() override { return FRegistry; }
  ISystemInfo& SystemInfo() override { return FSystemInfo; }
  IWmi& Wmi() override { return FWmi; }
  ISockets& Sockets() override { return FSockets; }
  INetBios& NetBios() override { return FNetBios; }
  INetApi& NetApi() override { return FNetApi; }
  IAccounts& Accounts() override { return FAccounts; }
  IIpHelper& IpHelper() override { return FIpHelper; }
  FakeIpHelper& FakeAdapters() { return FIpHelper; }
  FakeNetBios& FakeBios() { return FNetBios; }
  FakeNetApi& FakeNetwork() { return FNetApi; }
  FakeAccounts& FakeUsers() { return FAccounts; }
  FakeRegistry& FakeReg() { return FRegistry; }
  FakeSockets& FakeNet() { return FSockets; }
  FakeWmi& FakeWmiService() { return FWmi; }
  FakeSystemInfo& FakeSystem() { return FSystemInfo; }

private:
  FakeRegistry FRegistry;
  FakeSystemInfo FSystemInfo;
  FakeWmi FWmi;
  FakeSockets FSockets;
  FakeNetBios FNetBios;
  FakeNetApi FNetApi;
  FakeAccounts FAccounts;
  FakeIpHelper FIpHelper;
};

#include "platform/PortNamesEnd.h"
