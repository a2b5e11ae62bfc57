// End to end: kelvane --print in a host of its own (UTS, network and mount
// namespaces made by the test) with a known host name, a veth address and a
// default route; some rows put a second host, in a network namespace of its
// own, at the far end of the link. Needs root; packets stay inside the
// test's namespaces, which go with their last process.

#include "support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>
#include <utility>

namespace {
// Builds the host (10.200.0.2/24 on veth0, default route via 10.200.0.1) and
// runs its arguments inside it. PING_GROUPS is the namespace's
// ping_group_range: "1 0" leaves root only the raw socket, "0 0" allows it
// the unprivileged ICMP socket. Without FAR_COMMAND veth1 stays here and
// nobody has 10.200.0.1; with it, veth1 becomes 10.200.0.1 in a second
// network namespace where FAR_COMMAND runs (it prints a line once it is
// there) after FAR_SETUP; the far host goes when the script ends.
const char* const HostScript = R"(set -e
hostname kelvane-e2e
mount --make-rprivate /
mount -t sysfs sysfs /sys
ip link set lo up
echo "$PING_GROUPS" >/proc/sys/net/ipv4/ping_group_range
ip link add veth0 type veth peer name veth1
ip addr add 10.200.0.2/24 dev veth0
ip link set veth0 up
if [ -n "$FAR_COMMAND" ]; then
  coproc FAR { exec unshare --net sh -c "$FAR_COMMAND"; }
  trap 'kill "$FAR_PID" 2>/dev/null || true; wait' EXIT
  read -r -t 10 Ready <&"${FAR[0]}"
  ip link set veth1 netns "$FAR_PID"
  nsenter --net="/proc/$FAR_PID/ns/net" sh -c "set -e
ip link set lo up
ip addr add 10.200.0.1/24 dev veth1
ip link set veth1 up
$FAR_SETUP"
else
  ip link set veth1 up
fi
ip route add default via 10.200.0.1
"$@"
)";

// What the host at 10.200.0.1 does, by name.
struct TFarEnd {
  QString Command;
  QString Setup;
};

TFarEnd farEnd(const QString& AName) {
  const QString Waits = QStringLiteral("echo ready; exec sleep 30");
  if (AName == QLatin1String("answers"))
    return {Waits, {}};
  // Drops the echo itself and forges the answer from a neighbour's address.
  if (AName == QLatin1String("forges"))
    return {QStringLiteral("exec \"$PROBE\" --forge 10.200.0.66"),
            QStringLiteral("echo 1 >/proc/sys/net/ipv4/icmp_echo_ignore_all")};
  // Forwards with no route beyond the link: "network unreachable".
  if (AName == QLatin1String("routes"))
    return {Waits, QStringLiteral("echo 1 >/proc/sys/net/ipv4/ip_forward")};
  return {};
}

const QString NobodyPings = QStringLiteral("1 0");
const QString RootPings = QStringLiteral("0 0");

// Runs AArguments in a fresh host; false when it did not finish in time.
bool runInHost(QProcess& AProcess, const QStringList& AArguments, const QString& AFarEnd,
               const QString& APingGroups, const QProcessEnvironment& AEnv) {
  QProcessEnvironment Env = AEnv;
  const TFarEnd Far = farEnd(AFarEnd);
  Env.insert(QStringLiteral("PROBE"), QStringLiteral(KELVANE_PING_PROBE));
  Env.insert(QStringLiteral("PING_GROUPS"), APingGroups);
  Env.insert(QStringLiteral("FAR_COMMAND"), Far.Command);
  Env.insert(QStringLiteral("FAR_SETUP"), Far.Setup);
  AProcess.setProcessEnvironment(Env);
  AProcess.start(QStringLiteral("unshare"),
                 QStringList{QStringLiteral("--uts"), QStringLiteral("--net"),
                             QStringLiteral("--mount"), QStringLiteral("bash"),
                             QStringLiteral("-c"), QLatin1String(HostScript),
                             QStringLiteral("bash")} +
                     AArguments);
  if (AProcess.waitForFinished(30000))
    return true;
  AProcess.kill();
  AProcess.waitForFinished(5000);
  return false;
}

// Namespaces can be refused (a container without the rights); that is a
// reason to skip, not a failure.
bool namespacesRefused(QProcess& AProcess, QString& AReason) {
  AReason = QString::fromUtf8(AProcess.readAllStandardError()).trimmed();
  return AProcess.exitCode() != 0 && AReason.contains(QLatin1String("Operation not permitted"));
}

