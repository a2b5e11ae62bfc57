// WMI's network-adapter configuration and class definitions on Linux, from
// a fake IP Helper snapshot, through the same query handling a report uses.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "platform/linux/LinuxNetworkAdapters.h"

#include <QTest>

namespace {
TSocketAddress address(int AFamily, const QByteArray& ABytes) {
  return {std::uint16_t(AFamily), ABytes, 0, 0};
}

const QByteArray V4Address("\xC0\xA8\x01\x14", 4), V4Gateway("\xC0\xA8\x01\x01", 4);
const QByteArray V6Address("\x20\x01\x0d\xb8\0\0\0\0\0\0\0\0\0\0\0\x02", 16);
const QByteArray V6Gateway("\xfe\x80\0\0\0\0\0\0\0\0\0\0\0\0\0\x01", 16);

struct TWmiMachine {
  FakeIpHelper IpHelper;
  TLocalWmi Wmi;
  TWmiMachine() {
    TIpAdapterAddresses Eth0;
    Eth0.IfIndex = 2;
    Eth0.Description = QStringLiteral("eth0");
    Eth0.AdapterName = QStringLiteral("{SETTING}");
    Eth0.PhysicalAddress = QByteArray("\x52\x54\x00\x12\x34\x56", 6);
    Eth0.IfType = IF_TYPE_ETHERNET_CSMACD;
    Eth0.Mtu = 1500;
    // IPv6 first in the snapshot: the class lists IPv4 first.
    Eth0.UnicastAddresses = {{address(WSA_AF_INET6, V6Address), 64},
                             {address(WSA_AF_INET, V4Address), 24}};
    Eth0.GatewayAddresses = {address(WSA_AF_INET6, V6Gateway), address(WSA_AF_INET, V4Gateway)};
    Eth0.GatewayMetrics = {1024, 100};
    Eth0.DnsServerAddresses = {address(WSA_AF_INET, V4Gateway)};
    TIpAdapterAddresses Tun;
    Tun.IfIndex = 3;
    Tun.Description = QStringLiteral("tun0");
    Tun.IfType = IF_TYPE_PROP_VIRTUAL;
    TIpAdapterAddresses Lo;
    Lo.IfIndex = 1;
    Lo.Description = QStringLiteral("lo");
    Lo.IfType = IF_TYPE_SOFTWARE_LOOPBACK;
    IpHelper.Addresses = {Lo, Eth0, Tun};
    IpHelper.Parameters.HostName = QStringLiteral("pc");
    IpHelper.Parameters.DomainName = QStringLiteral("example.test");
    Wmi.AddProvider(std::make_unique<TLinuxNetworkAdapterConfigurationProvider>(IpHelper));
    Wmi.AddProvider(std::make_unique<TMetaClassProvider>(
        std::vector<TWmiObject>{TLinuxNetworkAdapterConfigurationProvider::Definition()}));
  }
  std::vector<TWmiObject> query(const QString& AText) {
    return Wmi.ConnectServer({}, QStringLiteral("root\\cimv2"), {}, {})->ExecQuery(AText);
  }
};
} // namespace

class tst_LinuxNetworkAdapters : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void instances();
  void classDefinition();
};

void tst_LinuxNetworkAdapters::instances() {
  TWmiMachine Machine;
  const std::vector<TWmiObject> Objects =
      Machine.query(QStringLiteral("SELECT * FROM Win32_NetworkAdapterConfiguration"));
  QCOMPARE(int(Objects.size()), 2); // loopback left out
  const TWmiObject& Eth0 = Objects[0];
  QCOMPARE(Eth0.Value(QStringLiteral("Description")).toString(), QStringLiteral("eth0"));
  QCOMPARE(Eth0.Value(QStringLiteral("SettingID")).toString(), QStringLiteral("{SETTING}"));
  QCOMPARE(Eth0.Value(QStringLiteral("MACAddress")).toString(),
           QStringLiteral("52:54:00:12:34:56"));
  QCOMPARE(Eth0.Value(QStringLiteral("IPAddress")).toStringList(),
           (QStringList{QStringLiteral("192.168.1.20"), QStringLiteral("2001:db8::2")}));
  QCOMPARE(Eth0.Value(QStringLiteral("IPSubnet")).toStringList(),
           (QStringList{QStringLiteral("255.255.255.0"), QStringLiteral("64")}));
  QCOMPARE(Eth0.Value(QStringLiteral("DefaultIPGateway")).toStringList(),
           (QStringList{QStringLiteral("192.168.1.1"), QStringLiteral("fe80::1")}));
  QCOMPARE(Eth0.Value(QStringLiteral("GatewayCostMetric")).toList().size(), 2);
  QCOMPARE(Eth0.Value(QStringLiteral("GatewayCostMetric")).toList().value(0).toInt(), 100);
  QCOMPARE(Eth0.Value(QStringLiteral("IPEnabled")).toBool(), true);
  QCOMPARE(Eth0.Value(QStringLiteral("DNSDomain")).toString(), QStringLiteral("example.test"));
  QCOMPARE(Eth0.Value(QStringLiteral("IPFilterSecurityEnabled")).toBool(), false);
  QCOMPARE(Eth0.Property(QStringLiteral("IPAddress"))->CimType,
           wbemCimtypeString | wbemCimtypeArrayFlag);
  // No hardware address, no addresses: Null, as Windows has them.
  const TWmiObject& Tun = Objects[1];
  QVERIFY(!Tun.Value(QStringLiteral("MACAddress")).isValid());
  QVERIFY(!Tun.Value(QStringLiteral("IPAddress")).isValid());
  QCOMPARE(Tun.Value(QStringLiteral("IPEnabled")).toBool(), false);
  // Conditions work as for any class.
  QCOMPARE(
      int(Machine
              .query(QStringLiteral("SELECT Description FROM Win32_NetworkAdapterConfiguration "
                                    "WHERE Description = 'tun0'"))
              .size()),
      1);
}

void tst_LinuxNetworkAdapters::classDefinition() {
  TWmiMachine Machine;
  const std::vector<TWmiObject> Definitions = Machine.query(QStringLiteral(
      "SELECT * from Meta_Class Where __CLASS = \"Win32_NetworkAdapterConfiguration\""));
  QCOMPARE(int(Definitions.size()), 1);
  QStringList Names;
  for (const TWmiProperty& Property : Definitions[0].Properties()) {
    Names << Property.Name;
    QVERIFY(!Property.Value.isValid());
  }
  QVERIFY(Names.contains(QStringLiteral("DNSHostName")));
  QVERIFY(Names.contains(QStringLiteral("GatewayCostMetric")));
  QCOMPARE(Names.size(), 29);
  QVERIFY(
      Machine.query(QStringLiteral("SELECT * from Meta_Class Where __CLASS = \"Win32_Nothing\""))
          .empty());
}

KELVANE_TEST_MAIN(tst_LinuxNetworkAdapters)
#include "tst_LinuxNetworkAdapters.moc"
