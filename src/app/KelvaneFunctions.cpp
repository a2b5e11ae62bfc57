#include "app/KelvaneFunctions.h"

#include "app/WMIPing.h"
#include "common/Diagnostics.h"
#include "common/StringRules.h"
#include "hostinfo/SysInfoVersion.h"
#include "inventory/NetworkAdapterScanner.h"
#include "inventory/dcuwmiNetcards.h"
#include "logging/MorvelDebug.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/SystemInfo.h"
#include "sysinfo/SysInfoNetwork.h"

namespace {
ISystemInfo& systemInfo() {
  return Platform::current().SystemInfo();
}

// The text up to its first NUL, as a fixed buffer of the system would hold it.
QString upToNul(const QString& AText) {
  const qsizetype Nul = AText.indexOf(QChar(0));
  return Nul < 0 ? AText : AText.left(Nul);
}
} // namespace

void GatherInformation(TObjectList<TKelvaneData>& AGroups, bool& AConnected) {
  AGroups.Add(BuildGeneralInformation(AConnected));
  IList<TKelvaneData> Adapters;
  QString Problem;
  CollectNetworkInterfaces(Adapters, &Problem);
  // The window and --print still show the general group; the person who
  // started the program learns why the adapters are missing.
  if (!Problem.isEmpty())
    PrintDiagnostic(QStringLiteral("no adapter groups: ") + Problem);
  if (Adapters)
    for (const TKelvaneData* Group : *Adapters)
      AGroups.AddNew()->Assign(Group);
}

QString WorkingFilePath(const QString& ATempDirectory) {
  // Taken as it is, an empty folder text would put the file at the root of
  // the file system.
  if (Trim(ATempDirectory).isEmpty())
    throw EArgumentException(QStringLiteral("No temporary folder for the working file"));
  const QString Directory = ATempDirectory.endsWith(u'/') ? ATempDirectory : ATempDirectory + u'/';
  if (Directory.contains(QChar(0)))
    throw EArgumentException(QStringLiteral("Invalid characters in path"));
  return Directory + QLatin1String("NetworkAdapters.xml");
}

QString JoinIPv6Addresses(const IList<TNetworkAdapterAddressIPv6Data>& AList) {
  QString Result;
  if (!AList)
    return Result;
  for (const TNetworkAdapterAddressIPv6Data* Address : *AList)
    Result = Result.isEmpty() ? Address->IPAddress()
                              : Result + QLatin1String("; ") + Address->IPAddress();
  return Result;
}

QString FilterDefaultGateway(const QString& AText) {
  return AText == QLatin1String("0.0.0.0") ? QString() : AText;
}

void CompleteAdaptersFromWmi() {
  const QString Temp = ReadTempDirectory();
  const QString Path = WorkingFilePath(Temp);
  try {
    TWmiNetcard Report;
    Report.Init(Temp);
    Report.AddAllProperties();
    Report.DoScan();
    Report.SaveToFile(Path);
  } catch (...) {
    GetLogger()->LogException(QString(), std::current_exception());
  }
}

