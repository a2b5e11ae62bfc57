// Saved snapshots: a machine read back from its file is the machine that
// was saved, and a damaged or hostile file is refused with one line naming
// the first fault, whatever it holds.

#include "support/TestMain.h"

#include "platform/linux/LinuxSnapshot.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <functional>

#include <sys/socket.h>

namespace {
QByteArray fixture() {
  QFile File(QFINDTESTDATA("../fixtures/platform/snapshots/office-pc.json"));
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

// The fixture with one change made to its JSON.
using TEdit = std::function<void(QJsonObject&)>;
QByteArray edited(const TEdit& AEdit) {
  QJsonObject Root = QJsonDocument::fromJson(fixture()).object();
  AEdit(Root);
  return QJsonDocument(Root).toJson();
}

// Applies AChange to the link at AIndex of ARoot.
void inLink(QJsonObject& ARoot, int AIndex, const std::function<void(QJsonObject&)>& AChange) {
  QJsonArray Links = ARoot[QLatin1String("links")].toArray();
  QJsonObject Link = Links[AIndex].toObject();
  AChange(Link);
  Links[AIndex] = Link;
  ARoot[QLatin1String("links")] = Links;
}
} // namespace

Q_DECLARE_METATYPE(TEdit)

class tst_LinuxSnapshot : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void readsTheMachineSaved();
  void roundTrip();
  void refused_data();
  void refused();
  void refusedText_data();
  void refusedText();
};

void tst_LinuxSnapshot::readsTheMachineSaved() {
  QString Error;
  const std::shared_ptr<TLinuxFacts> Facts = SnapshotFromJson(fixture(), Error);
  QVERIFY2(Facts, qPrintable(Error));
  QCOMPARE(Facts->Links().size(), std::size_t(4));
  const TFactLink* Ethernet = Facts->Link(2);
  QVERIFY(Ethernet);
  QCOMPARE(Ethernet->Name, QStringLiteral("enp3s0"));
  QCOMPARE(Ethernet->HardwareAddress, QByteArray::fromHex("3c52821a2b3c"));
  QCOMPARE(Ethernet->Addresses.size(), std::size_t(3));
  QCOMPARE(Ethernet->Addresses[0].Bytes, QByteArray::fromHex("c0a82811"));
  QVERIFY(Ethernet->Addresses[0].Dynamic);
  QCOMPARE(Ethernet->Gateways[1].Family, AF_INET6);
  QCOMPARE(Ethernet->SpeedBits, DWORD(1000000000));
  QVERIFY(Facts->Link(3)->Wireless);
  QCOMPARE(Facts->Interface(2)->DevicePath, QStringLiteral("/sys/devices/pci0000:00/0000:00:1f.6"));
  QCOMPARE(Facts->Interface(2)->Bus, TSysBus::Pci);
  QCOMPARE(Facts->PreferredSource(), 0xC0A82811u);
  const TFactSystem& System = Facts->System();
  QCOMPARE(System.Host, (THostName{QStringLiteral("office-pc.example.test"),
                                   QStringLiteral("office-pc"), QStringLiteral("example.test")}));
  QVERIFY(System.Resolver);
  QCOMPARE(System.Resolver->Domain, QStringLiteral("example.test"));
  QCOMPARE(System.UserName, QStringLiteral("ada"));
  QCOMPARE(Facts->Dhcp().ServerOf(2, QStringLiteral("enp3s0")), QStringLiteral("192.168.40.2"));
  QCOMPARE(Facts->Dhcp().Dhcpv6.Of(QStringLiteral("enp3s0")).Iaid, DWORD(2183367996u));
  QCOMPARE(Facts->Devices().Bus.size(), std::size_t(2));
  QCOMPARE(Facts->Devices().DmiProduct, QStringLiteral("OptiPlex 7070"));
}

