// The adapter records: their file layout, identities and the hand-on of
// the two identity fields into the sub-records, and what reading makes of
// files that are short of something or hostile.

#include "support/TestMain.h"

#include "common/Guids.h"
#include "inventory/NetworkAdapterData.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {
QByteArray fixture(const char* AName) {
  QFile File(QFINDTESTDATA(QStringLiteral("../fixtures/inventory/") + QLatin1String(AName)));
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing fixture>");
}

// The first record of the golden file: every value set, two addresses, one
// gateway and two DNS servers.
void fillFull(TNetworkAdapterData& ARecord) {
  ARecord.SetName(QStringLiteral("Intel(R) Ethernet <eth0> & \"uplink\""));
  ARecord.SetMACAddress(QStringLiteral("52:54:00:12:34:56"));
  ARecord.SetUseDHCP(true);
  ARecord.SetAdapterTyp(QStringLiteral("1"));
  ARecord.SetIPv4Gateways(QStringLiteral("192.168.1.1"));
  ARecord.SetIPv4GatewayMasks(QStringLiteral("255.255.255.255"));
  ARecord.SetIPv4Addresses(QStringLiteral("192.168.1.20,10.0.0.5"));
  ARecord.SetIPv4Netmasks(QStringLiteral("255.255.255.0,255.0.0.0"));
  ARecord.SetDHCPServerIPv4Addresses(QStringLiteral("192.168.1.1"));
  ARecord.SetDHCPServerIPv4Netmasks(QStringLiteral("255.255.255.255"));
  ARecord.SetNetAddress(QStringLiteral("192.168.1.0"));
  ARecord.SetDNSServerIP(QStringLiteral("192.168.1.1"));
  ARecord.SetDNSHostname(QStringLiteral("kelvane-host"));
  ARecord.SetDNSDomain(QStringLiteral("example.test"));
  ARecord.SetMaxSpeed(4294967295LL);
  ARecord.SetEnabled(true);
  ARecord.SetIPv4Enabled(true);
  ARecord.SetIPv6Enabled(true);
  ARecord.SetDHCPv6IAID(QStringLiteral("72545280"));
  ARecord.SetDHCPv6ClientDUID(QStringLiteral("00:01:00:01:2C:3D:4E:5F:52:54:00:12:34:56"));
  auto* Global = ARecord.IPv6AdressList()->AddNew();
  Global->SetIPAddress(QStringLiteral("2001:db8::20"));
  Global->SetPrefix(QStringLiteral("64"));
  auto* LinkLocal = ARecord.IPv6AdressList()->AddNew();
  LinkLocal->SetIPAddress(QStringLiteral("fe80::5054:ff:fe12:3456"));
  LinkLocal->SetPrefix(QStringLiteral("64"));
  LinkLocal->SetIsLinkLocalIPv6Address(true);
  auto* Gateway = ARecord.IPv6DefaultGatewayList()->AddNew();
  Gateway->SetIPAddress(QStringLiteral("fe80::1"));
  Gateway->SetMetric(1024);
  for (int I = 1; I <= 2; ++I) {
    auto* Server = ARecord.IPv6DNSServerList()->AddNew();
    Server->SetIPAddress(QStringLiteral("2001:db8::53:%1").arg(I));
    Server->SetPriority(I);
  }
}

void fillGolden(TObjectList<TNetworkAdapterData>& AList) {
  fillFull(*AList.AddNew());
  auto* Loopback = AList.AddNew();
  Loopback->SetName(QStringLiteral("Software Loopback Interface 1"));
  Loopback->SetAdapterTyp(QStringLiteral("5"));
}

QByteArray write(const TObjectList<TNetworkAdapterData>& AList, const QString& APath) {
  TXmlSerializer Serializer;
  SerializeAdapterList(Serializer, AList);
  Serializer.SaveToFile(APath);
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

void read(TObjectList<TNetworkAdapterData>& AList, const QString& AXml) {
  TXmlSerializer Serializer;
  Serializer.SetXml(AXml);
  DeserializeAdapterList(Serializer, AList);
}

// The golden file with one line replaced (or removed, for an empty ATo).
QString goldenWith(const QString& AFrom, const QString& ATo) {
  QString Xml = QString::fromUtf8(fixture("NetworkAdapters.xml"));
  const qsizetype At = Xml.indexOf(AFrom);
  if (At < 0)
    return QStringLiteral("<line not in the golden file: %1>").arg(AFrom);
  return Xml.replace(At, AFrom.size(), ATo);
}
} // namespace

