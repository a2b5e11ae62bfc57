// The system-information family on Linux: on fixture machines (sysfs,
// procfs and /etc trees turned into the registry's system view) and on the
// machine the test runs on.

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "platform/fake/FakePlatform.h"
#include "platform/linux/LinuxNetApi.h"
#include "platform/linux/SystemView.h"
#include "sysinfo/SysInfoDevices.h"
#include "sysinfo/SysInfoNetwork.h"
#include "sysinfo/SysInfoShares.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

namespace {
// The device split of the network component: a network device with a
// resource list and a location is physical.
void splitDevices(QStringList& APhysical, QStringList& AVirtual) {
  TSysInfoDevices Devices;
  Devices.RefreshData(0x3FFFFF);
  for (int I = 0; I < Devices.DeviceCount(); ++I) {
    const TDevice Device = Devices.Devices(I);
    if (Device.DeviceClass == dcNet)
      (!Device.ResourceListKey.isEmpty() && !Device.Location.isEmpty() ? APhysical : AVirtual)
          << Device.Name;
  }
}
} // namespace

class tst_SysInfoOnLinux : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void fixtureMachines_data();
  void fixtureMachines();
  void thisMachine();
  void networkOfThisMachine();
  void linuxHasNoServer();
};

void tst_SysInfoOnLinux::fixtureMachines_data() {
  QTest::addColumn<QString>("tree");
  QTest::addColumn<QStringList>("physical");
  QTest::addColumn<QStringList>("virtualAdapters");
  QTest::addColumn<bool>("qemu");
  QTest::newRow("Ethernet and wireless on PCI")
      << QStringLiteral("pci") << QStringList{QStringLiteral("eno1"), QStringLiteral("wlp2s0")}
      << QStringList() << false;
  QTest::newRow("USB Ethernet adapter")
      << QStringLiteral("usb") << QStringList{QStringLiteral("enx00e04c680001")} << QStringList()
      << false;
  QTest::newRow("virtual links")
      << QStringLiteral("virtual") << QStringList()
      << QStringList{QStringLiteral("br0"),  QStringLiteral("dummy0"), QStringLiteral("macvlan0"),
                     QStringLiteral("tap0"), QStringLiteral("tun0"),   QStringLiteral("veth0"),
                     QStringLiteral("wg0")}
      << false;
  QTest::newRow("QEMU guest") << QStringLiteral("qemu") << QStringList{QStringLiteral("enp0s3")}
                              << QStringList() << true;
}

void tst_SysInfoOnLinux::fixtureMachines() {
  QFETCH(QString, tree);
  QFETCH(QStringList, physical);
  QFETCH(QStringList, virtualAdapters);
  QFETCH(bool, qemu);
  TScratchDir Scratch;
  const QString Root = Scratch.FilePath(QStringLiteral("root"));
  QCOMPARE(LayOutTree(Root, SystemViewTree(tree)), QString());
  FakePlatform Fake;
  Fake.FakeSystem().SetWorkstation();
  BuildSystemView(Fake.FakeReg().Hive(), Root);
  ScopedPlatform Scope(Fake);
  RetakeStartupSnapshot();
  QStringList Physical, Virtual;
  splitDevices(Physical, Virtual);
  QCOMPARE(Physical, physical);
  QCOMPARE(Virtual, virtualAdapters);
  const TSessionTypes Expected = qemu ? TSessionTypes{stLocal, stQEMU} : TSessionTypes{stLocal};
  QVERIFY(GetSessionTypes() == Expected);
  RetakeStartupSnapshot();
}

// The whole family against the system it runs on: nothing fails, and every
// interface with a device is a physical network device, every other one
// (loopback aside) a virtual one.
void tst_SysInfoOnLinux::thisMachine() {
  RetakeStartupSnapshot();
  QStringList Physical, Virtual;
  splitDevices(Physical, Virtual);
  for (const TSysNetInterface& Interface : ReadSysNetInterfaces()) {
    QVERIFY2((Interface.HasDevice ? Physical : Virtual).contains(Interface.Name),
             qPrintable(Interface.Name));
    QVERIFY2(!(Interface.HasDevice ? Virtual : Physical).contains(Interface.Name),
             qPrintable(Interface.Name));
  }
  TSysInfoComponent Component;
  QVERIFY(!Component.LoggedUser().isEmpty());
  QVERIFY2(Component.SID().startsWith(QLatin1String("S-1-22-1-")), qPrintable(Component.SID()));
  QVERIFY(Component.Session().count(stLocal) + Component.Session().count(stTerminal) == 1);
  TNTShares Shares;
  Shares.RefreshShares();
  TConnections Connections;
  Connections.Refresh(true);
  QCOMPARE(Shares.ShareCount() + Connections.ConnectionCount(), 0);
  QStringList Addresses;
  QCOMPARE(GetNetBIOSMACAddresses(StartupSnapshot().MachineName, Addresses), 0);
}

// One refresh of this machine: every interface but loopback is an adapter,
// under its own name, and the physical ones are physical.
void tst_SysInfoOnLinux::networkOfThisMachine() {
  RetakeStartupSnapshot();
  TSysInfoNetwork Network;
  Network.RefreshData(0x3FFFFF);
  TSysInfoTCPIP* TCPIP = Network.TCPIP();
  QVERIFY(TCPIP->DataAvailable());
  for (const TSysNetInterface& Interface : ReadSysNetInterfaces()) {
    const std::int32_t Index = TCPIP->FindAdapter(Interface.Name);
    QVERIFY2(Index >= 0, qPrintable(Interface.Name));
    QCOMPARE(Network.PhysicalAdapters().contains(Interface.Name), Interface.HasDevice);
    QCOMPARE(TCPIP->Adapters(std::uint16_t(Index)).IPAddress->size() >= 1, true);
  }
  QVERIFY(!TCPIP->HostName().isEmpty());
  QVERIFY(Network.WinSock()->Status() == QLatin1String("Running"));
}

// Linux serves no shares, sessions or files, and holds no connections.
void tst_SysInfoOnLinux::linuxHasNoServer() {
  struct TLinuxServices : FakePlatform {
    LinuxNetApi Net;
    INetApi& NetApi() override { return Net; }
  } Linux;
  ScopedPlatform Scope(Linux);
  Linux.FakeSystem().SetWorkstation(1);
  RetakeStartupSnapshot();
  TNTShares Shares;
  Shares.RefreshShares();
  Shares.RefreshSessions();
  Shares.RefreshOpenFiles();
  TConnections Connections;
  Connections.Refresh(true);
  QCOMPARE(Shares.ShareCount() + Shares.SessionCount() + Shares.OpenFileCount() +
               Connections.ConnectionCount(),
           0);
  RetakeStartupSnapshot();
}

KELVANE_TEST_MAIN(tst_SysInfoOnLinux)
#include "tst_SysInfoOnLinux.moc"
