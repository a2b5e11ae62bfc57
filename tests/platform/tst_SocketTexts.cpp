// Address texts as Windows Sockets gives them, the same from every backend.

#include "support/TestMain.h"

#include "platform/Sockets.h"

#include <QTest>

class tst_SocketTexts : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void ipv4Text_data();
  void ipv4Text();
  void socketAddressText_data();
  void socketAddressText();
};

void tst_SocketTexts::ipv4Text_data() {
  QTest::addColumn<uint>("address");
  QTest::addColumn<QString>("text");
  QTest::newRow("loopback") << 0x7F000001u << QStringLiteral("127.0.0.1");
  QTest::newRow("zero") << 0u << QStringLiteral("0.0.0.0");
  QTest::newRow("all ones") << 0xFFFFFFFFu << QStringLiteral("255.255.255.255");
  QTest::newRow("private") << 0xC0A80114u << QStringLiteral("192.168.1.20");
}

void tst_SocketTexts::ipv4Text() {
  QFETCH(uint, address);
  QFETCH(QString, text);
  QCOMPARE(Ipv4ToString(address), text);
}

void tst_SocketTexts::socketAddressText_data() {
  QTest::addColumn<int>("family");
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<int>("port");
  QTest::addColumn<uint>("scope");
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("error");
  const auto v6 = [](const char* AHex) { return QByteArray::fromHex(AHex); };
  const int In = WSA_AF_INET, In6 = WSA_AF_INET6;
  QTest::newRow("v4") << In << QByteArray("\xC0\xA8\x01\x01", 4) << 0 << 0u
                      << QStringLiteral("192.168.1.1") << 0;
  QTest::newRow("v4 port") << In << QByteArray("\x0A\x00\x00\x01", 4) << 53 << 0u
                           << QStringLiteral("10.0.0.1:53") << 0;
  QTest::newRow("v6 any") << In6 << v6("00000000000000000000000000000000") << 0 << 0u
                          << QStringLiteral("::") << 0;
  QTest::newRow("v6 loopback") << In6 << v6("00000000000000000000000000000001") << 0 << 0u
                               << QStringLiteral("::1") << 0;
  QTest::newRow("link-local scope") << In6 << v6("fe800000000000000000000000000001") << 0 << 11u
                                    << QStringLiteral("fe80::1%11") << 0;
  QTest::newRow("port in brackets") << In6 << v6("20010db8000000000000000000000001") << 80 << 0u
                                    << QStringLiteral("[2001:db8::1]:80") << 0;
  QTest::newRow("longest run, not the first") << In6 << v6("20010db8000000010000000000000001") << 0
                                              << 0u << QStringLiteral("2001:db8:0:1::1") << 0;
  QTest::newRow("first of equal runs") << In6 << v6("20010000000000010000000000010001") << 0 << 0u
                                       << QStringLiteral("2001::1:0:0:1:1") << 0;
  QTest::newRow("one zero group stays") << In6 << v6("20010db8000000010001000100010001") << 0 << 0u
                                        << QStringLiteral("2001:db8:0:1:1:1:1:1") << 0;
  QTest::newRow("run at the end") << In6 << v6("fe800000000000000000000000000000") << 0 << 0u
                                  << QStringLiteral("fe80::") << 0;
  QTest::newRow("mapped v4") << In6 << v6("00000000000000000000ffffc0000201") << 0 << 0u
                             << QStringLiteral("::ffff:192.0.2.1") << 0;
  QTest::newRow("compatible v4") << In6 << v6("000000000000000000000000c0000201") << 0 << 0u
                                 << QStringLiteral("::192.0.2.1") << 0;
  QTest::newRow("short v4") << In << QByteArray(3, '\0') << 0 << 0u << QString() << int(WSAEFAULT);
  QTest::newRow("short v6") << In6 << QByteArray(4, '\0') << 0 << 0u << QString() << int(WSAEFAULT);
  QTest::newRow("other family") << 17 << QByteArray(4, '\0') << 0 << 0u << QString()
                                << int(WSAEINVAL);
}

void tst_SocketTexts::socketAddressText() {
  QFETCH(int, family);
  QFETCH(QByteArray, bytes);
  QFETCH(int, port);
  QFETCH(uint, scope);
  QFETCH(QString, text);
  QFETCH(int, error);
  int Error = 0;
  const std::optional<QString> Result = FormatSocketAddress(
      {std::uint16_t(family), bytes, std::uint16_t(port), std::uint32_t(scope)}, Error);
  QCOMPARE(Result.value_or(QString()), text);
  QCOMPARE(Error, error);
}

KELVANE_TEST_MAIN(tst_SocketTexts)
#include "tst_SocketTexts.moc"
