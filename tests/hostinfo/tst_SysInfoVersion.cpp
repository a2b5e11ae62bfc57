// The operating-system texts and the generation code over a fake system:
// version and edition tables, service packs, product types, and what is
// logged on the way.

#include "support/TestMain.h"

#include "common/Exceptions.h"
#include "hostinfo/SysInfoVersion.h"
#include "hostinfo/dcuOSFunctions.h"
#include "logging/LogEngine.h"
#include "logging/MorvelDebug.h"
#include "platform/fake/FakePlatform.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {
// "platform major.minor [csd] [ws|srv|noext] [r2] [x64] [me]"
TOSVersionInfo version(DWORD APlatform, DWORD AMajor, DWORD AMinor, const QString& AFlags = {}) {
  TOSVersionInfo V;
  V.PlatformId = APlatform;
  V.MajorVersion = AMajor;
  V.MinorVersion = AMinor;
  V.ExtendedValid = !AFlags.contains(QLatin1String("noext"));
  V.ProductType = AFlags.contains(QLatin1String("srv")) ? VER_NT_SERVER : VER_NT_WORKSTATION;
  return V;
}

} // namespace

class tst_SysInfoVersion : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void versionTable_data();
  void versionTable();
  void editionTable_data();
  void editionTable();
  void operatingSystemText_data();
  void operatingSystemText();
  void servicePack_data();
  void servicePack();
  void servicePackDigitsWithLetters();
  void generationCode_data();
  void generationCode();
  void generationCodeIsCached();
  void nativeSystemInfoFallsBack();
  void resolveIPv4Address_data();
  void resolveIPv4Address();

private:
  std::unique_ptr<FakePlatform> FPlatform;
  std::unique_ptr<ScopedPlatform> FScope;
};

void tst_SysInfoVersion::init() {
  FPlatform = std::make_unique<FakePlatform>();
  FScope = std::make_unique<ScopedPlatform>(*FPlatform);
  ResetOSVersionCode();
  HoldLogRecords();
}

void tst_SysInfoVersion::cleanup() {
  ReleaseLogRecords();
  FScope.reset();
  FPlatform.reset();
  ResetOSVersionCode();
}

