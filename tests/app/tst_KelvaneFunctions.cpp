// The host-identity queries over a fake system: names, the domain and
// logon-server expansions, and the temporary directory.

#include "support/TestMain.h"

#include "app/KelvaneFunctions.h"
#include "logging/LogEngine.h"
#include "platform/Files.h"
#include "platform/fake/FakePlatform.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class tst_KelvaneFunctions : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void queries_data();
  void queries();
  void failedNameCallsGiveEmptyTexts();
  void generalInformation_data();
  void generalInformation();
  void lineTexts_data();
  void lineTexts();
  void workingFilePaths_data();
  void workingFilePaths();
  void adapterGroups();
  void workingFileInUse();
  void noTemporaryFolder();
};

void tst_KelvaneFunctions::queries_data() {
  QTest::addColumn<QString>("variable");
  QTest::addColumn<QString>("value"); // null: not set
  QTest::addColumn<QString>("domain");
  QTest::addColumn<QString>("logonServer");
  QTest::addColumn<QString>("temp");
  const QString Long =
      QStringLiteral("a-host-name-of-sixty-three-characters-which-is-the-longest-one");
  QTest::newRow("nothing set") << QString() << QString() << QStringLiteral("%USERDOMAIN%")
                               << QStringLiteral("OGONSERVER%") << QString();
  QTest::newRow("logon server with backslashes")
      << QStringLiteral("LOGONSERVER") << QStringLiteral("\\\\DC01")
      << QStringLiteral("%USERDOMAIN%") << QStringLiteral("DC01") << QString();
  QTest::newRow("logon server without backslashes loses two characters")
      << QStringLiteral("LOGONSERVER") << QStringLiteral("DC01") << QStringLiteral("%USERDOMAIN%")
      << QStringLiteral("01") << QString();
  QTest::newRow("long logon server is not cut")
      << QStringLiteral("LOGONSERVER") << QStringLiteral("\\\\") + Long
      << QStringLiteral("%USERDOMAIN%") << Long << QString();
  QTest::newRow("long domain is not cut")
      << QStringLiteral("USERDOMAIN") << Long << Long << QStringLiteral("OGONSERVER%") << QString();
  QTest::newRow("value up to its first NUL")
      << QStringLiteral("USERDOMAIN") << QStringLiteral("CORP") + QChar(0) + "X"
      << QStringLiteral("CORP") << QStringLiteral("OGONSERVER%") << QString();
  QTest::newRow("temp in any letter case")
      << QStringLiteral("TEMP") << QStringLiteral("/var/tmp/k") << QStringLiteral("%USERDOMAIN%")
      << QStringLiteral("OGONSERVER%") << QStringLiteral("/var/tmp/k");
}

void tst_KelvaneFunctions::queries() {
  QFETCH(QString, variable);
  QFETCH(QString, value);
  QFETCH(QString, domain);
  QFETCH(QString, logonServer);
  QFETCH(QString, temp);
  FakePlatform Platform;
  if (!variable.isEmpty())
    Platform.FakeSystem().Environment.insert(variable, value);
  ScopedPlatform Scope(Platform);
  QCOMPARE(ReadUserDomain(), domain);
  QCOMPARE(ReadLogonServer(), logonServer);
  QCOMPARE(ReadTempDirectory(), temp);
  QCOMPARE(ReadComputerName(), QStringLiteral("FAKEHOST"));
  QCOMPARE(ReadUserName(), QStringLiteral("tester"));
}

void tst_KelvaneFunctions::failedNameCallsGiveEmptyTexts() {
  FakePlatform Platform;
  Platform.FakeSystem().ComputerName.reset();
  Platform.FakeSystem().UserName = QStringLiteral("anna") + QChar(0) + QStringLiteral("rest");
  ScopedPlatform Scope(Platform);
  QCOMPARE(ReadComputerName(), QString());
  QCOMPARE(ReadUserName(), QStringLiteral("anna"));
}

namespace {
TWmiObject pingStatus(const QString& AAddress, const QVariant& AStatus) {
  TWmiObject Row(QStringLiteral("Win32_PingStatus"));
  Row.Set(QStringLiteral("Address"), wbemCimtypeString, AAddress)
      .Set(QStringLiteral("BufferSize"), wbemCimtypeUint32, 32)
      .Set(QStringLiteral("Timeout"), wbemCimtypeUint32, 1000)
      .Set(QStringLiteral("TimeToLive"), wbemCimtypeUint32, 128)
      .Set(QStringLiteral("StatusCode"), wbemCimtypeUint32, AStatus);
  return Row;
}
} // namespace

