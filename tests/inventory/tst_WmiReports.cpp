// The WMI report engine and the network-card report that completes the
// working file, through the fake WMI.

#include "support/TestMain.h"

#include "common/StringRules.h"
#include "inventory/dcuwmiNetcards.h"
#include "platform/fake/FakePlatform.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>

namespace {
TWmiObject instance(const QString& AClass,
                    std::initializer_list<std::tuple<const char*, int, QVariant>> AValues) {
  TWmiObject Object(AClass);
  for (const auto& [Name, Type, Value] : AValues)
    Object.Set(QLatin1String(Name), Type, Value);
  return Object;
}

TWmiObject definition(const QString& AClass,
                      std::initializer_list<std::pair<const char*, int>> AProperties) {
  TWmiObject Object(AClass);
  for (const auto& [Name, Type] : AProperties)
    Object.Set(QLatin1String(Name), Type, QVariant());
  return Object;
}

QStringList reportOf(TCustomWMI_Report& AReport) {
  AReport.AddAllProperties();
  AReport.DoScan();
  return AReport.ClassReport;
}

const int Strings = wbemCimtypeString | wbemCimtypeArrayFlag;
} // namespace

class tst_WmiReports : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init() { HoldLogRecords(); }
  void cleanup() { ReleaseLogRecords(); }
  void reportLines();
  void classWithoutInstancesOrDefinition();
  void arraysAndTranslators();
  void reportFile();
  void completesTheRecords();
  void nameOnlyRecords();
  void sharedHardwareAddress();
  void recordOfAnInstance_data();
  void recordOfAnInstance();
  void namesDifferingByControlsOrBlanks_data();
  void namesDifferingByControlsOrBlanks();
  void workingFilePaths();
};

void tst_WmiReports::reportLines() {
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  Fake.FakeWmiService().AddDefinition(
      definition(QStringLiteral("C"), {{"b", wbemCimtypeString},
                                       {"A", wbemCimtypeUint32},
                                       {"On", wbemCimtypeBoolean},
                                       {"Ratio", wbemCimtypeReal64}}));
  for (int I = 0; I < 3; ++I)
    Fake.FakeWmiService().AddInstance(
        instance(QStringLiteral("C"),
                 {{"A", wbemCimtypeUint32, 5 + I},
                  {"b", wbemCimtypeString, I == 0 ? QVariant() : QVariant(QStringLiteral("  "))},
                  {"On", wbemCimtypeBoolean, I == 2},
                  {"Ratio", wbemCimtypeReal64, 0.5}}));
  TCustomWMI_Report Report;
  Report.SetWMI_Class(QStringLiteral("C"));
  const QStringList Lines = reportOf(Report);
  // Names in case-insensitive order; blank values get ";" in front.
  QCOMPARE(Lines.mid(0, 6),
           (QStringList{QStringLiteral("[C|0]"), QStringLiteral("A=5"), QStringLiteral(";b="),
                        QStringLiteral("On=False"), QStringLiteral("Ratio=0.5"), QString()}));
  QCOMPARE(Lines.value(8), QStringLiteral(";b=  "));
  QCOMPARE(Lines.value(15), QStringLiteral("On=True"));
  QCOMPARE(Lines.mid(Lines.size() - 3),
           (QStringList{QStringLiteral("[C]"), QStringLiteral("MAX=2"), QString()}));
}

void tst_WmiReports::classWithoutInstancesOrDefinition() {
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  Fake.FakeWmiService().AddDefinition(
      definition(QStringLiteral("Empty"), {{"A", wbemCimtypeString}}));
  Fake.FakeWmiService().AddClass(QStringLiteral("Empty"));
  TCustomWMI_Report Empty;
  Empty.SetWMI_Class(QStringLiteral("Empty"));
  QCOMPARE(reportOf(Empty),
           (QStringList{QStringLiteral("[Empty]"), QStringLiteral("MAX=-1"), QString()}));
  TCustomWMI_Report Unknown;
  Unknown.SetWMI_Class(QStringLiteral("Win32_Nothing"));
  QCOMPARE(reportOf(Unknown),
           (QStringList{QStringLiteral("[Win32_Nothing]"), QStringLiteral("MAX=-1"), QString()}));
  QVERIFY(HeldRecordFields(QStringLiteral("title")).contains(QStringLiteral("No objects")));
}

