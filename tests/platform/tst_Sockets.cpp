// The Linux sockets backend: counted start and stop, the host's own name
// answered from its interfaces, a name from /etc/hosts, and address texts
// as the C library writes them. Nothing here
// asks a name server.

#include "support/TestMain.h"

#include "platform/linux/LinuxSockets.h"

#include <QSysInfo>
#include <QTest>

#include <arpa/inet.h>

class tst_Sockets : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void sameTextAsTheCLibrary();
  void startsAndStopsAreCounted();
  void ownNameAnswersFromInterfaces();
  void localhostFromHostsFile();
};

// The shared formatter against the C library's, over addresses built to
// hit every shape: zero runs of each length at each place, mapped and
// compatible IPv4, and a fixed pseudo-random set.
void tst_Sockets::sameTextAsTheCLibrary() {
  std::vector<QByteArray> Cases;
  for (int Start = 0; Start < 8; ++Start)
    for (int Length = 0; Start + Length <= 8; ++Length) {
      QByteArray Bytes(16, '\0');
      for (int I = 0; I < 8; ++I)
        if (I < Start || I >= Start + Length)
          Bytes[2 * I + 1] = char(I + 1);
      Cases.push_back(Bytes);
    }
  std::uint32_t Seed = 12345;
  for (int N = 0; N < 2000; ++N) {
    QByteArray Bytes(16, '\0');
    for (int I = 0; I < 8; ++I) {
      Seed = Seed * 1103515245u + 12345u;
      // Mostly zero groups, so that runs of every length turn up.
      if ((Seed >> 16) % 3 == 0) {
        Bytes[2 * I] = char(Seed >> 8);
        Bytes[2 * I + 1] = char(Seed >> 24);
      }
    }
    if (N % 7 == 0) {
      Bytes.replace(0, 12, QByteArray(12, '\0'));
      if (N % 14 == 0)
        Bytes[10] = Bytes[11] = char(0xFF);
    }
    Cases.push_back(Bytes);
  }
  for (const QByteArray& Bytes : Cases) {
    char Expected[INET6_ADDRSTRLEN] = {};
    QVERIFY(::inet_ntop(AF_INET6, Bytes.constData(), Expected, sizeof Expected));
    int Error = 0;
    const std::optional<QString> Text = FormatSocketAddress({WSA_AF_INET6, Bytes, 0, 0}, Error);
    QVERIFY(Text);
    QCOMPARE(*Text, QString::fromLatin1(Expected));
  }
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
  const std::vector<std::uint32_t> Own = Sockets.OwnAddresses();
  for (std::uint32_t Address : Own)
    QVERIFY2((Address >> 24) != 127, qPrintable(Ipv4ToString(Address)));
  for (const QString& Spelling : {Name, Name.toUpper(), Name.section(u'.', 0, 0).toLower()}) {
    QVERIFY(Sockets.IsOwnName(Spelling));
    QCOMPARE(Sockets.GetHostByName(Spelling), Own);
  }
  QVERIFY(!Sockets.IsOwnName(QStringLiteral("localhost")));
  QVERIFY(!Sockets.IsOwnName(QString()));
}

void tst_Sockets::localhostFromHostsFile() {
  LinuxSockets Sockets;
  const std::vector<std::uint32_t> Addresses = Sockets.GetHostByName(QStringLiteral("localhost"));
  QVERIFY(std::find(Addresses.begin(), Addresses.end(), 0x7F000001u) != Addresses.end());
  QCOMPARE(Sockets.WSAGetLastError(), 0);
}

KELVANE_TEST_MAIN(tst_Sockets)
#include "tst_Sockets.moc"
