// The sockets port on Windows Sockets: starts and stops as the system counts
// them, the host's own name, look-ups of names that resolve (or fail)
// without leaving the machine, and, through a resolver that stands in for
// the system's, look-ups that hang: the caller's bound, one worker per name,
// and no more than MaxPendingLookups of them.

#include "support/TestMain.h"

#include "platform/windows/WindowsHelpers.h"
#include "platform/windows/WindowsSockets.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <mutex>

#undef WSAAddressToString

namespace {

constexpr std::uint32_t Loopback = 0x7F000001;

using TAddresses = std::vector<std::uint32_t>;

// The name as gethostbyname takes it: in the ANSI code page.
QByteArray ansi(const QString& AName) {
  const auto* Text = reinterpret_cast<const wchar_t*>(AName.utf16());
  const int Size =
      ::WideCharToMultiByte(CP_ACP, 0, Text, int(AName.size()), nullptr, 0, nullptr, nullptr);
  QByteArray Bytes(Size, '\0');
  ::WideCharToMultiByte(CP_ACP, 0, Text, int(AName.size()), Bytes.data(), Size, nullptr, nullptr);
  return Bytes;
}

// A resolver that answers only when the test opens the gate (or after a
// long bound, so that a failing test still ends).
struct TGate {
  std::mutex Lock;
  std::condition_variable Opened;
  bool Open = false;
  std::atomic<int> Calls{0};

  void Release() {
    std::lock_guard Guard(Lock);
    Open = true;
    Opened.notify_all();
  }
};

} // namespace

Q_DECLARE_METATYPE(TAddresses)

class tst_WindowsSockets : public QObject {
  Q_OBJECT

private Q_SLOTS:
  // Runs first, while no worker holds a start of its own. Qt Core starts
  // the sockets layer once as it loads: the count begins with that start
  // taken away, and it is given back at the end.
  void startsAndCleanupsAreCounted() {
    int Earlier = 0;
    while (Earlier < 10 && ::WSACleanup() == 0)
      ++Earlier;
    const auto GiveBack = qScopeGuard([Earlier] {
      WSADATA Data;
      for (int Start = 0; Start < Earlier; ++Start)
        ::WSAStartup(MAKEWORD(2, 2), &Data);
    });
    WindowsSockets Sockets;
    QCOMPARE(Sockets.WSACleanup(), SOCKET_ERROR);
    QCOMPARE(Sockets.WSAGetLastError(), int(WSANOTINITIALISED));
    QVERIFY(Sockets.GetHostByName(QStringLiteral("localhost"), 2000).empty());
    QCOMPARE(Sockets.WSAGetLastError(), int(WSANOTINITIALISED));

    QCOMPARE(Sockets.WSAStartup(0x0101), 0);
    QCOMPARE(Sockets.WSAStartup(0x0202), 0);
    QCOMPARE(Sockets.WSACleanup(), 0);
    // One start is left: look-ups still work.
    QCOMPARE(Sockets.GetHostByName(QStringLiteral("localhost"), 5000).front(), Loopback);
    QCOMPARE(Sockets.WSACleanup(), 0);
    QCOMPARE(Sockets.WSACleanup(), SOCKET_ERROR);
    QCOMPARE(Sockets.WSAGetLastError(), int(WSANOTINITIALISED));
  }

  void startVersions_data() {
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("version");
    QTest::newRow("1.1") << 0x0101 << 0 << 0x0101;
    QTest::newRow("2.2") << 0x0202 << 0 << 0x0202;
    QTest::newRow("3.3, newer than the system's") << 0x0303 << 0 << 0x0202;
    QTest::newRow("0.0") << 0x0000 << int(WSAVERNOTSUPPORTED) << -1;
  }

  void startVersions() {
    QFETCH(int, requested);
    QFETCH(int, result);
    QFETCH(int, version);
    WindowsSockets Sockets;
    TWsaData Data;
    QCOMPARE(Sockets.WSAStartup(std::uint16_t(requested), &Data), result);
    if (result != 0)
      return;
    Sockets.WSACleanup();
    QCOMPARE(int(Data.Version), version);
    QCOMPARE(int(Data.HighVersion), 0x0202);
    QVERIFY(!Data.Description.isEmpty());
    QVERIFY(!Data.SystemStatus.isEmpty());
  }

