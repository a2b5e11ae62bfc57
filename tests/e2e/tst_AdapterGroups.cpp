// End to end: the adapter groups of `kelvane --print` for hosts built in
// network and mount namespaces of the test's own, and the working file the
// program leaves in its temporary folder. Needs root; nothing leaves the
// namespaces.

#include "support/TestMain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <algorithm>

namespace {
// Common start of every host: private mounts, fresh sysfs (unless the
// host's is kept: the marker line goes), no duplicate detection, its own
// resolv.conf.
const QString OwnSysfs = QStringLiteral("mount -t sysfs sysfs /sys\n");
const QString Prologue = QStringLiteral(R"(set -e
mount --make-rprivate /
mount -t sysfs sysfs /sys
echo 0 > /proc/sys/net/ipv6/conf/default/accept_dad
echo 0 > /proc/sys/net/ipv6/conf/all/accept_dad
ip link set lo up
printf 'nameserver 10.202.0.53\n' > "$TEMPDIR/resolv.conf"
mount --bind "$TEMPDIR/resolv.conf" /etc/resolv.conf
)");

struct TRun {
  int ExitCode = -1;
  QString Output;
  QString Errors;
};

TRun run(const QString& AHost, const QString& ATemp, bool AOwnSysfs = true) {
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("KELVANE"), QStringLiteral(KELVANE_EXECUTABLE));
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Env.insert(QStringLiteral("TEMPDIR"), ATemp);
  Env.insert(QStringLiteral("temp"), ATemp);
  Process.setProcessEnvironment(Env);
  Process.start(QStringLiteral("unshare"),
                {QStringLiteral("--net"), QStringLiteral("--mount"), QStringLiteral("sh"),
                 QStringLiteral("-c"),
                 QString(Prologue).replace(OwnSysfs, AOwnSysfs ? OwnSysfs : QString()) + AHost +
                     QStringLiteral("\nexec \"$KELVANE\" --print\n")});
  Process.waitForFinished(60000);
  return {Process.exitCode(), QString::fromUtf8(Process.readAllStandardOutput()),
          QString::fromUtf8(Process.readAllStandardError())};
}

// The devices a kernel puts into every namespace once a tunnel module is
// loaded (by any earlier test on that machine): real links, but not of the
// host a row builds.
const QStringList FallbackTunnels{
    QStringLiteral("tunl0"),   QStringLiteral("sit0"),     QStringLiteral("ip6tnl0"),
    QStringLiteral("gre0"),    QStringLiteral("gretap0"),  QStringLiteral("erspan0"),
    QStringLiteral("ip_vti0"), QStringLiteral("ip6_vti0"), QStringLiteral("ip6gre0")};

// The adapter groups of a --print text: caption → lines "Caption:\tvalue",
// the kernel's fallback tunnels left out.
QMap<QString, QStringList> adapterGroups(const QString& AOutput) {
  QMap<QString, QStringList> Groups;
  QString Current;
  for (const QString& Line : AOutput.split(u'\n')) {
    if (Line.startsWith(QLatin1String("Network Interface #")))
      Current = Line;
    else if (Line.isEmpty())
      Current.clear();
    else if (!Current.isEmpty())
      Groups[Current] << Line.trimmed();
  }
  for (auto It = Groups.begin(); It != Groups.end();) {
    const bool Fallback =
        std::any_of(FallbackTunnels.begin(), FallbackTunnels.end(), [&](const QString& AName) {
          return It->contains(QStringLiteral("Description:\t") + AName);
        });
    It = Fallback ? Groups.erase(It) : std::next(It);
  }
  return Groups;
}

// The adapter records of the working file the run left, the kernel's
// fallback tunnels left out; -1 without one.
qsizetype workingFileRecords(const QTemporaryDir& ATemp) {
  QFile Working(ATemp.filePath(QStringLiteral("NetworkAdapters.xml")));
  if (!Working.open(QIODevice::ReadOnly))
    return -1;
  const QByteArray Text = Working.readAll();
  qsizetype Records = Text.count("<TNetworkAdapterData>");
  for (const QString& Name : FallbackTunnels)
    Records -= Text.count("<Name>" + Name.toUtf8() + "</Name>");
  return Records;
}