class tst_NetworkAdapterData : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void init();
  void cleanup();
  void goldenFile();
  void identities();
  void identityHandedOnToSubRecords();
  void clientIdHandedOn();
  void defaults();
  void shortOrOddFiles_data();
  void shortOrOddFiles();
  void hostileFiles_data();
  void hostileFiles();
  void recordOwnsItsSubRecords();
  void readInParts_data();
  void readInParts();
  void writeInParts_data();
  void writeInParts();
};

void tst_NetworkAdapterData::init() {
  HoldLogRecords();
}

void tst_NetworkAdapterData::cleanup() {
  ReleaseLogRecords();
}

void tst_NetworkAdapterData::goldenFile() {
  TScopedCountingGuids Guids;
  TObjectList<TNetworkAdapterData> List;
  fillGolden(List);
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  const QByteArray Written = write(List, Path);
  QCOMPARE(Written, fixture("NetworkAdapters.xml"));

  TObjectList<TNetworkAdapterData> Read;
  read(Read, QString::fromUtf8(Written));
  QCOMPARE(Read.Count(), 2);
  for (qsizetype R = 0; R < 2; ++R) {
    const QMetaObject* Class = &TNetworkAdapterData::staticMetaObject;
    for (int P = Class->propertyOffset(); P < Class->propertyCount(); ++P) {
      const QMetaProperty Property = Class->property(P);
      if (Property.metaType() != QMetaType::fromType<IInterfaceList*>())
        QVERIFY2(Property.read(Read[R]) == Property.read(List[R]), Property.name());
    }
  }
  const TNetworkAdapterData& Full = *Read[0];
  QCOMPARE(Full.IPv6AdressList()->Count(), 2);
  QCOMPARE(Full.IPv6AdressList()->Items(1)->IPAddress(), QStringLiteral("fe80::5054:ff:fe12:3456"));
  QCOMPARE(Full.IPv6AdressList()->Items(1)->IsLinkLocalIPv6Address(), true);
  QCOMPARE(Full.IPv6DefaultGatewayList()->Items(0)->Metric(), 1024);
  QCOMPARE(Full.IPv6DNSServerList()->Items(1)->Priority(), 2);
  QCOMPARE(Full.IPv6DNSServerList()->Items(1)->HardwareNetcardID(), List[0]->HardwareNetcardID());
  QVERIFY(Read[1]->IPv6AdressList()->IsEmpty());
  QVERIFY(Read[1]->IPv6DNSServerList()->IsEmpty());
  // Reading, then writing again, gives the same bytes.
  QCOMPARE(write(Read, Path), fixture("NetworkAdapters.xml"));
}

void tst_NetworkAdapterData::identities() {
  TNetworkAdapterData First, Second;
  const QString Identity = First.HardwareNetcardID();
  QVERIFY2(QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
               .match(Identity)
               .hasMatch(),
           qPrintable(Identity));
  QCOMPARE(First.HardwareNetcardID(), Identity);
  QVERIFY(Second.HardwareNetcardID() != Identity);

  // A record read from a file keeps the identity the file holds.
  TObjectList<TNetworkAdapterData> Read;
  read(Read, goldenWith(QStringLiteral("{00000001-0000-0000-0000-000000000000}"),
                        QStringLiteral("{ABCDEF01-0000-0000-0000-000000000000}")));
  QCOMPARE(Read[0]->HardwareNetcardID(), QStringLiteral("{ABCDEF01-0000-0000-0000-000000000000}"));
}

void tst_NetworkAdapterData::identityHandedOnToSubRecords() {
  TNetworkAdapterData Record;
  Record.SetHardwareNetcardID(QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000000}"));
  auto* Address = Record.IPv6AdressList()->AddNew();
  auto* Gateway = Record.IPv6DefaultGatewayList()->AddNew();
  auto* Server = Record.IPv6DNSServerList()->AddNew();
  Server->SetHardwareNetcardID(QStringLiteral("own"));

  // The same identity in other letter case changes nothing.
  Record.SetHardwareNetcardID(QStringLiteral("{aaaaaaaa-0000-0000-0000-000000000000}"));
  QCOMPARE(Record.HardwareNetcardID(), QStringLiteral("{AAAAAAAA-0000-0000-0000-000000000000}"));
  QCOMPARE(Address->HardwareNetcardID(), QString());
  QCOMPARE(Server->HardwareNetcardID(), QStringLiteral("own"));

  const QString New = QStringLiteral("{BBBBBBBB-0000-0000-0000-000000000000}");
  Record.SetHardwareNetcardID(New);
  QCOMPARE(Address->HardwareNetcardID(), New);
  QCOMPARE(Gateway->HardwareNetcardID(), New);
  QCOMPARE(Server->HardwareNetcardID(), New);
  QCOMPARE(Record.IPv6AdressList()->AddNew()->HardwareNetcardID(), QString());

  // An identity made on the first read reaches the sub-records present.
  TNetworkAdapterData Fresh;
  auto* Early = Fresh.IPv6DNSServerList()->AddNew();
  QCOMPARE(Early->HardwareNetcardID(), Fresh.HardwareNetcardID());
}

