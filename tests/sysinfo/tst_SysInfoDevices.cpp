// The device table from a registry device tree, and the share, session,
// file and connection enumerators, through the fake platform.

#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "sysinfo/SysInfoDevices.h"
#include "sysinfo/SysInfoShares.h"

#include <QFile>
#include <QTest>

#include <random>

namespace {
QString fixture(const char* AName) {
  QFile File(QFINDTESTDATA(QStringLiteral("../fixtures/sysinfo/") + QLatin1String(AName)));
  return File.open(QIODevice::ReadOnly) ? QString::fromUtf8(File.readAll()) : QString();
}

struct TMachine {
  FakePlatform Fake;
  ScopedPlatform Scope{Fake};
  explicit TMachine(const QString& ARegText = fixture("devices.reg")) {
    Fake.FakeSystem().SetWorkstation(1);
    Fake.FakeReg().Load(ARegText);
    RetakeStartupSnapshot();
  }
  ~TMachine() { RetakeStartupSnapshot(); }
};

QStringList table(const TSysInfoDevices& ADevices) {
  QStringList Rows;
  for (int I = 0; I < ADevices.DeviceCount(); ++I) {
    const TDevice Device = ADevices.Devices(I);
    Rows << QStringLiteral("%1_%2 %3 %4")
                .arg(Device.ClassName, Device.Name, Device.HardwareID)
                .arg(int(Device.DeviceClass));
  }
  return Rows;
}

// The device list's exchange sort as it was written, the measure for the
// order of equal keys.
std::vector<std::size_t> exchangeSorted(const std::vector<QString>& AKeys) {
  std::vector<std::size_t> Order(AKeys.size());
  for (std::size_t I = 0; I < Order.size(); ++I)
    Order[I] = I;
  for (std::size_t I = 0; I + 1 < Order.size(); ++I)
    for (std::size_t J = Order.size() - 1; J > I; --J)
      if (QString::compare(AKeys[Order[I]], AKeys[Order[J]], Qt::CaseSensitive) > 0)
        std::swap(Order[I], Order[J]);
  return Order;
}

QString orderText(const std::vector<std::size_t>& AOrder) {
  QStringList Items;
  for (const std::size_t Index : AOrder)
    Items << QString::number(Index);
  return Items.join(u' ');
}
} // namespace

class tst_SysInfoDevices : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void deviceTable();
  void presentDevicesOnly();
  void deviceFields();
  void classes_data();
  void classes();
  void locations_data();
  void locations();
  void hardwareIds_data();
  void hardwareIds();
  void exchangeSortOrder_data();
  void exchangeSortOrder();
  void exchangeSortOrderOfRandomKeys();
  void valueOfAnotherTypeEndsTheRefresh();
  void sharesInPages();
  void enumerationsThatFail();
  void serverNames_data();
  void serverNames();
};

void tst_SysInfoDevices::deviceTable() {
  TMachine Machine;
  TSysInfoDevices Devices;
  Devices.SetCheckControl(true);
  Devices.RefreshData(0x3FFFFF);
  QVERIFY(Devices.DataAvailable());
  // One entry per hardware identifier, the empty one included; sorted by
  // class and name as ordinal strings (upper case first).
  QCOMPARE(
      table(Devices),
      (QStringList{QStringLiteral("MultiPortSerial_Serial board ROOT\\s %1").arg(int(dcPortSerial)),
                   QStringLiteral("Net_B ROOT\\tun %1").arg(int(dcNet)),
                   QStringLiteral(
                       "Net_Intel(R) PRO/1000 MT PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02 %1")
                       .arg(int(dcNet)),
                   QStringLiteral("Net_a ROOT\\veth %1").arg(int(dcNet)),
                   QStringLiteral("PrintQueue_Printer queue ROOT\\p %1").arg(int(dcUnknown)),
                   QStringLiteral("System_First system device  %1").arg(int(dcSystem))}));
  QCOMPARE(Devices.GetDeviceByHardwareID(QStringLiteral("root\\VETH")), 3);
  QCOMPARE(Devices.GetDeviceByHardwareID(QStringLiteral("ROOT\\gone")), -1);
  QStringList Names;
  Devices.GetDevicesByClass(dcNet, Names);
  QCOMPARE(Names, (QStringList{QStringLiteral("B"), QStringLiteral("Intel(R) PRO/1000 MT"),
                               QStringLiteral("a")}));
}

void tst_SysInfoDevices::presentDevicesOnly() {
  TMachine Machine;
  TSysInfoDevices Devices;
  // Generation 10: only present devices (with a "Control" subkey) count.
  QVERIFY(Devices.CheckControl());
  Devices.RefreshData(0);
  QCOMPARE(Devices.GetDeviceByHardwareID(QStringLiteral("ROOT\\gone")), -1);
  Devices.SetCheckControl(false);
  Devices.RefreshData(0);
  QVERIFY(Devices.GetDeviceByHardwareID(QStringLiteral("ROOT\\gone")) >= 0);
}

