#pragma once
// In-memory backends for tests. Registry contents are stated as .reg text,
// the same syntax the Linux backend reads from the machine file; the header
// line may be left out.

#include "platform/Platform.h"
#include "platform/RegFile.h"
#include "platform/Sockets.h"
#include "platform/SystemInfo.h"
#include "platform/Wmi.h"

#include <QList>
#include <QMap>

#include <memory>

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
  int Starts = 0;
  int Cleanups = 0;
  QStringList LookedUp;

  int WSAStartup(std::uint16_t) override;
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
  QStringList Queries;
  std::unique_ptr<IWmiServices> ConnectServer(const QString& AServer, const QString& ANamespace,
                                              const QString& AUser,
                                              const QString& APassword) override;

private:
  class TTableProvider;
  std::vector<std::unique_ptr<TTableProvider>> FProviders;
};

class FakePlatform : public Platform {
public:
  FakePlatform() = default;
  explicit FakePlatform(const QString& ARegText) : FRegistry(ARegText) {}

  IRegistry& Registry() override { return FRegistry; }
  ISystemInfo& SystemInfo() override { return FSystemInfo; }
  IWmi& Wmi() override { return FWmi; }
  ISockets& Sockets() override { return FSockets; }
  FakeRegistry& FakeReg() { return FRegistry; }
  FakeSockets& FakeNet() { return FSockets; }
  FakeWmi& FakeWmiService() { return FWmi; }
  FakeSystemInfo& FakeSystem() { return FSystemInfo; }

private:
  FakeRegistry FRegistry;
  FakeSystemInfo FSystemInfo;
  FakeWmi FWmi;
  FakeSockets FSockets;
};
