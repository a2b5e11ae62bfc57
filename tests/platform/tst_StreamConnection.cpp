// The log viewers' byte stream: it connects, sends all and sees the viewer
// leave; it refuses an endpoint in another user's reach; and no wait lasts
// longer than its time or the caller's stop.

#include "support/TestMain.h"

#include "platform/StreamConnection.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A TCP listener on loopback that never answers: its backlog of one is
// full, so the kernel drops a new connection's first packet and the connect
// neither succeeds nor fails.
class TSilentListener {
public:
  TSilentListener() {
    sockaddr_in In{};
    In.sin_family = AF_INET;
    In.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* Raw = reinterpret_cast<sockaddr*>(&In);
    socklen_t Length = sizeof In;
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (FListener < 0 || ::bind(FListener, Raw, Length) != 0 || ::listen(FListener, 0) != 0 ||
        ::getsockname(FListener, Raw, &Length) != 0)
      return;
    FPort = ntohs(In.sin_port);
    FFiller = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FReady = FFiller >= 0 && ::connect(FFiller, Raw, Length) == 0;
  }
  ~TSilentListener() {
    for (const int Fd : {FFiller, FListener})
      if (Fd >= 0)
        ::close(Fd);
  }
  TSilentListener(const TSilentListener&) = delete;
  TSilentListener& operator=(const TSilentListener&) = delete;

  bool IsReady() const { return FReady; }
  quint16 Port() const { return FPort; }

private:
  int FListener = -1;
  int FFiller = -1;
  quint16 FPort = 0;
  bool FReady = false;
};

quint16 closedPort() {
  QTcpServer Closed;
  return Closed.listen(QHostAddress::LocalHost) ? Closed.serverPort() : 0;
}

// A listener of either kind, and the one connection it accepts.
class TListener {
public:
  bool Listen(bool ALocal, const QString& APath) {
    FLocal = ALocal;
    return ALocal ? FPipe.listen(APath) : FTcp.listen(QHostAddress::LocalHost);
  }
  quint16 Port() const { return FTcp.serverPort(); }
  QIODevice* Accept() {
    if (FLocal)
      return FPipe.waitForNewConnection(10000) ? FPipe.nextPendingConnection() : nullptr;
    return FTcp.waitForNewConnection(10000) ? FTcp.nextPendingConnection() : nullptr;
  }
  bool HasPending() const {
    return FLocal ? FPipe.hasPendingConnections() : FTcp.hasPendingConnections();
  }

private:
  bool FLocal = false;
  QTcpServer FTcp;
  QLocalServer FPipe;
};

TStreamConnection connectTo(bool ALocal, const QString& APath, quint16 APort,
                            std::chrono::milliseconds ATimeout, const TStopCheck& AStop = {}) {
  return ALocal
             ? TStreamConnection::ConnectLocal(APath, ATimeout, AStop)
             : TStreamConnection::ConnectTcp(QStringLiteral("127.0.0.1"), APort, ATimeout, AStop);
}

void closePeer(QIODevice* APeer) {
  if (auto* Tcp = qobject_cast<QTcpSocket*>(APeer))
    Tcp->disconnectFromHost();
  else if (auto* Local = qobject_cast<QLocalSocket*>(APeer))
    Local->disconnectFromServer();
}

} // namespace

class tst_StreamConnection : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void delivers_data();
  void delivers();
  void refused_data();
  void refused();
  void connectWaitEnds_data();
  void connectWaitEnds();
  void stoppedAttemptTakesAnsweredListener();
  void sendWaitEnds_data();
  void sendWaitEnds();
};

void tst_StreamConnection::delivers_data() {
  QTest::addColumn<bool>("local");
  QTest::newRow("tcp") << false;
  QTest::newRow("local") << true;
}

void tst_StreamConnection::delivers() {
  QFETCH(bool, local);
  QTemporaryDir Folder;
  const QString Path = Folder.filePath(QStringLiteral("viewer.sock"));
  TListener Listener;
  QVERIFY(Listener.Listen(local, Path));
  TStreamConnection Connection = connectTo(local, Path, Listener.Port(), 10s);
  QVERIFY(Connection.IsOpen());
  QIODevice* Peer = Listener.Accept();
  QVERIFY(Peer);

  // More than any socket buffer takes at once, sent while the peer reads.
  QByteArray Data(8 << 20, '\0');
  for (qsizetype I = 0; I < Data.size(); ++I)
    Data[I] = char(I * 7 % 251);
  std::atomic<int> Sent{-1};
  std::thread Sender([&] { Sent = Connection.SendAll(Data, 10s, {}) ? 1 : 0; });
  QByteArray Received;
  QElapsedTimer Timer;
  Timer.start();
  while (Received.size() < Data.size() && Timer.elapsed() < 20000) {
    Peer->waitForReadyRead(100);
    Received += Peer->readAll();
  }
  Sender.join();
  QCOMPARE(Sent.load(), 1);
  QCOMPARE(Received.size(), Data.size());
  QVERIFY(Received == Data);

  // What the viewer says is no sign of its going.
  Peer->write("noise");
  QVERIFY(local ? static_cast<QLocalSocket*>(Peer)->waitForBytesWritten(1000)
                : static_cast<QTcpSocket*>(Peer)->waitForBytesWritten(1000));
  QVERIFY(!Connection.PeerClosed());
  closePeer(Peer);
  Timer.restart();
  bool Closed = false;
  while (!(Closed = Connection.PeerClosed()) && Timer.elapsed() < 5000)
    QTest::qWait(10);
  QVERIFY(Closed);
}