// Saved again, a snapshot gives the same text; read again, the same facts.
void tst_LinuxSnapshot::roundTrip() {
  QString Error;
  const std::shared_ptr<TLinuxFacts> First = SnapshotFromJson(fixture(), Error);
  QVERIFY2(First, qPrintable(Error));
  const QByteArray Saved = SnapshotToJson(First->All());
  const std::shared_ptr<TLinuxFacts> Second = SnapshotFromJson(Saved, Error);
  QVERIFY2(Second, qPrintable(Error));
  QCOMPARE(SnapshotToJson(Second->All()), Saved);
  QCOMPARE(QJsonDocument::fromJson(Saved), QJsonDocument::fromJson(fixture()));
}

void tst_LinuxSnapshot::refused_data() {
  QTest::addColumn<TEdit>("edit");
  QTest::addColumn<QString>("message");
  const auto link = [](int AIndex, const char* AKey, const QJsonValue& AValue) {
    return TEdit([=](QJsonObject& ARoot) {
      inLink(ARoot, AIndex, [&](QJsonObject& ALink) { ALink[QLatin1String(AKey)] = AValue; });
    });
  };
  QTest::newRow("another format") << TEdit([](QJsonObject& R) {
    R[QLatin1String("format")] = QStringLiteral("x");
  }) << QStringLiteral("not a Kelvane snapshot");
  QTest::newRow("a later version")
      << TEdit([](QJsonObject& R) { R[QLatin1String("version")] = 2; })
      << QStringLiteral("snapshot version 2; this program reads version 1");
  QTest::newRow("version as text")
      << TEdit([](QJsonObject& R) { R[QLatin1String("version")] = QStringLiteral("1"); })
      << QStringLiteral("version: not a whole number from 0 to 2147483647");
  QTest::newRow("no links") << TEdit([](QJsonObject& R) { R.remove(QLatin1String("links")); })
                            << QStringLiteral("links: missing");
  QTest::newRow("links not a list")
      << TEdit([](QJsonObject& R) { R[QLatin1String("links")] = QJsonObject(); })
      << QStringLiteral("links: not a list");
  QTest::newRow("a name as number")
      << link(1, "name", 7) << QStringLiteral("links[1].name: not a text");
  QTest::newRow("a name that is a path") << link(1, "name", QStringLiteral("../../etc"))
                                         << QStringLiteral("links[1].name: not an interface name");
  QTest::newRow("a fractional index") << link(1, "index", 2.5)
                                      << QStringLiteral("links[1].index: not a whole number from 1 "
                                                        "to 2147483647");
  QTest::newRow("an index past 64 bits")
      << link(1, "index", 6.7e98)
      << QStringLiteral("links[1].index: not a whole number from 1 "
                        "to 2147483647");
  QTest::newRow("an index taken twice")
      << link(2, "index", 2) << QStringLiteral("links[2].index: taken by another link");
  QTest::newRow("indices out of order")
      << link(1, "index", 5) << QStringLiteral("links[2].index: out of order");
  QTest::newRow("a broken hardware address")
      << link(1, "hardwareAddress", QStringLiteral("3c:52:zz"))
      << QStringLiteral("links[1].hardwareAddress: not a hardware address");
  QTest::newRow("an address that is none") << TEdit([](QJsonObject& R) {
    inLink(R, 1, [](QJsonObject& L) {
      QJsonArray Addresses = L[QLatin1String("addresses")].toArray();
      QJsonObject First = Addresses[0].toObject();
      First[QLatin1String("address")] = QStringLiteral("192.168.40.300");
      Addresses[0] = First;
      L[QLatin1String("addresses")] = Addresses;
    });
  }) << QStringLiteral("links[1].addresses[0].address: not an address");
  QTest::newRow("an IPv4 prefix of 33") << TEdit([](QJsonObject& R) {
    inLink(R, 1, [](QJsonObject& L) {
      QJsonArray Addresses = L[QLatin1String("addresses")].toArray();
      QJsonObject First = Addresses[0].toObject();
      First[QLatin1String("prefixLength")] = 33;
      Addresses[0] = First;
      L[QLatin1String("addresses")] = Addresses;
    });
  }) << QStringLiteral("links[1].addresses[0].prefixLength: not a whole number from 0 to 32");
  QTest::newRow("a setting id that would add registry keys") << TEdit([](QJsonObject& R) {
    QJsonArray Interfaces = R[QLatin1String("interfaces")].toArray();
    QJsonObject First = Interfaces[0].toObject();
    First[QLatin1String("settingId")] = QStringLiteral("{A}\\Evil");
    Interfaces[0] = First;
    R[QLatin1String("interfaces")] = Interfaces;
  }) << QStringLiteral("interfaces[0].settingId: not a braced GUID");
  QTest::newRow("an interface without its link") << TEdit([](QJsonObject& R) {
    QJsonArray Interfaces = R[QLatin1String("interfaces")].toArray();
    QJsonObject First = Interfaces[0].toObject();
    First[QLatin1String("index")] = 99;
    Interfaces[0] = First;
    R[QLatin1String("interfaces")] = Interfaces;
  }) << QStringLiteral("interfaces[0].index: no link has it");
  QTest::newRow("a name server that is none") << TEdit([](QJsonObject& R) {
    QJsonObject System = R[QLatin1String("system")].toObject();
    System[QLatin1String("resolver")] = QJsonObject{
        {"nameServers", QJsonArray{QStringLiteral("$(reboot)")}}, {"search", QJsonArray()}};
    R[QLatin1String("system")] = System;
  }) << QStringLiteral("system.resolver.nameServers[0]: not an address");
  QTest::newRow("a 10,000-character host name") << TEdit([](QJsonObject& R) {
    QJsonObject System = R[QLatin1String("system")].toObject();
    System[QLatin1String("hostName")] = QString(10000, u'a');
    R[QLatin1String("system")] = System;
  }) << QStringLiteral("system.hostName: longer than 255 characters");
  QTest::newRow("a DUID that is not hexadecimal") << TEdit([](QJsonObject& R) {
    QJsonObject Dhcp = R[QLatin1String("dhcp")].toObject();
    Dhcp[QLatin1String("dhcpv6")] =
        QJsonObject{{"duid", QStringLiteral("xyz")}, {"iaids", QJsonArray()}};
    R[QLatin1String("dhcp")] = Dhcp;
  }) << QStringLiteral("dhcp.dhcpv6.duid: not hexadecimal");
}

