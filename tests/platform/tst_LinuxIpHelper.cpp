// The Linux IP Helper's readings of files: name servers and search domains
// of resolv.conf (the stub of systemd-resolved replaced by the servers it
// asks), link speeds, and the network parameters of a fixture machine. The
// netlink side is exercised end to end in namespaces.

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "platform/linux/LinuxIpHelper.h"

#include <QTest>

class tst_LinuxIpHelper : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void nameServers_data();
  void nameServers();
  void speeds_data();
  void speeds();
  void networkParameters_data();
  void networkParameters();
  void dhcpv6Leases_data();
  void dhcpv6Leases();
  void dhcpServers_data();
  void dhcpServers();
};

void tst_LinuxIpHelper::nameServers_data() {
  QTest::addColumn<QByteArray>("resolvConf");
  QTest::addColumn<QStringList>("servers");
  QTest::addColumn<QStringList>("search");
  QTest::newRow("both families, in order")
      << QByteArray(
             "# comment\nnameserver 10.0.0.53\nnameserver  2001:db8::53\nsearch a.test b.test\n")
      << QStringList{QStringLiteral("10.0.0.53"), QStringLiteral("2001:db8::53")}
      << QStringList{QStringLiteral("a.test"), QStringLiteral("b.test")};
  QTest::newRow("zone suffix dropped, junk skipped")
      << QByteArray("nameserver fe80::1%eth0\nnameserver not-an-address\nnameserver\n")
      << QStringList{QStringLiteral("fe80::1")} << QStringList();
  QTest::newRow("the last search or domain line wins")
      << QByteArray("search a.test\ndomain c.test\n") << QStringList()
      << QStringList{QStringLiteral("c.test")};
  QTest::newRow("empty") << QByteArray() << QStringList() << QStringList();
}

void tst_LinuxIpHelper::nameServers() {
  QFETCH(QByteArray, resolvConf);
  QFETCH(QStringList, servers);
  QFETCH(QStringList, search);
  QStringList Search;
  QCOMPARE(LinuxIpHelper::NameServers(resolvConf, &Search), servers);
  QCOMPARE(Search, search);
}

void tst_LinuxIpHelper::speeds_data() {
  QTest::addColumn<QByteArray>("sysfs");
  QTest::addColumn<uint>("bits");
  QTest::newRow("gigabit") << QByteArray("1000\n") << 1000000000u;
  QTest::newRow("10 Gbit/s is clamped, not wrapped") << QByteArray("10000") << 0xFFFFFFFFu;
  QTest::newRow("unknown") << QByteArray("-1") << 0u;
  QTest::newRow("unreadable") << QByteArray() << 0u;
  QTest::newRow("absurd") << QByteArray("9223372036854775807") << 0xFFFFFFFFu;
}

void tst_LinuxIpHelper::speeds() {
  QFETCH(QByteArray, sysfs);
  QFETCH(uint, bits);
  QCOMPARE(LinuxIpHelper::SpeedBits(sysfs), DWORD(bits));
}

void tst_LinuxIpHelper::networkParameters_data() {
  QTest::addColumn<QByteArray>("tree");
  QTest::addColumn<QString>("host");
  QTest::addColumn<QString>("domain");
  QTest::addColumn<QStringList>("servers");
  QTest::addColumn<uint>("routing");
  QTest::newRow("plain resolv.conf")
      << QByteArray("[proc/sys/kernel]\nhostname = pc.example.net\n"
                    "[proc/sys/net/ipv4]\nip_forward = 1\n"
                    "[etc]\nresolv.conf = nameserver 10.0.0.53\\nnameserver 2001:db8::1\\n\n")
      << QStringLiteral("pc") << QStringLiteral("example.net")
      << QStringList{QStringLiteral("10.0.0.53")} << 1u;
  QTest::newRow("the resolved stub stands for its upstream servers")
      << QByteArray("[proc/sys/kernel]\nhostname = pc\n"
                    "[etc]\nresolv.conf = nameserver 127.0.0.53\\nsearch lan\\n\n"
                    "[run/systemd/resolve]\nresolv.conf = nameserver 192.168.1.1\\nnameserver "
                    "192.168.1.2\\nsearch home.test\\n\n")
      << QStringLiteral("pc") << QStringLiteral("home.test")
      << QStringList{QStringLiteral("192.168.1.1"), QStringLiteral("192.168.1.2")} << 0u;
  QTest::newRow("no resolv.conf: one empty server")
      << QByteArray("[proc/sys/kernel]\nhostname = pc\n") << QStringLiteral("pc") << QString()
      << QStringList{QString()} << 0u;
}