QString prettyName() {
  QFile File(QStringLiteral("/etc/os-release"));
  if (!File.open(QIODevice::ReadOnly))
    return {};
  const QRegularExpressionMatch Match =
      QRegularExpression(QStringLiteral("^PRETTY_NAME=\"?([^\"\\n]*)\"?$"),
                         QRegularExpression::MultilineOption)
          .match(QString::fromUtf8(File.readAll()));
  return Match.captured(1);
}
} // namespace

class tst_GeneralInformation : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void initTestCase();
  void hostOfItsOwn_data();
  void hostOfItsOwn();
  void echoStatus_data();
  void echoStatus();
  void controlCharactersInValues();
};

void tst_GeneralInformation::initTestCase() {
  if (::geteuid() != 0)
    QSKIP("needs root to build a host in namespaces");
  for (const char* Tool : {"unshare", "nsenter", "bash", "ip", "hostname", "mount"})
    if (QStandardPaths::findExecutable(QLatin1String(Tool)).isEmpty())
      QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(Tool))));
}

void tst_GeneralInformation::hostOfItsOwn_data() {
  QTest::addColumn<QString>("logonServer"); // null: not set
  QTest::addColumn<QString>("farEnd");
  QTest::addColumn<QString>("pingGroups");
  QTest::addColumn<QString>("connected");
  QTest::addColumn<QString>("logonLine");
  QTest::newRow("this host as logon server")
      << QString() << QString() << NobodyPings << QStringLiteral("Yes")
      << QStringLiteral("kelvane-e2e");
  QTest::newRow("reachable by address")
      << QStringLiteral("\\\\10.200.0.2") << QString() << NobodyPings << QStringLiteral("Yes")
      << QStringLiteral("10.200.0.2");
  QTest::newRow("unreachable logon server")
      << QStringLiteral("\\\\10.200.0.99") << QString() << NobodyPings << QStringLiteral("No")
      << QStringLiteral("10.200.0.99");
  QTest::newRow("blank logon server") << QStringLiteral("\\\\ ") << QString() << NobodyPings
                                      << QStringLiteral("No") << QStringLiteral("not available");
  // The logon server across the link, answering for itself or silent while
  // its neighbour's address answers in its place.
  for (const auto& [Socket, Groups] :
       {std::pair{"raw socket", NobodyPings}, std::pair{"ICMP socket", RootPings}}) {
    QTest::addRow("logon server answers, %s", Socket)
        << QStringLiteral("\\\\10.200.0.1") << QStringLiteral("answers") << Groups
        << QStringLiteral("Yes") << QStringLiteral("10.200.0.1");
    QTest::addRow("forged reply from another address, %s", Socket)
        << QStringLiteral("\\\\10.200.0.1") << QStringLiteral("forges") << Groups
        << QStringLiteral("No") << QStringLiteral("10.200.0.1");
  }
}

void tst_GeneralInformation::hostOfItsOwn() {
  QFETCH(QString, logonServer);
  QFETCH(QString, farEnd);
  QFETCH(QString, pingGroups);
  QFETCH(QString, connected);
  QFETCH(QString, logonLine);
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Env.remove(QStringLiteral("USERDOMAIN"));
  if (logonServer.isNull())
    Env.remove(QStringLiteral("LOGONSERVER"));
  else
    Env.insert(QStringLiteral("LOGONSERVER"), logonServer);
  QVERIFY(runInHost(Process, {QStringLiteral(KELVANE_EXECUTABLE), QStringLiteral("--print")},
                    farEnd, pingGroups, Env));
  QString Err;
  if (namespacesRefused(Process, Err))
    QSKIP(qPrintable(QStringLiteral("namespaces are not allowed here: ") + Err));
  QVERIFY2(Process.exitCode() == 0, qPrintable(Err));
  const QStringList Lines = QString::fromUtf8(Process.readAllStandardOutput()).split(u'\n');
  QCOMPARE(Lines.mid(0, 9),
           (QStringList{QStringLiteral("General Information"),
                        QStringLiteral("\tComputer Name:\tkelvane-e2e"),
                        QStringLiteral("\tUser:\troot"), QStringLiteral("\tDomain:\tkelvane-e2e"),
                        QStringLiteral("\tLogon Server:\t") + logonLine,
                        QStringLiteral("\tOperating System:\t") + prettyName(),
                        QStringLiteral("\tService Pack:\tnot available"),
                        QStringLiteral("\tIP Address:\t10.200.0.2"),
                        QStringLiteral("\tNetwork connected:\t") + connected}));
}