void tst_WmiReports::arraysAndTranslators() {
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  Fake.FakeWmiService().AddDefinition(
      definition(QStringLiteral("T"), {{"Kind", wbemCimtypeUint32},
                                       {"List", Strings},
                                       {"Long", Strings},
                                       {"On", wbemCimtypeBoolean}}));
  QStringList Five, Many;
  for (int I = 0; I < 500; ++I)
    Five << QStringLiteral("x");
  Many = Five;
  Many << QStringLiteral("x");
  Fake.FakeWmiService().AddInstance(
      instance(QStringLiteral("T"), {{"Kind", wbemCimtypeUint32, 2},
                                     {"List", Strings, Five},
                                     {"Long", Strings, Many},
                                     {"On", wbemCimtypeBoolean, true}}));
  QTemporaryDir Dir;
  QFile Ini(Dir.filePath(QStringLiteral("T.ini")));
  QVERIFY(Ini.open(QIODevice::WriteOnly));
  Ini.write("[kind]\n2=Ethernet\n[List]\nx=y\n[On]\nTrue=Yes\n");
  Ini.close();
  TCustomWMI_Report Report;
  Report.SetWMI_Class(QStringLiteral("T"));
  Report.SetEvalDirectory(Dir.path());
  const QStringList Lines = reportOf(Report);
  QCOMPARE(Lines.value(1), QStringLiteral("Kind=Ethernet"));
  QCOMPARE(Lines.value(2), QStringLiteral("List=") +
                               QStringList(500, QStringLiteral("y")).join(QLatin1String("<|>")));
  QCOMPARE(Lines.value(3), QStringLiteral(";Long="));
  QCOMPARE(Lines.value(4), QStringLiteral("On=True")); // Booleans are never translated
}

void tst_WmiReports::reportFile() {
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  TCustomWMI_Report Report;
  Report.SetWMI_Class(QStringLiteral("Missing"));
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("deeper/report.ini"));
  Report.SaveToFile(Path);
  QFile File(Path);
  QVERIFY(File.open(QIODevice::ReadOnly));
  const QByteArray Bytes = File.readAll();
  QVERIFY(Bytes.startsWith("\xFF\xFE"));
  QCOMPARE(QStringDecoder(QStringDecoder::Utf16LE)(Bytes.mid(2)).operator QString(),
           QStringLiteral("[Missing]\r\nMAX=-1\r\n\r\n"));
}