void tst_LinuxIpHelper::networkParameters() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, host);
  QFETCH(QString, domain);
  QFETCH(QStringList, servers);
  QFETCH(uint, routing);
  TScratchDir Scratch;
  const QString Root = Scratch.FilePath(QStringLiteral("root"));
  QCOMPARE(LayOutTree(Root, tree), QString());
  LinuxIpHelper IpHelper(Root);
  TFixedInfo Info;
  ULONG Size = 0;
  QCOMPARE(IpHelper.GetNetworkParams(Info, Size), ERROR_BUFFER_OVERFLOW);
  QVERIFY(Size >= SizeOfFixedInfo);
  QCOMPARE(IpHelper.GetNetworkParams(Info, Size), NO_ERROR);
  QCOMPARE(Info.HostName, host);
  QCOMPARE(Info.DomainName, domain);
  QStringList Listed;
  for (const TIpAddrString& Server : Info.DnsServerList)
    Listed << Server.IpAddress;
  QCOMPARE(Listed, servers);
  QCOMPARE(Info.EnableRouting, UINT(routing));
  QCOMPARE(Info.NodeType, UINT(0));
  QCOMPARE(Info.ScopeId, QString());
}

void tst_LinuxIpHelper::dhcpv6Leases_data() {
  QTest::addColumn<QByteArray>("leases");
  QTest::addColumn<QString>("interface");
  QTest::addColumn<uint>("iaid");
  QTest::addColumn<QByteArray>("duid");
  const QByteArray Leases =
      "default-duid \"\\000\\001\\000\\001*\\332RT\\000\\0224V\";\n"
      "lease6 {\n  interface \"eth0\";\n  ia-na 00:00:00:01 {\n    starts 1;\n  }\n}\n"
      "lease6 {\n  interface \"wlan0\";\n  ia-na 9e:a1:e7:5c {\n  }\n}\n"
      "lease6 {\n  interface \"eth0\";\n  ia-na 00:00:00:02 {\n  }\n}\n";
  const QByteArray Duid("\x00\x01\x00\x01*\xdaRT\x00\x12"
                        "4V",
                        12);
  QTest::newRow("the newest lease of the interface")
      << Leases << QStringLiteral("eth0") << 2u << Duid;
  QTest::newRow("another interface") << Leases << QStringLiteral("wlan0") << 0x9ea1e75cu << Duid;
  QTest::newRow("no lease") << Leases << QStringLiteral("eth1") << 0u << Duid;
  QTest::newRow("no file") << QByteArray() << QStringLiteral("eth0") << 0u << QByteArray();
  // One file holds the leases of every interface, and every link asks:
  // read in one pass, each interface's identity is right.
  QByteArray Many = "default-duid \"\\000\\001\";\n";
  for (int I = 1; I <= 5000; ++I)
    Many += "lease6 {\n  interface \"eth" + QByteArray::number(I) +
            "\";\n  ia-na 00:00:" + QByteArray::number(I >> 8, 16) + ':' +
            QByteArray::number(I & 0xFF, 16) + " {\n  }\n}\n";
  QTest::newRow("5,000 interfaces, the first")
      << Many << QStringLiteral("eth1") << 1u << QByteArray("\0\1", 2);
  QTest::newRow("5,000 interfaces, the last")
      << Many << QStringLiteral("eth5000") << 5000u << QByteArray("\0\1", 2);
}

