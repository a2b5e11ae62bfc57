// The system-information port on the running Windows: the version record
// against what the registry says of the system, names and variables against
// the environment Windows sets up for a logon, the port's expansion against
// the system's own, the native system information, and the answers of a
// system that lacks the newer entry points (a module without them stands in).

#include "support/TestMain.h"

#include "hostinfo/SysInfoVersion.h"
#include "hostinfo/dcuOSFunctions.h"
#include "platform/windows/WindowsHelpers.h"
#include "platform/windows/WindowsSystemInfo.h"

#include <QScopeGuard>
#include <QTest>
#include <QVariant>

#undef ExpandEnvironmentStrings
#undef GetComputerName
#undef GetEnvironmentVariable
#undef GetUserName

namespace {

QString registryText(const wchar_t* AKey, const wchar_t* AName) {
  wchar_t Value[512] = {};
  DWORD Size = sizeof Value - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, AKey, AName, RRF_RT_REG_SZ, nullptr, Value, &Size) !=
      ERROR_SUCCESS)
    return {};
  return QString::fromWCharArray(Value);
}

QString systemVariable(const QString& AName) {
  wchar_t Value[1024] = {};
  const DWORD Length = ::GetEnvironmentVariableW(wide(AName), Value, DWORD(std::size(Value)));
  return Length < std::size(Value) ? QString::fromWCharArray(Value, int(Length)) : QString();
}

const wchar_t CurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

} // namespace

class tst_WindowsSystemInfo : public QObject {
  Q_OBJECT