void tst_KelvaneFunctions::generalInformation_data() {
  QTest::addColumn<QString>("logonServer"); // null: not set
  QTest::addColumn<QVariant>("status");     // null: host not found; -99: no row at all
  QTest::addColumn<QString>("computer");    // the computer name the system reports
  QTest::addColumn<QString>("connected");
  QTest::addColumn<QString>("address");
  QTest::addColumn<int>("pings");
  QTest::newRow("logon server answers")
      << QStringLiteral("\\\\DC01") << QVariant(0) << QStringLiteral("PC1") << QStringLiteral("Yes")
      << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("timed out") << QStringLiteral("\\\\DC01") << QVariant(11010)
                             << QStringLiteral("PC1") << QStringLiteral("No")
                             << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("host not found") << QStringLiteral("\\\\DC01") << QVariant()
                                  << QStringLiteral("PC1") << QStringLiteral("No")
                                  << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("no answer at all is not success")
      << QStringLiteral("\\\\DC01") << QVariant(-99) << QStringLiteral("PC1")
      << QStringLiteral("No") << QStringLiteral("10.0.0.7") << 1;
  QTest::newRow("blank logon server is not pinged")
      << QStringLiteral("\\\\ \t") << QVariant(0) << QStringLiteral("PC1") << QStringLiteral("No")
      << QStringLiteral("10.0.0.7") << 0;
  QTest::newRow("computer name unresolved: own host name")
      << QStringLiteral("\\\\DC01") << QVariant(0) << QStringLiteral("UNKNOWNPC")
      << QStringLiteral("Yes") << QStringLiteral("192.168.1.20") << 1;
}

void tst_KelvaneFunctions::generalInformation() {
  QFETCH(QString, logonServer);
  QFETCH(QVariant, status);
  QFETCH(QString, computer);
  QFETCH(QString, connected);
  QFETCH(QString, address);
  QFETCH(int, pings);
  FakePlatform Platform;
  FakeSystemInfo& System = Platform.FakeSystem();
  System.ComputerName = computer;
  System.VersionInfo.ProductName = QStringLiteral("Debian GNU/Linux 12 (bookworm)");
  System.Environment.insert(QStringLiteral("LOGONSERVER"), logonServer);
  System.Environment.insert(QStringLiteral("USERDOMAIN"), QStringLiteral("CORP"));
  QTemporaryDir Temp; // the adapter pipeline's working file goes here
  System.Environment.insert(QStringLiteral("temp"), Temp.path());
  Platform.FakeNet().Names.insert(QStringLiteral("PC1"), {0x0A000007u});
  Platform.FakeNet().Names.insert(QStringLiteral("fakehost"), {0xC0A80114u});
  if (status != QVariant(-99))
    Platform.FakeWmiService().AddInstance(pingStatus(QStringLiteral("DC01"), status));
  else
    Platform.FakeWmiService().AddInstance(TWmiObject(QStringLiteral("Win32_PingStatus")));
  ScopedPlatform Scope(Platform);

  TObjectList<TKelvaneData> Groups;
  bool IsConnected = false;
  GatherInformation(Groups, IsConnected);
  QCOMPARE(Groups.Count(), 1);
  const TKelvaneData* General = Groups.First();
  QCOMPARE(General->Caption(), QStringLiteral("General Information"));
  QStringList Lines;
  for (const TKelvaneData* Line : *General->SubItems())
    Lines << Line->Caption() + u'=' + Line->Value();
  const QString Logon =
      logonServer.mid(2).trimmed().isEmpty() ? QStringLiteral("not available") : logonServer.mid(2);
  QCOMPARE(Lines,
           (QStringList{QStringLiteral("Computer Name=") + computer, QStringLiteral("User=tester"),
                        QStringLiteral("Domain=CORP"), QStringLiteral("Logon Server=") + Logon,
                        QStringLiteral("Operating System=Debian GNU/Linux 12 (bookworm)"),
                        QStringLiteral("Service Pack=not available"),
                        QStringLiteral("IP Address=") + address,
                        QStringLiteral("Network connected=") + connected}));
  QCOMPARE(IsConnected, connected == QLatin1String("Yes"));
  QCOMPARE(Platform.FakeWmiService().Queries.filter(QStringLiteral("Win32_PingStatus")).size(),
           pings);
}