void tst_SysInfoVersion::versionTable_data() {
  QTest::addColumn<uint>("platform");
  QTest::addColumn<uint>("major");
  QTest::addColumn<uint>("minor");
  QTest::addColumn<QString>("csd");
  QTest::addColumn<QString>("flags");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("text");
  const uint W9x = VER_PLATFORM_WIN32_WINDOWS, NT = VER_PLATFORM_WIN32_NT;
  QTest::newRow("95") << W9x << 4u << 0u << QString() << QString() << 1
                      << QStringLiteral("Windows 95");
  QTest::newRow("95 OSR2, padded service-pack text")
      << W9x << 4u << 0u << QStringLiteral(" C ") << QString() << 2
      << QStringLiteral("Windows 95 OSR2");
  QTest::newRow("98") << W9x << 4u << 10u << QString() << QString() << 3
                      << QStringLiteral("Windows 98");
  QTest::newRow("98 SE") << W9x << 4u << 10u << QStringLiteral("A") << QString() << 4
                         << QStringLiteral("Windows 98 SE");
  QTest::newRow("98 letters compare with case")
      << W9x << 4u << 10u << QStringLiteral("a") << QString() << 3 << QStringLiteral("Windows 98");
  QTest::newRow("ME") << W9x << 4u << 90u << QString() << QString() << 5
                      << QStringLiteral("Windows ME");
  QTest::newRow("ME by kernel version")
      << W9x << 4u << 10u << QString() << QStringLiteral("me") << 5 << QStringLiteral("Windows ME");
  QTest::newRow("NT 3.51") << NT << 3u << 51u << QString() << QString() << 8
                           << QStringLiteral("Windows NT 3.51");
  QTest::newRow("NT 4.0") << NT << 4u << 0u << QString() << QString() << 9
                          << QStringLiteral("Windows NT 4.0");
  QTest::newRow("2000") << NT << 5u << 0u << QString() << QString() << 10
                        << QStringLiteral("Windows 2000");
  QTest::newRow("XP") << NT << 5u << 1u << QString() << QString() << 11
                      << QStringLiteral("Windows XP");
  QTest::newRow("Server 2003") << NT << 5u << 2u << QString() << QStringLiteral("ws") << 12
                               << QStringLiteral("Windows Server 2003");
  QTest::newRow("XP x64") << NT << 5u << 2u << QString() << QStringLiteral("ws x64") << 13
                          << QStringLiteral("Windows XP x64");
  QTest::newRow("x64 server") << NT << 5u << 2u << QString() << QStringLiteral("srv x64") << 12
                              << QStringLiteral("Windows Server 2003");
  QTest::newRow("Server 2003 R2 tested first")
      << NT << 5u << 2u << QString() << QStringLiteral("ws x64 r2") << 14
      << QStringLiteral("Windows Server 2003 R2");
  QTest::newRow("Vista") << NT << 6u << 0u << QString() << QStringLiteral("ws") << 15
                         << QStringLiteral("Windows Vista");
  QTest::newRow("Server 2008") << NT << 6u << 0u << QString() << QStringLiteral("srv") << 16
                               << QStringLiteral("Windows Server 2008");
  QTest::newRow("7") << NT << 6u << 1u << QString() << QStringLiteral("ws") << 17
                     << QStringLiteral("Windows 7");
  QTest::newRow("Server 2008 R2") << NT << 6u << 1u << QString() << QStringLiteral("srv") << 18
                                  << QStringLiteral("Windows Server 2008 R2");
  QTest::newRow("8") << NT << 6u << 2u << QString() << QStringLiteral("ws") << 19
                     << QStringLiteral("Windows 8");
  QTest::newRow("failed extended query reads as server")
      << NT << 6u << 2u << QString() << QStringLiteral("noext") << 20
      << QStringLiteral("Windows Server 2012");
  QTest::newRow("6.3 not recognised")
      << NT << 6u << 3u << QString() << QStringLiteral("ws") << 0 << QString();
  QTest::newRow("10.0 not recognised")
      << NT << 10u << 0u << QString() << QStringLiteral("ws") << 0 << QString();
  QTest::newRow("other platform") << 3u << 6u << 2u << QString() << QString() << 0 << QString();
}

void tst_SysInfoVersion::versionTable() {
  QFETCH(uint, platform);
  QFETCH(uint, major);
  QFETCH(uint, minor);
  QFETCH(QString, csd);
  QFETCH(QString, flags);
  QFETCH(int, code);
  QFETCH(QString, text);
  FakeSystemInfo& System = FPlatform->FakeSystem();
  System.VersionInfo = version(platform, major, minor, flags);
  System.VersionInfo.CSDVersion = csd;
  if (flags.contains(QLatin1String("me")))
    System.KernelVersion = (4u << 16) | 90u;
  if (flags.contains(QLatin1String("r2")))
    System.Metrics.insert(SM_SERVERR2, 1);
  TSystemInfo Native;
  Native.ProcessorArchitecture = flags.contains(QLatin1String("x64"))
                                     ? PROCESSOR_ARCHITECTURE_AMD64
                                     : PROCESSOR_ARCHITECTURE_INTEL;
  System.NativeInfo = Native;
  QCOMPARE(DetectWindowsVersion(), code);
  QCOMPARE(WindowsVersionText(code), text);
}

void tst_SysInfoVersion::editionTable_data() {
  QTest::addColumn<QString>("product");
  QTest::addColumn<QString>("edition");
  QTest::newRow("XP Home Edition KN, not K")
      << QStringLiteral("Windows XP Home Edition KN") << QStringLiteral("Home Edition KN");
  QTest::newRow("XP Home Edition N")
      << QStringLiteral("Windows XP Home Edition N") << QStringLiteral("Home Edition N");
  QTest::newRow("XP Professional")
      << QStringLiteral("Windows XP Professional") << QStringLiteral("Professional");
  QTest::newRow("XP Media Center") << QStringLiteral("Windows XP Media Center Edition")
                                   << QStringLiteral("Media Center Edition");
  QTest::newRow("XP without a listed part") << QStringLiteral("Windows XP Embedded") << QString();
  QTest::newRow("Vista Home Basic N")
      << QStringLiteral("Windows Vista (TM) Home Basic N") << QStringLiteral("Home Basic N");
  QTest::newRow("Vista Business") << QStringLiteral("Windows Vista (TM) Business")
                                  << QStringLiteral("Business");
  QTest::newRow("7 Professional") << QStringLiteral("Windows 7 Professional")
                                  << QStringLiteral("Professional");
  QTest::newRow("7 Ultimate") << QStringLiteral("Windows 7 Ultimate") << QStringLiteral("Ultimate");
  QTest::newRow("8 has none") << QStringLiteral("Windows 8 Pro") << QString();
  QTest::newRow("family only at the start")
      << QStringLiteral("Microsoft Windows 7 Professional") << QString();
  QTest::newRow("no product name") << QString() << QString();
}

