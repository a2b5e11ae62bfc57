// The component base and its helpers: the start-up snapshot, the registry
// reader rules, users, SIDs, session kinds and the NetBIOS addresses, all
// through the fake platform.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "sysinfo/SysInfoCommon.h"

#include <QPointer>
#include <QTest>

namespace {
TSid sid(std::initializer_list<std::uint32_t> ASubs, std::uint8_t AAuthority = 5) {
  TSid Result;
  Result.Authority[5] = AAuthority;
  Result.SubAuthorities = ASubs;
  return Result;
}

// A fake platform of an NT 6.2 workstation, its snapshot taken.
struct TMachine {
  FakePlatform Fake;
  ScopedPlatform Scope{Fake};
  TMachine() {
    Fake.FakeSystem().SetWorkstation();
    Fake.FakeNetwork().Failing[TNetApiFunction::NetWkstaGetInfo] = NERR_WkstaNotStarted;
    RetakeStartupSnapshot();
  }
  ~TMachine() { RetakeStartupSnapshot(); }
};
} // namespace

class tst_SysInfoCommon : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void generations_data();
  void generations();
  void snapshotNamesAndWow64();
  void registryValueTexts_data();
  void registryValueTexts();
  void sidTexts_data();
  void sidTexts();
  void loggedUser_data();
  void loggedUser();
  void sessionTypes_data();
  void sessionTypes();
  void netBiosAddresses();
  void componentLifecycle();
};

void tst_SysInfoCommon::generations_data() {
  QTest::addColumn<int>("platform");
  QTest::addColumn<int>("major");
  QTest::addColumn<int>("minor");
  QTest::addColumn<int>("productType");
  QTest::addColumn<int>("architecture");
  QTest::addColumn<int>("generation");
  QTest::addColumn<QString>("name");
  const int W = VER_NT_WORKSTATION, S = VER_NT_SERVER, NT = VER_PLATFORM_WIN32_NT,
            X = VER_PLATFORM_WIN32_WINDOWS, Intel = PROCESSOR_ARCHITECTURE_INTEL,
            Amd64 = PROCESSOR_ARCHITECTURE_AMD64;
  QTest::newRow("95") << X << 4 << 0 << 0 << Intel << 1 << QStringLiteral("Windows 95");
  QTest::newRow("98") << X << 4 << 10 << 0 << Intel << 2 << QStringLiteral("Windows 98");
  QTest::newRow("Me") << X << 4 << 90 << 0 << Intel << 3
                      << QStringLiteral("Windows Millennium Edition");
  QTest::newRow("NT 4") << NT << 4 << 0 << W << Intel << 4 << QStringLiteral("Windows NT 4");
  QTest::newRow("2000") << NT << 5 << 0 << W << Intel << 5 << QStringLiteral("Windows 2000");
  QTest::newRow("XP") << NT << 5 << 1 << W << Intel << 6 << QStringLiteral("Windows XP");
  QTest::newRow("XP x64") << NT << 5 << 2 << W << Amd64 << 6 << QStringLiteral("Windows XP");
  QTest::newRow("2003") << NT << 5 << 2 << S << Amd64 << 7 << QStringLiteral("Windows Server 2003");
  QTest::newRow("Vista") << NT << 6 << 0 << W << Amd64 << 8 << QStringLiteral("Windows Vista");
  QTest::newRow("2008") << NT << 6 << 0 << S << Amd64 << 9 << QStringLiteral("Windows Server 2008");
  QTest::newRow("7") << NT << 6 << 1 << W << Amd64 << 10 << QStringLiteral("Windows 7");
  QTest::newRow("2008 R2") << NT << 6 << 1 << S << Amd64 << 11
                           << QStringLiteral("Windows Server 2008 R2");
  QTest::newRow("8 (and Linux)") << NT << 6 << 2 << W << Amd64 << 12 << QStringLiteral("Windows 8");
  QTest::newRow("server 2012 unknown") << NT << 6 << 2 << S << Amd64 << 0 << QString();
  QTest::newRow("10 unknown") << NT << 10 << 0 << W << Amd64 << 0 << QString();
}