void tst_KelvaneFunctions::lineTexts_data() {
  QTest::addColumn<QString>("gateway");
  QTest::addColumn<QString>("shownGateway");
  QTest::addColumn<QStringList>("ipv6");
  QTest::addColumn<QString>("shownIpv6");
  QTest::newRow("no gateway, no IPv6")
      << QStringLiteral("0.0.0.0") << QString() << QStringList() << QString();
  QTest::newRow("gateway among others")
      << QStringLiteral("0.0.0.0,10.0.0.1") << QStringLiteral("0.0.0.0,10.0.0.1")
      << QStringList{QStringLiteral("a"), QStringLiteral("b")} << QStringLiteral("a; b");
  QTest::newRow("an empty first address leaves the text empty")
      << QString() << QString() << QStringList{QString(), QStringLiteral("fe80::1")}
      << QStringLiteral("fe80::1");
}

void tst_KelvaneFunctions::lineTexts() {
  QFETCH(QString, gateway);
  QFETCH(QString, shownGateway);
  QFETCH(QStringList, ipv6);
  QFETCH(QString, shownIpv6);
  QCOMPARE(FilterDefaultGateway(gateway), shownGateway);
  auto List = MakeList<TNetworkAdapterAddressIPv6Data>();
  for (const QString& Address : ipv6)
    List->AddNew()->SetIPAddress(Address);
  QCOMPARE(JoinIPv6Addresses(List), shownIpv6);
}

void tst_KelvaneFunctions::workingFilePaths_data() {
  QTest::addColumn<QString>("temp");
  QTest::addColumn<QString>("path"); // empty: the path is refused
  QTest::addColumn<QString>("error");
  QTest::newRow("folder") << QStringLiteral("/tmp/k")
                          << QStringLiteral("/tmp/k/NetworkAdapters.xml") << QString();
  QTest::newRow("with its delimiter")
      << QStringLiteral("/tmp/k/") << QStringLiteral("/tmp/k/NetworkAdapters.xml") << QString();
  // Never the root of the file system.
  QTest::newRow("empty") << QString() << QString()
                         << QStringLiteral("No temporary folder for the working file");
  QTest::newRow("blank") << QStringLiteral(" \t") << QString()
                         << QStringLiteral("No temporary folder for the working file");
  QTest::newRow("a NUL") << QStringLiteral("/tmp/a") + QChar(0) + QStringLiteral("b") << QString()
                         << QStringLiteral("Invalid characters in path");
}

void tst_KelvaneFunctions::workingFilePaths() {
  QFETCH(QString, temp);
  QFETCH(QString, path);
  QFETCH(QString, error);
  try {
    QCOMPARE(WorkingFilePath(temp), path);
    QVERIFY(!path.isEmpty());
  } catch (const EArgumentException& E) {
    QVERIFY(path.isEmpty());
    QCOMPARE(E.Message(), error);
  }
}

