// The network component: the adapter table and parameters through the fake
// IP Helper (buffer growth, embedded first elements, chains, the search
// list), the device split and the walks over the registry, and one refresh
// of the machine the test runs on.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "sysinfo/SysInfoNetwork.h"

#include <QTest>

namespace {
struct TMachine {
  FakePlatform Fake;
  ScopedPlatform Scope{Fake};
  explicit TMachine(const QString& ARegText = {}) {
    Fake.FakeSystem().SetWorkstation();
    Fake.FakeReg().Load(ARegText);
    RetakeStartupSnapshot();
  }
  ~TMachine() { RetakeStartupSnapshot(); }
};

TIpAdapterInfo adapter(const QString& ADescription, const QByteArray& AAddress, DWORD AIndex) {
  TIpAdapterInfo Info;
  Info.Description = ADescription;
  Info.Address = AAddress;
  Info.Index = AIndex;
  Info.Type = IF_TYPE_ETHERNET_CSMACD;
  return Info;
}

QString texts(const std::shared_ptr<QStringList>& AList) {
  return AList->join(u'|');
}
} // namespace

class tst_SysInfoNetwork : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void adapterTable();
  void bufferGrowth();
  void noAdapters();
  void missingLibrary();
  void parameters_data();
  void parameters();
  void adapterTypes_data();
  void adapterTypes();
  void deviceSplitAndWalks();
  void winsock();
};

void tst_SysInfoNetwork::adapterTable() {
  TMachine Machine;
  FakeIpHelper& Ip = Machine.Fake.FakeAdapters();
  TIpAdapterInfo First =
      adapter(QStringLiteral("eth0  \t"), QByteArray("\x00\x1A\x2B\x3C\x4D\x5E", 6), 2);
  First.IpAddressList = {{QStringLiteral("192.168.1.20"), QStringLiteral("255.255.255.0")},
                         {QStringLiteral("10.0.0.5"), QStringLiteral("255.0.0.0")}};
  First.GatewayList = {{QStringLiteral("192.168.1.1"), QStringLiteral("255.255.255.255")}};
  First.DhcpEnabled = true;
  TIpAdapterInfo Bare = adapter(QStringLiteral("tun0"), QByteArray(), 5);
  Ip.AdapterInfo = {First, Bare};
  Ip.Rows.insert(2, TMibIfRow{2, QStringLiteral("eth0"), 6, 1500, 1000000000, {}, 1, 5});
  TSysInfoTCPIP TCPIP;
  TCPIP.RefreshData(0);
  QCOMPARE(TCPIP.AdapterCount(), std::uint16_t(2));
  const TAdapter Eth = TCPIP.Adapters(0);
  QCOMPARE(Eth.Name, QStringLiteral("eth0"));
  QCOMPARE(Eth.Address, QStringLiteral("00:1A:2B:3C:4D:5E"));
  QCOMPARE(Eth.MaxSpeed, 1000000000u);
  QCOMPARE(Eth.MTU, 1500u);
  QVERIFY(Eth.EnableDHCP);
  QCOMPARE(texts(Eth.IPAddress), QStringLiteral("192.168.1.20|10.0.0.5"));
  QCOMPARE(texts(Eth.IPAddressMask), QStringLiteral("255.255.255.0|255.0.0.0"));
  QCOMPARE(texts(Eth.Gateway_IPAddress), QStringLiteral("192.168.1.1"));
  // Without addresses every list still holds the embedded first element.
  const TAdapter Tun = TCPIP.Adapters(1);
  QCOMPARE(Tun.Address, QString());
  QCOMPARE(Tun.IPAddress->size(), 1);
  QCOMPARE(Tun.SecondaryWINS_IPAddressMask->size(), 1);
  QCOMPARE(Tun.MaxSpeed, 0u); // no interface row
  QCOMPARE(TCPIP.FindAdapter(QStringLiteral("TUN0")), 1);
  QCOMPARE(TCPIP.FindAdapter(QStringLiteral("wlan0")), -1);
  // A copy shares the table's lists.
  QCOMPARE(TCPIP.Adapters(0).IPAddress.get(), Eth.IPAddress.get());
}

void tst_SysInfoNetwork::bufferGrowth() {
  TMachine Machine;
  FakeIpHelper& Ip = Machine.Fake.FakeAdapters();
  for (DWORD I = 1; I <= 3; ++I)
    Ip.AdapterInfo.push_back(adapter(QStringLiteral("eth%1").arg(I), {}, I));
  Ip.Parameters.DnsServerList = {{QStringLiteral("10.0.0.1"), {}},
                                 {QStringLiteral("10.0.0.2"), {}}};
  TSysInfoTCPIP TCPIP;
  TCPIP.RefreshData(0);
  QCOMPARE(TCPIP.AdapterCount(), std::uint16_t(3));
  // The adapter query grows by the size asked for plus one record; the
  // parameter query to exactly the size asked for.
  QCOMPARE(
      Ip.Calls.filter(QStringLiteral("GetAdaptersInfo")),
      (QStringList{QStringLiteral("GetAdaptersInfo 640"), QStringLiteral("GetAdaptersInfo 2560")}));
  QCOMPARE(Ip.Calls.filter(QStringLiteral("GetNetworkParams")),
           (QStringList{QStringLiteral("GetNetworkParams 584"),
                        QStringLiteral("GetNetworkParams 624")}));
}