void tst_NetworkAdapterData::clientIdHandedOn() {
  TNetworkAdapterData Record;
  auto* Address = Record.IPv6AdressList()->AddNew();
  auto* Server = Record.IPv6DNSServerList()->AddNew();
  Record.SetClientId(QStringLiteral("client-7"));
  QCOMPARE(Record.ClientId(), QStringLiteral("client-7"));
  QCOMPARE(Address->ClientId(), QStringLiteral("client-7"));
  QCOMPARE(Server->ClientId(), QStringLiteral("client-7"));
  QCOMPARE(Record.IPv6DefaultGatewayList()->AddNew()->ClientId(), QString());
}

void tst_NetworkAdapterData::defaults() {
  TNetworkAdapterData Record;
  QCOMPARE(Record.Name(), QString());
  QCOMPARE(Record.MaxSpeed(), qint64(0));
  QCOMPARE(Record.UseDHCP(), false);
  QCOMPARE(Record.IPFilderSecurityEnabled(), false);
  QVERIFY(Record.IPv6AdressList()->IsEmpty());
  // The records are found by class name, as the readers of the file need.
  std::unique_ptr<QObject> Made(
      CreateMappedObject(QStringLiteral("TNetworkAdapterGatewayIPv6Data")));
  QVERIFY(qobject_cast<TNetworkAdapterGatewayIPv6Data*>(Made.get()));
  QVERIFY(!CreateMappedObject(QStringLiteral("TNoSuchRecord")));
}

// Rows change one line of the golden file; "check" names what the first
// record then holds.
void tst_NetworkAdapterData::shortOrOddFiles_data() {
  QTest::addColumn<QString>("from");
  QTest::addColumn<QString>("to");
  QTest::addColumn<QString>("property");
  QTest::addColumn<QVariant>("expected");
  QTest::newRow("missing element keeps the default")
      << QStringLiteral("\t\t<Mac>52:54:00:12:34:56</Mac>\r\n") << QString()
      << QStringLiteral("MACAddress") << QVariant(QString());
  QTest::newRow("names match in any letter case")
      << QStringLiteral("<Mac>52:54:00:12:34:56</Mac>") << QStringLiteral("<mac>aa:bb</mac>")
      << QStringLiteral("MACAddress") << QVariant(QStringLiteral("aa:bb"));
  QTest::newRow("unknown element ignored")
      << QStringLiteral("\t\t<Name>") << QStringLiteral("\t\t<Colour>red</Colour>\r\n\t\t<Name>")
      << QStringLiteral("Name")
      << QVariant(QStringLiteral("Intel(R) Ethernet <eth0> & \"uplink\""));
  QTest::newRow("speed of 10^9") << QStringLiteral("<MaxSpeed>4294967295</MaxSpeed>")
                                 << QStringLiteral("<MaxSpeed>1000000000</MaxSpeed>")
                                 << QStringLiteral("MaxSpeed") << QVariant(qint64(1000000000));
  QTest::newRow("speed in letters reads as 0") << QStringLiteral("<MaxSpeed>4294967295</MaxSpeed>")
                                               << QStringLiteral("<MaxSpeed>fast</MaxSpeed>")
                                               << QStringLiteral("MaxSpeed") << QVariant(qint64(0));
  QTest::newRow("duplicate element: the first counts")
      << QStringLiteral("\t\t<Name>") << QStringLiteral("\t\t<Name>first</Name>\r\n\t\t<Name>")
      << QStringLiteral("Name") << QVariant(QStringLiteral("first"));
  QTest::newRow("empty element reads as empty")
      << QStringLiteral("<NetAddress>192.168.1.0</NetAddress>") << QStringLiteral("<NetAddress/>")
      << QStringLiteral("NetAddress") << QVariant(QString());
}

void tst_NetworkAdapterData::shortOrOddFiles() {
  QFETCH(QString, from);
  QFETCH(QString, to);
  QFETCH(QString, property);
  QFETCH(QVariant, expected);
  TObjectList<TNetworkAdapterData> Read;
  read(Read, goldenWith(from, to));
  QCOMPARE(Read.Count(), 2);
  QCOMPARE(Read[0]->property(property.toLatin1().constData()), expected);
  QCOMPARE(Read[0]->IPv6DNSServerList()->Count(), 2);
  QVERIFY(HeldRecordFields(QStringLiteral("kind"), QStringLiteral("exception")).isEmpty());
}