void tst_SysInfoVersion::editionTable() {
  QFETCH(QString, product);
  QFETCH(QString, edition);
  if (!product.isNull())
    FPlatform->FakeReg().Load(
        QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                       "\"ProductName\"=\"%1\"\n")
            .arg(product));
  QCOMPARE(WindowsEditionText(DetectWindowsEdition()), edition);
}

void tst_SysInfoVersion::operatingSystemText_data() {
  QTest::addColumn<uint>("minor");
  QTest::addColumn<QString>("product");
  QTest::addColumn<QString>("ownName");
  QTest::addColumn<QString>("text");
  QTest::newRow("8 with a Windows 8 product")
      << 2u << QStringLiteral("Windows 8 Pro") << QString() << QStringLiteral("Windows 8");
  QTest::newRow("8 with an unlisted product")
      << 2u << QStringLiteral("Something Else") << QString() << QStringLiteral("Windows 8");
  QTest::newRow("7 Professional") << 1u << QStringLiteral("Windows 7 Professional") << QString()
                                  << QStringLiteral("Windows 7 Professional");
  QTest::newRow("own name off Windows wins") << 2u << QStringLiteral("Windows 7 Professional")
                                             << QStringLiteral("Debian GNU/Linux 12 (bookworm)")
                                             << QStringLiteral("Debian GNU/Linux 12 (bookworm)");
  QTest::newRow("6.3 gives no text")
      << 3u << QStringLiteral("Windows 8.1 Pro") << QString() << QString();
}

void tst_SysInfoVersion::operatingSystemText() {
  QFETCH(uint, minor);
  QFETCH(QString, product);
  QFETCH(QString, ownName);
  QFETCH(QString, text);
  FPlatform->FakeSystem().VersionInfo =
      version(VER_PLATFORM_WIN32_NT, 6, minor, QStringLiteral("ws"));
  FPlatform->FakeSystem().VersionInfo.ProductName = ownName;
  FPlatform->FakeReg().Load(
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                     "\"ProductName\"=\"%1\"\n")
          .arg(product));
  QCOMPARE(OperatingSystemText(), text);
}

void tst_SysInfoVersion::servicePack_data() {
  QTest::addColumn<uint>("platform");
  QTest::addColumn<uint>("major");
  QTest::addColumn<int>("extendedPack"); // -1: the extended query fails
  QTest::addColumn<QString>("registry");
  QTest::addColumn<QString>("ownName");
  QTest::addColumn<int>("pack");
  QTest::addColumn<QString>("text");
  const uint W9x = VER_PLATFORM_WIN32_WINDOWS, NT = VER_PLATFORM_WIN32_NT;
  QTest::newRow("none") << NT << 6u << 0 << QString() << QString() << 0 << QString();
  QTest::newRow("SP3") << NT << 5u << 3 << QString() << QString() << 3 << QStringLiteral("SP3");
  QTest::newRow("extended query fails")
      << NT << 6u << -1 << QString() << QString() << 0 << QString();
  QTest::newRow("9x from the registry, hexadecimal 300")
      << W9x << 4u << 0 << QStringLiteral("dword:00000300") << QString() << 3
      << QStringLiteral("SP3");
  QTest::newRow("NT 4 from the registry, 200") << NT << 4u << 0 << QStringLiteral("dword:00000200")
                                               << QString() << 2 << QStringLiteral("SP2");
  QTest::newRow("registry value missing")
      << W9x << 4u << 0 << QString() << QString() << 0 << QString();
  QTest::newRow("no pack text off Windows")
      << NT << 6u << 2 << QString() << QStringLiteral("Debian") << 2 << QString();
}