void tst_LinuxSnapshot::refused() {
  QFETCH(TEdit, edit);
  QFETCH(QString, message);
  QString Error;
  QVERIFY(!SnapshotFromJson(edited(edit), Error));
  QCOMPARE(Error, message);
}

// Texts that are no JSON object at all.
void tst_LinuxSnapshot::refusedText_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QString>("start");
  QTest::newRow("empty") << QByteArray() << QStringLiteral("not JSON");
  QTest::newRow("not JSON") << QByteArray("PRETTY_NAME=x\n") << QStringLiteral("not JSON");
  QTest::newRow("a list") << QByteArray("[1, 2]") << QStringLiteral("not a Kelvane snapshot");
  QTest::newRow("cut short") << fixture().left(700) << QStringLiteral("not JSON");
  QTest::newRow("nested 100,000 deep")
      << QByteArray(100000, '[') + QByteArray(100000, ']') << QStringLiteral("not JSON");
  QTest::newRow("nested 500 deep in a field")
      << fixture().replace("\"kind\": \"bridge\"",
                           "\"kind\": " + QByteArray(500, '[') + QByteArray(500, ']'))
      << QStringLiteral("links[3].kind: not a text");
  QTest::newRow("past the size bound")
      << QByteArray(MaxSnapshotBytes + 1, ' ') << QStringLiteral("larger than 32 MiB");
}

void tst_LinuxSnapshot::refusedText() {
  QFETCH(QByteArray, text);
  QFETCH(QString, start);
  QString Error;
  QVERIFY(!SnapshotFromJson(text, Error));
  QVERIFY2(Error.startsWith(start), qPrintable(Error));
  QVERIFY(!Error.contains(u'\n'));
}

KELVANE_TEST_MAIN(tst_LinuxSnapshot)
#include "tst_LinuxSnapshot.moc"
