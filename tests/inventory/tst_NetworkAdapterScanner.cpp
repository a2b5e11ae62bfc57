// The adapter scanner: the system's adapter-addresses view merged with the
// network component's table through the fake platform, and the working file
// it writes.

#include "support/TestMain.h"

#include "common/Guids.h"
#include "hostinfo/dcuOSFunctions.h"
#include "inventory/NetworkAdapterScanner.h"
#include "inventory/dcuwmiNetcards.h"
#include "platform/fake/FakePlatform.h"
#include "sysinfo/SysInfoNetwork.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct TMachine {
  FakePlatform Fake;
  ScopedPlatform Scope{Fake};
  TMachine() {
    Fake.FakeSystem().SetWorkstation();
    RetakeStartupSnapshot();
    ResetOSVersionCode();
  }
  ~TMachine() {
    RetakeStartupSnapshot();
    ResetOSVersionCode();
  }
};

TSocketAddress v4(const char* AText) {
  const QStringList Parts = QString::fromLatin1(AText).split(u'.');
  QByteArray Bytes;
  for (const QString& Part : Parts)
    Bytes += char(Part.toInt());
  return {WSA_AF_INET, Bytes, 0, 0};
}

TSocketAddress v6(std::initializer_list<int> AWords) {
  QByteArray Bytes(16, '\0');
  int I = 0;
  for (const int Word : AWords) {
    Bytes[I * 2] = char(Word >> 8);
    Bytes[I * 2 + 1] = char(Word & 0xFF);
    ++I;
  }
  return {WSA_AF_INET6, Bytes, 0, 0};
}

TIpAdapterAddresses systemAdapter(const QString& ADescription, const QByteArray& AAddress,
                                  DWORD AType = IF_TYPE_ETHERNET_CSMACD) {
  TIpAdapterAddresses Adapter;
  Adapter.Description = ADescription;
  Adapter.PhysicalAddress = AAddress;
  Adapter.IfType = AType;
  Adapter.Ipv4Enabled = true;
  return Adapter;
}

TIpAdapterInfo componentAdapter(const QString& ADescription, const QByteArray& AAddress,
                                const QString& AIp, const QString& AMask) {
  TIpAdapterInfo Info;
  Info.Description = ADescription;
  Info.Address = AAddress;
  Info.Type = IF_TYPE_ETHERNET_CSMACD;
  Info.IpAddressList = {{AIp, AMask}};
  return Info;
}

const QByteArray Mac1("\x52\x54\x00\x00\x00\x01", 6);
const QByteArray Mac2("\x52\x54\x00\x00\x00\x02", 6);
const QByteArray Mac3("\x52\x54\x00\x00\x00\x03", 6);

// Three adapters: one both sources know, one only the system, one only the
// component.
void fillThree(TMachine& AMachine) {
  TIpAdapterAddresses Eth0 = systemAdapter(QStringLiteral("eth0"), Mac1);
  Eth0.Ipv6Enabled = true;
  Eth0.DnsServerAddresses = {v4("10.0.0.53"), v4("10.0.0.54"),
                             v6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 0x53}),
                             v6({0x2001, 0xdb8, 0, 0, 0, 0, 0, 0x54})};
  Eth0.Dhcpv6Iaid = 72545280;
  Eth0.Dhcpv6ClientDuid = QByteArray("\x00\x01\x00\x01", 4);
  AMachine.Fake.FakeAdapters().Addresses = {
      Eth0, systemAdapter(QStringLiteral("lo"), QByteArray(), IF_TYPE_SOFTWARE_LOOPBACK),
      systemAdapter(QStringLiteral("wlan0"), Mac2, IF_TYPE_IEEE80211),
      systemAdapter(QStringLiteral("sit0"), QByteArray(), IF_TYPE_TUNNEL)};
  TIpAdapterInfo Eth0Info =
      componentAdapter(QStringLiteral(" eth0 "), Mac1, QStringLiteral("192.168.1.20"),
                       QStringLiteral("255.255.255.0"));
  Eth0Info.GatewayList = {{QStringLiteral("192.168.1.1"), QStringLiteral("255.255.255.255")}};
  Eth0Info.DhcpEnabled = true;
  AMachine.Fake.FakeAdapters().AdapterInfo = {
      Eth0Info, componentAdapter(QStringLiteral("veth1"), Mac3, QStringLiteral("10.1.0.2"),
                                 QStringLiteral("255.255.0.0"))};
  AMachine.Fake.FakeAdapters().Rows.insert(0, TMibIfRow{0, {}, 6, 1500, 1000000000, {}, 1, 5});
}