void tst_SysInfoVersion::servicePack() {
  QFETCH(uint, platform);
  QFETCH(uint, major);
  QFETCH(int, extendedPack);
  QFETCH(QString, registry);
  QFETCH(QString, ownName);
  QFETCH(int, pack);
  QFETCH(QString, text);
  TOSVersionInfo V =
      version(platform, major, 0, extendedPack < 0 ? QStringLiteral("noext") : QString());
  V.ServicePackMajor = static_cast<WORD>(qMax(0, extendedPack));
  V.ProductName = ownName;
  FPlatform->FakeSystem().VersionInfo = V;
  if (!registry.isEmpty())
    FPlatform->FakeReg().Load(
        QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Windows]"
                       "\n\"CSDVersion\"=%1\n")
            .arg(registry));
  QCOMPARE(ServicePackMajor(), pack);
  QCOMPARE(GetWindowsServicePackVersionString(), text);
}

void tst_SysInfoVersion::servicePackDigitsWithLetters() {
  FPlatform->FakeSystem().VersionInfo = version(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
  FPlatform->FakeReg().Load(
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Windows]"
                     "\n\"CSDVersion\"=dword:0000030a\n"));
  try {
    ServicePackMajor();
    QFAIL("no error raised");
  } catch (const EConvertError& E) {
    QCOMPARE(E.Message(), QStringLiteral("'030A' is not a valid integer value"));
  }
}

void tst_SysInfoVersion::generationCode_data() {
  QTest::addColumn<uint>("platform");
  QTest::addColumn<uint>("major");
  QTest::addColumn<uint>("minor");
  QTest::addColumn<int>("productType"); // -1: entry point missing, -2: call fails
  QTest::addColumn<int>("code");
  QTest::addColumn<QStringList>("logged");
  const uint W9x = VER_PLATFORM_WIN32_WINDOWS, NT = VER_PLATFORM_WIN32_NT;
  const QString Load = QStringLiteral("Load kernel32 library");
  QTest::newRow("95") << W9x << 4u << 0u << 0 << 1 << QStringList();
  QTest::newRow("98") << W9x << 4u << 10u << 0 << 2 << QStringList();
  QTest::newRow("ME") << W9x << 4u << 90u << 0 << 3 << QStringList();
  QTest::newRow("NT 3.51") << NT << 3u << 51u << 0 << 4 << QStringList();
  QTest::newRow("NT 4.0") << NT << 4u << 0u << 0 << 5 << QStringList();
  QTest::newRow("XP") << NT << 5u << 1u << 0 << 7 << QStringList();
  QTest::newRow("5.3") << NT << 5u << 3u << 0 << 0 << QStringList();
  QTest::newRow("Vista workstation")
      << NT << 6u << 0u << 6 << 9 << QStringList{Load, QStringLiteral("ProductType = 6")};
  QTest::newRow("2012 server") << NT << 6u << 2u << 7 << 14
                               << QStringList{Load, QStringLiteral("ProductType = 7")};
  QTest::newRow("6.3 server") << NT << 6u << 3u << 8 << 16
                              << QStringList{Load, QStringLiteral("ProductType = 8")};
  QTest::newRow("unknown type counts as workstation")
      << NT << 6u << 1u << 0xABCD << 11
      << QStringList{Load, QStringLiteral("ProductType = 43981"),
                     QStringLiteral("Unknown ProductType $0000ABCD")};
  QTest::newRow("entry point missing")
      << NT << 6u << 1u << -1 << 9
      << QStringList{Load, QStringLiteral("GetProductInfo function not assigned!"),
                     QStringLiteral("The operation completed successfully.")};
  QTest::newRow("call fails") << NT << 6u << 2u << -2 << 9 << QStringList{Load};
  QTest::newRow("10.0 logs the major version")
      << NT << 10u << 0u << 48 << 9
      << QStringList{QStringLiteral("Unknown Win32MajorVersion"),
                     QStringLiteral("Win32MajorVersion = 10"), Load,
                     QStringLiteral("ProductType = 48")};
  QTest::newRow("6.4 logs the minor version")
      << NT << 6u << 4u << 48 << 9
      << QStringList{QStringLiteral("Unknown Win32MinorVersion"),
                     QStringLiteral("Win32MinorVersion = 4"), Load,
                     QStringLiteral("ProductType = 48"),
                     QStringLiteral("Unkown Win32MinorVersion 4")};
}