  void hostName() {
    WindowsSockets Sockets;
    QCOMPARE(Sockets.WSAStartup(0x0101), 0);
    const auto Cleanup = qScopeGuard([&] { Sockets.WSACleanup(); });
    QString Name;
    QCOMPARE(Sockets.GetHostName(Name), 0);
    char Ansi[256] = {};
    QCOMPARE(::gethostname(Ansi, sizeof Ansi), 0);
    QCOMPARE(Name, QString::fromLocal8Bit(Ansi));
    QVERIFY(!Name.isEmpty());

    const TAddresses Own = Sockets.GetHostByName(Name);
    QVERIFY(!Own.empty());
    QCOMPARE(Sockets.WSAGetLastError(), 0);
    for (const std::uint32_t Address : Own)
      QVERIFY(Address != 0);
  }

  // Names that resolve or fail here, without a query leaving the machine:
  // the hosts file's name, a name with an empty label, one longer than DNS
  // allows.
  void lookUps_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("first");
    QTest::newRow("localhost") << QStringLiteral("localhost") << uint(Loopback);
    QTest::newRow("empty label") << QStringLiteral("a..b") << 0u;
    QTest::newRow("longer than a DNS name") << QString(300, u'a') << 0u;
  }

  void lookUps() {
    QFETCH(QString, name);
    QFETCH(uint, first);
    WindowsSockets Sockets;
    QCOMPARE(Sockets.WSAStartup(0x0101), 0);
    const auto Cleanup = qScopeGuard([&] { Sockets.WSACleanup(); });
    constexpr int Bound = 3000;
    QElapsedTimer Timer;
    Timer.start();
    const TAddresses Addresses = Sockets.GetHostByName(name, Bound);
    QVERIFY2(Timer.elapsed() < Bound + 1000, qPrintable(QString::number(Timer.elapsed())));
    const int Error = Sockets.WSAGetLastError();
    if (first != 0) {
      QVERIFY(!Addresses.empty());
      QCOMPARE(Addresses.front(), std::uint32_t(first));
      QCOMPARE(Error, 0);
    } else {
      QVERIFY(Addresses.empty());
      QVERIFY2(Error == int(WSAHOST_NOT_FOUND) || Error == int(WSANO_DATA) ||
                   Error == int(WSANO_RECOVERY),
               qPrintable(QString::number(Error)));
    }
  }

  // The resolver's answer as it gave it: addresses in its order, its error,
  // and the name in the ANSI code page.
  void resolverAnswers_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<TAddresses>("addresses");
    QTest::addColumn<int>("error");
    QTest::newRow("two addresses")
        << QStringLiteral("server.test") << TAddresses{0xC0A80102, 0x0A000001} << 0;
    QTest::newRow("not found") << QStringLiteral("missing.test") << TAddresses{}
                               << int(WSAHOST_NOT_FOUND);
    QTest::newRow("no address") << QStringLiteral("mail-only.test") << TAddresses{}
                                << int(WSANO_DATA);
    QTest::newRow("non-ASCII name") << QStringLiteral("Grüße.test") << TAddresses{0x0A000002} << 0;
  }

  void resolverAnswers() {
    QFETCH(QString, name);
    QFETCH(TAddresses, addresses);
    QFETCH(int, error);
    std::mutex Lock;
    QByteArray Asked;
    WindowsSockets Sockets([&](const QByteArray& AName) {
      std::lock_guard Guard(Lock);
      Asked = AName;
      return WindowsSockets::TResolution{addresses, error};
    });
    QCOMPARE(Sockets.WSAStartup(0x0202), 0);
    const auto Cleanup = qScopeGuard([&] { Sockets.WSACleanup(); });
    QCOMPARE(Sockets.GetHostByName(name, 5000), addresses);
    QCOMPARE(Sockets.WSAGetLastError(), error);
    std::lock_guard Guard(Lock);
    QCOMPARE(Asked, ansi(name));
  }

  // A look-up that hangs holds its caller for the bound only; the callers
  // after it share its worker, and once MaxPendingLookups names hang the
  // next one is refused at once. When they answer, look-ups go on.
  void hangingLookUpsAreBounded() {
    const auto Gate = std::make_shared<TGate>();
    WindowsSockets Sockets([Gate](const QByteArray&) {
      ++Gate->Calls;
      std::unique_lock Guard(Gate->Lock);
      Gate->Opened.wait_for(Guard, std::chrono::seconds(60), [&] { return Gate->Open; });
      return WindowsSockets::TResolution{{Loopback}, 0};
    });
    QCOMPARE(Sockets.WSAStartup(0x0202), 0);
    const auto Finish = qScopeGuard([&] {
      Gate->Release();
      QTRY_COMPARE_WITH_TIMEOUT(Sockets.PendingLookups(), 0, 10000);
      Sockets.WSACleanup();
    });

    QElapsedTimer Timer;
    Timer.start();
    QVERIFY(Sockets.GetHostByName(QStringLiteral("hanging.test"), 300).empty());
    QCOMPARE(Sockets.WSAGetLastError(), int(WSATRY_AGAIN));
    QVERIFY2(Timer.elapsed() >= 250 && Timer.elapsed() < 3000,
             qPrintable(QString::number(Timer.elapsed())));
    QCOMPARE(Sockets.PendingLookups(), 1);

    QVERIFY(Sockets.GetHostByName(QStringLiteral("hanging.test"), 50).empty());
    QCOMPARE(Sockets.PendingLookups(), 1);
    QCOMPARE(Gate->Calls.load(), 1);

    for (int Other = 1; Other < WindowsSockets::MaxPendingLookups; ++Other)
      QVERIFY(Sockets.GetHostByName(QStringLiteral("other%1.test").arg(Other), 20).empty());
    QCOMPARE(Sockets.PendingLookups(), WindowsSockets::MaxPendingLookups);
    QTRY_COMPARE_WITH_TIMEOUT(Gate->Calls.load(), WindowsSockets::MaxPendingLookups, 5000);

    Timer.restart();
    QVERIFY(Sockets.GetHostByName(QStringLiteral("one-more.test"), 5000).empty());
    QCOMPARE(Sockets.WSAGetLastError(), int(WSATRY_AGAIN));
    QVERIFY2(Timer.elapsed() < 1000, qPrintable(QString::number(Timer.elapsed())));
    QCOMPARE(Gate->Calls.load(), WindowsSockets::MaxPendingLookups);

    Gate->Release();
    QTRY_COMPARE_WITH_TIMEOUT(Sockets.PendingLookups(), 0, 10000);
    QCOMPARE(Sockets.GetHostByName(QStringLiteral("hanging.test"), 5000), TAddresses{Loopback});
    QCOMPARE(Sockets.WSAGetLastError(), 0);
  }

  // The shared formatter's refusals reach the caller as the thread's error.
  void addressTextErrors_data() {
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("error");
    QTest::newRow("IPv4 of three bytes")
        << int(WSA_AF_INET) << QByteArray(3, '\1') << int(WSAEFAULT);
    QTest::newRow("IPv6 of four bytes")
        << int(WSA_AF_INET6) << QByteArray(4, '\1') << int(WSAEFAULT);
    QTest::newRow("unknown family") << 99 << QByteArray(4, '\1') << int(WSAEINVAL);
  }

  void addressTextErrors() {
    QFETCH(int, family);
    QFETCH(QByteArray, bytes);
    QFETCH(int, error);
    WindowsSockets Sockets;
    ::WSASetLastError(0);
    QString Text = QStringLiteral("unchanged");
    QCOMPARE(Sockets.WSAAddressToString({std::uint16_t(family), bytes, 0, 0}, Text), SOCKET_ERROR);
    QCOMPARE(Sockets.WSAGetLastError(), error);
    QCOMPARE(Text, QStringLiteral("unchanged"));
  }
};

KELVANE_TEST_MAIN(tst_WindowsSockets)
#include "tst_WindowsSockets.moc"
