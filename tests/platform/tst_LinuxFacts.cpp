// The machine's snapshot as its files give it: one reader per format
// (resolv.conf, the host name, link speeds, DHCP leases), and every view
// (the IP Helper's network parameters, the registry's system view) telling
// the same of one fixture machine. The netlink side is exercised end to end
// in namespaces.

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "platform/linux/LinuxFacts.h"
#include "platform/linux/LinuxIpHelper.h"
#include "platform/linux/SystemView.h"

#include <QTest>

class tst_LinuxFacts : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void resolverConfig_data();
  void resolverConfig();
  void hostName_data();
  void hostName();
  void speeds_data();
  void speeds();
  void networkParameters_data();
  void networkParameters();
  void viewsAgree_data();
  void viewsAgree();
  void dhcpv6Leases_data();
  void dhcpv6Leases();
  void dhcpServers_data();
  void dhcpServers();
};

void tst_LinuxFacts::resolverConfig_data() {
  QTest::addColumn<QByteArray>("resolvConf");
  QTest::addColumn<QStringList>("servers");
  QTest::addColumn<QStringList>("search");
  QTest::addColumn<QString>("domain");
  QTest::newRow("both families, in order")
      << QByteArray(
             "# comment\nnameserver 10.0.0.53\nnameserver  2001:db8::53\nsearch a.test b.test\n")
      << QStringList{QStringLiteral("10.0.0.53"), QStringLiteral("2001:db8::53")}
      << QStringList{QStringLiteral("a.test"), QStringLiteral("b.test")}
      << QStringLiteral("a.test");
  QTest::newRow("zone suffix dropped, junk skipped")
      << QByteArray("nameserver fe80::1%eth0\nnameserver not-an-address\nnameserver\n")
      << QStringList{QStringLiteral("fe80::1")} << QStringList() << QString();
  QTest::newRow("the last search or domain line wins: domain")
      << QByteArray("search a.test b.test\ndomain c.test\n") << QStringList()
      << QStringList{QStringLiteral("c.test")} << QStringLiteral("c.test");
  QTest::newRow("the last search or domain line wins: search")
      << QByteArray("domain c.test\nsearch a.test b.test\n") << QStringList()
      << QStringList{QStringLiteral("a.test"), QStringLiteral("b.test")}
      << QStringLiteral("a.test");
  QTest::newRow("a comment ends the search line")
      << QByteArray("search a.test # old b.test\nnameserver 10.0.0.1 ; primary\n")
      << QStringList{QStringLiteral("10.0.0.1")} << QStringList{QStringLiteral("a.test")}
      << QStringLiteral("a.test");
  QTest::newRow("commented-out lines, either mark")
      << QByteArray("#nameserver 10.0.0.1\n;search old.test\nnameserver 10.0.0.2\n")
      << QStringList{QStringLiteral("10.0.0.2")} << QStringList() << QString();
  QTest::newRow("the resolver asks three servers at most")
      << QByteArray("nameserver 10.0.0.1\nnameserver bad\nnameserver 10.0.0.2\n"
                    "nameserver 10.0.0.3\nnameserver 10.0.0.4\n")
      << QStringList{QStringLiteral("10.0.0.1"), QStringLiteral("10.0.0.2"),
                     QStringLiteral("10.0.0.3")}
      << QStringList() << QString();
  QTest::newRow("tabs and carriage returns")
      << QByteArray("nameserver\t10.0.0.1\r\nsearch\ta.test\r\n")
      << QStringList{QStringLiteral("10.0.0.1")} << QStringList{QStringLiteral("a.test")}
      << QStringLiteral("a.test");
  QTest::newRow("empty") << QByteArray() << QStringList() << QStringList() << QString();
}

void tst_LinuxFacts::resolverConfig() {
  QFETCH(QByteArray, resolvConf);
  QFETCH(QStringList, servers);
  QFETCH(QStringList, search);
  QFETCH(QString, domain);
  const TResolverConfig Config = ParseResolverConfig(resolvConf);
  QCOMPARE(Config.NameServers, servers);
  QCOMPARE(Config.Search, search);
  QCOMPARE(Config.Domain, domain);
}

void tst_LinuxFacts::hostName_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("shortName");
  QTest::addColumn<QString>("domain");
  QTest::newRow("full name") << QByteArray("pc.example.net\n") << QStringLiteral("pc.example.net")
                             << QStringLiteral("pc") << QStringLiteral("example.net");
  QTest::newRow("short name") << QByteArray("pc") << QStringLiteral("pc") << QStringLiteral("pc")
                              << QString();
  QTest::newRow("only the first line")
      << QByteArray("pc\nother\n") << QStringLiteral("pc") << QStringLiteral("pc") << QString();
  QTest::newRow("control characters are kept for the display to show") << QByteArray("p\x01"
                                                                                     "c\n")
                                                                       << QStringLiteral("p\x01"
                                                                                         "c")
                                                                       << QStringLiteral("p\x01"
                                                                                         "c")
                                                                       << QString();
  QTest::newRow("empty") << QByteArray("\n") << QString() << QString() << QString();
}