void tst_SysInfoDevices::deviceFields() {
  TMachine Machine;
  TSysInfoDevices Devices;
  Devices.RefreshData(0);
  const TDevice Card = Devices.Devices(Devices.GetDeviceByHardwareID(
      QStringLiteral("PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02")));
  QCOMPARE(Card.Subkey, QStringLiteral("3&11583659&0&18"));
  QCOMPARE(Card.GUID, QStringLiteral("{4D36E972-E325-11CE-BFC1-08002BE10318}"));
  QCOMPARE(Card.FriendlyName, QStringLiteral("Intel(R) PRO/1000 MT"));
  QCOMPARE(Card.Description, QStringLiteral("Intel(R) PRO/1000 MT Network Connection"));
  QCOMPARE(Card.Manufacturer, QStringLiteral("Intel Corporation"));
  QCOMPARE(Card.ClassDesc, QStringLiteral("Network adapters"));
  QCOMPARE(Card.ClassIcon, QStringLiteral("-5"));
  QCOMPARE(Card.Location, QStringLiteral("PCI bus 2, device 0, function 0"));
  QCOMPARE(Card.PCINumber, 2);
  QCOMPARE(Card.DriverVersion, QStringLiteral("6.1.0-28-amd64"));
  QCOMPARE(Card.DriverProvider, QStringLiteral("Linux"));
  QCOMPARE(Card.ServiceName, QStringLiteral("Intel PRO/1000 driver"));
  QCOMPARE(Card.ServiceGroup, QStringLiteral("NDIS"));
  QCOMPARE(Card.ServiceType, 1);
  QCOMPARE(Card.VendorID, 0x8086u);
  QCOMPARE(Card.Revision, 2u);
  QCOMPARE(Card.ResourceListKey, Card.RegKey + QStringLiteral("\\LogConf"));
  QCOMPARE(Card.ResourceListValue, QStringLiteral("BootConfig"));
  QCOMPARE(Card.DeviceParam, QStringLiteral("eth0"));
  QVERIFY(Card.Timestamp.Value > 0);

  // A device without a location takes its enumerator's service name.
  const TDevice Virtual =
      Devices.Devices(Devices.GetDeviceByHardwareID(QStringLiteral("ROOT\\veth")));
  QCOMPARE(Virtual.Location, QStringLiteral("Root enumerator"));
  QCOMPARE(Virtual.ResourceListKey, QString());
  const TDevice System = Devices.Devices(Devices.GetDeviceByHardwareID(QString()));
  QCOMPARE(System.ClassDesc, QStringLiteral("System devices"));
  QCOMPARE(System.ClassIcon, QStringLiteral("24"));
}

void tst_SysInfoDevices::classes_data() {
  QTest::addColumn<QString>("className");
  QTest::addColumn<int>("deviceClass");
  QTest::newRow("Net") << QStringLiteral("Net") << int(dcNet);
  QTest::newRow("NetService") << QStringLiteral("NetService") << int(dcNet);
  QTest::newRow("NetTrans") << QStringLiteral("NetTrans") << int(dcNet);
  QTest::newRow("PrintQueue") << QStringLiteral("PrintQueue") << int(dcUnknown);
  QTest::newRow("MultiPortSerial") << QStringLiteral("MultiPortSerial") << int(dcPortSerial);
  QTest::newRow("HIDClass") << QStringLiteral("HIDClass") << int(dcHIDClass);
  QTest::newRow("lower case") << QStringLiteral("usb") << int(dcUSB);
  QTest::newRow("TapeDrive before Tape") << QStringLiteral("TapeDrive") << int(dcTapeDrive);
  QTest::newRow("empty") << QString() << int(dcUnknown);
}

void tst_SysInfoDevices::classes() {
  QFETCH(QString, className);
  QFETCH(int, deviceClass);
  QCOMPARE(int(DeviceClassOf(className)), deviceClass);
}

void tst_SysInfoDevices::locations_data() {
  QTest::addColumn<QString>("location");
  QTest::addColumn<QString>("numbers");
  QTest::newRow("bus, device, function")
      << QStringLiteral("PCI bus 2, device 0, function 0") << QStringLiteral("2 0 0");
  QTest::newRow("two-digit bus") << QStringLiteral("PCI bus 12, device 31, function 6")
                                 << QStringLiteral("12 31 6");
  QTest::newRow("in brackets") << QStringLiteral("on board (3,0,1)") << QStringLiteral("3 0 1");
  QTest::newRow("empty") << QString() << QStringLiteral("-1 -1 -1");
  QTest::newRow("no commas") << QStringLiteral("Port_#0001.Hub_#0002")
                             << QStringLiteral("-1 -1 -1");
}

