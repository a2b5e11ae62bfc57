// The Linux sockets backend: counted start and stop, the host's own name
// answered from its interfaces, and a name from /etc/hosts. Nothing here
// asks a name server.

#include "support/TestMain.h"

#include "platform/linux/LinuxSockets.h"

#include <QSysInfo>
#include <QTest>

class tst_Sockets : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void addressText_data();
  void addressText();
  void startsAndStopsAreCounted();
  void ownNameAnswersFromInterfaces();
  void localhostFromHostsFile();
};

void tst_Sockets::addressText_data() {
  QTest::addColumn<uint>("address");
  QTest::addColumn<QString>("text");
  QTest::newRow("loopback") << 0x7F000001u << QStringLiteral("127.0.0.1");
  QTest::newRow("zero") << 0u << QStringLiteral("0.0.0.0");
  QTest::newRow("all ones") << 0xFFFFFFFFu << QStringLiteral("255.255.255.255");
  QTest::newRow("private") << 0xC0A80114u << QStringLiteral("192.168.1.20");
}

void tst_Sockets::addressText() {
  QFETCH(uint, address);
  QFETCH(QString, text);
  QCOMPARE(Ipv4ToString(address), text);
}

void tst_Sockets::startsAndStopsAreCounted() {
  LinuxSockets Sockets;
  QCOMPARE(Sockets.WSACleanup(), SOCKET_ERROR);
  QCOMPARE(Sockets.WSAGetLastError(), int(WSANOTINITIALISED));
  QCOMPARE(Sockets.WSAStartup(0x0202), 0);
  QCOMPARE(Sockets.WSAStartup(0x0101), 0);
  QCOMPARE(Sockets.WSACleanup(), 0);
  QCOMPARE(Sockets.WSACleanup(), 0);
  QCOMPARE(Sockets.WSACleanup(), SOCKET_ERROR);
  QCOMPARE(Sockets.WSAStartup(0x0000), int(WSAVERNOTSUPPORTED));
}

void tst_Sockets::ownNameAnswersFromInterfaces() {
  LinuxSockets Sockets;
  QString Name;
  QCOMPARE(Sockets.GetHostName(Name), 0);
  QVERIFY(!Name.isEmpty());
  const std::vector<std::uint32_t> Own = LinuxSockets::OwnAddresses();
  for (std::uint32_t Address : Own)
    QVERIFY2((Address >> 24) != 127, qPrintable(Ipv4ToString(Address)));
  for (const QString& Spelling : {Name, Name.toUpper(), Name.section(u'.', 0, 0).toLower()}) {
    QVERIFY(LinuxSockets::IsOwnName(Spelling));
    QCOMPARE(Sockets.GetHostByName(Spelling), Own);
  }
  QVERIFY(!LinuxSockets::IsOwnName(QStringLiteral("localhost")));
  QVERIFY(!LinuxSockets::IsOwnName(QString()));
}

void tst_Sockets::localhostFromHostsFile() {
  LinuxSockets Sockets;
  const std::vector<std::uint32_t> Addresses = Sockets.GetHostByName(QStringLiteral("localhost"));
  QVERIFY(std::find(Addresses.begin(), Addresses.end(), 0x7F000001u) != Addresses.end());
  QCOMPARE(Sockets.WSAGetLastError(), 0);
}

KELVANE_TEST_MAIN(tst_Sockets)
#include "tst_Sockets.moc"
