// The address texts of the adapter records: hexadecimal bytes, socket
// addresses, IP versions, zero-filled IPv4, network addresses and the IPv6
// forms behind the link-local test.

#include "support/TestMain.h"

#include "inventory/IPAddressHelpers.h"
#include "platform/fake/FakePlatform.h"

#include <QTest>

class tst_IPAddressHelpers : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init() { HoldLogRecords(); }
  void cleanup() { ReleaseLogRecords(); }
  void hexTexts_data();
  void hexTexts();
  void socketAddresses_data();
  void socketAddresses();
  void ipVersions_data();
  void ipVersions();
  void zeroFilled_data();
  void zeroFilled();
  void networkAddresses_data();
  void networkAddresses();
  void ipv6Texts_data();
  void ipv6Texts();
  void socketsStartAndStop();
};

void tst_IPAddressHelpers::hexTexts_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QString>("text");
  QTest::newRow("MAC") << QByteArray("\x00\x1A\x2B\x3C\x4D\x5E", 6)
                       << QStringLiteral("00:1A:2B:3C:4D:5E");
  QTest::newRow("one byte") << QByteArray("\x0A", 1) << QStringLiteral("0A");
  QTest::newRow("none") << QByteArray() << QString();
}

void tst_IPAddressHelpers::hexTexts() {
  QFETCH(QByteArray, bytes);
  QFETCH(QString, text);
  QCOMPARE(BytesToHexString(bytes), text);
  QCOMPARE(HeldRecordFields(QStringLiteral("title")).contains(QStringLiteral("AArrayLength was 0")),
           bytes.isEmpty());
  QCOMPARE(GetDHCPv6ClientDUID(bytes), text);
  QVERIFY(HeldRecordFields(QStringLiteral("title"))
              .contains(QStringLiteral("DHCP IPv6 client DUID = ") + text));
}

void tst_IPAddressHelpers::socketAddresses_data() {
  QTest::addColumn<int>("family");
  QTest::addColumn<QByteArray>("address");
  QTest::addColumn<int>("port");
  QTest::addColumn<int>("scope");
  QTest::addColumn<QString>("text");
  const QByteArray LinkLocal("\xfe\x80\0\0\0\0\0\0\0\0\0\0\0\0\0\x01", 16);
  QTest::newRow("IPv4") << int(WSA_AF_INET) << QByteArray("\xC0\xA8\x01\x01", 4) << 0 << 0
                        << QStringLiteral("192.168.1.1");
  QTest::newRow("IPv4 with port") << int(WSA_AF_INET) << QByteArray("\x0A\0\0\x01", 4) << 53 << 0
                                  << QStringLiteral("10.0.0.1:53");
  QTest::newRow("IPv6 compressed, with zone")
      << int(WSA_AF_INET6) << LinkLocal << 0 << 11 << QStringLiteral("fe80::1%11");
  QTest::newRow("IPv6 with port") << int(WSA_AF_INET6) << LinkLocal << 80 << 0
                                  << QStringLiteral("[fe80::1]:80");
  QTest::newRow("wrong length") << int(WSA_AF_INET) << QByteArray("\x01\x02", 2) << 0 << 0
                                << QString();
  QTest::newRow("unknown family") << 99 << QByteArray("\x01\x02\x03\x04", 4) << 0 << 0 << QString();
}

void tst_IPAddressHelpers::socketAddresses() {
  QFETCH(int, family);
  QFETCH(QByteArray, address);
  QFETCH(int, port);
  QFETCH(int, scope);
  QFETCH(QString, text);
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  const TSocketAddress Address{std::uint16_t(family), address, std::uint16_t(port),
                               std::uint32_t(scope)};
  QCOMPARE(SOCKET_ADDRESSToString(Address), text);
  const QStringList Errors =
      HeldRecordFields(QStringLiteral("title"))
          .filter(QStringLiteral("Error on convert SOCKET_ADDRESS to string ("));
  QCOMPARE(Errors.size(), text.isEmpty() ? 1 : 0);
}