  WindowsSystemInfo FSystem;

private Q_SLOTS:
  // The registry holds the system's own version. Up to 6.2 the record
  // agrees with it; a newer system tells a program without a manifest
  // (this one) 6.2.9200, as the version rules expect.
  void versionAsTheProcessIsTold() {
    const QString Registered = registryText(CurrentVersionKey, L"CurrentVersion");
    QVERIFY2(Registered.contains(u'.'), qPrintable(Registered));
    const DWORD Major = Registered.section(u'.', 0, 0).toUInt();
    const DWORD Minor = Registered.section(u'.', 1, 1).toUInt();
    const bool Newer = Major > 6 || (Major == 6 && Minor > 2);

    const TOSVersionInfo Version = FSystem.Version();
    QCOMPARE(Version.PlatformId, DWORD(VER_PLATFORM_WIN32_NT));
    QVERIFY(Version.ExtendedValid);
    QVERIFY(Version.ProductName.isEmpty());
    QCOMPARE(Version.MajorVersion, Newer ? DWORD(6) : Major);
    QCOMPARE(Version.MinorVersion, Newer ? DWORD(2) : Minor);
    QCOMPARE(Version.BuildNumber,
             Newer ? DWORD(9200) : registryText(CurrentVersionKey, L"CurrentBuildNumber").toUInt());
    if (!Newer) {
      const QString ServicePack = registryText(CurrentVersionKey, L"CSDVersion");
      QCOMPARE(Version.CSDVersion, ServicePack);
      QCOMPARE(Version.ServicePackMajor,
               WORD(ServicePack.section(u' ', -1).toUShort())); // "Service Pack 1"
    }
    const QString ProductType =
        registryText(L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions", L"ProductType");
    const BYTE Expected = ProductType == u"WinNT"      ? VER_NT_WORKSTATION
                          : ProductType == u"LanmanNT" ? VER_NT_DOMAIN_CONTROLLER
                                                       : VER_NT_SERVER;
    QCOMPARE(Version.ProductType, Expected);
  }

  // What the "General Information" lines make of the record on wine's
  // default system, Windows 7 SP1 workstation.
  void operatingSystemLines() {
    const TOSVersionInfo Version = FSystem.Version();
    if (Version.MajorVersion != 6 || Version.MinorVersion != 1 ||
        Version.ProductType != VER_NT_WORKSTATION || Version.ServicePackMajor != 1)
      QSKIP("the lines expected here are those of Windows 7 SP1");
    QCOMPARE(OperatingSystemText(), QStringLiteral("Windows 7"));
    QCOMPARE(GetWindowsServicePackVersionString(), QStringLiteral("SP1"));
    ResetOSVersionCode();
    QCOMPARE(GetOSVersionCode(), 11);
  }

  // Windows sets COMPUTERNAME and USERNAME for a logon from the same names.
  void names() {
    QString Computer, User;
    QVERIFY(FSystem.GetComputerName(Computer));
    QVERIFY(FSystem.GetUserName(User));
    QVERIFY(!Computer.isEmpty());
    QCOMPARE(Computer, systemVariable(QStringLiteral("COMPUTERNAME")));
    QCOMPARE(User, systemVariable(QStringLiteral("USERNAME")));
  }

  void environment_data() {
    QTest::addColumn<QString>("setName");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("askedName");
    QTest::addColumn<QVariant>("expected");
    const QString Plain = QStringLiteral("C:\\Users\\Some One\\Temp");
    QTest::newRow("set") << QStringLiteral("KELVANE_TEST_PLAIN") << Plain
                         << QStringLiteral("KELVANE_TEST_PLAIN") << QVariant(Plain);
    QTest::newRow("other letter case") << QStringLiteral("KELVANE_TEST_CASE") << Plain
                                       << QStringLiteral("kelvane_Test_case") << QVariant(Plain);
    QTest::newRow("set to the empty text")
        << QStringLiteral("KELVANE_TEST_EMPTY") << QString() << QStringLiteral("KELVANE_TEST_EMPTY")
        << QVariant(QString());
    QTest::newRow("not set") << QString() << QString() << QStringLiteral("KELVANE_TEST_NOT_SET")
                             << QVariant();
    const QString Long = QString(5000, u'l') + QStringLiteral("end");
    QTest::newRow("longer than a path") << QStringLiteral("KELVANE_TEST_LONG") << Long
                                        << QStringLiteral("KELVANE_TEST_LONG") << QVariant(Long);
    const QString Longest(32766, u'm');
    QTest::newRow("longest the system holds")
        << QStringLiteral("KELVANE_TEST_LONGEST") << Longest
        << QStringLiteral("KELVANE_TEST_LONGEST") << QVariant(Longest);
  }

  void environment() {
    QFETCH(QString, setName);
    QFETCH(QString, value);
    QFETCH(QString, askedName);
    QFETCH(QVariant, expected);
    if (!setName.isEmpty())
      QVERIFY(::SetEnvironmentVariableW(wide(setName), wide(value)));
    const auto Unset = qScopeGuard([&] {
      if (!setName.isEmpty())
        ::SetEnvironmentVariableW(wide(setName), nullptr);
    });
    const std::optional<QString> Value = FSystem.GetEnvironmentVariable(askedName);
    QCOMPARE(Value.has_value(), expected.isValid());
    if (Value) {
      QCOMPARE(Value->size(), expected.toString().size());
      QCOMPARE(*Value, expected.toString());
    }
  }

  // The port's expansion over this backend gives what the system's own
  // gives, for the texts the program expands and for references that are
  // not set.
  void expansionAsWindowsExpands_data() {
    QTest::addColumn<QString>("text");
    for (const char* Text :
         {"%USERDOMAIN%", "%LOGONSERVER%", "%temp%\\NetworkAdapters.xml", "%KELVANE_NOT_SET%",
          "%KELVANE_NOT_SET%USERNAME%", "%USERNAME%%COMPUTERNAME%", "100% sure", "%%", "%",
          "no reference at all"})
      QTest::newRow(Text) << QString::fromLatin1(Text);
    QTest::newRow("empty text") << QString();
  }

  void expansionAsWindowsExpands() {
    QFETCH(QString, text);
    wchar_t Expanded[4096] = {};
    const DWORD Length =
        ::ExpandEnvironmentStringsW(wide(text), Expanded, DWORD(std::size(Expanded)));
    QVERIFY(Length > 0 && Length <= std::size(Expanded));
    QCOMPARE(ExpandEnvironmentStrings(FSystem, text), QString::fromWCharArray(Expanded));
  }

  // A 64-bit process runs on the processor it was built for; Windows names
  // the machine's in PROCESSOR_ARCHITECTURE.
  void systemInformation() {
    TSystemInfo Native;
    QVERIFY(FSystem.GetNativeSystemInfo(Native));
    QCOMPARE(systemVariable(QStringLiteral("PROCESSOR_ARCHITECTURE")), QStringLiteral("AMD64"));
    QCOMPARE(Native.ProcessorArchitecture, WORD(PROCESSOR_ARCHITECTURE_AMD64));
    TSystemInfo Own;
    FSystem.GetSystemInfo(Own);
    QCOMPARE(Own.ProcessorArchitecture, Native.ProcessorArchitecture);
    QCOMPARE(Own.PageSize, DWORD(4096));
    QVERIFY(Own.NumberOfProcessors >= 1);
    const QString Processors = systemVariable(QStringLiteral("NUMBER_OF_PROCESSORS"));
    if (!Processors.isEmpty())
      QCOMPARE(Own.NumberOfProcessors, Processors.toULong());
  }

  void productInfo() {
    DWORD Type = 0;
    const std::optional<bool> Result = FSystem.GetProductInfo(
        FSystem.Version().MajorVersion, FSystem.Version().MinorVersion, 0, 0, Type);
    QVERIFY(Result.has_value());
    QVERIFY(*Result);
    QVERIFY(Type != 0); // PRODUCT_UNDEFINED
  }

  // As on a system before those entry points: nothing filled, and the
  // reason the failed look-up gives.
  void missingEntryPoints_data() {
    QTest::addColumn<QString>("module");
    QTest::newRow("loaded module without them") << QStringLiteral("ntdll.dll");
    QTest::newRow("module not loaded") << QStringLiteral("kelvane-missing.dll");
  }

  void missingEntryPoints() {
    QFETCH(QString, module);
    WindowsSystemInfo System(module);
    TSystemInfo Info;
    Info.ProcessorArchitecture = 77;
    QVERIFY(!System.GetNativeSystemInfo(Info));
    QCOMPARE(Info.ProcessorArchitecture, WORD(77));
    QCOMPARE(System.GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    ::SetLastError(ERROR_SUCCESS);
    DWORD Type = 42;
    QCOMPARE(System.GetProductInfo(6, 1, 0, 0, Type), std::optional<bool>());
    QCOMPARE(Type, DWORD(42));
    QCOMPARE(System.GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  }
};

KELVANE_TEST_MAIN(tst_WindowsSystemInfo)
#include "tst_WindowsSystemInfo.moc"
