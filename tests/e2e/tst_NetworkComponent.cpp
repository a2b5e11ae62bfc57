// End to end: the network component's snapshot of a host built in network
// and mount namespaces of the test's own, compared with what the test set
// up and with what iproute2 reports in the same namespace. Needs root;
// nothing leaves the namespaces, which go away with their processes.

#include "support/TestMain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {
// Builds the host, writes iproute2's view into $OUT, then runs the probe.
const char* const HostScript = R"(set -e
mount --make-rprivate /
mount -t sysfs sysfs /sys
ip link set lo up
# No duplicate detection, so no address is tentative while iproute2 and the
# probe look one after the other.
echo 0 > /proc/sys/net/ipv6/conf/default/accept_dad
echo 0 > /proc/sys/net/ipv6/conf/all/accept_dad
ip link add veth0 type veth peer name veth1
ip addr add 10.201.0.2/24 dev veth0
ip addr add 10.201.0.3/24 dev veth0
ip -6 addr add 2001:db8:1::2/64 dev veth0 nodad
ip link set veth0 up
ip link set veth1 up
ip route add default via 10.201.0.1
ip -6 route add default via 2001:db8:1::1 dev veth0
ip tuntap add dev tap0 mode tap
ip link add br0 type bridge
ip link set br0 up
printf 'nameserver 10.201.0.53\nnameserver 2001:db8::53\nsearch example.test lab.test\n' > "$OUT/resolv.conf"
mount --bind "$OUT/resolv.conf" /etc/resolv.conf
ip -j addr show > "$OUT/addr.json"
exec "$PROBE"
)";

struct TProbe {
  QMap<QString, QStringList> Adapters; // name → the fields after it
  QMap<QString, QStringList> Views;    // adapter-addresses view by name
  QMap<QString, QString> Facts;        // dns, suffixes, host, physical, virtual, refresh
};

TProbe parse(const QString& AOutput) {
  TProbe Probe;
  for (const QString& Line : AOutput.split(u'\n', Qt::SkipEmptyParts)) {
    const QString Key = Line.section(u' ', 0, 0);
    const QString Rest = Line.section(u' ', 1);
    if (Key == u"adapter" || Key == u"addresses") {
      const QStringList Fields = Rest.split(u'|');
      (Key == u"adapter" ? Probe.Adapters : Probe.Views).insert(Fields.first(), Fields.mid(1));
    } else {
      Probe.Facts.insert(Key, Rest);
    }
  }
  return Probe;
}

QString mask(int APrefix) {
  const quint32 Mask = APrefix == 0 ? 0 : ~((quint32(1) << (32 - APrefix)) - 1);
  return QStringLiteral("%1.%2.%3.%4")
      .arg(Mask >> 24)
      .arg((Mask >> 16) & 0xFF)
      .arg((Mask >> 8) & 0xFF)
      .arg(Mask & 0xFF);
}
} // namespace

class tst_NetworkComponent : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void initTestCase();
  void hostOfItsOwn();
  void fiveHundredLinks();
};

void tst_NetworkComponent::initTestCase() {
  if (::geteuid() != 0)
    QSKIP("needs root to build a host in namespaces");
  for (const char* Tool : {"unshare", "ip", "mount"})
    if (QStandardPaths::findExecutable(QLatin1String(Tool)).isEmpty())
      QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(Tool))));
}

