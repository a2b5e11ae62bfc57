#include "hostinfo/SysInfoVersion.h"

#include "common/Exceptions.h"
#include "common/Format.h"
#include "common/StringRules.h"
#include "platform/Platform.h"
#include "platform/RegistryAccess.h"
#include "platform/Sockets.h"

#include <array>

namespace {

ISystemInfo& systemInfo() {
  return Platform::current().SystemInfo();
}

bool isWorkstation(const TOSVersionInfo& AVersion) {
  return AVersion.ExtendedValid && AVersion.ProductType == VER_NT_WORKSTATION;
}

QString registryText(const QString& AKey, const QString& AName) {
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  try {
    return Registry.OpenKeyReadOnly(AKey) ? Registry.ReadString(AName) : QString();
  } catch (const ERegistryException&) {
    return {};
  }
}

int registryInteger(const QString& AKey, const QString& AName) {
  TRegistry Registry(KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  try {
    return Registry.OpenKeyReadOnly(AKey) && Registry.ValueExists(AName)
               ? Registry.ReadInteger(AName)
               : 0;
  } catch (const ERegistryException&) {
    return 0;
  }
}

struct TEditionRule {
  const char16_t* Contains;
  const char16_t* Text;
};

struct TEditionFamily {
  const char16_t* StartsWith;
  std::vector<TEditionRule> Rules;
};

// Edition codes number the rules across the families, from 1.
const std::vector<TEditionFamily>& editionFamilies() {
  static const std::vector<TEditionFamily> Families = {
      {u"Windows XP",
       {{u"Home Edition N", u"Home Edition N"},
        {u"Professional N", u"Professional N"},
        {u"Home Edition KN", u"Home Edition KN"},
        {u"Professional KN", u"Professional KN"},
        {u"Home Edition K", u"Home Edition K"},
        {u"Professional K", u"Professional K"},
        {u"Home", u"Home Edition"},
        {u"Professional", u"Professional"},
        {u"Starter", u"Starter Edition"},
        {u"Media Center", u"Media Center Edition"},
        {u"Tablet", u"Tablet PC Edition"}}},
      {u"Windows Vista",
       {{u"Starter", u"Starter"},
        {u"Home Basic N", u"Home Basic N"},
        {u"Home Basic", u"Home Basic"},
        {u"Home Premium", u"Home Premium"},
        {u"Business N", u"Business N"},
        {u"Business", u"Business"},
        {u"Enterprise", u"Enterprise"},
        {u"Ultimate", u"Ultimate"}}},
      {u"Windows 7",
       {{u"Starter", u"Starter"},
        {u"Home Basic", u"Home Basic"},
        {u"Home Premium", u"Home Premium"},
        {u"Professional", u"Professional"},
        {u"Enterprise", u"Enterprise"},
        {u"Ultimate", u"Ultimate"}}},
  };
  return Families;
}

} // namespace

int DetectWindowsVersion() {
  ISystemInfo& System = systemInfo();
  const TOSVersionInfo V = System.Version();
  const QString ServicePack = Trim(V.CSDVersion);
  if (V.PlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    const DWORD Kernel = System.KernelProductVersion();
    if (V.MinorVersion < 10)
      return ServicePack == QLatin1String("B") || ServicePack == QLatin1String("C") ? 2 : 1;
    if (V.MinorVersion == 90 || (V.MinorVersion < 90 && Kernel == ((4u << 16) | 90u)))
      return 5;
    if (V.MinorVersion < 90)
      return ServicePack == QLatin1String("A") || ServicePack == QLatin1String("B") ? 4 : 3;
    return 0;
  }
  if (V.PlatformId != VER_PLATFORM_WIN32_NT)
    return 0;
  const DWORD Major = V.MajorVersion, Minor = V.MinorVersion;
  if (Major == 3)
    return Minor == 1 ? 6 : Minor == 5 ? 7 : Minor == 51 ? 8 : 0;
  if (Major == 4)
    return 9;
  if (Major == 5) {
    if (Minor == 0)
      return 10;
    if (Minor == 1)
      return 11;
    if (Minor == 2) {
      if (System.GetSystemMetrics(SM_SERVERR2) != 0)
        return 14;
      TSystemInfo Native;
      GetNativeSystemInfo(Native);
      if (Native.ProcessorArchitecture != PROCESSOR_ARCHITECTURE_INTEL && isWorkstation(V))
        return 13;
      return 12;
    }
    return 0;
  }
  if (Major == 6 && Minor <= 2)
    return 15 + 2 * static_cast<int>(Minor) + (isWorkstation(V) ? 0 : 1);
  return 0;
}

QString WindowsVersionText(int AVersion) {
  const TOSVersionInfo V = systemInfo().Version();
  switch (AVersion) {
  case 1:
    return QStringLiteral("Windows 95");
  case 2:
    return QStringLiteral("Windows 95 OSR2");
  case 3:
    return QStringLiteral("Windows 98");
  case 4:
    return QStringLiteral("Windows 98 SE");
  case 5:
    return QStringLiteral("Windows ME");
  case 6:
  case 7:
  case 8:
    return Format(QStringLiteral("Windows NT 3.%u"), {quint32(V.MinorVersion)});
  case 9:
    return Format(QStringLiteral("Windows NT 4.%u"), {quint32(V.MinorVersion)});
  default:
    break;
  }
  static const std::array<const char16_t*, 11> Texts = {
      u"Windows 2000",           u"Windows XP",    u"Windows Server 2003", u"Windows XP x64",
      u"Windows Server 2003 R2", u"Windows Vista", u"Windows Server 2008", u"Windows 7",
      u"Windows Server 2008 R2", u"Windows 8",     u"Windows Server 2012"};
  if (AVersion >= 10 && AVersion <= 20)
    return QString::fromUtf16(Texts[static_cast<std::size_t>(AVersion - 10)]);
  return {};
}

int DetectWindowsEdition() {
  const QString Product =
      registryText(QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                   QStringLiteral("ProductName"));
  int Code = 0;
  for (const TEditionFamily& Family : editionFamilies()) {
    if (Product.startsWith(QString::fromUtf16(Family.StartsWith))) {
      for (std::size_t I = 0; I < Family.Rules.size(); ++I)
        if (Product.contains(QString::fromUtf16(Family.Rules[I].Contains)))
          return Code + static_cast<int>(I) + 1;
      return 0;
    }
    Code += static_cast<int>(Family.Rules.size());
  }
  return 0;
}

QString WindowsEditionText(int AEdition) {
  int Code = 0;
  for (const TEditionFamily& Family : editionFamilies()) {
    const int Count = static_cast<int>(Family.Rules.size());
    if (AEdition > Code && AEdition <= Code + Count)
      return QString::fromUtf16(Family.Rules[static_cast<std::size_t>(AEdition - Code - 1)].Text);
    Code += Count;
  }
  return {};
}

QString OperatingSystemText() {
  const TOSVersionInfo V = systemInfo().Version();
  if (!V.ProductName.isEmpty())
    return V.ProductName;
  const QString Version = WindowsVersionText(DetectWindowsVersion());
  const QString Edition = WindowsEditionText(DetectWindowsEdition());
  return Edition.isEmpty() ? Version : Version + u' ' + Edition;
}

int ServicePackMajor() {
  const TOSVersionInfo V = systemInfo().Version();
  if (V.PlatformId == VER_PLATFORM_WIN32_NT && V.MajorVersion >= 5)
    return V.ExtendedValid ? V.ServicePackMajor : 0;
  const int Value = registryInteger(QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Windows"),
                                    QStringLiteral("CSDVersion"));
  const QString Digits =
      QStringLiteral("%1").arg(static_cast<uint>(Value), 4, 16, QChar(u'0')).toUpper();
  int Decimal = 0;
  if (!TryStrToInt(Digits, Decimal))
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(Digits));
  return Decimal / 100;
}

QString GetWindowsServicePackVersionString() {
  if (!systemInfo().Version().ProductName.isEmpty())
    return {};
  const int Major = ServicePackMajor();
  return Major <= 0 ? QString() : Format(QStringLiteral("SP%u"), {Major});
}

bool GetNativeSystemInfo(TSystemInfo& AInfo) {
  if (systemInfo().GetNativeSystemInfo(AInfo))
    return true;
  systemInfo().GetSystemInfo(AInfo);
  return false;
}

QString ResolveIPv4Address(const QString& AName) {
  ISockets& Sockets = Platform::current().Sockets();
  if (Sockets.WSAStartup(0x0101) != 0)
    return {};
  QString Result;
  QString Name = AName;
  if (Name.isEmpty())
    Sockets.GetHostName(Name);
  if (!Name.isEmpty()) {
    const std::vector<std::uint32_t> Addresses = Sockets.GetHostByName(Name);
    if (!Addresses.empty())
      Result = Ipv4ToString(Addresses.front());
  }
  Sockets.WSACleanup();
  return Result;
}