void tst_SysInfoVersion::generationCode() {
  QFETCH(uint, platform);
  QFETCH(uint, major);
  QFETCH(uint, minor);
  QFETCH(int, productType);
  QFETCH(int, code);
  QFETCH(QStringList, logged);
  FakeSystemInfo& System = FPlatform->FakeSystem();
  System.VersionInfo = version(platform, major, minor);
  if (productType >= 0)
    System.ProductInfo = std::make_pair(true, DWORD(productType));
  else if (productType == -2)
    System.ProductInfo = std::make_pair(false, DWORD(0));
  QCOMPARE(GetOSVersionCode(), code);
  QCOMPARE(HeldRecordFields(QStringLiteral("title")), logged);
  if (major >= 6)
    QCOMPARE(System.ProductInfoCalls.value(0), std::make_pair(DWORD(major), DWORD(minor)));
}

void tst_SysInfoVersion::generationCodeIsCached() {
  FakeSystemInfo& System = FPlatform->FakeSystem();
  System.VersionInfo = version(VER_PLATFORM_WIN32_NT, 5, 1);
  QCOMPARE(GetOSVersionCode(), 7);
  System.VersionInfo = version(VER_PLATFORM_WIN32_NT, 5, 2);
  QCOMPARE(GetOSVersionCode(), 7);
  // A result of 0 is not kept.
  ResetOSVersionCode();
  System.VersionInfo = version(VER_PLATFORM_WIN32_NT, 5, 3);
  QCOMPARE(GetOSVersionCode(), 0);
  System.VersionInfo = version(VER_PLATFORM_WIN32_NT, 5, 0);
  QCOMPARE(GetOSVersionCode(), 6);
}

void tst_SysInfoVersion::nativeSystemInfoFallsBack() {
  FakeSystemInfo& System = FPlatform->FakeSystem();
  System.Info.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  TSystemInfo Info;
  Info.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_ARM;
  QVERIFY(!GetNativeSystemInfo(Info));
  QCOMPARE(Info.ProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  TSystemInfo Native;
  Native.ProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  System.NativeInfo = Native;
  QVERIFY(GetNativeSystemInfo(Info));
  QCOMPARE(Info.ProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
}

void tst_SysInfoVersion::resolveIPv4Address_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("startResult");
  QTest::addColumn<QString>("address");
  QTest::addColumn<QStringList>("lookedUp");
  QTest::newRow("first address of a name")
      << QStringLiteral("DC01") << 0 << QStringLiteral("10.0.0.5")
      << QStringList{QStringLiteral("DC01")};
  QTest::newRow("unresolvable name")
      << QStringLiteral("nowhere") << 0 << QString() << QStringList{QStringLiteral("nowhere")};
  QTest::newRow("empty name asks for the host's own")
      << QString() << 0 << QStringLiteral("192.168.1.20")
      << QStringList{QStringLiteral("fakehost")};
  QTest::newRow("sockets layer does not start")
      << QStringLiteral("DC01") << int(WSASYSNOTREADY) << QString() << QStringList();
}

void tst_SysInfoVersion::resolveIPv4Address() {
  QFETCH(QString, name);
  QFETCH(int, startResult);
  QFETCH(QString, address);
  QFETCH(QStringList, lookedUp);
  FakeSockets& Net = FPlatform->FakeNet();
  Net.Names.insert(QStringLiteral("dc01"), {0x0A000005u, 0x0A000006u});
  Net.Names.insert(QStringLiteral("fakehost"), {0xC0A80114u});
  Net.StartResult = startResult;
  QCOMPARE(ResolveIPv4Address(name), address);
  QCOMPARE(Net.LookedUp, lookedUp);
  QCOMPARE(Net.Cleanups, Net.Starts);
}

KELVANE_TEST_MAIN(tst_SysInfoVersion)
#include "tst_SysInfoVersion.moc"