void tst_LinuxIpHelper::dhcpv6Leases() {
  QFETCH(QByteArray, leases);
  QFETCH(QString, interface);
  QFETCH(uint, iaid);
  QFETCH(QByteArray, duid);
  const LinuxIpHelper::TDhcpv6Identity Identity = LinuxIpHelper::Dhcpv6Identity(leases, interface);
  QCOMPARE(Identity.Iaid, DWORD(iaid));
  QCOMPARE(Identity.Duid, duid);
}

void tst_LinuxIpHelper::dhcpServers_data() {
  QTest::addColumn<QByteArray>("tree");
  QTest::addColumn<QString>("server");
  QTest::newRow("systemd-networkd")
      << QByteArray(
             "[run/systemd/netif/leases]\n3 = ADDRESS=10.0.0.9\\nSERVER_ADDRESS=10.0.0.1\\n\n")
      << QStringLiteral("10.0.0.1");
  QTest::newRow("the newest dhclient lease of the interface")
      << QByteArray(
             "[var/lib/dhcp]\ndhclient.eth0.leases = lease {\\n interface \"eth0\";\\n"
             " option dhcp-server-identifier 192.168.1.1;\\n}\\nlease {\\n interface \"eth1\";\\n"
             " option dhcp-server-identifier 172.16.0.1;\\n}\\nlease {\\n interface \"eth0\";\\n"
             " option dhcp-server-identifier 192.168.1.254;\\n}\\n\n")
      << QStringLiteral("192.168.1.254");
  QTest::newRow("no lease") << QByteArray("[etc]\nhostname = pc\n") << QString();
  QTest::newRow("networkd's lease names no server: dhclient's counts")
      << QByteArray("[run/systemd/netif/leases]\n3 = ADDRESS=10.0.0.9\\n\n"
                    "[var/lib/dhcp]\ndhclient.leases = lease {\\n interface \"eth0\";\\n"
                    " option dhcp-server-identifier 192.168.1.1;\\n}\\n\n")
      << QStringLiteral("192.168.1.1");
  QTest::newRow("a later file's lease is newer")
      << QByteArray("[var/lib/dhcp]\ndhclient.a.leases = lease {\\n interface \"eth0\";\\n"
                    " option dhcp-server-identifier 10.0.0.1;\\n}\\n\n"
                    "dhclient.b.leases = interface \"eth0\";\\noption dhcp-server-identifier "
                    "10.0.0.2;\\n\n"
                    "dhclient6.leases = lease {\\n interface \"eth0\";\\n"
                    " option dhcp-server-identifier 10.0.0.6;\\n}\\n\n")
      << QStringLiteral("10.0.0.2");
  // dhclient's file holds the leases of every interface: read once for all links.
  QByteArray Many = "[var/lib/dhcp]\ndhclient.leases = ";
  for (int I = 3000; I >= 0; --I)
    Many += "lease {\\n interface \"eth" + QByteArray::number(I) +
            "\";\\n option dhcp-server-identifier 10.0." + QByteArray::number(I >> 8) + '.' +
            QByteArray::number(I & 0xFF) + ";\\n}\\n";
  QTest::newRow("3,000 interfaces in one file") << Many + '\n' << QStringLiteral("10.0.0.0");
}

void tst_LinuxIpHelper::dhcpServers() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, server);
  TScratchDir Scratch;
  const QString Root = Scratch.FilePath(QStringLiteral("root"));
  QCOMPARE(LayOutTree(Root, tree), QString());
  QCOMPARE(LinuxIpHelper::DhcpServer(Root, 3, QStringLiteral("eth0")), server);
}

KELVANE_TEST_MAIN(tst_LinuxIpHelper)
#include "tst_LinuxIpHelper.moc"
