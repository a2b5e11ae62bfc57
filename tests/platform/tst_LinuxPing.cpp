// The Linux Win32_PingStatus provider. Packets go to 127.0.0.1 only; names
// are resolved through a fake table, so no name server is asked. What a
// received packet means is checked on packets built here, byte by byte.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "platform/linux/LinuxPing.h"

#include <QTest>

#include <cstdint>
#include <initializer_list>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

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

// The echo every packet below is read against: 10.0.0.1, identifier 0x1234,
// sequence 1, sent from 10.0.0.2.
constexpr std::uint32_t Target = 0x0A000001;
constexpr std::uint32_t Us = 0x0A000002;
constexpr std::uint32_t Neighbour = 0x0A000042;
constexpr std::uint32_t Router = 0x0A0000FE;
const TLinuxPingStatusProvider::TEchoRequest Request{Target, 0x1234, 1};

QByteArray bytes(std::initializer_list<int> AValues) {
  QByteArray Result;
  for (int Value : AValues)
    Result.append(char(Value));
  return Result;
}

QByteArray be16(std::uint16_t AValue) {
  return bytes({AValue >> 8, AValue & 0xFF});
}

QByteArray be32(std::uint32_t AValue) {
  return be16(std::uint16_t(AValue >> 16)) + be16(std::uint16_t(AValue & 0xFFFF));
}

// The checksum is left 0: the kernel has checked it by the time a socket
// hands the message over.
QByteArray icmp(int AType, int ACode, const QByteArray& ARest) {
  return bytes({AType, ACode, 0, 0}) + ARest;
}

QByteArray echo(int AType, std::uint16_t AIdentifier = Request.Identifier,
                std::uint16_t ASequence = Request.Sequence) {
  return icmp(AType, 0, be16(AIdentifier) + be16(ASequence) + QByteArray("abcdefghijklmnop"));
}

// An error quoting APacket (an IPv4 header and what follows).
QByteArray icmpError(int AType, int ACode, const QByteArray& APacket) {
  return icmp(AType, ACode, QByteArray(4, 0) + APacket);
}

// An IPv4 header of AWords 32-bit words (options are NOPs) in front of ABody.
QByteArray ipv4(std::uint32_t ASource, std::uint32_t ADestination, const QByteArray& ABody,
                int AProtocol = IPPROTO_ICMP, int AWords = 5, int ATtl = 57) {
  const int HeaderLength = AWords * 4;
  return bytes({0x40 | AWords, 0}) + be16(std::uint16_t(HeaderLength + ABody.size())) +
         QByteArray(4, 0) + bytes({ATtl, AProtocol, 0, 0}) + be32(ASource) + be32(ADestination) +
         QByteArray(HeaderLength - 20, 1) + ABody;
}

// APacket with the byte at AOffset replaced (an IPv4 header's first byte
// holds its version and its length in words).
QByteArray withByte(QByteArray APacket, qsizetype AOffset, int AByte) {
  APacket[AOffset] = char(AByte);
  return APacket;
}
} // namespace

class tst_LinuxPing : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void echoToLoopback();
  void loopbackByName();
  void unresolvedNameGivesNullStatus();
  void readReply_data();
  void readReply();
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