void tst_SysInfoCommon::generations() {
  QFETCH(int, platform);
  QFETCH(int, major);
  QFETCH(int, minor);
  QFETCH(int, productType);
  QFETCH(int, architecture);
  QFETCH(int, generation);
  QFETCH(QString, name);
  TOSVersionInfo Version;
  Version.PlatformId = DWORD(platform);
  Version.MajorVersion = DWORD(major);
  Version.MinorVersion = DWORD(minor);
  Version.ProductType = BYTE(productType);
  QString Name;
  QCOMPARE(int(OSGenerationOf(Version, WORD(architecture), &Name)), generation);
  QCOMPARE(Name, name);
}

void tst_SysInfoCommon::snapshotNamesAndWow64() {
  TMachine Machine;
  Machine.Fake.FakeSystem().ComputerName = QStringLiteral("kelvane-pc");
  Machine.Fake.FakeUsers().Wow64 = false;
  RetakeStartupSnapshot();
  QCOMPARE(StartupSnapshot().MachineName, QStringLiteral("KELVANE-PC"));
  QVERIFY(StartupSnapshot().IsNT);
  QVERIFY(StartupSnapshot().IsWin2000OrLater);
  QCOMPARE(StartupSnapshot().ClassKey, QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Class"));
  QCOMPARE(CreateRegistryReader()->Access(), REGSAM(0x20019));

  // The registry's computer name wins; under WOW64 reads see the 64-bit view.
  Machine.Fake.FakeReg().Load(QStringLiteral(
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName]\n"
      "\"ComputerName\"=\"Registered\"\n"));
  Machine.Fake.FakeUsers().Wow64 = true;
  RetakeStartupSnapshot();
  QCOMPARE(StartupSnapshot().MachineName, QStringLiteral("REGISTERED"));
  QCOMPARE(CreateRegistryReader()->Access(), REGSAM(0x20019 | 0x100));
  Machine.Fake.FakeUsers().Missing.insert(TAccountsFunction::IsWow64Process);
  RetakeStartupSnapshot();
  QVERIFY(!StartupSnapshot().IsWow64);
}

void tst_SysInfoCommon::registryValueTexts_data() {
  QTest::addColumn<QString>("value"); // the .reg form
  QTest::addColumn<bool>("hex");
  QTest::addColumn<QString>("text");
  QTest::newRow("string") << QStringLiteral("\"text\"") << false << QStringLiteral("text");
  QTest::newRow("expandable") << QStringLiteral("hex(2):25,00,4b,00,25,00,00,00") << false
                              << QStringLiteral("kelvane");
  QTest::newRow("number") << QStringLiteral("dword:ffffffff") << false
                          << QStringLiteral("4294967295");
  QTest::newRow("multi-string: the first")
      << QStringLiteral("hex(7):61,00,00,00,62,00,00,00,00,00") << false << QStringLiteral("a");
  QTest::newRow("binary as hex") << QStringLiteral("hex:0a,ff,41") << true
                                 << QStringLiteral("0A FF 41");
  QTest::newRow("binary as text") << QStringLiteral("hex:0a,ff,41") << false
                                  << QStringLiteral(".\u00ffA");
  QTest::newRow("missing value") << QString() << false << QString();
}

void tst_SysInfoCommon::registryValueTexts() {
  QFETCH(QString, value);
  QFETCH(bool, hex);
  QFETCH(QString, text);
  TMachine Machine;
  Machine.Fake.FakeSystem().Environment.insert(QStringLiteral("K"), QStringLiteral("kelvane"));
  Machine.Fake.FakeReg().Load(
      QStringLiteral("[HKEY_LOCAL_MACHINE\\Test]\n") +
      (value.isEmpty() ? QString() : QStringLiteral("\"V\"=") + value + u'\n'));
  QCOMPARE(
      ReadRegistryValueText(HKEY_LOCAL_MACHINE, QStringLiteral("\\Test"), QStringLiteral("V"), hex),
      text);
  QCOMPARE(ReadRegistryValueText(HKEY_LOCAL_MACHINE, QStringLiteral("\\Missing"),
                                 QStringLiteral("V"), hex),
           QString());
}

void tst_SysInfoCommon::sidTexts_data() {
  QTest::addColumn<TSid>("sid");
  QTest::addColumn<QString>("text");
  QTest::newRow("domain user") << sid({21, 1000}) << QStringLiteral("S-1-5-21-1000");
  QTest::newRow("top bit stays unsigned")
      << sid({21, 0x80000001u}) << QStringLiteral("S-1-5-21-2147483649");
  QTest::newRow("Unix user") << sid({1, 1000}, 22) << QStringLiteral("S-1-22-1-1000");
}