QString line(const QStringList& AGroup, const QString& ACaption) {
  for (const QString& Line : AGroup)
    if (Line.startsWith(ACaption + u':'))
      return Line.section(u'\t', 1);
  return QStringLiteral("(missing)");
}
} // namespace

class tst_AdapterGroups : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void initTestCase();
  void noAdapter();
  void oneBridge();
  void threeLinks();
  void plantedLink();
  void hostSysfsKept();
  void snapshotReplayed();
  void unusableTemporaryFolder_data();
  void unusableTemporaryFolder();
  void concurrentStarts();
  void unusualNames();
  void fiveHundredLinks();
  void hosts_data();
  void hosts();
};

void tst_AdapterGroups::initTestCase() {
  if (::geteuid() != 0)
    QSKIP("needs root to build a host in namespaces");
  for (const char* Tool : {"unshare", "ip", "mount"})
    if (QStandardPaths::findExecutable(QLatin1String(Tool)).isEmpty())
      QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(Tool))));
}

void tst_AdapterGroups::noAdapter() {
  QTemporaryDir Temp;
  const TRun Run = run(QString(), Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  QVERIFY(Run.Output.startsWith(QLatin1String("General Information\n")));
  QVERIFY(adapterGroups(Run.Output).isEmpty()); // loopback is no adapter
  QVERIFY(QFileInfo(Temp.filePath(QStringLiteral("NetworkAdapters.xml"))).isFile());
}

void tst_AdapterGroups::oneBridge() {
  QTemporaryDir Temp;
  const TRun Run = run(QStringLiteral(R"(ip link add br0 type bridge
ip addr add 10.202.0.2/24 dev br0
ip -6 addr add 2001:db8:2::2/64 dev br0 nodad
ip link set br0 up
ip route add default via 10.202.0.1
ip -6 route add default via 2001:db8:2::1 dev br0
cp /sys/class/net/br0/address "$TEMPDIR/mac")"),
                       Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  const QMap<QString, QStringList> Groups = adapterGroups(Run.Output);
  QCOMPARE(Groups.keys(), QStringList{QStringLiteral("Network Interface #1")});
  const QStringList Group = Groups.first();
  QFile Mac(Temp.filePath(QStringLiteral("mac")));
  QVERIFY(Mac.open(QIODevice::ReadOnly));
  QCOMPARE(line(Group, QStringLiteral("Description")), QStringLiteral("br0"));
  QCOMPARE(line(Group, QStringLiteral("IPv4 Address")), QStringLiteral("10.202.0.2"));
  QCOMPARE(line(Group, QStringLiteral("Subnet Mask")), QStringLiteral("255.255.255.0"));
  QCOMPARE(line(Group, QStringLiteral("Default Gateway")), QStringLiteral("10.202.0.1"));
  QCOMPARE(line(Group, QStringLiteral("DNS Server")), QStringLiteral("10.202.0.53"));
  QCOMPARE(line(Group, QStringLiteral("MAC Address")),
           QString::fromLatin1(Mac.readAll().trimmed().toUpper()));
  QVERIFY2(line(Group, QStringLiteral("IPv6 Address"))
               .startsWith(QLatin1String("2001:db8:2::2; fe80::")),
           qPrintable(line(Group, QStringLiteral("IPv6 Address"))));
}

void tst_AdapterGroups::threeLinks() {
  QTemporaryDir Temp;
  const TRun Run = run(QStringLiteral(R"(ip link add veth0 type veth peer name veth1
ip addr add 10.203.0.2/24 dev veth0
ip link set veth0 up
ip link set veth1 up
ip route add default via 10.203.0.1
ip link add br0 type bridge)"),
                       Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  const QMap<QString, QStringList> Groups = adapterGroups(Run.Output);
  QCOMPARE(Groups.size(), 3);
  QStringList Names;
  for (const QStringList& Group : Groups)
    Names << line(Group, QStringLiteral("Description"));
  Names.sort();
  QCOMPARE(Names,
           (QStringList{QStringLiteral("br0"), QStringLiteral("veth0"), QStringLiteral("veth1")}));
  for (const QStringList& Group : Groups)
    if (line(Group, QStringLiteral("Description")) == u"veth1")
      QCOMPARE(line(Group, QStringLiteral("Default Gateway")), QStringLiteral("not available"));
  // The working file holds the same records.
  QCOMPARE(workingFileRecords(Temp), 3);
}

// A namespace made without remounting /sys sees the host's interfaces
// there: the program shows the namespace's own links, each with its own
// hardware address, and nothing of the host's.
void tst_AdapterGroups::hostSysfsKept() {
  QTemporaryDir Temp;
  const TRun Run = run(QStringLiteral(R"(ip link add kvns0 type veth peer name kvns1
ip addr add 10.204.0.2/24 dev kvns0
ip link set kvns0 up
ip link set kvns1 up
ip -br link show kvns0 | awk '{print $3}' > "$TEMPDIR/mac")"),
                       Temp.path(), false);
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  QStringList Names;
  QString Mac;
  for (const QStringList& Group : adapterGroups(Run.Output)) {
    Names << line(Group, QStringLiteral("Description"));
    if (Names.last() == u"kvns0") {
      Mac = line(Group, QStringLiteral("MAC Address"));
      QCOMPARE(line(Group, QStringLiteral("IPv4 Address")), QStringLiteral("10.204.0.2"));
    }
  }
  Names.sort();
  QCOMPARE(Names, (QStringList{QStringLiteral("kvns0"), QStringLiteral("kvns1")}));
  QFile Expected(Temp.filePath(QStringLiteral("mac")));
  QVERIFY(Expected.open(QIODevice::ReadOnly));
  QCOMPARE(Mac, QString::fromLatin1(Expected.readAll().trimmed().toUpper()));
}

// A machine saved in its namespace and shown elsewhere from the file gives
// the very text it gave live.
void tst_AdapterGroups::snapshotReplayed() {
  QTemporaryDir Temp;
  const TRun Live = run(QStringLiteral(R"(ip link add kvr0 type veth peer name kvr1
ip addr add 10.205.0.2/24 dev kvr0
ip -6 addr add 2001:db8:5::2/64 dev kvr0 nodad
ip link set kvr0 up
ip link set kvr1 up
ip route add default via 10.205.0.1
ip -6 route add default via 2001:db8:5::1 dev kvr0
ip link add br0 type bridge
ip tuntap add dev tap0 mode tap
"$KELVANE" --save-snapshot "$TEMPDIR/machine.json")"),
                        Temp.path());
  QVERIFY2(Live.ExitCode == 0, qPrintable(Live.Errors));
  QProcess Replay;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Env.insert(QStringLiteral("temp"), Temp.path());
  Replay.setProcessEnvironment(Env);
  Replay.start(QStringLiteral(KELVANE_EXECUTABLE),
               {QStringLiteral("--snapshot"), Temp.filePath(QStringLiteral("machine.json")),
                QStringLiteral("--print")});
  QVERIFY(Replay.waitForFinished(60000));
  QCOMPARE(Replay.exitCode(), 0);
  QCOMPARE(QString::fromUtf8(Replay.readAllStandardOutput()), Live.Output);
}

void tst_AdapterGroups::plantedLink() {
  QTemporaryDir Temp;
  const QString Victim = Temp.filePath(QStringLiteral("victim"));
  QFile File(Victim);
  QVERIFY(File.open(QIODevice::WriteOnly) && File.write("precious") == 8);
  File.close();
  QVERIFY(QFile::link(Victim, Temp.filePath(QStringLiteral("NetworkAdapters.xml"))));
  const TRun Run = run(QStringLiteral("ip link add br0 type bridge"), Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  QCOMPARE(adapterGroups(Run.Output).size(), 1);
  QVERIFY(!QFileInfo(Temp.filePath(QStringLiteral("NetworkAdapters.xml"))).isSymLink());
  QFile Untouched(Victim);
  QVERIFY(Untouched.open(QIODevice::ReadOnly));
  QCOMPARE(Untouched.readAll(), QByteArray("precious"));
}

void tst_AdapterGroups::unusableTemporaryFolder_data() {
  QTest::addColumn<QString>("setUp"); // makes $temp unusable
  QTest::addColumn<QString>("reason");
  QTest::newRow("a folder the system keeps read-only")
      << QStringLiteral("export temp=/proc/sys")
      << QStringLiteral("/proc/sys/NetworkAdapters.xml: cannot be locked: ");
  QTest::newRow("a read-only mount")
      << QStringLiteral(
             "mkdir \"$TEMPDIR/ro\"; mount -t tmpfs -o ro,mode=0700 tmpfs \"$TEMPDIR/ro\"; "
             "export temp=\"$TEMPDIR/ro\"")
      << QStringLiteral("/ro/NetworkAdapters.xml: cannot be locked: Read-only file system");
  // Shared, so a private folder would go below it, but none can be made.
  QTest::newRow("a shared read-only mount")
      << QStringLiteral(
             "mkdir \"$TEMPDIR/ro\"; mount -t tmpfs -o ro,mode=1777 tmpfs \"$TEMPDIR/ro\"; "
             "export temp=\"$TEMPDIR/ro\"")
      << QStringLiteral("no temporary folder could be had for the working file");
  QTest::newRow("a full disk")
      << QStringLiteral("mkdir \"$TEMPDIR/full\"; mount -t tmpfs -o size=8k,mode=0700 tmpfs "
                        "\"$TEMPDIR/full\"; "
                        "head -c 1m /dev/zero > \"$TEMPDIR/full/filler\" 2>/dev/null || true; "
                        "export temp=\"$TEMPDIR/full\"")
      << QStringLiteral("/full/NetworkAdapters.xml: cannot be written: No space left on device");
  QTest::newRow("a folder named like the working file")
      << QStringLiteral("mkdir \"$TEMPDIR/NetworkAdapters.xml\"; export temp=\"$TEMPDIR\"")
      << QStringLiteral("/NetworkAdapters.xml: cannot be written: Is a directory");
}

// A temporary folder that cannot take the working file: the general group
// as before, exit code 0, and one line on standard error naming the path
// and the reason.
void tst_AdapterGroups::unusableTemporaryFolder() {
  QFETCH(QString, setUp);
  QFETCH(QString, reason);
  QTemporaryDir Temp;
  const TRun Run = run(QStringLiteral("ip link add br0 type bridge\n") + setUp, Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  QVERIFY(Run.Output.startsWith(QLatin1String("General Information\n")));
  QVERIFY(adapterGroups(Run.Output).isEmpty());
  QVERIFY2(Run.Errors.startsWith(QLatin1String("kelvane: no adapter groups: ")) &&
               Run.Errors.contains(reason) && Run.Errors.count(u'\n') == 1,
           qPrintable(Run.Errors));
}

// Ten starts at once in one temporary folder: each prints exactly what a
// start alone prints. Without turns, one start replaced the working file
// between another's scan, WMI completion and read-back, and IPv6 lists
// came out doubled or missing.
void tst_AdapterGroups::concurrentStarts() {
  QTemporaryDir Temp;
  const TRun Run = run(QStringLiteral(R"(
for i in 1 2 3 4; do
  ip link add br$i type bridge
  ip addr add 10.30.$i.1/24 dev br$i
  ip -6 addr add fd00:$i::1/64 dev br$i nodad
  ip -6 addr add fd00:$i::2/64 dev br$i nodad
  ip link set br$i up
done
"$KELVANE" --print > "$TEMPDIR/alone.txt"
for round in 1 2 3 4 5 6 7 8 9 10; do
  for i in 0 1 2 3 4 5 6 7 8 9; do
    "$KELVANE" --print > "$TEMPDIR/out.$round.$i" 2>> "$TEMPDIR/errors.txt" &
  done
  wait
done)"),
                       Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  QFile AloneFile(Temp.filePath(QStringLiteral("alone.txt")));
  QVERIFY(AloneFile.open(QIODevice::ReadOnly));
  const QByteArray Alone = AloneFile.readAll();
  QCOMPARE(adapterGroups(QString::fromUtf8(Alone)).size(), 4);
  QVERIFY2(Alone.contains("fd00:1::2; fd00:1::1; fe80::"), Alone.constData());
  int Differing = 0;
  QString First;
  for (int Round = 1; Round <= 10; ++Round)
    for (int I = 0; I < 10; ++I) {
      QFile Out(Temp.filePath(QStringLiteral("out.%1.%2").arg(Round).arg(I)));
      QVERIFY(Out.open(QIODevice::ReadOnly));
      const QByteArray Text = Out.readAll();
      if (Text != Alone && Differing++ == 0)
        First = QString::fromUtf8(Text);
    }
  QFile Errors(Temp.filePath(QStringLiteral("errors.txt")));
  QVERIFY(Errors.open(QIODevice::ReadOnly));
  QCOMPARE(Errors.readAll(), QByteArray());
  QVERIFY2(Differing == 0, qPrintable(QStringLiteral("%1 of 100 differ, e.g.:\n%2\nalone:\n%3")
                                          .arg(Differing)
                                          .arg(First, QString::fromUtf8(Alone))));
  // The working file, its lock and what the script wrote; no temporary file.
  const QStringList Left = QDir(Temp.path()).entryList(QDir::Files | QDir::Hidden);
  QVERIFY2(Left.filter(QStringLiteral("NetworkAdapters")) ==
               (QStringList{QStringLiteral("NetworkAdapters.xml"),
                            QStringLiteral("NetworkAdapters.xml.lock")}),
           qPrintable(Left.join(u' ')));
}

// Interface names the kernel accepts and Windows never has: a quote, a
// control byte (inside, and first), non-ASCII and invalid UTF-8. Each is one
// group; the working file stays readable (the control byte is written as
// U+FFFD).
void tst_AdapterGroups::unusualNames() {
  QTemporaryDir Temp;
  const TRun Run =
      run(QStringLiteral("ip link add 'q\"x' type bridge\n"
                         "ip link add \"$(printf 'c\\001d')\" type bridge\n"
                         "ip link add \"$(printf '\\303\\251t0')\" type bridge\n"
                         "ip link add \"$(printf 'u\\377v')\" type bridge\n"
                         // One group, though the scan trims the name and the system does not.
                         "ip tuntap add \"$(printf '\\001tn')\" mode tun"),
          Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  const QMap<QString, QStringList> Groups = adapterGroups(Run.Output);
  QCOMPARE(Groups.size(), 5);
  QStringList Names;
  for (const QStringList& Group : Groups)
    Names << line(Group, QStringLiteral("Description"));
  QVERIFY2(Names.contains(QStringLiteral("q\"x")), qPrintable(Names.join(u'|')));
  QVERIFY2(Names.contains(QStringLiteral("\u00e9t0")), qPrintable(Names.join(u'|')));
  QVERIFY2(Names.contains(QStringLiteral("c\uFFFDd")), qPrintable(Names.join(u'|')));
  QVERIFY2(Names.contains(QStringLiteral("tn")), qPrintable(Names.join(u'|')));
  QCOMPARE(workingFileRecords(Temp), 5);
}

// 250 veth pairs, one end of each with an address: one group per link and
// every record in the working file.
void tst_AdapterGroups::fiveHundredLinks() {
  QTemporaryDir Temp;
  const TRun Run = run(QStringLiteral("i=0; while [ $i -lt 250 ]; do "
                                      "echo \"link add v$i type veth peer name p$i\"; "
                                      "echo \"addr add 10.230.$i.1/24 dev v$i\"; i=$((i+1)); "
                                      "done | ip -batch -"),
                       Temp.path());
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  const QMap<QString, QStringList> Groups = adapterGroups(Run.Output);
  QCOMPARE(Groups.size(), 500);
  QVERIFY(Groups.contains(QStringLiteral("Network Interface #500")));
  QStringList Addresses;
  for (const QStringList& Group : Groups)
    if (line(Group, QStringLiteral("IPv4 Address")) != u"not available")
      Addresses << line(Group, QStringLiteral("IPv4 Address"));
  QCOMPARE(Addresses.size(), 250);
  QVERIFY(Addresses.contains(QStringLiteral("10.230.249.1")));
  QCOMPARE(workingFileRecords(Temp), 500);
}

// Hosts from a table: each row builds links (fixed hardware addresses, no
// generated link-local addresses) and states every line of every group.
// Lines are Description, IPv4 Address, IPv6 Address, Default Gateway, DNS
// Server, WINS Server, Subnet Mask, MAC Address; "-" is "not available".
void tst_AdapterGroups::hosts_data() {
  QTest::addColumn<QString>("script");
  QTest::addColumn<QStringList>("groups"); // one "line|line|..." per group
  // Links made after this get no link-local address of the kernel's.
  const QString NoLinkLocal =
      QStringLiteral("echo 1 > /proc/sys/net/ipv6/conf/default/addr_gen_mode\n");
  const QString Pair =
      NoLinkLocal + QStringLiteral("ip link add veth0 address 02:00:00:00:00:01 type veth peer "
                                   "name veth1 address 02:00:00:00:00:02\n"
                                   "ip link set veth0 up\nip link set veth1 up\n");
  QTest::newRow("addresses, a secondary one, IPv6 and a gateway")
      << Pair + QStringLiteral(
                    "ip addr add 10.210.0.2/24 dev veth0\nip addr add 10.210.0.3/16 dev veth0\n"
                    "ip -6 addr add 2001:db8:10::2/64 dev veth0 nodad\n"
                    "ip route add default via 10.210.0.1")
      << QStringList{
             QStringLiteral("veth0|10.210.0.2,10.210.0.3|2001:db8:10::2|10.210.0.1|10.202.0.53|-|"
                            "255.255.255.0,255.255.0.0|02:00:00:00:00:01"),
             QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02")};
  QTest::newRow("default route without a gateway")
      << Pair +
             QStringLiteral("ip addr add 10.211.0.2/24 dev veth0\nip route add default dev veth0")
      << QStringList{
             QStringLiteral("veth0|10.211.0.2|-|-|10.202.0.53|-|255.255.255.0|02:00:00:00:00:01"),
             QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02")};
  QTest::newRow("two default routes with metrics")
      << Pair + QStringLiteral(
                    "ip addr add 10.212.0.2/24 dev veth0\nip addr add 10.213.0.2/24 dev veth1\n"
                    "ip route add default via 10.212.0.1 metric 100\n"
                    "ip route add default via 10.213.0.1 metric 200")
      << QStringList{
             QStringLiteral(
                 "veth0|10.212.0.2|-|10.212.0.1|10.202.0.53|-|255.255.255.0|02:00:00:00:00:01"),
             QStringLiteral(
                 "veth1|10.213.0.2|-|10.213.0.1|10.202.0.53|-|255.255.255.0|02:00:00:00:00:02")};
  QTest::newRow("link-local only")
      << Pair + QStringLiteral("ip -6 addr add fe80::1/64 dev veth0 nodad")
      << QStringList{QStringLiteral("veth0|-|fe80::1|-|-|-|-|02:00:00:00:00:01"),
                     QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02")};
  QTest::newRow("the resolved stub stands for its upstream server")
      << Pair + QStringLiteral(
                    "mount -t tmpfs tmpfs /run\nmkdir -p /run/systemd/resolve\n"
                    "printf 'nameserver 10.216.0.53\\n' > /run/systemd/resolve/resolv.conf\n"
                    "printf 'nameserver 127.0.0.53\\n' > \"$TEMPDIR/stub\"\n"
                    "mount --bind \"$TEMPDIR/stub\" /etc/resolv.conf\n"
                    "ip addr add 10.216.0.2/24 dev veth0\nip route add default via 10.216.0.1")
      << QStringList{
             QStringLiteral(
                 "veth0|10.216.0.2|-|10.216.0.1|10.216.0.53|-|255.255.255.0|02:00:00:00:00:01"),
             QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02")};
  QTest::newRow("a bridge with a port")
      << Pair + QStringLiteral("ip link add br0 address 02:00:00:00:00:05 type bridge\n"
                               "ip link set veth0 master br0\nip link set br0 up\n"
                               "ip addr add 10.217.0.2/24 dev br0")
      << QStringList{QStringLiteral("br0|10.217.0.2|-|-|-|-|255.255.255.0|02:00:00:00:00:05"),
                     QStringLiteral("veth0|-|-|-|-|-|-|02:00:00:00:00:01"),
                     QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02")};
  // Here the kernel makes link-local addresses from the hardware address,
  // except on the link where IPv6 is off.
  QTest::newRow("IPv6 off on one link")
      << QStringLiteral(
             "ip link add veth0 address 02:00:00:00:00:01 type veth peer name veth1 address "
             "02:00:00:00:00:02\n"
             "echo 1 > /proc/sys/net/ipv6/conf/veth0/disable_ipv6\n"
             "ip link set veth0 up\nip link set veth1 up\n"
             "ip -6 addr add 2001:db8:18::2/64 dev veth1 nodad")
      << QStringList{
             QStringLiteral("veth0|-|-|-|-|-|-|02:00:00:00:00:01"),
             QStringLiteral("veth1|-|2001:db8:18::2; fe80::ff:fe00:2|-|-|-|-|02:00:00:00:00:02")};
  // The group shows the first IPv4 server, wherever IPv6 ones stand.
  QTest::newRow("IPv6 and IPv4 name servers")
      << Pair + QStringLiteral(
                    "printf 'nameserver 2001:db8:22::53\\nnameserver 10.222.0.53\\n"
                    "nameserver 10.222.0.54\\n' > \"$TEMPDIR/two\"\n"
                    "mount --bind \"$TEMPDIR/two\" /etc/resolv.conf\n"
                    "ip addr add 10.222.0.2/24 dev veth0\nip route add default via 10.222.0.1")
      << QStringList{QStringLiteral("veth0|10.222.0.2|-|10.222.0.1|10.222.0.53|-|255.255.255.0|"
                                    "02:00:00:00:00:01"),
                     QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02")};
  QTest::newRow("a tap link without a reader")
      << QStringLiteral(
             "ip tuntap add dev tap0 mode tap\nip link set tap0 address 02:00:00:00:00:08\n"
             "ip link set tap0 up\nip addr add 10.223.0.2/24 dev tap0")
      << QStringList{QStringLiteral("tap0|10.223.0.2|-|-|-|-|255.255.255.0|02:00:00:00:00:08")};
  QTest::newRow("a tun link has no hardware address")
      << QStringLiteral("ip tuntap add dev tun0 mode tun\nip addr add 10.214.0.2/24 dev tun0")
      << QStringList{QStringLiteral("tun0|10.214.0.2|-|-|-|-|255.255.255.0|-")};
  QTest::newRow("macvlan and vxlan on a link")
      << Pair +
             QStringLiteral(
                 "ip link add mv0 link veth0 address 02:00:00:00:00:03 type macvlan mode bridge\n"
                 "ip link add vx0 address 02:00:00:00:00:04 type vxlan id 42 dev veth0 dstport "
                 "4789\n"
                 "ip addr add 10.215.0.2/24 dev mv0")
      << QStringList{QStringLiteral("veth0|-|-|-|-|-|-|02:00:00:00:00:01"),
                     QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02"),
                     QStringLiteral("mv0|10.215.0.2|-|-|-|-|255.255.255.0|02:00:00:00:00:03"),
                     QStringLiteral("vx0|-|-|-|-|-|-|02:00:00:00:00:04")};
  // Kinds a kernel may lack (no module here): each row skips with the
  // kernel's answer where it does.
  QTest::newRow("a dummy link")
      << NoLinkLocal +
             QStringLiteral(
                 "ip link add dum0 address 02:00:00:00:00:06 type dummy\nip link set dum0 up\n"
                 "ip addr add 10.218.0.2/24 dev dum0")
      << QStringList{QStringLiteral("dum0|10.218.0.2|-|-|-|-|255.255.255.0|02:00:00:00:00:06")};
  QTest::newRow("a vlan on a link")
      << Pair + QStringLiteral(
                    "ip link add link veth0 name veth0.5 address 02:00:00:00:00:07 type vlan id 5\n"
                    "ip link set veth0.5 up\nip addr add 10.219.0.2/24 dev veth0.5")
      << QStringList{QStringLiteral("veth0|-|-|-|-|-|-|02:00:00:00:00:01"),
                     QStringLiteral("veth1|-|-|-|-|-|-|02:00:00:00:00:02"),
                     QStringLiteral("veth0.5|10.219.0.2|-|-|-|-|255.255.255.0|02:00:00:00:00:07")};
  // A tunnel's endpoint address is no hardware address.
  QTest::newRow("an IP-in-IP tunnel")
      << NoLinkLocal + QStringLiteral("ip link add ipip0 type ipip remote 10.220.0.1 local "
                                      "10.220.0.2\nip link set ipip0 up\n"
                                      "ip addr add 10.220.1.2/24 dev ipip0")
      << QStringList{QStringLiteral("ipip0|10.220.1.2|-|-|-|-|255.255.255.0|-")};
  QTest::newRow("a wireguard link")
      << NoLinkLocal + QStringLiteral("ip link add wg0 type wireguard\nip link set wg0 up\nip addr "
                                      "add 10.221.0.2/24 dev wg0")
      << QStringList{QStringLiteral("wg0|10.221.0.2|-|-|-|-|255.255.255.0|-")};
}

void tst_AdapterGroups::hosts() {
  QFETCH(QString, script);
  QFETCH(QStringList, groups);
  QTemporaryDir Temp;
  const TRun Run = run(script, Temp.path());
  if (Run.ExitCode != 0 && Run.Errors.contains(QLatin1String("Unknown device type")))
    QSKIP(qPrintable(QStringLiteral("this kernel lacks a link kind: ") + Run.Errors.trimmed()));
  QVERIFY2(Run.ExitCode == 0, qPrintable(Run.Errors));
  QStringList Shown;
  const QStringList Captions{QStringLiteral("Description"),  QStringLiteral("IPv4 Address"),
                             QStringLiteral("IPv6 Address"), QStringLiteral("Default Gateway"),
                             QStringLiteral("DNS Server"),   QStringLiteral("WINS Server"),
                             QStringLiteral("Subnet Mask"),  QStringLiteral("MAC Address")};
  for (const QStringList& Group : adapterGroups(Run.Output)) {
    QStringList Values;
    for (const QString& Caption : Captions) {
      const QString Value = line(Group, Caption);
      Values << (Value == u"not available" ? QStringLiteral("-") : Value);
    }
    Shown << Values.join(u'|');
  }
  // The groups follow the interface indexes, which the kernel hands out.
  Shown.sort();
  groups.sort();
  QCOMPARE(Shown, groups);
}

KELVANE_TEST_MAIN(tst_AdapterGroups)
#include "tst_AdapterGroups.moc"