namespace {
// A working file of two records and the network card instances that
// complete it.
struct TNetcardMachine {
  FakePlatform Fake;
  ScopedPlatform Scope{Fake};
  QTemporaryDir Dir;
  TNetcardMachine() {
    TObjectList<TNetworkAdapterData> Records;
    auto* Eth0 = Records.AddNew();
    Eth0->SetName(QStringLiteral("eth0"));
    Eth0->SetMACAddress(QStringLiteral("52:54:00:12:34:56"));
    Eth0->SetEnabled(true);
    Eth0->SetIPFilderSecurityEnabled(true);
    auto* Lonely = Records.AddNew();
    Lonely->SetName(QStringLiteral("veth9"));
    Lonely->SetMACAddress(QStringLiteral("AA:BB:CC:00:00:09"));
    TXmlSerializer Serializer;
    SerializeAdapterList(Serializer, Records);
    Serializer.SaveToFile(Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
    Fake.FakeWmiService().AddDefinition(definition(
        QStringLiteral("Win32_NetworkAdapterConfiguration"), {{"Description", wbemCimtypeString}}));
  }
  void add(std::initializer_list<std::tuple<const char*, int, QVariant>> AValues) {
    TWmiObject Object(QStringLiteral("Win32_NetworkAdapterConfiguration"));
    for (const char* Name : {"MACAddress", "Description", "DNSHostName", "DNSDomain",
                             "IPFilterSecurityEnabled", "DNSEnabledForWINSResolution", "IPAddress",
                             "IPSubnet", "DefaultIPGateway", "GatewayCostMetric", "SettingID"})
      Object.Set(QLatin1String(Name), wbemCimtypeString, QVariant());
    for (const auto& [Name, Type, Value] : AValues)
      Object.Set(QLatin1String(Name), Type, Value);
    Fake.FakeWmiService().AddInstance(Object);
  }
  IList<TNetworkAdapterData> run() {
    TWmiNetcard Netcard;
    Netcard.Init(Dir.path());
    Netcard.AddAllProperties();
    Netcard.DoScan();
    Netcard.SaveToFile(Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
    TObjectList<TNetworkAdapterData> Read;
    TXmlSerializer Serializer;
    Serializer.LoadFromFile(Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
    auto List = MakeList<TNetworkAdapterData>();
    DeserializeAdapterList(Serializer, *List);
    return List;
  }
};
} // namespace

void tst_WmiReports::completesTheRecords() {
  TNetcardMachine Machine;
  Machine.add(
      {{"MACAddress", wbemCimtypeString, QStringLiteral("52:54:00:12:34:56").toLower()},
       {"Description", wbemCimtypeString, QStringLiteral("eth0")},
       {"DNSHostName", wbemCimtypeString, QStringLiteral("pc")},
       {"IPAddress", Strings,
        QStringList{QStringLiteral("192.168.1.20"), QStringLiteral("2001:db8::2"),
                    QStringLiteral("fe80::1")}},
       {"IPSubnet", Strings,
        QStringList{QStringLiteral("255.255.255.0"), QStringLiteral("64"), QStringLiteral("64")}},
       {"DefaultIPGateway", Strings,
        QStringList{QStringLiteral("192.168.1.1"), QStringLiteral("fe80::fe")}},
       {"GatewayCostMetric", wbemCimtypeUint16 | wbemCimtypeArrayFlag, QVariantList{0, 1024}}});
  // A second instance of the same card adds to the same record.
  Machine.add({{"MACAddress", wbemCimtypeString, QStringLiteral("52:54:00:12:34:56")},
               {"Description", wbemCimtypeString, QStringLiteral("eth0")},
               {"IPAddress", Strings, QStringList{QStringLiteral("2001:db8::3")}},
               {"IPSubnet", Strings, QStringList{QStringLiteral("128")}}});
  Machine.add({{"MACAddress", wbemCimtypeString, QStringLiteral("00:00:00:00:00:99")}});
  const IList<TNetworkAdapterData> Records = Machine.run();
  QCOMPARE(Records->Count(), 2);
  const TNetworkAdapterData* Eth0 = Records->First();
  QCOMPARE(Eth0->DNSHostname(), QStringLiteral("pc"));
  QCOMPARE(Eth0->IPFilderSecurityEnabled(), false); // Null gives false
  QCOMPARE(Eth0->IPv6AdressList()->Count(), 3);
  QCOMPARE(Eth0->IPv6AdressList()->Items(0)->IPAddress(), QStringLiteral("2001:db8::2"));
  QCOMPARE(Eth0->IPv6AdressList()->Items(1)->IsLinkLocalIPv6Address(), true);
  QCOMPARE(Eth0->IPv6AdressList()->Items(2)->Prefix(), QStringLiteral("128"));
  QCOMPARE(Eth0->IPv6DefaultGatewayList()->Count(), 1);
  QCOMPARE(Eth0->IPv6DefaultGatewayList()->First()->Metric(), 1024);
  QCOMPARE(Records->Items(1)->IPv6AdressList()->Count(), 0);
}

void tst_WmiReports::nameOnlyRecords() {
  TNetcardMachine Machine;
  Machine.Fake.FakeReg().Load(
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\{PRESENT}]\n"));
  // Seen by one source only: a present adapter adds a record by its name,
  // once however often it is met, and never beside a record of that name.
  for (const char* Name : {"wg0", "wg0", "veth9"})
    Machine.add({{"MACAddress", wbemCimtypeString, QStringLiteral("AA:BB:CC:00:00:09")},
                 {"Description", wbemCimtypeString, QLatin1String(Name)},
                 {"SettingID", wbemCimtypeString, QStringLiteral("{PRESENT}")}});
  Machine.add({{"MACAddress", wbemCimtypeString, QStringLiteral("AA:BB:CC:00:00:09")},
               {"Description", wbemCimtypeString, QStringLiteral("absent0")},
               {"SettingID", wbemCimtypeString, QStringLiteral("{ABSENT}")}});
  const IList<TNetworkAdapterData> Records = Machine.run();
  QStringList Names;
  for (const TNetworkAdapterData* Record : *Records)
    Names << Record->Name() + u'|' + Record->MACAddress();
  QCOMPARE(Names, (QStringList{QStringLiteral("eth0|52:54:00:12:34:56"),
                               QStringLiteral("veth9|AA:BB:CC:00:00:09"), QStringLiteral("wg0|")}));
}

void tst_WmiReports::sharedHardwareAddress() {
  // A bridge shares its address with a port: the instance completes the
  // record of its own name.
  TNetcardMachine Machine;
  {
    TObjectList<TNetworkAdapterData> Records;
    for (const char* Name : {"eth0", "br0"}) {
      auto* Record = Records.AddNew();
      Record->SetName(QLatin1String(Name));
      Record->SetMACAddress(QStringLiteral("52:54:00:12:34:56"));
      Record->SetEnabled(true);
    }
    TXmlSerializer Serializer;
    SerializeAdapterList(Serializer, Records);
    Serializer.SaveToFile(Machine.Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
  }
  Machine.add({{"MACAddress", wbemCimtypeString, QStringLiteral("52:54:00:12:34:56")},
               {"Description", wbemCimtypeString, QStringLiteral("br0")},
               {"IPAddress", Strings, QStringList{QStringLiteral("2001:db8::b")}},
               {"IPSubnet", Strings, QStringList{QStringLiteral("64")}}});
  const IList<TNetworkAdapterData> Records = Machine.run();
  QCOMPARE(Records->Items(0)->IPv6AdressList()->Count(), 0);
  QCOMPARE(Records->Items(1)->IPv6AdressList()->Count(), 1);
}

void tst_WmiReports::recordOfAnInstance_data() {
  QTest::addColumn<QStringList>("records"); // name|hardware address, in file order
  QTest::addColumn<QString>("mac");
  QTest::addColumn<QString>("description");
  QTest::addColumn<QString>("completed"); // IPv6 addresses each record received
  const QString A = QStringLiteral("52:54:00:12:34:56"), B = QStringLiteral("52:54:00:12:34:57");
  QTest::newRow("no name matches: the first of the address")
      << QStringList{QStringLiteral("eth0|") + A, QStringLiteral("br0|") + A} << A
      << QStringLiteral("bond0") << QStringLiteral("1 0");
  QTest::newRow("two of that name: the first")
      << QStringList{QStringLiteral("eth0|") + B, QStringLiteral("eth0|") + A,
                     QStringLiteral("ETH0|") + A}
      << A << QStringLiteral("Eth0") << QStringLiteral("0 1 0");
  QTest::newRow("the name under another address does not count")
      << QStringList{QStringLiteral("br0|") + B, QStringLiteral("eth0|") + A} << A
      << QStringLiteral("br0") << QStringLiteral("0 1");
  QTest::newRow("address in other letter case")
      << QStringList{QStringLiteral("eth0|") + B, QStringLiteral("eth1|aa:bb:cc:00:00:01")}
      << QStringLiteral("AA:BB:CC:00:00:01") << QStringLiteral("eth0") << QStringLiteral("0 1");
  QTest::newRow("address of no record") << QStringList{QStringLiteral("eth0|") + A} << B
                                        << QStringLiteral("eth0") << QStringLiteral("0");
}

void tst_WmiReports::recordOfAnInstance() {
  QFETCH(QStringList, records);
  QFETCH(QString, mac);
  QFETCH(QString, description);
  QFETCH(QString, completed);
  TNetcardMachine Machine;
  {
    TObjectList<TNetworkAdapterData> Records;
    for (const QString& Text : records) {
      auto* Record = Records.AddNew();
      Record->SetName(Text.section(u'|', 0, 0));
      Record->SetMACAddress(Text.section(u'|', 1));
      Record->SetEnabled(true);
    }
    TXmlSerializer Serializer;
    SerializeAdapterList(Serializer, Records);
    Serializer.SaveToFile(Machine.Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
  }
  Machine.add({{"MACAddress", wbemCimtypeString, mac},
               {"Description", wbemCimtypeString, description},
               {"IPAddress", Strings, QStringList{QStringLiteral("2001:db8::b")}},
               {"IPSubnet", Strings, QStringList{QStringLiteral("64")}}});
  const IList<TNetworkAdapterData> Records = Machine.run();
  QStringList Counts;
  for (const TNetworkAdapterData* Record : *Records)
    Counts << QString::number(Record->IPv6AdressList()->Count());
  QCOMPARE(Counts.join(u' '), completed);
}

void tst_WmiReports::namesDifferingByControlsOrBlanks_data() {
  QTest::addColumn<QString>("recorded"); // the record's name, as the working file gives it back
  QTest::addColumn<QString>("reported"); // the instance's Description
  QTest::newRow("a control byte the scanner trimmed away")
      << QStringLiteral("tn") << QStringLiteral("\x01tn");
  QTest::newRow("a control byte the file holds as U+FFFD") << QStringLiteral("c\uFFFDd")
                                                           << QStringLiteral("c\x01"
                                                                             "d");
  QTest::newRow("blanks around") << QStringLiteral("wg0") << QStringLiteral(" wg0 ");
  QTest::newRow("letter case") << QStringLiteral("WG0") << QStringLiteral("wg0");
}

// A link without a hardware address that the system reports with a name
// the scan had trimmed or the file had replaced: the instance finds its
// record and never adds a second one.
void tst_WmiReports::namesDifferingByControlsOrBlanks() {
  QFETCH(QString, recorded);
  QFETCH(QString, reported);
  TNetcardMachine Machine;
  Machine.Fake.FakeReg().Load(
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\{PRESENT}]\n"));
  {
    TObjectList<TNetworkAdapterData> Records;
    Records.AddNew()->SetName(recorded);
    TXmlSerializer Serializer;
    SerializeAdapterList(Serializer, Records);
    Serializer.SaveToFile(Machine.Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
  }
  Machine.add({{"Description", wbemCimtypeString, reported},
               {"SettingID", wbemCimtypeString, QStringLiteral("{PRESENT}")}});
  const IList<TNetworkAdapterData> Records = Machine.run();
  QCOMPARE(Records->Count(), 1);
  QCOMPARE(Records->First()->Name(), recorded);
}

void tst_WmiReports::workingFilePaths() {
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  QTemporaryDir Dir;
  TObjectList<TNetworkAdapterData> None;
  TXmlSerializer Serializer;
  SerializeAdapterList(Serializer, None);
  Serializer.SaveToFile(Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
  TWmiNetcard WithWmi;
  WithWmi.Init(Dir.path() + QStringLiteral("/WMI\\"));
  QCOMPARE(WithWmi.TargetFile(), Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
  TWmiNetcard Plain;
  Plain.Init(Dir.path());
  QCOMPARE(Plain.TargetFile(), Dir.filePath(QStringLiteral("NetworkAdapters.xml")));
  TWmiNetcard Missing;
  QVERIFY_THROWS_EXCEPTION(EXmlError, Missing.Init(Dir.filePath(QStringLiteral("nowhere"))));
}

KELVANE_TEST_MAIN(tst_WmiReports)
#include "tst_WmiReports.moc"