void tst_IPAddressHelpers::ipVersions_data() {
  QTest::addColumn<QString>("address");
  QTest::addColumn<int>("version");
  QTest::newRow("dotted") << QStringLiteral("10.0.0.1") << int(IPv4);
  QTest::newRow("mapped IPv4 counts as IPv4") << QStringLiteral("::ffff:10.0.0.1") << int(IPv4);
  QTest::newRow("IPv6") << QStringLiteral("fe80::1") << int(IPv6);
  QTest::newRow("empty") << QString() << int(IPv6);
}

void tst_IPAddressHelpers::ipVersions() {
  QFETCH(QString, address);
  QFETCH(int, version);
  QCOMPARE(int(GetIPVersion(address)), version);
  QCOMPARE(HeldRecordFields(QStringLiteral("title")).first(),
           QStringLiteral("IP address \"%1\" is IP protocol version = %2")
               .arg(address, QLatin1String(version == IPv4 ? "IPv4" : "IPv6")));
}

void tst_IPAddressHelpers::zeroFilled_data() {
  QTest::addColumn<QString>("address");
  QTest::addColumn<QString>("filled");
  QTest::addColumn<bool>("logged");
  QTest::newRow("dotted quad") << QStringLiteral("192.168.1.5") << QStringLiteral("192168001005")
                               << false;
  QTest::newRow("parts after the fourth ignored")
      << QStringLiteral("1.2.3.4.5") << QStringLiteral("001002003004") << false;
  QTest::newRow("three parts unchanged")
      << QStringLiteral("1.2.3") << QStringLiteral("1.2.3") << true;
  QTest::newRow("empty part") << QStringLiteral("1..3.4") << QStringLiteral("1..3.4") << true;
  QTest::newRow("blank is no separator")
      << QStringLiteral("1.2.3. 4") << QStringLiteral("001002003004") << false;
  QTest::newRow("empty") << QString() << QString() << false;
}

void tst_IPAddressHelpers::zeroFilled() {
  QFETCH(QString, address);
  QFETCH(QString, filled);
  QFETCH(bool, logged);
  QCOMPARE(IPv4ToFilledZero(address), filled);
  const QStringList Titles = HeldRecordFields(QStringLiteral("title"));
  QCOMPARE(Titles.contains(QStringLiteral("Could not convert dotted decimal IP")), logged);
  QCOMPARE(Titles.contains(QStringLiteral("IP to convert = ") + address), logged);
  QCOMPARE(HeldRecordFields(QStringLiteral("kind"), QStringLiteral("exception")).size(),
           logged ? 1 : 0);
  QCOMPARE(FirstIPv4ToFilledZero(QStringLiteral("\"%1\",10.0.0.6").arg(address)), filled);
}

void tst_IPAddressHelpers::networkAddresses_data() {
  QTest::addColumn<QString>("addresses");
  QTest::addColumn<QString>("masks");
  QTest::addColumn<QString>("network"); // "error" for a conversion error
  QTest::newRow("first entries") << QStringLiteral("192.168.1.77,10.1.1.1")
                                 << QStringLiteral("255.255.255.0,255.0.0.0")
                                 << QStringLiteral("192.168.1.0");
  QTest::newRow("zeros") << QStringLiteral("0.0.0.0") << QStringLiteral("0.0.0.0")
                         << QStringLiteral("0.0.0.0");
  QTest::newRow("no address") << QString() << QStringLiteral("255.0.0.0") << QString();
  QTest::newRow("no mask") << QStringLiteral("10.0.0.1") << QString() << QString();
  QTest::newRow("not a dotted quad")
      << QStringLiteral("fe80::1") << QStringLiteral("255.0.0.0") << QStringLiteral("error");
}

void tst_IPAddressHelpers::networkAddresses() {
  QFETCH(QString, addresses);
  QFETCH(QString, masks);
  QFETCH(QString, network);
  try {
    QCOMPARE(GetNetworkAddress(addresses, masks), network);
  } catch (const EConvertError&) {
    QCOMPARE(network, QStringLiteral("error"));
  }
}