void tst_StreamConnection::refused_data() {
  QTest::addColumn<QString>("situation");
  QTest::newRow("tcp, nobody listens on the port") << QStringLiteral("closed port");
  QTest::newRow("local, nobody listens") << QStringLiteral("no listener");
  QTest::newRow("local, a folder others may write to") << QStringLiteral("shared folder");
  QTest::newRow("local, a path too long for a socket") << QStringLiteral("long path");
}

void tst_StreamConnection::refused() {
  QFETCH(QString, situation);
  QTemporaryDir Folder;
  QString Path = Folder.filePath(QStringLiteral("viewer.sock"));
  TListener Listener;
  if (situation == u"shared folder") {
    QVERIFY(QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                     QFile::ExeOwner | QFile::ReadGroup |
                                                     QFile::WriteGroup | QFile::ExeGroup));
    QVERIFY(Listener.Listen(true, Path));
  } else if (situation == u"long path") {
    Path = Folder.filePath(QString(200, u'v'));
  }
  QElapsedTimer Timer;
  Timer.start();
  const bool Local = situation != u"closed port";
  TStreamConnection Connection = connectTo(Local, Path, closedPort(), 10s);
  QVERIFY(!Connection.IsOpen());
  // Refused at once, not after the connect time.
  QVERIFY2(Timer.elapsed() < 2000, qPrintable(QString::number(Timer.elapsed())));
  QTest::qWait(50);
  QVERIFY(!Listener.HasPending());
}

void tst_StreamConnection::connectWaitEnds_data() {
  QTest::addColumn<int>("timeoutMs");
  QTest::addColumn<int>("stopAfterMs"); // -1: never
  QTest::addColumn<int>("atLeastMs");
  QTest::newRow("its time runs out") << 300 << -1 << 300;
  QTest::newRow("the caller stops") << 60000 << 200 << 200;
}

void tst_StreamConnection::connectWaitEnds() {
  QFETCH(int, timeoutMs);
  QFETCH(int, stopAfterMs);
  QFETCH(int, atLeastMs);
  TSilentListener Silent;
  QVERIFY(Silent.IsReady());
  QElapsedTimer Timer;
  Timer.start();
  int Asked = 0;
  TStreamConnection Connection = TStreamConnection::ConnectTcp(
      QStringLiteral("127.0.0.1"), Silent.Port(), std::chrono::milliseconds(timeoutMs), [&] {
        ++Asked;
        return stopAfterMs >= 0 && Timer.elapsed() >= stopAfterMs;
      });
  const qint64 Took = Timer.elapsed();
  QVERIFY(!Connection.IsOpen());
  QVERIFY2(Took >= atLeastMs && Took < atLeastMs + 2000, qPrintable(QString::number(Took)));
  // Asked between short slices, not once at the end.
  QVERIFY2(Asked >= atLeastMs / StreamConnectSlice.count() / 4, qPrintable(QString::number(Asked)));
}

// A short-lived program still reaches a viewer that answers at once: a stop
// only ends the waiting.
void tst_StreamConnection::stoppedAttemptTakesAnsweredListener() {
  TListener Listener;
  QVERIFY(Listener.Listen(false, {}));
  TStreamConnection Connection = TStreamConnection::ConnectTcp(
      QStringLiteral("127.0.0.1"), Listener.Port(), 10s, [] { return true; });
  QVERIFY(Connection.IsOpen());
  QVERIFY(Listener.Accept());
}

void tst_StreamConnection::sendWaitEnds_data() {
  QTest::addColumn<int>("timeoutMs");
  QTest::addColumn<int>("stopAfterMs"); // -1: never
  QTest::addColumn<int>("atLeastMs");
  QTest::newRow("its time runs out") << 300 << -1 << 300;
  QTest::newRow("the caller stops") << 60000 << 200 << 200;
}

void tst_StreamConnection::sendWaitEnds() {
  QFETCH(int, timeoutMs);
  QFETCH(int, stopAfterMs);
  QFETCH(int, atLeastMs);
  TListener Listener;
  QVERIFY(Listener.Listen(false, {}));
  TStreamConnection Connection = connectTo(false, {}, Listener.Port(), 10s);
  QVERIFY(Connection.IsOpen());
  // The viewer is connected but reads nothing.
  QVERIFY(Listener.Accept());
  const QByteArray Data(64 << 20, 'x');
  QElapsedTimer Timer;
  Timer.start();
  const bool Sent = Connection.SendAll(Data, std::chrono::milliseconds(timeoutMs), [&] {
    return stopAfterMs >= 0 && Timer.elapsed() >= stopAfterMs;
  });
  const qint64 Took = Timer.elapsed();
  QVERIFY(!Sent);
  QVERIFY2(Took >= atLeastMs && Took < atLeastMs + 2000, qPrintable(QString::number(Took)));
  QVERIFY(!Connection.PeerClosed());
}

KELVANE_TEST_MAIN(tst_StreamConnection)
#include "tst_StreamConnection.moc"