QStringList summary(const TObjectList<TNetworkAdapterData>& AList) {
  QStringList Rows;
  for (const TNetworkAdapterData* Record : AList)
    Rows << QStringLiteral("%1|%2|%3|%4|%5|%6")
                .arg(Record->Name(), Record->MACAddress())
                .arg(Record->Enabled() ? 1 : 0)
                .arg(Record->IPv4Addresses(), Record->NetAddress(), Record->DNSServerIP());
  return Rows;
}
} // namespace

class tst_NetworkAdapterScanner : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init() { HoldLogRecords(); }
  void cleanup() { ReleaseLogRecords(); }
  void mergesTheTwoViews();
  void dnsServersAndDhcpv6();
  void componentAdapterFindsItsRecord_data();
  void componentAdapterFindsItsRecord();
  void listTexts_data();
  void listTexts();
  void failingQuery();
  void needsAComponent();
  void workingFile();
};

void tst_NetworkAdapterScanner::mergesTheTwoViews() {
  TMachine Machine;
  fillThree(Machine);
  TSysInfoNetwork Network;
  Network.RefreshData(0x3FFFFF);
  TNetworkAdapterScanner Scanner(&Network);
  Scanner.Scan();
  // Loopback and tunnels never become records, wireless does; the system's
  // untrimmed name stays, the component's lists arrive.
  QCOMPARE(
      summary(*Scanner.NetworkAdapterList()),
      (QStringList{QStringLiteral("eth0|52:54:00:00:00:01|1|192.168.1.20|192.168.1.0|10.0.0.53"),
                   QStringLiteral("wlan0|52:54:00:00:00:02|0|||"),
                   QStringLiteral("veth1|52:54:00:00:00:03|0|10.1.0.2|10.1.0.0|")}));
  const TNetworkAdapterData* Eth0 = Scanner.NetworkAdapterList()->First();
  QVERIFY(Eth0->UseDHCP());
  QCOMPARE(Eth0->IPv4Gateways(), QStringLiteral("192.168.1.1"));
  QCOMPARE(Eth0->AdapterTyp(), QStringLiteral("1"));
  QVERIFY(Eth0->IPv6Enabled());
  QVERIFY(HeldRecordFields(QStringLiteral("title"))
              .contains(QStringLiteral("Ethernet network adapter found:  = wlan0")));
}

void tst_NetworkAdapterScanner::dnsServersAndDhcpv6() {
  TMachine Machine;
  fillThree(Machine);
  TSysInfoNetwork Network;
  Network.RefreshData(0);
  TNetworkAdapterScanner Scanner(&Network);
  Scanner.Scan();
  const TNetworkAdapterData* Eth0 = Scanner.NetworkAdapterList()->First();
  QCOMPARE(Eth0->IPv6DNSServerList()->Count(), 2);
  QCOMPARE(Eth0->IPv6DNSServerList()->Items(0)->IPAddress(), QStringLiteral("2001:db8::53"));
  QCOMPARE(Eth0->IPv6DNSServerList()->Items(1)->Priority(), 2);
  QCOMPARE(Eth0->DHCPv6IAID(), QStringLiteral("72545280"));
  QCOMPARE(Eth0->DHCPv6ClientDUID(), QStringLiteral("00:01:00:01"));
  // IPv6 on but no DNS server: no DHCPv6 texts.
  const TNetworkAdapterData* Wlan = Scanner.NetworkAdapterList()->Items(1);
  QCOMPARE(Wlan->DHCPv6IAID(), QString());
  QVERIFY(Wlan->IPv6DNSServerList()->IsEmpty());
}

void tst_NetworkAdapterScanner::componentAdapterFindsItsRecord_data() {
  // name|address number, for the system's view and the component's table
  QTest::addColumn<QStringList>("system");
  QTest::addColumn<QStringList>("component");
  QTest::addColumn<QStringList>("records"); // name|enabled|IPv4 addresses
  QTest::newRow("names differing by case: the first")
      << QStringList{QStringLiteral("eth0|1"), QStringLiteral("ETH0|1")}
      << QStringList{QStringLiteral(" Eth0 |1")}
      << QStringList{QStringLiteral("eth0|1|10.0.0.1"), QStringLiteral("ETH0|0|")};
  QTest::newRow("the name under another address: a record of its own")
      << QStringList{QStringLiteral("eth0|1")} << QStringList{QStringLiteral("eth0|2")}
      << QStringList{QStringLiteral("eth0|0|"), QStringLiteral("eth0|0|10.0.0.1")};
  QTest::newRow("a record the component added is found again")
      << QStringList{} << QStringList{QStringLiteral("veth1|3"), QStringLiteral("VETH1|3")}
      << QStringList{QStringLiteral("veth1|1|10.0.0.2")};
}