void CollectNetworkInterfaces(IList<TKelvaneData>& AGroups, QString* AProblem, int ALockTimeoutMs) {
  AGroups.reset();
  TObjectList<TNetworkAdapterData> Adapters;
  const QString Temp = ReadTempDirectory();
  if (Trim(Temp).isEmpty()) {
    const QString Problem = QStringLiteral("no temporary folder could be had for the working file");
    GetLogger()->LogError(Problem);
    if (AProblem)
      *AProblem = Problem;
    return;
  }
  const QString Path = WorkingFilePath(Temp);
  TSysInfoNetwork Network;
  try {
    Network.RefreshData(0x3FFFFF);
    // Every start writes, completes and reads back the same file; another
    // start replacing it between those steps would mix two scans. Starts
    // that share the folder take turns.
    const TFileLock Lock(Path + QLatin1String(".lock"), ALockTimeoutMs);
    if (!Lock.Locked())
      throw EFOpenError(QStringLiteral("%1: cannot be locked: %2").arg(Path, Lock.Reason()));
    {
      TNetworkAdapterScanner Scanner(&Network);
      Scanner.Scan();
      Scanner.SaveToFile(Path);
    }
    CompleteAdaptersFromWmi();
    LoadAdapterList(Path, Adapters);
    if (Adapters.IsEmpty())
      return;
    AGroups = MakeList<TKelvaneData>();
    int Number = 0;
    for (const TNetworkAdapterData* Adapter : Adapters) {
      TKelvaneData* Group = AGroups->AddNew();
      Group->SetCaption(QStringLiteral("Network Interface #%1").arg(++Number));
      Group->AddSubItem(QStringLiteral("Description"), Adapter->Name());
      Group->AddSubItem(QStringLiteral("IPv4 Address"), Adapter->IPv4Addresses());
      Group->AddSubItem(QStringLiteral("IPv6 Address"),
                        JoinIPv6Addresses(Adapter->IPv6AdressList()));
      Group->AddSubItem(QStringLiteral("Default Gateway"),
                        FilterDefaultGateway(Adapter->IPv4Gateways()));
      Group->AddSubItem(QStringLiteral("DNS Server"), Adapter->DNSServerIP());
      Group->AddSubItem(QStringLiteral("WINS Server"), Adapter->PrimaryWINSIPAddresses());
      Group->AddSubItem(QStringLiteral("Subnet Mask"), Adapter->IPv4Netmasks());
      Group->AddSubItem(QStringLiteral("MAC Address"), Adapter->MACAddress());
    }
  } catch (...) {
    AGroups.reset();
    GetLogger()->LogException(QString(), std::current_exception());
    if (AProblem)
      *AProblem = DescribeException(std::current_exception()).Message;
  }
}

std::unique_ptr<TKelvaneData> BuildGeneralInformation(bool& AConnected) {
  auto Group = std::make_unique<TKelvaneData>();
  Group->SetCaption(QStringLiteral("General Information"));
  Group->AddSubItem(QStringLiteral("Computer Name"), ReadComputerName());
  Group->AddSubItem(QStringLiteral("User"), ReadUserName());
  Group->AddSubItem(QStringLiteral("Domain"), ReadUserDomain());
  Group->AddSubItem(QStringLiteral("Logon Server"), ReadLogonServer());
  Group->AddSubItem(QStringLiteral("Operating System"), OperatingSystemText());
  Group->AddSubItem(QStringLiteral("Service Pack"), GetWindowsServicePackVersionString());
  QString Address = ResolveIPv4Address(ReadComputerName());
  if (Address.isEmpty())
    Address = ResolveIPv4Address();
  Group->AddSubItem(QStringLiteral("IP Address"), Address);
  AConnected = IsNetworkConnected();
  Group->AddSubItem(QStringLiteral("Network connected"),
                    AConnected ? QStringLiteral("Yes") : QStringLiteral("No"));
  return Group;
}

bool IsNetworkConnected() {
  const QString LogonServer = ReadLogonServer();
  if (Trim(LogonServer).isEmpty())
    return false;
  TWMIPing Ping;
  Ping.SetAddress(LogonServer);
  Ping.SetTimeout(1000);
  Ping.SetBufferSize(32);
  Ping.SetTimeToLive(128);
  Ping.Ping();
  return Ping.Response().StatusCode() == 0;
}

QString ReadComputerName() {
  QString Name;
  return systemInfo().GetComputerName(Name) ? upToNul(Name) : QString();
}

QString ReadUserName() {
  QString Name;
  return systemInfo().GetUserName(Name) ? upToNul(Name) : QString();
}

// The whole expansion is taken: a fixed 30-character buffer would cut host
// names, which may be 63 characters long.
QString ReadUserDomain() {
  return upToNul(ExpandEnvironmentStrings(systemInfo(), QStringLiteral("%USERDOMAIN%")));
}

QString ReadLogonServer() {
  return upToNul(ExpandEnvironmentStrings(systemInfo(), QStringLiteral("%LOGONSERVER%"))).mid(2);
}

QString ReadTempDirectory() {
  return systemInfo().GetEnvironmentVariable(QStringLiteral("temp")).value_or(QString());
}