void tst_SysInfoDevices::locations() {
  QFETCH(QString, location);
  QFETCH(QString, numbers);
  TDevice Device;
  ParsePCILocation(location, Device);
  QCOMPARE(QStringLiteral("%1 %2 %3")
               .arg(Device.PCINumber)
               .arg(Device.DeviceNumber)
               .arg(Device.FunctionNumber),
           numbers);
}

void tst_SysInfoDevices::hardwareIds_data() {
  QTest::addColumn<QString>("hardwareId");
  QTest::addColumn<QString>("ids");
  QTest::newRow("full") << QStringLiteral("PCI\\VEN_8086&DEV_100E&SUBSYS_001E8086&REV_02")
                        << QStringLiteral("8086 100e 1e8086 2");
  QTest::newRow("no subsystem, no revision")
      << QStringLiteral("PCI\\VEN_10EC&DEV_8168") << QStringLiteral("10ec 8168 0 0");
  QTest::newRow("USB is not PCI") << QStringLiteral("USB\\VID_0BDA&PID_8153")
                                  << QStringLiteral("0 0 0 0");
}

void tst_SysInfoDevices::hardwareIds() {
  QFETCH(QString, hardwareId);
  QFETCH(QString, ids);
  TDevice Device;
  ParsePCIHardwareID(hardwareId, Device);
  QCOMPARE(QStringLiteral("%1 %2 %3 %4")
               .arg(Device.VendorID, 0, 16)
               .arg(Device.DeviceID, 0, 16)
               .arg(Device.SubSysID, 0, 16)
               .arg(Device.Revision, 0, 16),
           ids);
}

void tst_SysInfoDevices::exchangeSortOrder_data() {
  QTest::addColumn<QString>("keys");
  QTest::addColumn<QString>("order");
  QTest::newRow("none") << QString() << QString();
  QTest::newRow("one") << QStringLiteral("a") << QStringLiteral("0");
  QTest::newRow("all equal") << QStringLiteral("x x x x") << QStringLiteral("0 1 2 3");
  QTest::newRow("distinct, reversed") << QStringLiteral("d c b a") << QStringLiteral("3 2 1 0");
  QTest::newRow("equal pair, smaller behind") << QStringLiteral("b b a") << QStringLiteral("2 1 0");
  QTest::newRow("equal pair around a smaller one")
      << QStringLiteral("b a b") << QStringLiteral("1 0 2");
  QTest::newRow("equal first, smaller ones behind")
      << QStringLiteral("b c b a a") << QStringLiteral("4 3 2 0 1");
  QTest::newRow("greater first rotates the equal ones")
      << QStringLiteral("c a b b b a a") << QStringLiteral("6 1 5 3 4 2 0");
  QTest::newRow("equal ones left of the first smaller one")
      << QStringLiteral("c c b a b b") << QStringLiteral("3 4 2 5 1 0");
  QTest::newRow("greater ones between equal ones")
      << QStringLiteral("b c b c b a") << QStringLiteral("5 0 2 4 3 1");
  QTest::newRow("upper case sorts first")
      << QStringLiteral("a B a B A") << QStringLiteral("4 1 3 2 0");
}

void tst_SysInfoDevices::exchangeSortOrder() {
  QFETCH(QString, keys);
  QFETCH(QString, order);
  const QStringList Split = keys.split(u' ', Qt::SkipEmptyParts);
  const std::vector<QString> Keys(Split.begin(), Split.end());
  QCOMPARE(orderText(exchangeSorted(Keys)), order);
  QCOMPARE(orderText(ExchangeSortOrder(Keys)), order);
}

void tst_SysInfoDevices::exchangeSortOrderOfRandomKeys() {
  // Few distinct keys, so that most keys have equal ones; the long lists
  // give the greater elements long runs over few equal ones.
  std::mt19937 Random(20260101);
  for (int Round = 0; Round < 30000; ++Round) {
    const bool Long = Round % 100 == 0;
    const int Count = std::uniform_int_distribution<int>(0, Long ? 300 : 14)(Random);
    const int Distinct = std::uniform_int_distribution<int>(1, Long ? 6 : 4)(Random);
    std::vector<QString> Keys;
    for (int I = 0; I < Count; ++I)
      Keys.push_back(
          QString(QChar(u'a' + std::uniform_int_distribution<int>(0, Distinct - 1)(Random))));
    const QString Expected = orderText(exchangeSorted(Keys));
    const QString Actual = orderText(ExchangeSortOrder(Keys));
    if (Actual != Expected) {
      QStringList Text(Keys.begin(), Keys.end());
      QFAIL(
          qPrintable(QStringLiteral("keys %1: %2, not %3").arg(Text.join(u' '), Actual, Expected)));
    }
  }
}