// Each row: the file, how many records come out, and whether a record's
// pass reports a failure in the log.
void tst_NetworkAdapterData::hostileFiles_data() {
  QTest::addColumn<QString>("xml");
  QTest::addColumn<int>("records");
  QTest::addColumn<bool>("failureLogged");
  QTest::newRow("Boolean that is no Boolean")
      << goldenWith(QStringLiteral("<UseDHCP>true</UseDHCP>"),
                    QStringLiteral("<UseDHCP>yes</UseDHCP>"))
      << 2 << true;
  QTest::newRow("record without identity")
      << goldenWith(QStringLiteral(
                        "\t\t<CLTHDWNCID>{00000001-0000-0000-0000-000000000000}</CLTHDWNCID>\r\n"),
                    QString())
      << 2 << false;
  QString Many;
  Many.reserve(100000 * 48);
  for (int I = 0; I < 100000; ++I)
    Many += QStringLiteral("<TNetworkAdapterDNSServerIPv6Data><Priority>%1</Priority>"
                           "</TNetworkAdapterDNSServerIPv6Data>")
                .arg(I);
  QTest::newRow("list element with 100,000 items")
      << QStringLiteral(
             "<?xml version=\"1.0\"?><TNetworkAdapterDataList><TNetworkAdapterData>"
             "<TNetworkAdapterDNSServerIPv6DataList>%1</TNetworkAdapterDNSServerIPv6DataList>"
             "</TNetworkAdapterData></TNetworkAdapterDataList>")
             .arg(Many)
      << 1 << false;
  QTest::newRow("records of another class are not records")
      << QStringLiteral("<?xml version=\"1.0\"?><TNetworkAdapterDataList><TOther><Name>x</Name>"
                        "</TOther></TNetworkAdapterDataList>")
      << 0 << false;
}

void tst_NetworkAdapterData::hostileFiles() {
  QFETCH(QString, xml);
  QFETCH(int, records);
  QFETCH(bool, failureLogged);
  TObjectList<TNetworkAdapterData> Read;
  read(Read, xml);
  QCOMPARE(Read.Count(), records);
  QCOMPARE(HeldRecordFields(QStringLiteral("title"))
               .contains(QStringLiteral("Read from data source failed")),
           failureLogged);
  if (QTest::currentDataTag() == QLatin1String("list element with 100,000 items")) {
    QCOMPARE(Read[0]->IPv6DNSServerList()->Count(), 100000);
    QCOMPARE(Read[0]->IPv6DNSServerList()->Last()->Priority(), 99999);
  }
  if (QTest::currentDataTag() == QLatin1String("Boolean that is no Boolean")) {
    // Values before the failure stay set; the next record is read whole.
    QCOMPARE(Read[0]->MACAddress(), QStringLiteral("52:54:00:12:34:56"));
    QCOMPARE(Read[1]->AdapterTyp(), QStringLiteral("5"));
  }
}

void tst_NetworkAdapterData::recordOwnsItsSubRecords() {
  auto Record = std::make_unique<TNetworkAdapterData>();
  QPointer<TNetworkAdapterAddressIPv6Data> Address = Record->IPv6AdressList()->AddNew();
  QPointer<TNetworkAdapterDNSServerIPv6Data> Server = Record->IPv6DNSServerList()->AddNew();
  Record.reset();
  QVERIFY(Address.isNull());
  QVERIFY(Server.isNull());
}