void tst_NetworkAdapterScanner::componentAdapterFindsItsRecord() {
  QFETCH(QStringList, system);
  QFETCH(QStringList, component);
  QFETCH(QStringList, records);
  const QByteArray Macs[] = {QByteArray(), Mac1, Mac2, Mac3};
  TMachine Machine;
  for (const QString& Text : system)
    Machine.Fake.FakeAdapters().Addresses.push_back(
        systemAdapter(Text.section(u'|', 0, 0), Macs[Text.section(u'|', 1).toInt()]));
  int Host = 0;
  for (const QString& Text : component)
    Machine.Fake.FakeAdapters().AdapterInfo.push_back(
        componentAdapter(Text.section(u'|', 0, 0), Macs[Text.section(u'|', 1).toInt()],
                         QStringLiteral("10.0.0.%1").arg(++Host), QStringLiteral("255.255.255.0")));
  TSysInfoNetwork Network;
  Network.RefreshData(0);
  TNetworkAdapterScanner Scanner(&Network);
  Scanner.Scan();
  QStringList Rows;
  for (const TNetworkAdapterData* Record : *Scanner.NetworkAdapterList())
    Rows << QStringLiteral("%1|%2|%3")
                .arg(Record->Name())
                .arg(Record->Enabled() ? 1 : 0)
                .arg(Record->IPv4Addresses());
  QCOMPARE(Rows, records);
}

void tst_NetworkAdapterScanner::listTexts_data() {
  QTest::addColumn<QStringList>("entries");
  QTest::addColumn<QString>("text");
  QTest::newRow("two addresses") << QStringList{QStringLiteral("10.0.0.5"),
                                                QStringLiteral("10.0.0.6")}
                                 << QStringLiteral("10.0.0.5,10.0.0.6");
  QTest::newRow("one empty entry") << QStringList{QString()} << QString();
  QTest::newRow("one address") << QStringList{QStringLiteral("10.0.0.5")}
                               << QStringLiteral("10.0.0.5");
}

void tst_NetworkAdapterScanner::listTexts() {
  QFETCH(QStringList, entries);
  QFETCH(QString, text);
  TMachine Machine;
  TIpAdapterInfo Info = componentAdapter(QStringLiteral("eth0"), Mac1, {}, {});
  Info.GatewayList.clear();
  for (const QString& Entry : entries)
    Info.GatewayList.push_back(
        {Entry, Entry.isEmpty() ? QString() : QStringLiteral("255.255.255.255")});
  Machine.Fake.FakeAdapters().AdapterInfo = {Info};
  TSysInfoNetwork Network;
  Network.RefreshData(0);
  TNetworkAdapterScanner Scanner(&Network);
  Scanner.Scan();
  QCOMPARE(Scanner.NetworkAdapterList()->First()->IPv4Gateways(), text);
}

void tst_NetworkAdapterScanner::failingQuery() {
  TMachine Machine;
  fillThree(Machine);
  Machine.Fake.FakeAdapters().Failing[TIpHelperFunction::GetAdaptersAddresses] =
      ERROR_NOT_SUPPORTED;
  TSysInfoNetwork Network;
  Network.RefreshData(0);
  TNetworkAdapterScanner Scanner(&Network);
  Scanner.Scan();
  QCOMPARE(Scanner.NetworkAdapterList()->Count(), 2); // the component's alone
  QVERIFY(!Scanner.NetworkAdapterList()->First()->Enabled());
  QCOMPARE(HeldRecordFields(QStringLiteral("title"))
               .filter(QStringLiteral("Error on getting network adapters (50): "))
               .size(),
           1);
}

void tst_NetworkAdapterScanner::needsAComponent() {
  QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TNetworkAdapterScanner(nullptr));
}