void tst_SysInfoDevices::valueOfAnotherTypeEndsTheRefresh() {
  TMachine Machine(QStringLiteral(
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\ROOT\\X\\0000]\n"
      "\"FriendlyName\"=dword:00000001\n"
      "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\ROOT\\X\\0000\\Control]\n"));
  TSysInfoDevices Devices;
  QVERIFY_THROWS_EXCEPTION(ERegistryException, Devices.RefreshData(0));
}

void tst_SysInfoDevices::sharesInPages() {
  TMachine Machine{QString()};
  FakeNetApi& Net = Machine.Fake.FakeNetwork();
  for (int I = 0; I < 5; ++I)
    Net.Shares.push_back({QStringLiteral("share%1").arg(I), DWORD(I == 4 ? 0x80000003u : I % 4),
                          QString(), 0, 10, 1, QStringLiteral("/srv/%1").arg(I), QString()});
  Net.Sessions.push_back({QStringLiteral("\\\\client"), QStringLiteral("guest"), 2, 60, 5, 1,
                          QStringLiteral("Linux"), QStringLiteral("tcp")});
  Net.Files.push_back({17, 1, 0, QStringLiteral("/srv/file"), QStringLiteral("alice")});
  Net.Connections.push_back(
      {3, 0x80000000u, 1, 1, 30, QStringLiteral("bob"), QStringLiteral("share0")});
  TNTShares Shares;
  QCOMPARE(Shares.Machine(), QStringLiteral("\\\\FAKEHOST"));
  Shares.RefreshShares();
  Shares.RefreshSessions();
  Shares.RefreshOpenFiles();
  QCOMPARE(Shares.ShareCount(), 5);
  QCOMPARE(Shares.Shares(1)->ShareType, stPrnQue);
  QCOMPARE(Shares.Shares(3)->ShareType, stIPC);
  QCOMPARE(Shares.Shares(4)->ShareType, stIPC); // only the low four bits count
  QCOMPARE(Shares.Shares(2)->Path, QStringLiteral("/srv/2"));
  QVERIFY(!Shares.Shares(5));
  QVERIFY(Shares.Sessions(0)->Guest);
  QCOMPARE(Shares.OpenFiles(0)->Name, QByteArray("/srv/file"));
  QCOMPARE(Net.Calls.filter(QStringLiteral("NetShareEnum")).size(), 3); // pages of two

  TConnections Connections;
  Connections.SetQualifier(QStringLiteral("share0"));
  Connections.Refresh(true);
  Connections.Refresh(false);
  QCOMPARE(Connections.ConnectionCount(), 2); // kept from the first refresh
  QCOMPARE(Connections.Connections(0)->ConnType, stSpecial);
  QCOMPARE(Net.Calls.last(), QStringLiteral("NetConnectionEnum \\\\FAKEHOST share0"));
}

void tst_SysInfoDevices::enumerationsThatFail() {
  TMachine Machine{QString()};
  FakeNetApi& Net = Machine.Fake.FakeNetwork();
  for (int I = 0; I < 3; ++I) {
    TShareInfo2 Share;
    Share.NetName = QStringLiteral("s%1").arg(I);
    Net.Shares.push_back(Share);
  }
  Net.Failing[TNetApiFunction::NetSessionEnum] = NERR_ServerNotStarted;
  Net.Missing.insert(TNetApiFunction::NetFileEnum);
  Net.Files.push_back(TFileInfo3());
  TNTShares Shares;
  Shares.RefreshShares();
  Shares.RefreshSessions();
  Shares.RefreshOpenFiles();
  QCOMPARE(Shares.ShareCount(), 3);
  QCOMPARE(Shares.SessionCount(), 0);
  QCOMPARE(Shares.OpenFileCount(), 0);
  QVERIFY(Net.Calls.filter(QStringLiteral("NetFileEnum")).isEmpty());
}

void tst_SysInfoDevices::serverNames_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("server");
  QTest::newRow("plain") << QStringLiteral("HOST") << QStringLiteral("\\\\HOST");
  QTest::newRow("empty") << QString() << QStringLiteral("\\\\.");
  QTest::newRow("already prefixed") << QStringLiteral("\\\\HOST") << QStringLiteral("\\\\HOST");
  QTest::newRow("one backslash stays") << QStringLiteral("\\HOST") << QStringLiteral("\\HOST");
}

void tst_SysInfoDevices::serverNames() {
  QFETCH(QString, name);
  QFETCH(QString, server);
  TNTShares Shares;
  Shares.SetMachine(name);
  QCOMPARE(Shares.Machine(), server);
}

KELVANE_TEST_MAIN(tst_SysInfoDevices)
#include "tst_SysInfoDevices.moc"