void tst_NetworkAdapterData::readInParts_data() {
  QTest::addColumn<QString>("xml");
  QTest::addColumn<int>("records"); // -1: the file is refused
  const QString Golden = QString::fromUtf8(fixture("NetworkAdapters.xml"));
  QTest::newRow("the golden file") << Golden << 2;
  QTest::newRow("the completed working file") << QString::fromUtf8(fixture("completed.xml")) << 4;
  QTest::newRow("a value that does not read")
      << goldenWith(QStringLiteral("<UseDHCP>true</UseDHCP>"),
                    QStringLiteral("<UseDHCP>yes</UseDHCP>"))
      << 2;
  QTest::newRow("an empty list") << QStringLiteral(
                                        "<?xml version=\"1.0\"?><TNetworkAdapterDataList/>")
                                 << 0;
  QTest::newRow("other elements, comments and text between the records")
      << QStringLiteral("<?xml version=\"1.0\"?><TNetworkAdapterDataList a=\"1\">text<!-- c -->"
                        "<TOther><Name>x</Name></TOther><TNetworkAdapterData><Name>one</Name></"
                        "TNetworkAdapterData>"
                        " <tnetworkadapterdata><Name>two</Name></tnetworkadapterdata></"
                        "TNetworkAdapterDataList>")
      << 2;
  QTest::newRow("a root of another name")
      << QStringLiteral("<?xml version=\"1.0\"?><Other><TNetworkAdapterData/></Other>") << -1;
  QTest::newRow("cut off after the first record")
      << Golden.left(Golden.indexOf(QStringLiteral("</TNetworkAdapterData>")) + 22) << -1;
  QTest::newRow("a second root after the records")
      << Golden + QStringLiteral("<TNetworkAdapterDataList/>") << -1;
  QTest::newRow("nested deeper than allowed inside a record")
      << QStringLiteral("<?xml version=\"1.0\"?><TNetworkAdapterDataList><TNetworkAdapterData>") +
             QStringLiteral("<a>").repeated(300) + QStringLiteral("</a>").repeated(300) +
             QStringLiteral("</TNetworkAdapterData></TNetworkAdapterDataList>")
      << -1;
}

// Read a record at a time, a file gives exactly what the whole document
// gives: the same records, or the same error with the list left as it was.
void tst_NetworkAdapterData::readInParts() {
  QFETCH(QString, xml);
  QFETCH(int, records);
  QTemporaryDir Dir;
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  {
    QFile File(Path);
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write(xml.toUtf8());
  }
  const auto outcome = [&](const std::function<void(TObjectList<TNetworkAdapterData>&)>& ARead) {
    TObjectList<TNetworkAdapterData> List;
    List.AddNew()->SetName(QStringLiteral("there before"));
    QString Error;
    try {
      ARead(List);
    } catch (const Exception& E) {
      Error = E.ClassName() + u':' + E.Message();
    }
    TScopedCountingGuids Guids;
    TXmlSerializer Writer;
    SerializeAdapterList(Writer, List);
    return std::pair{Error, Writer.GetXml()};
  };
  const auto Whole = outcome([&](TObjectList<TNetworkAdapterData>& AList) {
    TXmlSerializer Serializer;
    Serializer.LoadFromFile(Path);
    DeserializeAdapterList(Serializer, AList);
  });
  const auto InParts =
      outcome([&](TObjectList<TNetworkAdapterData>& AList) { LoadAdapterList(Path, AList); });
  QCOMPARE(InParts.first, Whole.first);
  QCOMPARE(InParts.second, Whole.second);
  QCOMPARE(InParts.first.isEmpty(), records >= 0);
  TObjectList<TNetworkAdapterData> Read;
  if (records >= 0) {
    LoadAdapterList(Path, Read);
    QCOMPARE(Read.Count(), records);
  }
}

void tst_NetworkAdapterData::writeInParts_data() {
  QTest::addColumn<QString>("source"); // a fixture to read the records from; empty: the golden list
  QTest::newRow("the golden list") << QString();
  QTest::newRow("the completed working file") << QStringLiteral("completed.xml");
  QTest::newRow("an empty list") << QStringLiteral("empty.xml");
}

// Written a record at a time, the working file is byte for byte the file
// that the whole document gives.
void tst_NetworkAdapterData::writeInParts() {
  QFETCH(QString, source);
  TScopedCountingGuids Guids;
  QTemporaryDir Dir;
  TObjectList<TNetworkAdapterData> List;
  if (source.isEmpty()) {
    fillGolden(List);
  } else {
    const QString Source = Dir.filePath(source);
    QFile File(Source);
    QVERIFY(File.open(QIODevice::WriteOnly));
    File.write(source == QLatin1String("empty.xml")
                   ? QByteArray("<?xml version=\"1.0\"?><TNetworkAdapterDataList/>")
                   : fixture("completed.xml"));
    File.close();
    LoadAdapterList(Source, List);
  }
  const QByteArray Whole = write(List, Dir.filePath(QStringLiteral("whole.xml")));
  const QString Path = Dir.filePath(QStringLiteral("NetworkAdapters.xml"));
  SaveAdapterList(Path, List);
  QFile Written(Path);
  QVERIFY(Written.open(QIODevice::ReadOnly));
  QCOMPARE(Written.readAll(), Whole);
  if (source.isEmpty())
    QCOMPARE(Whole, fixture("NetworkAdapters.xml"));
  QVERIFY_THROWS_EXCEPTION(EXmlError,
                           SaveAdapterList(QStringLiteral("/nonexistent-folder/x.xml"), List));
}

KELVANE_TEST_MAIN(tst_NetworkAdapterData)
#include "tst_NetworkAdapterData.moc"