void tst_IPAddressHelpers::ipv6Texts_data() {
  QTest::addColumn<QString>("address");
  QTest::addColumn<QString>("expanded");
  QTest::addColumn<QString>("full");
  QTest::addColumn<bool>("linkLocal");
  QTest::newRow("fe80::1") << QStringLiteral("fe80::1")
                           << QStringLiteral("fe80:0000:0000:0000:0000:0000:0000:1")
                           << QStringLiteral("fe80:0000:0000:0000:0000:0000:0000:0001") << true;
  QTest::newRow("::1") << QStringLiteral("::1")
                       << QStringLiteral("0000:0000:0000:0000:0000:0000:0000:1")
                       << QStringLiteral("0000:0000:0000:0000:0000:0000:0000:0001") << false;
  QTest::newRow("fe80::") << QStringLiteral("fe80::")
                          << QStringLiteral("fe80:0000:0000:0000:0000:0000:0000:0000")
                          << QStringLiteral("fe80:0000:0000:0000:0000:0000:0000:0000") << true;
  QTest::newRow("groups padded") << QStringLiteral("fe80::20c:29ff:fe4c:1")
                                 << QStringLiteral("fe80:0000:0000:0000:20c:29ff:fe4c:1")
                                 << QStringLiteral("fe80:0000:0000:0000:020c:29ff:fe4c:0001")
                                 << true;
  QTest::newRow("no :: only the ends trimmed")
      << QStringLiteral(":2001:db8:1:2:3:4:5:6:") << QStringLiteral("2001:db8:1:2:3:4:5:6")
      << QStringLiteral("2001:0db8:0001:0002:0003:0004:0005:0006") << false;
  QTest::newRow("upper case link-local")
      << QStringLiteral("FE80::1") << QStringLiteral("FE80:0000:0000:0000:0000:0000:0000:1")
      << QStringLiteral("FE80:0000:0000:0000:0000:0000:0000:0001") << true;
  QTest::newRow("fe80:1::1 is not link-local")
      << QStringLiteral("fe80:1::1") << QStringLiteral("fe80:1:0000:0000:0000:0000:0000:1")
      << QStringLiteral("fe80:0001:0000:0000:0000:0000:0000:0001") << false;
  QTest::newRow("zone suffix") << QStringLiteral("fe80::1%11")
                               << QStringLiteral("fe80:0000:0000:0000:0000:0000:0000:1%11")
                               << QStringLiteral("fe80:0000:0000:0000:0000:0000:0000:1%11") << true;
}

void tst_IPAddressHelpers::ipv6Texts() {
  QFETCH(QString, address);
  QFETCH(QString, expanded);
  QFETCH(QString, full);
  QFETCH(bool, linkLocal);
  QCOMPARE(ExpandIPv6Address(address), expanded);
  QCOMPARE(FullIPv6Address(address), full);
  QCOMPARE(IsLinkLocalIPv6(address), linkLocal);
}

void tst_IPAddressHelpers::socketsStartAndStop() {
  FakePlatform Fake;
  ScopedPlatform Scope(Fake);
  InitializeIPAddressHelpers();
  FinalizeIPAddressHelpers();
  QCOMPARE(Fake.FakeNet().Starts, 1);
  QCOMPARE(Fake.FakeNet().Cleanups, 1);
  QVERIFY(HeldRecordFields(QStringLiteral("title")).isEmpty());
  Fake.FakeNet().StartResult = int(WSASYSNOTREADY);
  InitializeIPAddressHelpers();
  QCOMPARE(HeldRecordFields(QStringLiteral("title"))
               .filter(QStringLiteral("WSAStartup failed with error code ("))
               .size(),
           1);
}

KELVANE_TEST_MAIN(tst_IPAddressHelpers)
#include "tst_IPAddressHelpers.moc"
