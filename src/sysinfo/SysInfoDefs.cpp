#include "sysinfo/SysInfoDefs.h"

#include "platform/NetApi.h"
#include "platform/Platform.h"

#include <mutex>

namespace {
std::mutex SnapshotLock;
std::unique_ptr<TStartupSnapshot> Snapshot;

TStartupSnapshot takeSnapshot() {
  Platform& System = Platform::current();
  ISystemInfo& Info = System.SystemInfo();
  IAccounts& Accounts = System.Accounts();
  TStartupSnapshot Result;
  if (Accounts.HasEntryPoint(TAccountsFunction::IsWow64Process)) {
    bool Wow64 = false;
    if (Accounts.IsWow64Process(Wow64))
      Result.IsWow64 = Wow64;
  }
  if (!Result.IsWow64 || !Info.GetNativeSystemInfo(Result.SystemInfo))
    Info.GetSystemInfo(Result.SystemInfo);
  Result.Version = Info.Version();
  Result.OSGeneration =
      OSGenerationOf(Result.Version, Result.SystemInfo.ProcessorArchitecture, &Result.OSName);
  Result.IsNT = Result.Version.PlatformId == VER_PLATFORM_WIN32_NT;
  Result.IsWin2000OrLater = Result.OSGeneration > 4;
  Result.ClassKey = Result.IsNT ? QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Class")
                                : QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\Class");
  Result.TerminalServices = Accounts.HasEntryPoint(TAccountsFunction::WTSEnumerateServers);
  // The computer name needs IsWow64 for its registry read: publish first.
  return Result;
}
} // namespace

const TStartupSnapshot& StartupSnapshot() {
  {
    std::lock_guard Guard(SnapshotLock);
    if (Snapshot)
      return *Snapshot;
  }
  RetakeStartupSnapshot();
  std::lock_guard Guard(SnapshotLock);
  return *Snapshot;
}

void RetakeStartupSnapshot() {
  auto Taken = std::make_unique<TStartupSnapshot>(takeSnapshot());
  {
    std::lock_guard Guard(SnapshotLock);
    Snapshot = std::move(Taken);
  }
  const QString Name = ComputerNameFromSystem().toUpper();
  std::lock_guard Guard(SnapshotLock);
  Snapshot->MachineName = Name;
}

std::uint8_t OSGenerationOf(const TOSVersionInfo& AVersion, WORD AArchitecture, QString* AName) {
  const auto result = [&](std::uint8_t AGeneration, const char* ATitle) {
    if (AName)
      *AName = QString::fromLatin1(ATitle);
    return AGeneration;
  };
  const DWORD Major = AVersion.MajorVersion, Minor = AVersion.MinorVersion;
  const bool Workstation = AVersion.ProductType == VER_NT_WORKSTATION;
  if (AVersion.PlatformId == VER_PLATFORM_WIN32_WINDOWS && Major == 4) {
    if (Minor == 0)
      return result(1, "Windows 95");
    if (Minor == 10)
      return result(2, "Windows 98");
    if (Minor == 90)
      return result(3, "Windows Millennium Edition");
  }
  if (AVersion.PlatformId == VER_PLATFORM_WIN32_NT) {
    if (Major == 4)
      return result(4, "Windows NT 4");
    if (Major == 5 && Minor == 0)
      return result(5, "Windows 2000");
    if (Major == 5 && Minor == 1)
      return result(6, "Windows XP");
    if (Major == 5 && Minor == 2)
      return Workstation && AArchitecture == PROCESSOR_ARCHITECTURE_AMD64
                 ? result(6, "Windows XP")
                 : result(7, "Windows Server 2003");
    if (Major == 6 && Minor == 0)
      return Workstation ? result(8, "Windows Vista") : result(9, "Windows Server 2008");
    if (Major == 6 && Minor == 1)
      return Workstation ? result(10, "Windows 7") : result(11, "Windows Server 2008 R2");
    if (Major == 6 && Minor == 2 && Workstation)
      return result(12, "Windows 8");
  }
  return result(0, "");
}

QString ComputerNameFromSystem() {
  QString Name;
  Platform::current().SystemInfo().GetComputerName(Name);
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(HKEY_LOCAL_MACHINE);
  if (Registry->OpenKey(
          QStringLiteral("\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName")) &&
      Registry->ValueExists(QStringLiteral("ComputerName")))
    Name = Registry->ReadString(QStringLiteral("ComputerName"));
  return Name;
}

std::unique_ptr<TRegistry> CreateRegistryReader() {
  bool Wow64 = false;
  {
    std::lock_guard Guard(SnapshotLock);
    Wow64 = Snapshot && Snapshot->IsWow64;
  }
  return std::make_unique<TRegistry>(KEY_READ | (Wow64 ? KEY_WOW64_64KEY : 0));
}

QString ReadRegistryString(TRegHandle ARoot, const QString& AKey, const QString& AName) {
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(ARoot);
  return Registry->OpenKey(AKey) ? Registry->ReadString(AName) : QString();
}

QString ReadRegistryValueText(TRegHandle ARoot, const QString& AKey, const QString& AName,
                              bool AHex) {
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(ARoot);
  if (!Registry->OpenKey(AKey) || !Registry->ValueExists(AName))
    return QString();
  switch (Registry->GetDataType(AName)) {
  case REG_SZ:
    return Registry->ReadString(AName);
  case REG_EXPAND_SZ:
    return ExpandEnvironmentStrings(Platform::current().SystemInfo(), Registry->ReadString(AName));
  case REG_DWORD:
    return QString::number(std::uint32_t(Registry->ReadInteger(AName)));
  case REG_MULTI_SZ: {
    const QStringList Lines = Registry->ReadMultiString(AName);
    return Lines.isEmpty() ? QString() : Lines.first();
  }
  default:
    break;
  }
  const QByteArray Data = Registry->ReadBinaryData(AName).left(8194);
  QString Text;
  if (AHex) {
    for (const char Byte : Data)
      Text += QStringLiteral("%1 ").arg(uint(uchar(Byte)), 2, 16, QLatin1Char('0')).toUpper();
    Text.chop(1);
  } else {
    for (const char Byte : Data)
      Text += uchar(Byte) < 32 ? QLatin1Char('.') : QChar(QLatin1Char(Byte));
  }
  return Text;
}

std::int64_t SafeStrToInt64(const QString& AText) {
  const QString Text = AText.trimmed();
  bool Ok = false;
  const std::int64_t Value =
      Text.startsWith(u'$') ? Text.mid(1).toLongLong(&Ok, 16) : Text.toLongLong(&Ok, 10);
  return Ok ? Value : 0;
}

QString AfterSemicolon(const QString& AText) {
  const qsizetype At = AText.indexOf(u';');
  return At < 0 ? AText : AText.mid(At + 1);
}