// Three adapters of the fake snapshot: three groups after the general one,
// numbered in the order of the working file, each with its eight lines.
void tst_KelvaneFunctions::adapterGroups() {
  FakePlatform Platform;
  Platform.FakeSystem().SetWorkstation();
  QTemporaryDir Temp;
  Platform.FakeSystem().Environment.insert(QStringLiteral("temp"), Temp.path());
  for (int I = 1; I <= 3; ++I) {
    TIpAdapterInfo Info;
    Info.Description = QStringLiteral("eth%1").arg(I);
    Info.Address = QByteArray("\x52\x54\x00\x00\x00", 5) + char(I);
    Info.Index = DWORD(I);
    Info.IpAddressList = {{QStringLiteral("10.0.%1.2").arg(I), QStringLiteral("255.255.255.0")}};
    Info.GatewayList = {
        {I == 1 ? QStringLiteral("10.0.1.1") : QStringLiteral("0.0.0.0"), QString()}};
    Platform.FakeAdapters().AdapterInfo.push_back(Info);
  }
  ScopedPlatform Scope(Platform);
  IList<TKelvaneData> Groups;
  CollectNetworkInterfaces(Groups);
  QVERIFY(Groups);
  QCOMPARE(Groups->Count(), 3);
  QStringList Captions;
  for (const TKelvaneData* Group : *Groups)
    Captions << Group->Caption();
  QCOMPARE(Captions, (QStringList{QStringLiteral("Network Interface #1"),
                                  QStringLiteral("Network Interface #2"),
                                  QStringLiteral("Network Interface #3")}));
  QStringList Lines;
  for (const TKelvaneData* Line : *Groups->First()->SubItems())
    Lines << Line->Caption() + u'=' + Line->Value();
  QCOMPARE(Lines,
           (QStringList{QStringLiteral("Description=eth1"), QStringLiteral("IPv4 Address=10.0.1.2"),
                        QStringLiteral("IPv6 Address=not available"),
                        QStringLiteral("Default Gateway=10.0.1.1"),
                        QStringLiteral("DNS Server=not available"),
                        QStringLiteral("WINS Server=not available"),
                        QStringLiteral("Subnet Mask=255.255.255.0"),
                        QStringLiteral("MAC Address=52:54:00:00:00:01")}));
  QCOMPARE(Groups->Items(1)->SubItems()->Items(3)->Value(), QStringLiteral("not available"));

  // A working file that cannot be written: no adapter group, nothing
  // raised, the reason in the log.
  Platform.FakeSystem().Environment.insert(QStringLiteral("temp"),
                                           Temp.filePath(QStringLiteral("missing/deeper")));
  HoldLogRecords();
  CollectNetworkInterfaces(Groups);
  const QStringList Logged =
      HeldRecordFields(QStringLiteral("title"), LogEntryKindName(TLogEntryKind::Exception));
  ReleaseLogRecords();
  QVERIFY(!Groups);
  QCOMPARE(Logged.size(), 1);
  QVERIFY2(Logged.first().contains(QStringLiteral("missing/deeper/NetworkAdapters.xml")),
           qPrintable(Logged.first()));
  QString Problem;
  CollectNetworkInterfaces(Groups, &Problem);
  QVERIFY(!Groups);
  QCOMPARE(Problem,
           Temp.filePath(QStringLiteral("missing/deeper/NetworkAdapters.xml: cannot be locked: ") +
                         MissingFolderText()));
}

// Another start holding the working file: this one waits for it, and past
// its bound shows no adapter group rather than a mix of two scans, and
// leaves the file alone.
void tst_KelvaneFunctions::workingFileInUse() {
  FakePlatform Platform;
  Platform.FakeSystem().SetWorkstation();
  QTemporaryDir Temp;
  Platform.FakeSystem().Environment.insert(QStringLiteral("temp"), Temp.path());
  TIpAdapterInfo Info;
  Info.Description = QStringLiteral("eth0");
  Info.Address = QByteArray("\x52\x54\x00\x00\x00\x01", 6);
  Info.Index = 2;
  Platform.FakeAdapters().AdapterInfo.push_back(Info);
  ScopedPlatform Scope(Platform);
  const QString Path = Temp.filePath(QStringLiteral("NetworkAdapters.xml"));
  IList<TKelvaneData> Groups;
  QString Problem;
  {
    const TFileLock Other(Path + QStringLiteral(".lock"), 0);
    QVERIFY(Other.Locked());
    CollectNetworkInterfaces(Groups, &Problem, 50);
    QVERIFY(!Groups);
    QCOMPARE(Problem,
             Path +
                 QStringLiteral(": cannot be locked: held by another process for more than 50 ms"));
    QVERIFY(!QFileInfo::exists(Path));
  }
  Problem.clear();
  CollectNetworkInterfaces(Groups, &Problem, 50);
  QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
  QVERIFY(Groups);
  QCOMPARE(Groups->Count(), 1);
  // Only the working file and its lock: nothing temporary stays behind.
  QCOMPARE(QDir(Temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
           (QStringList{QStringLiteral("NetworkAdapters.xml"),
                        QStringLiteral("NetworkAdapters.xml.lock")}));
}

// Without a temporary folder the pipeline says so; the file never goes to
// the root of the file system.
void tst_KelvaneFunctions::noTemporaryFolder() {
  FakePlatform Platform;
  Platform.FakeSystem().SetWorkstation();
  Platform.FakeSystem().Environment.insert(QStringLiteral("temp"), QString());
  ScopedPlatform Scope(Platform);
  const bool Before = QFileInfo::exists(QStringLiteral("/NetworkAdapters.xml"));
  IList<TKelvaneData> Groups;
  QString Problem;
  CollectNetworkInterfaces(Groups, &Problem);
  QVERIFY(!Groups);
  QCOMPARE(Problem, QStringLiteral("no temporary folder could be had for the working file"));
  QCOMPARE(QFileInfo::exists(QStringLiteral("/NetworkAdapters.xml")), Before);
}

KELVANE_TEST_MAIN(tst_KelvaneFunctions)
#include "tst_KelvaneFunctions.moc"