void tst_LinuxPing::readReply_data() {
  QTest::addColumn<QByteArray>("packet");
  QTest::addColumn<bool>("withIpHeader"); // raw socket
  QTest::addColumn<quint32>("source");
  QTest::addColumn<int>("status"); // -1: not about our echo
  QTest::addColumn<int>("timeToLive");
  const QByteArray Reply = echo(ICMP_ECHOREPLY);

  QTest::newRow("reply, ICMP socket") << Reply << false << Target << 0 << 0;
  QTest::newRow("reply, raw socket") << ipv4(Target, Us, Reply) << true << Target << 0 << 57;
  QTest::newRow("reply with IP options")
      << ipv4(Target, Us, Reply, IPPROTO_ICMP, 15, 3) << true << Target << 0 << 3;
  QTest::newRow("reply of bare header") << Reply.left(8) << false << Target << 0 << 0;

  // Forged or stray replies.
  QTest::newRow("reply from another address, ICMP socket")
      << Reply << false << Neighbour << -1 << 0;
  QTest::newRow("reply from another address, raw socket")
      << ipv4(Neighbour, Us, Reply) << true << Neighbour << -1 << 0;
  QTest::newRow("reply with another identifier")
      << echo(ICMP_ECHOREPLY, 0x1235) << false << Target << -1 << 0;
  QTest::newRow("reply with another sequence")
      << echo(ICMP_ECHOREPLY, 0x1234, 2) << false << Target << -1 << 0;
  // What a raw socket sees of its own request when it pings this host.
  QTest::newRow("our own echo request")
      << ipv4(Target, Target, echo(ICMP_ECHO)) << true << Target << -1 << 0;
  QTest::newRow("timestamp reply")
      << icmp(ICMP_TIMESTAMPREPLY, 0, Reply.mid(4)) << false << Target << -1 << 0;

  // Cut short, or headers that lie about their length.
  QTest::newRow("empty") << QByteArray() << false << Target << -1 << 0;
  QTest::newRow("ICMP header cut short") << Reply.left(7) << false << Target << -1 << 0;
  QTest::newRow("IP header cut short")
      << ipv4(Target, Us, Reply).left(19) << true << Target << -1 << 0;
  QTest::newRow("nothing after the IP header")
      << ipv4(Target, Us, Reply).left(20) << true << Target << -1 << 0;
  QTest::newRow("IP header length below 20")
      << withByte(ipv4(Target, Us, Reply), 0, 0x44) << true << Target << -1 << 0;
  QTest::newRow("IP header length beyond the packet")
      << withByte(ipv4(Target, Us, Reply.left(8)), 0, 0x4F) << true << Target << -1 << 0;
  QTest::newRow("IP header length leaving 4 bytes of ICMP")
      << withByte(ipv4(Target, Us, Reply.left(8)), 0, 0x46) << true << Target << -1 << 0;
  QTest::newRow("not IPv4") << withByte(ipv4(Target, Us, Reply), 0, 0x65) << true << Target << -1
                            << 0;

  // Errors come from a router; what counts is the echo they quote.
  const QByteArray Sent = ipv4(Us, Target, echo(ICMP_ECHO));
  QTest::newRow("host unreachable about our echo, raw socket")
      << ipv4(Router, Us, icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, Sent)) << true << Router
      << 11003 << 0;
  QTest::newRow("TTL expired about our echo, ICMP socket")
      << icmpError(ICMP_TIME_EXCEEDED, ICMP_EXC_TTL, Sent.left(28)) << false << Router << 11013
      << 0;
  QTest::newRow("error quoting IP options")
      << icmpError(ICMP_PARAMETERPROB, 0, ipv4(Us, Target, echo(ICMP_ECHO), IPPROTO_ICMP, 6))
      << false << Router << 11015 << 0;
  QTest::newRow("error about another program's echo")
      << icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, ipv4(Us, Target, echo(ICMP_ECHO, 0x4321)))
      << false << Router << -1 << 0;
  QTest::newRow("error about an echo to another host")
      << icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, ipv4(Us, Neighbour, echo(ICMP_ECHO)))
      << false << Router << -1 << 0;
  QTest::newRow("error about a UDP datagram")
      << icmpError(ICMP_DEST_UNREACH, ICMP_PORT_UNREACH,
                   ipv4(Us, Target, echo(ICMP_ECHO), IPPROTO_UDP))
      << false << Target << -1 << 0;
  QTest::newRow("error quoting 4 bytes of the echo")
      << icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, Sent.left(24)) << false << Router << -1
      << 0;
  QTest::newRow("error whose quoted header length lies")
      << icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, withByte(Sent.left(28), 0, 0x4F)) << false
      << Router << -1 << 0;
  QTest::newRow("error without a quote")
      << icmpError(ICMP_DEST_UNREACH, ICMP_HOST_UNREACH, QByteArray()) << false << Router << -1
      << 0;
}

void tst_LinuxPing::readReply() {
  QFETCH(QByteArray, packet);
  QFETCH(bool, withIpHeader);
  QFETCH(quint32, source);
  QFETCH(int, status);
  QFETCH(int, timeToLive);
  // An exact-size copy, so reading one byte too far is caught by the sanitizer.
  const std::vector<unsigned char> Bytes(packet.begin(), packet.end());
  const std::optional<TLinuxPingStatusProvider::TEcho> Verdict =
      TLinuxPingStatusProvider::ReadReply(Bytes, withIpHeader, source, Request);
  QCOMPARE(Verdict.has_value(), status >= 0);
  if (Verdict) {
    QCOMPARE(Verdict->Status, status);
    QCOMPARE(Verdict->TimeToLive, timeToLive);
  }
}

KELVANE_TEST_MAIN(tst_LinuxPing)
#include "tst_LinuxPing.moc"