void tst_GeneralInformation::echoStatus_data() {
  QTest::addColumn<QString>("farEnd");
  QTest::addColumn<QString>("pingGroups");
  QTest::addColumn<QString>("address");
  QTest::addColumn<QString>("status");
  // Nobody answers for an address on the host's own link.
  QTest::newRow("silent address on the link")
      << QString() << NobodyPings << QStringLiteral("10.200.0.99") << QStringLiteral("11010");
  // The router's error names our echo though it comes from another address.
  QTest::newRow("router without a route, raw socket")
      << QStringLiteral("routes") << NobodyPings << QStringLiteral("10.201.0.5")
      << QStringLiteral("11002");
  QTest::newRow("router without a route, ICMP socket")
      << QStringLiteral("routes") << RootPings << QStringLiteral("10.201.0.5")
      << QStringLiteral("11002");
}

void tst_GeneralInformation::echoStatus() {
  QFETCH(QString, farEnd);
  QFETCH(QString, pingGroups);
  QFETCH(QString, address);
  QFETCH(QString, status);
  QProcess Process;
  QVERIFY(runInHost(Process, {QStringLiteral(KELVANE_PING_PROBE), address}, farEnd, pingGroups,
                    QProcessEnvironment::systemEnvironment()));
  QString Err;
  if (namespacesRefused(Process, Err))
    QSKIP(qPrintable(QStringLiteral("namespaces are not allowed here: ") + Err));
  QVERIFY2(Process.exitCode() == 0, qPrintable(Err));
  const QStringList Result =
      QString::fromUtf8(Process.readAllStandardOutput()).trimmed().split(u' ');
  QCOMPARE(Result.size(), 2);
  QCOMPARE(Result[0], status);
  // A timeout takes the whole second; nothing takes much longer.
  const int Elapsed = Result[1].toInt();
  QVERIFY2(Elapsed < 3000, qPrintable(Result[1]));
  if (status == QLatin1String("11010"))
    QVERIFY2(Elapsed >= 900, qPrintable(Result[1]));
}

// Every source of a value may hold control characters: the environment, the
// host name, os-release and interface names. None may add, split or colour
// a line of --print.
void tst_GeneralInformation::controlCharactersInValues() {
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("KELVANE"), QStringLiteral(KELVANE_EXECUTABLE));
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Env.insert(QStringLiteral("USERDOMAIN"), QStringLiteral("d\n\tIP Address:\t6.6.6.6"));
  Env.insert(QStringLiteral("LOGONSERVER"), QStringLiteral("\\\\l\x1b[31m\r"));
  Process.setProcessEnvironment(Env);
  Process.start(QStringLiteral("unshare"),
                {QStringLiteral("--uts"), QStringLiteral("--net"), QStringLiteral("--mount"),
                 QStringLiteral("sh"), QStringLiteral("-c"), QStringLiteral(R"sh(set -e
printf 'h\033]0;t\007x' > /proc/sys/kernel/hostname
mount --make-rprivate /
mount -t sysfs sysfs /sys
Dir=$(mktemp -d)
trap 'umount /etc/os-release 2>/dev/null; rm -r "$Dir"' EXIT
export temp="$Dir"
printf 'PRETTY_NAME="OS\tX\302\205Y\033[2J"\n' > "$Dir/os-release"
mount --bind "$Dir/os-release" /etc/os-release
ip link set lo up
ip link add "$(printf 'c\001d\177e')" type bridge
"$KELVANE" --print
)sh")});
  QVERIFY(Process.waitForFinished(30000));
  const QByteArray Out = Process.readAllStandardOutput();
  QVERIFY2(Process.exitCode() == 0, Process.readAllStandardError().constData());
  for (const char Control : {'\x1b', '\r', '\x07', '\x01'})
    QVERIFY2(!Out.contains(Control), Out.constData());
  QVERIFY(!Out.contains("\xc2\x85"));
  const QStringList Lines = QString::fromUtf8(Out).split(u'\n');
  // Caption, eight lines, two empty lines; then the bridge's group.
  QCOMPARE(Lines.mid(0, 12),
           (QStringList{QStringLiteral("General Information"),
                        QStringLiteral("\tComputer Name:\th\uFFFD]0;t\uFFFDx"),
                        QStringLiteral("\tUser:\troot"),
                        QStringLiteral("\tDomain:\td\uFFFD\uFFFDIP Address:\uFFFD6.6.6.6"),
                        QStringLiteral("\tLogon Server:\tl\uFFFD[31m\uFFFD"),
                        QStringLiteral("\tOperating System:\tOS\uFFFDX\uFFFDY\uFFFD[2J"),
                        QStringLiteral("\tService Pack:\tnot available"),
                        QStringLiteral("\tIP Address:\tnot available"),
                        QStringLiteral("\tNetwork connected:\tNo"), QString(), QString(),
                        QStringLiteral("Network Interface #1")}));
  QCOMPARE(Lines.at(12), QStringLiteral("\tDescription:\tc\uFFFDd\uFFFDe"));
}

KELVANE_TEST_MAIN(tst_GeneralInformation)
#include "tst_GeneralInformation.moc"