void tst_NetworkAdapterScanner::workingFile() {
  TMachine Machine;
  TScopedCountingGuids Guids;
  fillThree(Machine);
  TSysInfoNetwork Network;
  Network.RefreshData(0);
  TNetworkAdapterScanner Scanner(&Network);
  Scanner.Scan();
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  Scanner.SaveToFile(Path);
  QFile Written(Path);
  QVERIFY(Written.open(QIODevice::ReadOnly));
  QFile Golden(QFINDTESTDATA(QStringLiteral("../fixtures/inventory/scanned.xml")));
  QVERIFY(Golden.open(QIODevice::ReadOnly));
  QCOMPARE(Written.readAll(), Golden.readAll());
  // Windows replaces no file that is open without delete sharing, as a Qt
  // file is.
  Written.close();

  // The WMI completion of the same file: eth0 gains its DNS names and IPv6
  // addresses and gateway; a present adapter that only WMI names adds a
  // record of its name (its address is that of a record one source saw).
  const int Strings = wbemCimtypeString | wbemCimtypeArrayFlag;
  TWmiObject Eth0(QStringLiteral("Win32_NetworkAdapterConfiguration"));
  Eth0.Set(QStringLiteral("Description"), wbemCimtypeString, QStringLiteral("eth0"))
      .Set(QStringLiteral("MACAddress"), wbemCimtypeString, QStringLiteral("52:54:00:00:00:01"))
      .Set(QStringLiteral("DNSHostName"), wbemCimtypeString, QStringLiteral("pc"))
      .Set(QStringLiteral("DNSDomain"), wbemCimtypeString, QStringLiteral("example.test"))
      .Set(QStringLiteral("IPFilterSecurityEnabled"), wbemCimtypeBoolean, false)
      .Set(QStringLiteral("DNSEnabledForWINSResolution"), wbemCimtypeBoolean, false)
      .Set(QStringLiteral("IPAddress"), Strings,
           QStringList{QStringLiteral("192.168.1.20"), QStringLiteral("2001:db8::20"),
                       QStringLiteral("fe80::1")})
      .Set(QStringLiteral("IPSubnet"), Strings,
           QStringList{QStringLiteral("255.255.255.0"), QStringLiteral("64"), QStringLiteral("64")})
      .Set(QStringLiteral("DefaultIPGateway"), Strings,
           QStringList{QStringLiteral("192.168.1.1"), QStringLiteral("fe80::fe")})
      .Set(QStringLiteral("GatewayCostMetric"), wbemCimtypeUint16 | wbemCimtypeArrayFlag,
           QVariantList{0, 1024})
      .Set(QStringLiteral("SettingID"), wbemCimtypeString, QStringLiteral("{ETH0}"));
  TWmiObject Wg0(QStringLiteral("Win32_NetworkAdapterConfiguration"));
  for (const char* Name :
       {"DNSHostName", "DNSDomain", "IPFilterSecurityEnabled", "DNSEnabledForWINSResolution",
        "IPAddress", "IPSubnet", "DefaultIPGateway", "GatewayCostMetric"})
    Wg0.Set(QLatin1String(Name), wbemCimtypeString, QVariant());
  Wg0.Set(QStringLiteral("MACAddress"), wbemCimtypeString, QStringLiteral("52:54:00:00:00:02"))
      .Set(QStringLiteral("Description"), wbemCimtypeString, QStringLiteral("wg0"))
      .Set(QStringLiteral("SettingID"), wbemCimtypeString, QStringLiteral("{WG0}"));
  Machine.Fake.FakeWmiService().AddDefinition(
      TWmiObject(Eth0.ClassName())
          .Set(QStringLiteral("Description"), wbemCimtypeString, QVariant()));
  Machine.Fake.FakeWmiService().AddInstance(Eth0);
  Machine.Fake.FakeWmiService().AddInstance(Wg0);
  Machine.Fake.FakeReg().Load(
      QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\{WG0}]\n"));
  TWmiNetcard Netcard;
  Netcard.Init(Dir.path());
  Netcard.AddAllProperties();
  Netcard.DoScan();
  Netcard.SaveToFile(Path);
  QFile Completed(Path);
  QVERIFY(Completed.open(QIODevice::ReadOnly));
  QFile CompletedGolden(QFINDTESTDATA(QStringLiteral("../fixtures/inventory/completed.xml")));
  QVERIFY(CompletedGolden.open(QIODevice::ReadOnly));
  QCOMPARE(Completed.readAll(), CompletedGolden.readAll());
}

KELVANE_TEST_MAIN(tst_NetworkAdapterScanner)
#include "tst_NetworkAdapterScanner.moc"
