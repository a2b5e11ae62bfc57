// The Linux Win32_PingStatus provider. Packets go to 127.0.0.1 only; names
// are resolved through a fake table, so no name server is asked.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "platform/linux/LinuxPing.h"

#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
bool icmpAllowed() {
  for (int Type : {SOCK_DGRAM, SOCK_RAW}) {
    const int Fd = ::socket(AF_INET, Type, IPPROTO_ICMP);
    if (Fd >= 0) {
      ::close(Fd);
      return true;
    }
  }
  return false;
}

std::vector<TWmiObject> ping(ISockets& ASockets, const QString& AAddress) {
  TLinuxPingStatusProvider Provider(ASockets);
  TWmiServices Services({&Provider});
  QString Quoted = AAddress;
  Quoted.replace(u'\'', QStringLiteral("''"));
  return Services.ExecQuery(
      QStringLiteral("SELECT * FROM Win32_PingStatus where Address='%1' AND BufferSize=32 "
                     "AND Timeout=1000 AND TimeToLive=128")
          .arg(Quoted),
      QStringLiteral("WQL"), 0);
}
} // namespace

class tst_LinuxPing : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void echoToLoopback();
  void loopbackByName();
  void unresolvedNameGivesNullStatus();
};

void tst_LinuxPing::echoToLoopback() {
  if (!icmpAllowed())
    QSKIP("no ICMP socket may be opened here (unprivileged ICMP is off and this is not root)");
  const auto Echo = TLinuxPingStatusProvider::Echo(0x7F000001u, 1000, 32, 128);
  QCOMPARE(Echo.Status, 0);
  QVERIFY(Echo.TimeToLive > 0);
  QVERIFY(Echo.ResponseTime >= 0 && Echo.ResponseTime < 1000);
  // A buffer larger than any packet can be.
  QCOMPARE(TLinuxPingStatusProvider::Echo(0x7F000001u, 1000, 70000, 128).Status, 11009);
}

void tst_LinuxPing::loopbackByName() {
  if (!icmpAllowed())
    QSKIP("no ICMP socket may be opened here (unprivileged ICMP is off and this is not root)");
  FakeSockets Sockets;
  Sockets.Names.insert(QStringLiteral("loop'back"), {0x7F000001u});
  const std::vector<TWmiObject> Result = ping(Sockets, QStringLiteral("loop'back"));
  QCOMPARE(int(Result.size()), 1);
  QCOMPARE(Result.front().Value(QStringLiteral("StatusCode")).toInt(), 0);
  QCOMPARE(Result.front().Value(QStringLiteral("ProtocolAddress")).toString(),
           QStringLiteral("127.0.0.1"));
  QCOMPARE(Result.front().Value(QStringLiteral("TimeToLive")).toInt(), 128);
  QVERIFY(Result.front().Value(QStringLiteral("ResponseTimeToLive")).toInt() > 0);
  QCOMPARE(Sockets.Cleanups, Sockets.Starts);
}

void tst_LinuxPing::unresolvedNameGivesNullStatus() {
  FakeSockets Sockets;
  const std::vector<TWmiObject> Result = ping(Sockets, QStringLiteral("nowhere"));
  QCOMPARE(int(Result.size()), 1);
  QVERIFY(Result.front().Value(QStringLiteral("StatusCode")).isNull());
  QCOMPARE(Sockets.LookedUp, QStringList{QStringLiteral("nowhere")});
}

KELVANE_TEST_MAIN(tst_LinuxPing)
#include "tst_LinuxPing.moc"