void tst_SysInfoCommon::sidTexts() {
  QFETCH(TSid, sid);
  QFETCH(QString, text);
  QCOMPARE(SIDToText(sid), text);
}

// Each row sets up where the user comes from; "expected" is the answer.
void tst_SysInfoCommon::loggedUser_data() {
  QTest::addColumn<QString>("source");
  QTest::addColumn<QString>("expected");
  QTest::newRow("account of the process") << QStringLiteral("process") << QStringLiteral("tester");
  QTest::newRow("terminal services") << QStringLiteral("terminal") << QStringLiteral("alice@CORP");
  QTest::newRow("token of the shell in the console session")
      << QStringLiteral("explorer") << QStringLiteral("bob@CORP");
  QTest::newRow("shell in another session is not asked")
      << QStringLiteral("explorer elsewhere") << QStringLiteral("tester");
  QTest::newRow("unreadable token: the SID stands in")
      << QStringLiteral("explorer without name") << QStringLiteral("S-1-5-21-77");
  QTest::newRow("LAN group as domain")
      << QStringLiteral("workgroup") << QStringLiteral("tester@OFFICE");
  QTest::newRow("local account: domain is the computer")
      << QStringLiteral("local") << QStringLiteral("tester");
  QTest::newRow("unknown decorated account stays bare")
      << QStringLiteral("unknown") << QStringLiteral("tester");
}

void tst_SysInfoCommon::loggedUser() {
  QFETCH(QString, source);
  QFETCH(QString, expected);
  TMachine Machine;
  FakeAccounts& Users = Machine.Fake.FakeUsers();
  Users.Accounts.insert(QStringLiteral("alice@CORP"), sid({21, 1}));
  Users.Accounts.insert(QStringLiteral("bob@CORP"), sid({21, 2}));
  Users.Accounts.insert(QStringLiteral("tester@OFFICE"), sid({21, 3}));
  Users.Accounts.insert(QStringLiteral("tester@FAKEHOST"), sid({21, 4}));
  Users.Missing = {TAccountsFunction::WTSEnumerateServers};
  if (source == u"terminal") {
    Users.Missing.clear();
    Users.SessionInfo.insert({WTS_CURRENT_SESSION, WTSUserName}, QStringLiteral("alice"));
    Users.SessionInfo.insert({WTS_CURRENT_SESSION, WTSDomainName}, QStringLiteral("CORP"));
    RetakeStartupSnapshot();
  } else if (source.startsWith(QLatin1String("explorer"))) {
    Users.ConsoleSession = 2;
    TProcessEntry Shell{100, QStringLiteral("Explorer.EXE"), 2, true, sid({21, 2})};
    if (source.endsWith(QLatin1String("elsewhere")))
      Shell.SessionId = 3;
    if (source.endsWith(QLatin1String("without name")))
      Shell.User = sid({21, 77});
    Users.ProcessList = {TProcessEntry{99, QStringLiteral("other.exe"), 2, true, sid({21, 1})},
                         Shell};
  } else if (source == u"workgroup" || source == u"local" || source == u"unknown") {
    Machine.Fake.FakeNetwork().Failing.clear();
    Machine.Fake.FakeNetwork().Workstation.LanGroup =
        source == u"workgroup" ? QStringLiteral("office")
        : source == u"local"   ? QStringLiteral("fakehost")
                               : QStringLiteral("nowhere");
  }
  QCOMPARE(GetLoggedUser(WTS_CURRENT_SESSION), expected);
}

void tst_SysInfoCommon::sessionTypes_data() {
  QTest::addColumn<QString>("reg");
  QTest::addColumn<int>("remote");
  QTest::addColumn<QString>("expected"); // the types' numbers
  const QString Ide =
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\IDE\\%1]\n");
  const QString Scsi =
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\SCSI\\%1]\n");
  QTest::newRow("console on hardware") << QString() << 0 << QStringLiteral("0");
  QTest::newRow("VirtualBox disk")
      << Ide.arg(QStringLiteral("DiskVBOX_HARDDISK___1.0")) << 0 << QStringLiteral("0 3");
  QTest::newRow("VMware disk on SCSI")
      << Scsi.arg(QStringLiteral("Disk&Ven_VMware_&Prod_VMware_Virtual_S")) << 0
      << QStringLiteral("0 1");
  QTest::newRow("VMware IDE disk")
      << Ide.arg(QStringLiteral("DiskVMware_Virtual_IDE_Hard_Drive")) << 0 << QStringLiteral("0 1");
  QTest::newRow("QEMU disk on SCSI, remote session")
      << Scsi.arg(QStringLiteral("Disk&Ven_QEMU&Prod_QEMU_HARDDISK")) << 1 << QStringLiteral("4 5");
  QTest::newRow("Virtual PC") << Ide.arg(QStringLiteral("DiskVirtual_HD")) << 0
                              << QStringLiteral("0 2");
  QTest::newRow("Citrix logon")
      << QStringLiteral(
             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon]\n"
             "\"GinaDLL\"=\"ctxgina.dll\"\n")
      << 0 << QStringLiteral("0 6");
}