void tst_SysInfoNetwork::noAdapters() {
  TMachine Machine;
  Machine.Fake.FakeAdapters().Parameters.HostName = QStringLiteral("host");
  TSysInfoTCPIP TCPIP;
  TCPIP.RefreshData(0);
  QCOMPARE(TCPIP.AdapterCount(), std::uint16_t(0));
  QCOMPARE(TCPIP.HostName(), QStringLiteral("host"));
  QCOMPARE(TCPIP.FindAdapter(QStringLiteral("eth0")), -1);
}

void tst_SysInfoNetwork::missingLibrary() {
  TMachine Machine;
  FakeIpHelper& Ip = Machine.Fake.FakeAdapters();
  Ip.AdapterInfo.push_back(adapter(QStringLiteral("eth0"), {}, 1));
  Ip.Parameters.HostName = QStringLiteral("first");
  TSysInfoTCPIP TCPIP;
  TCPIP.RefreshData(0);
  Ip.Missing.insert(TIpHelperFunction::GetAdaptersInfo);
  Ip.Parameters.HostName = QStringLiteral("second");
  TCPIP.RefreshData(0);
  QCOMPARE(TCPIP.AdapterCount(), std::uint16_t(0));
  QCOMPARE(TCPIP.HostName(), QStringLiteral("first")); // the parameters keep their values
}

void tst_SysInfoNetwork::parameters_data() {
  QTest::addColumn<QStringList>("servers");
  QTest::addColumn<QString>("searchList"); // "-" for no value
  QTest::addColumn<QStringList>("dnsServers");
  QTest::addColumn<QStringList>("suffixes");
  const QString A = QStringLiteral("10.0.0.1"), B = QStringLiteral("10.0.0.2");
  QTest::newRow("repeat ends the chain")
      << QStringList{A, A, B} << QStringLiteral("-") << QStringList{A} << QStringList{QString()};
  QTest::newRow("only the neighbour counts")
      << QStringList{A, B, A} << QString() << QStringList{A, B, A} << QStringList{QString()};
  QTest::newRow("two suffixes") << QStringList{A} << QStringLiteral("a.example,b.example")
                                << QStringList{A}
                                << QStringList{QStringLiteral("a.example"),
                                               QStringLiteral("b.example")};
  QTest::newRow("trailing comma") << QStringList{A} << QStringLiteral("a.example,")
                                  << QStringList{A}
                                  << QStringList{QStringLiteral("a.example"), QString()};
}

void tst_SysInfoNetwork::parameters() {
  QFETCH(QStringList, servers);
  QFETCH(QString, searchList);
  QFETCH(QStringList, dnsServers);
  QFETCH(QStringList, suffixes);
  TMachine Machine(searchList == u"-"
                       ? QString()
                       : QStringLiteral("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                                        "Services\\Tcpip\\Parameters]\n\"SearchList\"=\"%1\"\n")
                             .arg(searchList));
  TFixedInfo& Info = Machine.Fake.FakeAdapters().Parameters;
  Info.DnsServerList.clear();
  for (const QString& Server : servers)
    Info.DnsServerList.push_back({Server, {}});
  Info.CurrentDnsServer = 1;
  Info.NodeType = 8;
  Info.EnableRouting = 0x100; // only the low byte counts
  Info.EnableDns = 1;
  TSysInfoTCPIP TCPIP;
  TCPIP.RefreshData(0);
  QCOMPARE(TCPIP.DNSServers(), dnsServers);
  QCOMPARE(TCPIP.DNSSuffixes(), suffixes);
  QCOMPARE(TCPIP.PrimaryDNSSuffix(), servers.value(1)); // none when the chain is shorter
  QCOMPARE(TCPIP.NodeType(), ntHybrid);
  QVERIFY(!TCPIP.EnableRouting());
  QVERIFY(TCPIP.EnableDNS());
}

void tst_SysInfoNetwork::adapterTypes_data() {
  QTest::addColumn<int>("ifType");
  QTest::addColumn<int>("typ");
  QTest::newRow("other") << int(IF_TYPE_OTHER) << int(atOther);
  QTest::newRow("Ethernet") << int(IF_TYPE_ETHERNET_CSMACD) << int(atEthernet);
  QTest::newRow("token ring") << int(IF_TYPE_ISO88025_TOKENRING) << int(atTokenRing);
  QTest::newRow("FDDI") << int(IF_TYPE_FDDI) << int(atFDDI);
  QTest::newRow("PPP") << int(IF_TYPE_PPP) << int(atPPP);
  QTest::newRow("loopback") << int(IF_TYPE_SOFTWARE_LOOPBACK) << int(atLoopback);
  QTest::newRow("SLIP") << int(IF_TYPE_SLIP) << int(atSlip);
  QTest::newRow("wireless") << int(IF_TYPE_IEEE80211) << int(atOther);
  QTest::newRow("tunnel") << int(IF_TYPE_TUNNEL) << int(atOther);
}

