// End to end: kelvane --print in a host of its own (UTS, network and mount
// namespaces made by the test) with a known host name, a veth address and a
// default route. Needs root; packets stay inside the test's namespace.

#include "support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

namespace {
// Builds the host and runs kelvane inside it; the environment names the
// logon server.
const char* const HostScript = R"(set -e
hostname kelvane-e2e
mount --make-rprivate /
mount -t sysfs sysfs /sys
ip link set lo up
ip link add veth0 type veth peer name veth1
ip addr add 10.200.0.2/24 dev veth0
ip link set veth0 up
ip link set veth1 up
ip route add default via 10.200.0.1
exec "$KELVANE" --print
)";

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
  void silentAddressTimesOut();
  void controlCharactersInValues();
};

void tst_GeneralInformation::initTestCase() {
  if (::geteuid() != 0)
    QSKIP("needs root to build a host in namespaces");
  for (const char* Tool : {"unshare", "ip", "hostname", "mount"})
    if (QStandardPaths::findExecutable(QLatin1String(Tool)).isEmpty())
      QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(Tool))));
}

void tst_GeneralInformation::hostOfItsOwn_data() {
  QTest::addColumn<QString>("logonServer"); // null: not set
  QTest::addColumn<QString>("connected");
  QTest::addColumn<QString>("logonLine");
  QTest::newRow("this host as logon server")
      << QString() << QStringLiteral("Yes") << QStringLiteral("kelvane-e2e");
  QTest::newRow("reachable by address")
      << QStringLiteral("\\\\10.200.0.2") << QStringLiteral("Yes") << QStringLiteral("10.200.0.2");
  QTest::newRow("unreachable logon server")
      << QStringLiteral("\\\\10.200.0.99") << QStringLiteral("No") << QStringLiteral("10.200.0.99");
  QTest::newRow("blank logon server")
      << QStringLiteral("\\\\ ") << QStringLiteral("No") << QStringLiteral("not available");
}

void tst_GeneralInformation::hostOfItsOwn() {
  QFETCH(QString, logonServer);
  QFETCH(QString, connected);
  QFETCH(QString, logonLine);
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("KELVANE"), QStringLiteral(KELVANE_EXECUTABLE));
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Env.remove(QStringLiteral("USERDOMAIN"));
  if (logonServer.isNull())
    Env.remove(QStringLiteral("LOGONSERVER"));
  else
    Env.insert(QStringLiteral("LOGONSERVER"), logonServer);
  Process.setProcessEnvironment(Env);
  Process.start(QStringLiteral("unshare"),
                {QStringLiteral("--uts"), QStringLiteral("--net"), QStringLiteral("--mount"),
                 QStringLiteral("sh"), QStringLiteral("-c"), QLatin1String(HostScript)});
  QVERIFY(Process.waitForFinished(30000));
  const QString Err = QString::fromUtf8(Process.readAllStandardError());
  if (Process.exitCode() != 0 && Err.contains(QLatin1String("Operation not permitted")))
    QSKIP(qPrintable(QStringLiteral("namespaces are not allowed here: ") + Err.trimmed()));
  QCOMPARE(Process.exitCode(), 0);
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

void tst_GeneralInformation::silentAddressTimesOut() {
  // 10.200.0.99 sits on the namespace's own link and nobody answers for it.
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("PROBE"), QStringLiteral(KELVANE_PING_PROBE));
  Process.setProcessEnvironment(Env);
  Process.start(
      QStringLiteral("unshare"),
      {QStringLiteral("--net"), QStringLiteral("sh"), QStringLiteral("-c"),
       QStringLiteral(
           "set -e; ip link set lo up; ip link add veth0 type veth peer name veth1; "
           "ip addr add 10.200.0.2/24 dev veth0; ip link set veth0 up; ip link set veth1 up; "
           "exec \"$PROBE\" 10.200.0.99")});
  QVERIFY(Process.waitForFinished(30000));
  QCOMPARE(Process.exitCode(), 0);
  const QStringList Result =
      QString::fromUtf8(Process.readAllStandardOutput()).trimmed().split(u' ');
  QCOMPARE(Result.size(), 2);
  QCOMPARE(Result[0], QStringLiteral("11010"));
  const int Elapsed = Result[1].toInt();
  QVERIFY2(Elapsed >= 900 && Elapsed < 3000, qPrintable(Result[1]));
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
                {QStringLiteral("--uts"), QStringLiteral("--net"), QStringLiteral("--mount"), QStringLiteral("sh"),
                 QStringLiteral("-c"), QStringLiteral(R"sh(set -e
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
                        QStringLiteral("\tComputer Name:\th\uFFFD]0;t\uFFFDx"), QStringLiteral("\tUser:\troot"),
                        QStringLiteral("\tDomain:\td\uFFFD\uFFFDIP Address:\uFFFD6.6.6.6"),
                        QStringLiteral("\tLogon Server:\tl\uFFFD[31m\uFFFD"),
                        QStringLiteral("\tOperating System:\tOS\uFFFDX\uFFFDY\uFFFD[2J"),
                        QStringLiteral("\tService Pack:\tnot available"), QStringLiteral("\tIP Address:\tnot available"),
                        QStringLiteral("\tNetwork connected:\tNo"), QString(), QString(),
                        QStringLiteral("Network Interface #1")}));
  QCOMPARE(Lines.at(12), QStringLiteral("\tDescription:\tc\uFFFDd\uFFFDe"));
}

KELVANE_TEST_MAIN(tst_GeneralInformation)
#include "tst_GeneralInformation.moc"