void tst_NetworkComponent::hostOfItsOwn() {
  QTemporaryDir Out;
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("PROBE"), QStringLiteral(KELVANE_NETWORK_PROBE));
  Env.insert(QStringLiteral("OUT"), Out.path());
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Process.setProcessEnvironment(Env);
  Process.start(QStringLiteral("unshare"),
                {QStringLiteral("--net"), QStringLiteral("--mount"), QStringLiteral("sh"),
                 QStringLiteral("-c"), QLatin1String(HostScript)});
  QVERIFY(Process.waitForFinished(30000));
  const QString Err = QString::fromUtf8(Process.readAllStandardError());
  if (Process.exitCode() != 0 && (Err.contains(QLatin1String("Operation not permitted")) ||
                                  Err.contains(QLatin1String("tuntap"))))
    QSKIP(qPrintable(QStringLiteral("cannot build the host here: ") + Err.trimmed()));
  QVERIFY2(Process.exitCode() == 0, qPrintable(Err));
  const TProbe Probe = parse(QString::fromUtf8(Process.readAllStandardOutput()));

  // What the test configured.
  QCOMPARE(Probe.Adapters.keys(), (QStringList{QStringLiteral("br0"), QStringLiteral("tap0"),
                                               QStringLiteral("veth0"), QStringLiteral("veth1")}));
  const QStringList Veth = Probe.Adapters.value(QStringLiteral("veth0"));
  QCOMPARE(Veth.value(1), QStringLiteral("1")); // Ethernet
  QCOMPARE(Veth.value(2), QStringLiteral("0")); // static addresses
  QCOMPARE(Veth.value(3), QStringLiteral("10.201.0.2,10.201.0.3"));
  QCOMPARE(Veth.value(4), QStringLiteral("255.255.255.0,255.255.255.0"));
  QCOMPARE(Veth.value(5), QStringLiteral("10.201.0.1")); // IPv4 gateways only
  const QStringList Tap = Probe.Adapters.value(QStringLiteral("tap0"));
  QCOMPARE(Tap.value(3), QString()); // one empty element, no address
  QCOMPARE(Probe.Adapters.value(QStringLiteral("veth1")).value(5), QString());
  QCOMPARE(Probe.Facts.value(QStringLiteral("dns")), QStringLiteral("10.201.0.53"));
  QCOMPARE(Probe.Facts.value(QStringLiteral("suffixes")), QStringLiteral("example.test,lab.test"));
  // The machine's own cards stay physical devices, whichever namespace
  // their interfaces are in; none of the namespace's links is one.
  for (const QString& Link : Probe.Adapters.keys())
    QVERIFY2(!Probe.Facts.value(QStringLiteral("physical")).split(u',').contains(Link),
             qPrintable(Link));
  QCOMPARE(Probe.Facts.value(QStringLiteral("virtual")), QStringLiteral("br0,tap0,veth0,veth1"));

  // The adapter-addresses view lists loopback too, and both families; the
  // name servers and gateways belong to the link that routes outward.
  QCOMPARE(Probe.Views.keys(),
           (QStringList{QStringLiteral("br0"), QStringLiteral("lo"), QStringLiteral("tap0"),
                        QStringLiteral("veth0"), QStringLiteral("veth1")}));
  const QStringList View = Probe.Views.value(QStringLiteral("veth0"));
  QVERIFY2(View.value(0).split(u',').contains(QStringLiteral("2001:db8:1::2/64")),
           qPrintable(View.value(0)));
  QCOMPARE(View.value(1), QStringLiteral("10.201.0.1,2001:db8:1::1"));
  QCOMPARE(View.value(2), QStringLiteral("10.201.0.53,2001:db8::53"));
  QCOMPARE(Probe.Views.value(QStringLiteral("veth1")).value(2), QString());

  // What iproute2 reports in the same namespace: hardware addresses and
  // every address with its prefix.
  QFile Json(Out.filePath(QStringLiteral("addr.json")));
  QVERIFY(Json.open(QIODevice::ReadOnly));
  for (const QJsonValue Link : QJsonDocument::fromJson(Json.readAll()).array()) {
    const QJsonObject Object = Link.toObject();
    const QString Name = Object.value(QStringLiteral("ifname")).toString();
    if (Name == u"lo")
      continue;
    QVERIFY2(Probe.Adapters.contains(Name), qPrintable(Name));
    const QStringList Fields = Probe.Adapters.value(Name);
    QCOMPARE(Fields.value(0), Object.value(QStringLiteral("address")).toString().toUpper());
    QStringList Addresses, Masks;
    for (const QJsonValue Info : Object.value(QStringLiteral("addr_info")).toArray())
      if (Info.toObject().value(QStringLiteral("family")).toString() == u"inet") {
        Addresses << Info.toObject().value(QStringLiteral("local")).toString();
        Masks << mask(Info.toObject().value(QStringLiteral("prefixlen")).toInt());
      }
    QCOMPARE(Fields.value(3), Addresses.join(u','));
    QCOMPARE(Fields.value(4), Masks.join(u','));
    QStringList Unicast;
    for (const QJsonValue Info : Object.value(QStringLiteral("addr_info")).toArray()) {
      const QJsonObject Address = Info.toObject();
      if (!Address.value(QStringLiteral("tentative")).toBool() &&
          !Address.value(QStringLiteral("dadfailed")).toBool())
        Unicast << Address.value(QStringLiteral("local")).toString() + u'/' +
                       QString::number(Address.value(QStringLiteral("prefixlen")).toInt());
    }
    QStringList Listed = Probe.Views.value(Name).value(0).split(u',', Qt::SkipEmptyParts);
    std::sort(Listed.begin(), Listed.end());
    std::sort(Unicast.begin(), Unicast.end());
    QCOMPARE(Listed, Unicast);
  }
}

// 250 veth pairs: the refresh completes and lists every link.
void tst_NetworkComponent::fiveHundredLinks() {
  QProcess Process;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("PROBE"), QStringLiteral(KELVANE_NETWORK_PROBE));
  Env.insert(QStringLiteral("KELVANE_MACHINE_REG"), QStringLiteral("/nonexistent/machine.reg"));
  Process.setProcessEnvironment(Env);
  Process.start(QStringLiteral("unshare"),
                {QStringLiteral("--net"), QStringLiteral("--mount"), QStringLiteral("sh"),
                 QStringLiteral("-c"),
                 QStringLiteral("set -e; mount --make-rprivate /; mount -t sysfs sysfs /sys; "
                                "i=0; while [ $i -lt 250 ]; do "
                                "echo \"link add v$i type veth peer name p$i\"; i=$((i+1)); "
                                "done | ip -batch -; exec \"$PROBE\"")});
  QVERIFY(Process.waitForFinished(120000));
  QVERIFY2(Process.exitCode() == 0, Process.readAllStandardError().constData());
  const TProbe Probe = parse(QString::fromUtf8(Process.readAllStandardOutput()));
  QCOMPARE(Probe.Adapters.size(), 500);
  QVERIFY(Probe.Adapters.contains(QStringLiteral("v249")));
  QVERIFY(Probe.Adapters.contains(QStringLiteral("p0")));
  QCOMPARE(Probe.Views.size(), 501); // loopback too
}

KELVANE_TEST_MAIN(tst_NetworkComponent)
#include "tst_NetworkComponent.moc"