void tst_SysInfoCommon::sessionTypes() {
  QFETCH(QString, reg);
  QFETCH(int, remote);
  QFETCH(QString, expected);
  TMachine Machine;
  Machine.Fake.FakeReg().Load(reg);
  Machine.Fake.FakeSystem().Metrics.insert(SM_REMOTESESSION, remote);
  QStringList Types;
  for (const TSessionType Type : GetSessionTypes())
    Types << QString::number(int(Type));
  QCOMPARE(Types.join(u' '), expected);
}

void tst_SysInfoCommon::netBiosAddresses() {
  TMachine Machine;
  FakeNetBios& Bios = Machine.Fake.FakeBios();
  Bios.Lanas = {0, 3, 5};
  Bios.Addresses.insert(0, QByteArray("\x00\x1A\x2B\x3C\x4D\x5E", 6));
  Bios.Addresses.insert(5, QByteArray("\x52\x54\x00\x12\x34\x56", 6));
  Bios.FailingResets = {3};
  QStringList List{QStringLiteral("stale")};
  QCOMPARE(GetNetBIOSMACAddresses(QString(), List), 3);
  QCOMPARE(List,
           (QStringList{QStringLiteral("00-1A-2B-3C-4D-5E"), QStringLiteral("52-54-00-12-34-56")}));
  // An empty name asks for "*", a long one is cut to fifteen characters.
  QCOMPARE(Bios.Calls.back().CallName, QByteArray("*") + QByteArray(14, ' ') + QByteArray(1, '\0'));
  GetNetBIOSMACAddresses(QStringLiteral("a-very-long-machine-name"), List);
  QCOMPARE(Bios.Calls.back().CallName, QByteArray("A-VERY-LONG-MAC\0", 16));
  Bios.EnumResult = NRC_BRIDGE;
  QCOMPARE(GetNetBIOSMACAddresses(QString(), List), -1);
  QVERIFY(List.isEmpty());
  QCOMPARE(FormatMACAddress(QByteArray("\x0a\x0b\x0c\x0d\x0e\x0f", 6)),
           QStringLiteral("0A-0B-0C-0D-0E-0F"));
}

void tst_SysInfoCommon::componentLifecycle() {
  TMachine Machine;
  Machine.Fake.FakeUsers().Accounts.insert(QStringLiteral("tester"), sid({21, 9}));
  QObject Owner;
  auto* Component = new TSysInfoComponent(&Owner);
  QCOMPARE(Component->LoggedUser(), QStringLiteral("tester"));
  QCOMPARE(Component->SID(), QStringLiteral("S-1-5-21-9"));
  QCOMPARE(Component->SessionID(), WTS_CURRENT_SESSION);
  QCOMPARE(Component->Session(), TSessionTypes{stLocal});
  QVERIFY(Component->LiveData());
  QVERIFY(!Component->DataAvailable());
  QVERIFY(Component->ConvertTimeToLocal());
  QCOMPARE(Component->StorageInfo().OSMajorVersion, 6);
  QCOMPARE(Component->Refresh(), QStringLiteral("Double-click to get data"));
  Component->RefreshData(0x3FFFFF);
  QVERIFY(!Component->DataAvailable());
  QCOMPARE(Component->LoggedUser(), QStringLiteral("tester"));
  Component->SetSession(7);
  QCOMPARE(Component->SessionID(), DWORD(7));
  QPointer<TSysInfoComponent> Watch(Component);
  {
    QObject Gone;
    Component->setParent(&Gone);
  }
  QVERIFY(Watch.isNull()); // the owner destroys it
}

KELVANE_TEST_MAIN(tst_SysInfoCommon)
#include "tst_SysInfoCommon.moc"