void tst_LinuxFacts::hostName() {
  QFETCH(QByteArray, text);
  QFETCH(QString, name);
  QFETCH(QString, shortName);
  QFETCH(QString, domain);
  QCOMPARE(ParseHostName(text), (THostName{name, shortName, domain}));
}

void tst_LinuxFacts::speeds_data() {
  QTest::addColumn<QByteArray>("sysfs");
  QTest::addColumn<uint>("bits");
  QTest::newRow("gigabit") << QByteArray("1000\n") << 1000000000u;
  QTest::newRow("10 Gbit/s is clamped, not wrapped") << QByteArray("10000") << 0xFFFFFFFFu;
  QTest::newRow("unknown") << QByteArray("-1") << 0u;
  QTest::newRow("unreadable") << QByteArray() << 0u;
  QTest::newRow("absurd") << QByteArray("9223372036854775807") << 0xFFFFFFFFu;
}

void tst_LinuxFacts::speeds() {
  QFETCH(QByteArray, sysfs);
  QFETCH(uint, bits);
  QCOMPARE(SpeedBits(sysfs), DWORD(bits));
}

void tst_LinuxFacts::networkParameters_data() {
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

void tst_LinuxFacts::networkParameters() {
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

// The IP Helper and the registry's system view read one snapshot: the
// domain and search list they give for a machine are the same.
void tst_LinuxFacts::viewsAgree_data() {
  QTest::addColumn<QByteArray>("tree");
  QTest::addColumn<QString>("domain");
  QTest::addColumn<QString>("searchList");
  QTest::newRow("search, then domain")
      << QByteArray("[proc/sys/kernel]\nhostname = pc\n"
                    "[etc]\nresolv.conf = search a.test b.test\\ndomain c.test\\n\n")
      << QStringLiteral("c.test") << QStringLiteral("c.test");
  QTest::newRow("a comment after the search domains")
      << QByteArray("[proc/sys/kernel]\nhostname = pc\n"
                    "[etc]\nresolv.conf = search a.test # old\\n\n")
      << QStringLiteral("a.test") << QStringLiteral("a.test");
  QTest::newRow("the resolved stub: its upstream file")
      << QByteArray(
             "[proc/sys/kernel]\nhostname = pc\n"
             "[etc]\nresolv.conf = nameserver 127.0.0.53\\nsearch lan\\n\n"
             "[run/systemd/resolve]\nresolv.conf = nameserver 10.0.0.1\\nsearch up.test\\n\n")
      << QStringLiteral("up.test") << QStringLiteral("up.test");
  QTest::newRow("the host name's domain first")
      << QByteArray("[proc/sys/kernel]\nhostname = pc.own.test\n"
                    "[etc]\nresolv.conf = search a.test\\n\n")
      << QStringLiteral("own.test") << QStringLiteral("a.test");
}

void tst_LinuxFacts::viewsAgree() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, domain);
  QFETCH(QString, searchList);
  TScratchDir Scratch;
  const QString Root = Scratch.FilePath(QStringLiteral("root"));
  QCOMPARE(LayOutTree(Root, tree), QString());
  auto Facts = std::make_shared<TLinuxFacts>(Root);
  LinuxIpHelper IpHelper(Facts);
  TFixedInfo Info;
  ULONG Size = SizeOfFixedInfo * 4;
  QCOMPARE(IpHelper.GetNetworkParams(Info, Size), NO_ERROR);
  QCOMPARE(Info.DomainName, domain);
  TRegHive Hive;
  BuildSystemView(Hive, *Facts);
  const TRegKey* Tcpip = Hive.Find(
      HKEY_LOCAL_MACHINE,
      SplitKeyPath(QStringLiteral("SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters")));
  QVERIFY(Tcpip);
  QCOMPARE(Tcpip->Value(QStringLiteral("Domain"))->AsString(), domain);
  QCOMPARE(Tcpip->Value(QStringLiteral("SearchList"))->AsString(), searchList);
}

void tst_LinuxFacts::dhcpv6Leases_data() {
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

void tst_LinuxFacts::dhcpv6Leases() {
  QFETCH(QByteArray, leases);
  QFETCH(QString, interface);
  QFETCH(uint, iaid);
  QFETCH(QByteArray, duid);
  const TDhcpv6Identity Identity = ReadDhcpv6Leases(leases).Of(interface);
  QCOMPARE(Identity.Iaid, DWORD(iaid));
  QCOMPARE(Identity.Duid, duid);
}

void tst_LinuxFacts::dhcpServers_data() {
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

void tst_LinuxFacts::dhcpServers() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, server);
  TScratchDir Scratch;
  const QString Root = Scratch.FilePath(QStringLiteral("root"));
  QCOMPARE(LayOutTree(Root, tree), QString());
  QCOMPARE(TLinuxFacts(Root).Dhcp().ServerOf(3, QStringLiteral("eth0")), server);
}

KELVANE_TEST_MAIN(tst_LinuxFacts)
#include "tst_LinuxFacts.moc"