void tst_SysInfoNetwork::adapterTypes() {
  QFETCH(int, ifType);
  QFETCH(int, typ);
  QCOMPARE(int(AdapterTypeOf(unsigned(ifType))), typ);
}

void tst_SysInfoNetwork::deviceSplitAndWalks() {
  TMachine Machine(QStringLiteral(
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-"
      "08002BE10318}]\n"
      "\"Class\"=\"Net\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E975-E325-11CE-BFC1-"
      "08002BE10318}]\n"
      "\"Class\"=\"NetTrans\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E976-0000-0000-0000-"
      "000000000000}]\n"
      "\"Class\"=\"NetTrans\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E975-E325-11CE-BFC1-"
      "08002BE10318}\\{1}]\n"
      "\"Description\"=\"IPv4\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E975-E325-11CE-BFC1-"
      "08002BE10318}\\{2}]\n"
      "\"Description\"=\"IPv4\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Network\\{4D36E976-0000-0000-0000-"
      "000000000000}\\{3}]\n"
      "\"Description\"=\"never read\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\A\\1]\n"
      "\"ClassGUID\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\"\n\"FriendlyName\"=\"eth0\"\n"
      "\"LocationInformation\"=\"PCI bus 1, device 0, function 0\"\n\"HardwareID\"=\"PCI\\\\A\"\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\A\\1\\LogConf]\n\"BootConfig\"="
      "hex(8):00\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\PCI\\B\\1]\n"
      "\"ClassGUID\"=\"{4D36E972-E325-11CE-BFC1-08002BE10318}\"\n\"FriendlyName\"=\"located\"\n"
      "\"LocationInformation\"=\"PCI bus 2, device 0, function 0\"\n\"HardwareID\"=\"PCI\\\\B\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1]\n"
      "\"Description\"=\"ETH0\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\2]\n"
      "\"Description\"=\"card\"\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\3]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\4]\n"));
  Machine.Fake.FakeNet().Names.insert(QStringLiteral("fakehost"), {0x0A000001, 0x0A000002});
  Machine.Fake.FakeBios().Lanas = {0};
  Machine.Fake.FakeBios().Addresses.insert(0, QByteArray("\x52\x54\x00\x12\x34\x56", 6));
  TSysInfoNetwork Network;
  Network.RefreshData(0);
  QVERIFY(Network.DataAvailable());
  // A location without a resource list is virtual; a card already listed
  // (in any letter case) is not added again; a card without a description
  // adds one empty item, once.
  QCOMPARE(Network.PhysicalAdapters(),
           (QStringList{QStringLiteral("eth0"), QStringLiteral("card"), QString()}));
  QCOMPARE(Network.VirtualAdapters(), QStringList{QStringLiteral("located")});
  QCOMPARE(Network.Protocols(), (QStringList{QStringLiteral("IPv4"), QStringLiteral("IPv4")}));
  QVERIFY(Network.Services().isEmpty());
  QCOMPARE(Network.IPAddresses(),
           (QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2")}));
  QCOMPARE(Network.MACAddresses(), QStringList{QStringLiteral("52-54-00-12-34-56")});
  QCOMPARE(Network.TCPIP()->objectName(), QStringLiteral("TCPIP"));
  // The class walks add to their lists on every refresh.
  Network.RefreshData(0x3FFFFF);
  QCOMPARE(Network.Protocols().size(), 4);
  // An unresolvable host name gives no addresses.
  Machine.Fake.FakeNet().Names.clear();
  Network.RefreshData(0);
  QVERIFY(Network.IPAddresses().isEmpty());
}

void tst_SysInfoNetwork::winsock() {
  TMachine Machine;
  TSysInfoWinsock Winsock;
  Winsock.RefreshData(0);
  QCOMPARE(Winsock.Description(), QStringLiteral("Fake Sockets"));
  QCOMPARE(Winsock.MajorVersion(), std::uint16_t(2));
  QCOMPARE(Winsock.MinorVersion(), std::uint16_t(2));
  QCOMPARE(Machine.Fake.FakeNet().Cleanups, 1);
  Machine.Fake.FakeNet().StartResult = int(WSASYSNOTREADY);
  Winsock.RefreshData(0);
  QCOMPARE(Winsock.Status(), QStringLiteral("Winsock cannot be initialized."));
  QCOMPARE(Winsock.Description(), QStringLiteral("Fake Sockets"));
}

KELVANE_TEST_MAIN(tst_SysInfoNetwork)
#include "tst_SysInfoNetwork.moc"
