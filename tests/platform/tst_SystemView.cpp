// The registry's system view: fixture machines laid out as sysfs, procfs
// and /etc trees, hostile trees, the setting identifiers, and the machine
// this test runs on.

#include "support/FixtureTree.h"
#include "support/TestMain.h"

#include "platform/RegFile.h"
#include "platform/Registry.h"
#include "platform/RegistryAccess.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/SystemView.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray fixtureMachineId(const QString& ARoot) {
  QFile File(ARoot + QStringLiteral("/etc/machine-id"));
  return File.open(QIODevice::ReadOnly) ? File.readAll().trimmed() : QByteArray();
}

// ---- Checks ---------------------------------------------------------------

QString guid(const QString& AClass) {
  static const QHash<QString, QString> Guids{
      {QStringLiteral("Net"), QStringLiteral("{4D36E972-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("NetClient"), QStringLiteral("{4D36E973-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("NetService"), QStringLiteral("{4D36E974-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("NetTrans"), QStringLiteral("{4D36E975-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("Display"), QStringLiteral("{4D36E968-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("HDC"), QStringLiteral("{4D36E96A-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("MEDIA"), QStringLiteral("{4D36E96C-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("SCSIAdapter"), QStringLiteral("{4D36E97B-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("System"), QStringLiteral("{4D36E97D-E325-11CE-BFC1-08002BE10318}")},
      {QStringLiteral("USB"), QStringLiteral("{36FC9E60-C465-11CF-8056-444553540000}")},
      {QStringLiteral("DiskDrive"), QStringLiteral("{4D36E967-E325-11CE-BFC1-08002BE10318}")}};
  return Guids.value(AClass);
}

// Check lines name keys below HKEY_LOCAL_MACHINE, with "CCS" for
// SYSTEM\CurrentControlSet, "CV" for SOFTWARE\Microsoft\Windows
// NT\CurrentVersion, "{Class}" for a class GUID and "<id X>" for the
// setting id of X on the fixture's machine.
QString expand(QString ACheck, const QByteArray& AMachineId) {
  if (ACheck.startsWith(u'!') || ACheck.startsWith(u'#'))
    return ACheck.left(1) + expand(ACheck.mid(1), AMachineId);
  static const QRegularExpression ControlSet(QStringLiteral("^CCS(?=[\\\\:])"));
  static const QRegularExpression Version(QStringLiteral("^CV(?=[\\\\:])"));
  ACheck.replace(ControlSet, QStringLiteral("SYSTEM\\CurrentControlSet"));
  ACheck.replace(Version, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"));
  static const QRegularExpression Class(QStringLiteral("\\{([A-Za-z]+)\\}"));
  static const QRegularExpression Id(QStringLiteral("<id ([^>]*)>"));
  for (QRegularExpressionMatch M; (M = Class.match(ACheck)).hasMatch();)
    ACheck.replace(M.capturedStart(), M.capturedLength(), guid(M.captured(1)));
  for (QRegularExpressionMatch M; (M = Id.match(ACheck)).hasMatch();)
    ACheck.replace(M.capturedStart(), M.capturedLength(),
                   InterfaceSettingId(AMachineId, M.captured(1)));
  return ACheck;
}

QString valueText(const TRegValue& AValue) {
  std::uint32_t Number = 0;
  switch (AValue.Type) {
  case REG_SZ:
    return QStringLiteral("SZ ") + AValue.AsString();
  case REG_MULTI_SZ:
    return QStringLiteral("MULTI_SZ ") + AValue.AsMultiString().join(u'|');
  case REG_DWORD:
    return AValue.AsDword(Number) ? QStringLiteral("DWORD %1").arg(Number) : QStringLiteral("?");
  default:
    return QStringLiteral("TYPE%1 %2")
        .arg(AValue.Type)
        .arg(QString::fromLatin1(AValue.Data.toHex()));
  }
}

const TRegKey* findKey(const TRegHive& AHive, const QString& APath) {
  return AHive.Find(HKEY_LOCAL_MACHINE, SplitKeyPath(APath));
}

// What an (expanded) check line reads as on AHive: the line itself when it holds.
//   "path"                    the key exists
//   "!path"                   the key does not
//   "#path = N"               the key has N subkeys
//   "path: name = TYPE text"  the value (name "@" is the default value)
//   "!path: name"             the value does not exist
QString observe(const TRegHive& AHive, const QString& ACheck) {
  if (ACheck.startsWith(u'#')) {
    const QString Path = ACheck.mid(1).section(QStringLiteral(" = "), 0, 0);
    const TRegKey* Key = findKey(AHive, Path);
    return QStringLiteral("#%1 = %2")
        .arg(Path, Key ? QString::number(Key->SubKeyCount()) : QStringLiteral("(no key)"));
  }
  const bool Absent = ACheck.startsWith(u'!');
  const QString Body = Absent ? ACheck.mid(1) : ACheck;
  const qsizetype Colon = Body.indexOf(QStringLiteral(": "));
  const QString Path = Colon < 0 ? Body : Body.left(Colon);
  const TRegKey* Key = findKey(AHive, Path);
  if (Colon < 0)
    return (Key ? QString() : QStringLiteral("!")) + Path;
  const QString Name = Body.mid(Colon + 2).section(QStringLiteral(" = "), 0, 0);
  const TRegValue* Value = Key ? Key->Value(Name == u"@" ? QString() : Name) : nullptr;
  if (!Value)
    return QStringLiteral("!%1: %2").arg(Path, Name);
  return QStringLiteral("%1: %2 = %3").arg(Path, Name, valueText(*Value));
}

struct TViewKey {
  QString Path;
  const TRegKey* Key;
};

// Every key of HKEY_LOCAL_MACHINE with its path, parents first.
std::vector<TViewKey> allKeys(const TRegHive& AHive) {
  std::vector<TViewKey> Keys;
  std::vector<TViewKey> Pending{{QString(), AHive.Root(HKEY_LOCAL_MACHINE)}};
  while (!Pending.empty()) {
    TViewKey Item = Pending.back();
    Pending.pop_back();
    Keys.push_back(Item);
    for (qsizetype I = Item.Key->SubKeyCount() - 1; I >= 0; --I) {
      const TRegKey& Child = Item.Key->SubKeyAt(I);
      Pending.push_back(
          {Item.Path.isEmpty() ? Child.Name() : Item.Path + u'\\' + Child.Name(), &Child});
    }
  }
  return Keys;
}

QString stringValue(const TRegKey& AKey, const QString& AName) {
  const TRegValue* Value = AKey.Value(AName);
  return Value && Value->Type == REG_SZ ? Value->AsString() : QString();
}

// What any view must hold to, whatever the machine: the shape readers rely
// on. Returns the breaches found.
QStringList viewProblems(const TRegHive& AHive, const QByteArray& AMachineId) {
  QStringList Problems;
  QSet<QString> VirtualIds, PhysicalSettingIds;
  const QString Enum = QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\");
  for (const TViewKey& Item : allKeys(AHive)) {
    const TRegKey& Key = *Item.Key;
    if (!Item.Path.isEmpty() && (Key.Name().isEmpty() || Key.Name().contains(u'\\')))
      Problems << QStringLiteral("key name unusable in a path: ") + Item.Path;
    if (!AMachineId.isEmpty() && Item.Path.contains(QString::fromLatin1(AMachineId)))
      Problems << QStringLiteral("machine id in a key name: ") + Item.Path;
    for (qsizetype I = 0; I < Key.ValueCount(); ++I) {
      const QString& Name = Key.ValueNameAt(I);
      const TRegValue& Value = Key.ValueAt(I);
      const DWORD Expected = Name == u"HardwareID" || Name == u"CompatibleIDs" ? REG_MULTI_SZ
                             : Name == u"Type"                                 ? REG_DWORD
                             : Name == u"BootConfig"                           ? REG_RESOURCE_LIST
                                                                               : REG_SZ;
      if (Value.Type != Expected)
        Problems << QStringLiteral("%1: %2 has type %3").arg(Item.Path, Name).arg(Value.Type);
      if (!AMachineId.isEmpty() && valueText(Value).contains(QString::fromLatin1(AMachineId)))
        Problems << QStringLiteral("machine id in %1: %2").arg(Item.Path, Name);
    }
    // Device instances: three levels below Enum.
    if (!Item.Path.startsWith(Enum) || Item.Path.mid(Enum.size()).count(u'\\') != 2)
      continue;
    for (const char* Name : {"Class", "ClassGUID", "DeviceDesc", "Mfg", "Service", "Driver"})
      if (!Key.Value(QLatin1String(Name)))
        Problems << QStringLiteral("%1: no %2").arg(Item.Path, QLatin1String(Name));
    const TRegValue* HardwareIds = Key.Value(QStringLiteral("HardwareID"));
    if (!HardwareIds || HardwareIds->AsMultiString().isEmpty())
      Problems << Item.Path + QStringLiteral(": no HardwareID");
    if (!Key.SubKey(QStringLiteral("Control")))
      Problems << Item.Path + QStringLiteral(": no Control key");
    const QString Driver = stringValue(Key, QStringLiteral("Driver"));
    const TRegKey* DriverKey =
        findKey(AHive, QStringLiteral("SYSTEM\\CurrentControlSet\\Control\\Class\\") + Driver);
    if (!DriverKey || !Driver.startsWith(stringValue(Key, QStringLiteral("ClassGUID")) + u'\\'))
      Problems
          << QStringLiteral("%1: driver key %2 missing or of another class").arg(Item.Path, Driver);
    const bool HasResources = Key.SubKey(QStringLiteral("LogConf")) != nullptr;
    const bool HasLocation = Key.Value(QStringLiteral("LocationInformation")) != nullptr;
    if (HasResources != HasLocation)
      Problems << Item.Path + QStringLiteral(": LogConf and LocationInformation disagree");
    if (!HasLocation && HardwareIds) {
      for (const QString& Id : HardwareIds->AsMultiString())
        if (Id.startsWith(QStringLiteral("ROOT\\"))) {
          if (VirtualIds.contains(Id))
            Problems << QStringLiteral("hardware id %1 given twice").arg(Id);
          VirtualIds.insert(Id);
        }
    }
    if (stringValue(Key, QStringLiteral("Class")) == u"Net" && DriverKey) {
      const QString SettingId = stringValue(*DriverKey, QStringLiteral("NetCfgInstanceId"));
      if (SettingId.isEmpty())
        continue;
      if (!findKey(AHive, QStringLiteral("SYSTEM\\CurrentControlSet\\services\\") + SettingId))
        Problems << QStringLiteral("%1: no services key for %2").arg(Item.Path, SettingId);
      if (HasResources && HasLocation)
        PhysicalSettingIds.insert(SettingId);
    }
  }
  QSet<QString> Cards;
  if (const TRegKey* CardsKey = findKey(
          AHive, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards")))
    for (qsizetype I = 0; I < CardsKey->SubKeyCount(); ++I)
      Cards.insert(stringValue(CardsKey->SubKeyAt(I), QStringLiteral("ServiceName")));
  if (Cards != PhysicalSettingIds)
    Problems << QStringLiteral("network cards %1 are not the physical adapters %2")
                    .arg(QStringList(Cards.values()).join(u','),
                         QStringList(PhysicalSettingIds.values()).join(u','));
  return Problems;
}

} // namespace

class tst_SystemView : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void fixtures_data();
  void fixtures();
  void interfaces_data();
  void interfaces();
  void virtualMachineMarkers_data();
  void virtualMachineMarkers();
  void hostile_data();
  void hostile();
  void settingId_data();
  void settingId();
  void realSystem();
  void machineFileOverridesView();
  void systemRootFromEnvironment();

private:
  // Lays out ATree in a fresh temporary folder ("root" beside "outside")
  // and builds the view of ARootName below it.
  bool buildView(const QByteArray& ATree, TRegHive& AHive, QString& ARoot,
                 const QString& ARootName = QStringLiteral("root"));
  void verifyChecks(const TRegHive& AHive, const QString& ARoot, const QStringList& AChecks);

  std::unique_ptr<TScratchDir> FDir;
};

bool tst_SystemView::buildView(const QByteArray& ATree, TRegHive& AHive, QString& ARoot,
                               const QString& ARootName) {
  FDir = std::make_unique<TScratchDir>();
  if (!FDir->IsValid())
    return false;
  const QString Error = LayOutTree(FDir->FilePath(QStringLiteral("root")), ATree);
  if (!Error.isEmpty()) {
    qWarning("%s", qPrintable(Error));
    return false;
  }
  ARoot = FDir->FilePath(ARootName);
  BuildSystemView(AHive, ARoot);
  return true;
}

void tst_SystemView::verifyChecks(const TRegHive& AHive, const QString& ARoot,
                                  const QStringList& AChecks) {
  const QByteArray MachineId = fixtureMachineId(ARoot);
  QStringList Expected, Actual;
  for (const QString& Check : AChecks) {
    Expected << expand(Check, MachineId);
    Actual << observe(AHive, Expected.last());
  }
  QCOMPARE(Actual, Expected);
  QCOMPARE(viewProblems(AHive, MachineId).join(u'\n'), QString());
}

void tst_SystemView::fixtures_data() {
  QTest::addColumn<QString>("tree");
  QTest::addColumn<QStringList>("checks");

  const QString Eno1 =
      QStringLiteral("CCS\\Enum\\PCI\\VEN_8086&DEV_15FC&SUBSYS_0A6F1028&REV_11\\0000&00&1F&6");
  const QString Wlan =
      QStringLiteral("CCS\\Enum\\PCI\\VEN_8086&DEV_2725&SUBSYS_00248086&REV_1A\\0000&02&00&0");
  const QString Pci = QStringLiteral("CCS\\Enum\\PCI\\");
  QTest::newRow("ethernet and wireless on pci")
      << QStringLiteral("pci")
      << QStringList{
             Eno1 + QStringLiteral(": Class = SZ Net"),
             Eno1 + QStringLiteral(": ClassGUID = SZ {Net}"),
             Eno1 + QStringLiteral(": DeviceDesc = SZ eno1"),
             Eno1 + QStringLiteral(": FriendlyName = SZ eno1"),
             Eno1 + QStringLiteral(": Mfg = SZ Vendor 8086"),
             Eno1 + QStringLiteral(": Service = SZ e1000e"),
             Eno1 + QStringLiteral(": Driver = SZ {Net}\\0000"),
             Eno1 + QStringLiteral(": HardwareID = MULTI_SZ "
                                   "PCI\\VEN_8086&DEV_15FC&SUBSYS_0A6F1028&REV_11|"
                                   "PCI\\VEN_8086&DEV_15FC&SUBSYS_0A6F1028|PCI\\VEN_8086&DEV_15FC"),
             Eno1 + QStringLiteral(": LocationInformation = SZ PCI bus 0, device 31, function 6"),
             Eno1 + QStringLiteral("\\LogConf: BootConfig = TYPE8 00000000"),
             Eno1 + QStringLiteral("\\Control"),
             Eno1 + QStringLiteral("\\Device Parameters"),
             Wlan + QStringLiteral(": Class = SZ Net"),
             Wlan + QStringLiteral(": FriendlyName = SZ wlp2s0"),
             Wlan + QStringLiteral(": Service = SZ iwlwifi"),
             Wlan + QStringLiteral(": LocationInformation = SZ PCI bus 2, device 0, function 0"),
             Wlan + QStringLiteral(": Driver = SZ {Net}\\0001"),
             Wlan + QStringLiteral("\\LogConf"),
             Pci + QStringLiteral("VEN_8086&DEV_4C8A&SUBSYS_0A6F1028&REV_04\\0000&00&02&0: "
                                  "Class = SZ Display"),
             Pci + QStringLiteral("VEN_8086&DEV_4C8A&SUBSYS_0A6F1028&REV_04\\0000&00&02&0: "
                                  "Service = SZ i915"),
             QStringLiteral("!") + Pci +
                 QStringLiteral("VEN_8086&DEV_4C8A&SUBSYS_0A6F1028&REV_04\\0000&00&02&0: "
                                "FriendlyName"),
             Pci + QStringLiteral("VEN_8086&DEV_43D2&SUBSYS_0A6F1028&REV_11\\0000&00&17&0: "
                                  "Class = SZ SCSIAdapter"),
             Pci + QStringLiteral("VEN_8086&DEV_43B8&SUBSYS_0A6F1028&REV_11\\0000&00&1C&0: "
                                  "Class = SZ System"),
             Pci + QStringLiteral("VEN_8086&DEV_43B8&SUBSYS_0A6F1028&REV_11\\0000&00&1C&0: "
                                  "Service = SZ "),
             QStringLiteral("#CCS\\Enum\\PCI = 5"),
             QStringLiteral("!CCS\\Enum\\ROOT"),
             QStringLiteral("!CCS\\Enum\\IDE"),
             QStringLiteral("CCS\\Control\\Class\\{Net}: @ = SZ Network adapters"),
             QStringLiteral("CCS\\Control\\Class\\{Net}: Class = SZ Net"),
             QStringLiteral("CCS\\Control\\Class\\{Display}: @ = SZ Display adapters"),
             QStringLiteral("CCS\\Control\\Class\\{NetTrans}: Class = SZ NetTrans"),
             QStringLiteral("CCS\\Control\\Class\\{NetService}: @ = SZ Network Service"),
             QStringLiteral("CCS\\Control\\Class\\{NetClient}: @ = SZ Network Client"),
             QStringLiteral("!CCS\\Control\\Class\\{USB}"),
             QStringLiteral("CCS\\Control\\Class\\{Net}\\0000: DriverDesc = SZ eno1"),
             QStringLiteral("CCS\\Control\\Class\\{Net}\\0000: DriverVersion = SZ 6.1.0-18-amd64"),
             QStringLiteral("CCS\\Control\\Class\\{Net}\\0000: ProviderName = SZ Linux"),
             QStringLiteral("CCS\\Control\\Class\\{Net}\\0000: "
                            "NetCfgInstanceId = SZ <id 3c:7c:3f:aa:bb:01>"),
             QStringLiteral("CCS\\Control\\Class\\{Net}\\0001: "
                            "NetCfgInstanceId = SZ <id 80:45:dd:00:11:22>"),
             QStringLiteral("!CCS\\Control\\Class\\{Display}\\0000: NetCfgInstanceId"),
             QStringLiteral("#CV\\NetworkCards = 2"),
             QStringLiteral("CV\\NetworkCards\\1: Description = SZ eno1"),
             QStringLiteral("CV\\NetworkCards\\1: ServiceName = SZ <id 3c:7c:3f:aa:bb:01>"),
             QStringLiteral("CV\\NetworkCards\\2: Description = SZ wlp2s0"),
             QStringLiteral("CCS\\services\\<id 3c:7c:3f:aa:bb:01>: DisplayName = SZ eno1"),
             QStringLiteral("CCS\\services\\<id 80:45:dd:00:11:22>: DisplayName = SZ wlp2s0"),
             QStringLiteral("CCS\\Services\\e1000e: Group = SZ NDIS"),
             QStringLiteral("CCS\\Services\\e1000e: Type = DWORD 1"),
             QStringLiteral("CCS\\Services\\ahci: Group = SZ "),
             QStringLiteral("CCS\\Control\\Network\\{Net}\\<id 3c:7c:3f:aa:bb:01>\\Connection: "
                            "Name = SZ eno1"),
             QStringLiteral("CCS\\Control\\Network\\{NetTrans}\\"
                            "{6B656C76-0000-4000-8000-000000000001}: "
                            "Description = SZ Internet Protocol Version 4 (TCP/IPv4)"),
             QStringLiteral("CCS\\Control\\Network\\{NetTrans}\\"
                            "{6B656C76-0000-4000-8000-000000000002}: "
                            "Description = SZ Internet Protocol Version 6 (TCP/IPv6)"),
             QStringLiteral("CCS\\Control\\Network\\{NetService}\\"
                            "{6B656C76-0000-4000-8000-000000000003}: "
                            "Description = SZ DNS resolver (resolv.conf)"),
             QStringLiteral("CV: ProductName = SZ Debian GNU/Linux 12 (bookworm)"),
             QStringLiteral("CV: CurrentVersion = SZ 6.2"),
             QStringLiteral("CCS\\Control\\ComputerName\\ComputerName: ComputerName = SZ desk1"),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: Hostname = SZ desk1"),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: Domain = SZ corp.example"),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: "
                            "SearchList = SZ corp.example,lab.example"),
         };

  const QString Adapter = QStringLiteral("CCS\\Enum\\USB\\VID_0BDA&PID_8153\\000001000000");
  QTest::newRow("usb ethernet adapter")
      << QStringLiteral("usb")
      << QStringList{
             Adapter + QStringLiteral(": Class = SZ Net"),
             Adapter + QStringLiteral(": FriendlyName = SZ enx00e04c680001"),
             Adapter + QStringLiteral(": Service = SZ r8152"),
             Adapter + QStringLiteral(": Mfg = SZ Realtek"),
             Adapter + QStringLiteral(": HardwareID = MULTI_SZ "
                                      "USB\\VID_0BDA&PID_8153&REV_3000|USB\\VID_0BDA&PID_8153"),
             Adapter + QStringLiteral(": LocationInformation = SZ Port_#0001.Hub_#0001"),
             Adapter + QStringLiteral("\\LogConf: BootConfig = TYPE8 00000000"),
             QStringLiteral("#CCS\\Enum\\USB = 3"),
             QStringLiteral("CCS\\Enum\\USB\\VID_05E3&PID_0626\\2-3: Class = SZ USB"),
             QStringLiteral("CCS\\Enum\\USB\\VID_05E3&PID_0626\\2-3: DeviceDesc = SZ USB3.1 Hub"),
             QStringLiteral("CCS\\Enum\\USB\\VID_046D&PID_C077\\2-3.4: "
                            "LocationInformation = SZ Port_#0004.Hub_#0003"),
             QStringLiteral("CCS\\Enum\\USB\\VID_046D&PID_C077\\2-3.4: "
                            "DeviceDesc = SZ USB device 046D:C077"),
             QStringLiteral("CCS\\Enum\\USB\\VID_046D&PID_C077\\2-3.4: Mfg = SZ Vendor 046D"),
             QStringLiteral(
                 "CCS\\Enum\\PCI\\VEN_8086&DEV_A0ED&SUBSYS_22D817AA&REV_20\\0000&00&14&0: "
                 "Class = SZ USB"),
             QStringLiteral(
                 "CCS\\Enum\\PCI\\VEN_8086&DEV_A0ED&SUBSYS_22D817AA&REV_20\\0000&00&14&0: "
                 "Service = SZ xhci_hcd"),
             QStringLiteral("CCS\\Control\\Class\\{USB}: @ = SZ Universal Serial Bus controllers"),
             QStringLiteral("#CV\\NetworkCards = 1"),
             QStringLiteral("CV\\NetworkCards\\1: Description = SZ enx00e04c680001"),
             QStringLiteral("CV\\NetworkCards\\1: ServiceName = SZ <id 00:e0:4c:68:00:01>"),
             QStringLiteral("CCS\\Services\\r8152: Group = SZ NDIS"),
             QStringLiteral("CCS\\Services\\usb: Group = SZ "),
             QStringLiteral("CV: ProductName = SZ Ubuntu 24.04 LTS"),
             QStringLiteral(
                 "!CCS\\Control\\Network\\{NetTrans}\\{6B656C76-0000-4000-8000-000000000002}"),
             QStringLiteral(
                 "!CCS\\Control\\Network\\{NetService}\\{6B656C76-0000-4000-8000-000000000003}"),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: Hostname = SZ laptop"),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: Domain = SZ "),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: SearchList = SZ "),
         };

  QStringList Virtual{
      QStringLiteral("#CCS\\Enum\\ROOT\\NET = 7"),
      QStringLiteral("!CCS\\Enum\\PCI"),
      QStringLiteral("!CV\\NetworkCards"),
      QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: Class = SZ Net"),
      QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: ClassGUID = SZ {Net}"),
      QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: DeviceDesc = SZ dummy0"),
      QStringLiteral("!CCS\\Enum\\ROOT\\NET\\0000: LocationInformation"),
      QStringLiteral("!CCS\\Enum\\ROOT\\NET\\0000\\LogConf"),
      QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000\\Control"),
      QStringLiteral("CCS\\Services\\bridge: Group = SZ NDIS"),
      QStringLiteral("CCS\\Services\\bridge: Type = DWORD 1"),
      QStringLiteral("CCS\\Services\\bridge: ImagePath = SZ "),
      QStringLiteral("CCS\\Control\\Class\\{Net}\\0003: NetCfgInstanceId = SZ <id veth0>"),
      QStringLiteral("CCS\\Control\\Network\\{Net}\\<id tap0>\\Connection: "
                     "PnpInstanceID = SZ ROOT\\NET\\0004"),
      QStringLiteral("!CCS\\Control\\Class\\{System}"),
      QStringLiteral("CV: ProductName = SZ Fedora Linux 40 (Server Edition)"),
      QStringLiteral("CCS\\Control\\Network\\{NetService}\\{6B656C76-0000-4000-8000-000000000003}: "
                     "Description = SZ systemd-resolved"),
      QStringLiteral("CCS\\Services\\Tcpip\\Parameters: Hostname = SZ builder"),
      QStringLiteral("CCS\\Services\\Tcpip\\Parameters: "
                     "SearchList = SZ corp.example,eng.corp.example"),
  };
  const char* Links[][3] = {{"0000", "dummy", "dummy0"},    {"0001", "bridge", "br0"},
                            {"0002", "tun", "tun0"},        {"0003", "veth", "veth0"},
                            {"0004", "tap", "tap0"},        {"0005", "wireguard", "wg0"},
                            {"0006", "macvlan", "macvlan0"}};
  for (const auto& [Instance, Kind, Name] : Links) {
    const QString Key = QStringLiteral("CCS\\Enum\\ROOT\\NET\\") + QLatin1String(Instance);
    Virtual
        << QStringLiteral("%1: FriendlyName = SZ %2").arg(Key, QLatin1String(Name))
        << QStringLiteral("%1: HardwareID = MULTI_SZ ROOT\\%2\\%3")
               .arg(Key, QLatin1String(Kind), QLatin1String(Name))
        << QStringLiteral("%1: Service = SZ %2").arg(Key, QLatin1String(Kind))
        << QStringLiteral("CCS\\services\\<id %1>: DisplayName = SZ %1").arg(QLatin1String(Name));
  }
  QTest::newRow("veth, bridge, dummy, tun and others") << QStringLiteral("virtual") << Virtual;

  const QString Disk = QStringLiteral(
      "CCS\\Enum\\IDE\\DiskQEMU_HARDDISK___________________________2.5+____\\1&0&0&0.0.0");
  const QString Virtio =
      QStringLiteral("CCS\\Enum\\PCI\\VEN_1AF4&DEV_1041&SUBSYS_11001AF4&REV_01\\0000&00&03&0");
  QTest::newRow("qemu guest with a virtio card")
      << QStringLiteral("qemu")
      << QStringList{
             Virtio + QStringLiteral(": Class = SZ Net"),
             Virtio + QStringLiteral(": FriendlyName = SZ enp0s3"),
             Virtio + QStringLiteral(": Service = SZ virtio_net"),
             Virtio + QStringLiteral(": LocationInformation = SZ PCI bus 0, device 3, function 0"),
             Virtio + QStringLiteral("\\LogConf"),
             QStringLiteral("#CCS\\Enum\\IDE = 1"),
             Disk + QStringLiteral(": Class = SZ DiskDrive"),
             Disk + QStringLiteral(": ClassGUID = SZ {DiskDrive}"),
             Disk + QStringLiteral(": HardwareID = MULTI_SZ "
                                   "IDE\\DiskQEMU_HARDDISK___________________________2.5+____"),
             Disk + QStringLiteral("\\Control"),
             QStringLiteral("CCS\\Control\\Class\\{DiskDrive}: @ = SZ Disk drives"),
             QStringLiteral("CV\\NetworkCards\\1: Description = SZ enp0s3"),
             QStringLiteral("CV\\NetworkCards\\1: ServiceName = SZ <id 52:54:00:12:34:56>"),
             QStringLiteral("CCS\\Services\\virtio_net: Group = SZ NDIS"),
             QStringLiteral("CCS\\Control\\ComputerName\\ComputerName: ComputerName = SZ vm"),
             QStringLiteral("CCS\\Services\\Tcpip\\Parameters: Domain = SZ example.net"),
         };
}

void tst_SystemView::fixtures() {
  QFETCH(QString, tree);
  QFETCH(QStringList, checks);
  TRegHive Hive;
  QString Root;
  QVERIFY(buildView(SystemViewTree(tree), Hive, Root));
  verifyChecks(Hive, Root, checks);
}

// The interface list later code shares: one line per interface,
// "name ifindex bus kind driver address device id-from".
void tst_SystemView::interfaces_data() {
  QTest::addColumn<QString>("tree");
  QTest::addColumn<QStringList>("interfaces");

  QTest::newRow("pci") << QStringLiteral("pci")
                       << QStringList{
                              QStringLiteral("eno1 2 pci ethernet e1000e 3c:7c:3f:aa:bb:01 "
                                             "/sys/devices/pci0000:00/0000:00:1f.6 address"),
                              QStringLiteral("wlp2s0 3 pci wireless iwlwifi 80:45:dd:00:11:22 "
                                             "/sys/devices/pci0000:00/0000:00:1c.0/"
                                             "0000:02:00.0 address")};
  QTest::newRow("usb") << QStringLiteral("usb")
                       << QStringList{QStringLiteral(
                              "enx00e04c680001 3 usb ethernet r8152 00:e0:4c:68:00:01 "
                              "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1 address")};
  QTest::newRow("virtio below pci")
      << QStringLiteral("qemu")
      << QStringList{QStringLiteral("enp0s3 2 pci ethernet virtio_net 52:54:00:12:34:56 "
                                    "/sys/devices/pci0000:00/0000:00:03.0 address")};
  QTest::newRow("virtual") << QStringLiteral("virtual")
                           << QStringList{QStringLiteral("dummy0 2 none dummy - - - name"),
                                          QStringLiteral("br0 3 none bridge - - - name"),
                                          QStringLiteral("tun0 4 none tun - - - name"),
                                          QStringLiteral("veth0 5 none veth - - - name"),
                                          QStringLiteral("tap0 7 none tap - - - name"),
                                          QStringLiteral("wg0 8 none wireguard - - - name"),
                                          QStringLiteral("macvlan0 9 none macvlan - - - name")};
}

void tst_SystemView::interfaces() {
  QFETCH(QString, tree);
  QFETCH(QStringList, interfaces);
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  QCOMPARE(LayOutTree(Dir.path(), SystemViewTree(tree)), QString());
  const QString Root = QDir(Dir.path()).canonicalPath();
  const QByteArray MachineId = fixtureMachineId(Root);
  QStringList Lines;
  for (const TSysNetInterface& I : ReadSysNetInterfaces(Dir.path())) {
    const char* Buses[] = {"none", "pci", "usb", "other"};
    const QString From =
        I.SettingId == InterfaceSettingId(MachineId, I.PermanentAddress) ? QStringLiteral("address")
        : I.SettingId == InterfaceSettingId(MachineId, I.Name)           ? QStringLiteral("name")
                                                                         : QStringLiteral("other");
    auto orDash = [](const QString& AText) {
      return AText.isEmpty() ? QStringLiteral("-") : AText;
    };
    QCOMPARE(I.HasDevice, !I.DevicePath.isEmpty());
    Lines << QStringList{I.Name,
                         QString::number(I.IfIndex),
                         QLatin1String(Buses[int(I.Bus)]),
                         I.Kind,
                         orDash(I.Driver),
                         orDash(I.PermanentAddress),
                         orDash(I.DevicePath.mid(Root.size())),
                         From}
                 .join(u' ');
  }
  QCOMPARE(Lines.join(u'\n'), interfaces.join(u'\n'));
}

void tst_SystemView::virtualMachineMarkers_data() {
  QTest::addColumn<QString>("vendor");
  QTest::addColumn<QString>("product");
  QTest::addColumn<QString>("disk");

  QTest::newRow("qemu") << QStringLiteral("QEMU")
                        << QStringLiteral("Standard PC (i440FX + PIIX, 1996)")
                        << QStringLiteral("QEMU_HARD");
  QTest::newRow("kvm under another vendor")
      << QStringLiteral("Red Hat") << QStringLiteral("KVM") << QStringLiteral("QEMU_HARD");
  QTest::newRow("vmware") << QStringLiteral("VMware, Inc.")
                          << QStringLiteral("VMware Virtual Platform")
                          << QStringLiteral("VMWARE_VIRTUAL");
  QTest::newRow("virtualbox") << QStringLiteral("innotek GmbH") << QStringLiteral("VirtualBox")
                              << QStringLiteral("VBOX_HARD");
  QTest::newRow("hyper-v") << QStringLiteral("Microsoft Corporation")
                           << QStringLiteral("Virtual Machine") << QStringLiteral("VIRTUAL_HD");
  QTest::newRow("a laptop of the same vendor as hyper-v")
      << QStringLiteral("Microsoft Corporation") << QStringLiteral("Surface Laptop 5") << QString();
  QTest::newRow("physical desktop")
      << QStringLiteral("LENOVO") << QStringLiteral("11JNS0QA00") << QString();
}

void tst_SystemView::virtualMachineMarkers() {
  QFETCH(QString, vendor);
  QFETCH(QString, product);
  QFETCH(QString, disk);
  TRegHive Hive;
  QString Root;
  QVERIFY(buildView(QStringLiteral("[sys/class/dmi/id]\nsys_vendor = %1\nproduct_name = %2\n")
                        .arg(vendor, product)
                        .toUtf8(),
                    Hive, Root));
  const TRegKey* Ide = findKey(Hive, QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\IDE"));
  QStringList Disks;
  for (qsizetype I = 0; Ide && I < Ide->SubKeyCount(); ++I)
    Disks << Ide->SubKeyAt(I).Name();
  if (disk.isEmpty()) {
    QCOMPARE(Disks, QStringList());
    return;
  }
  QCOMPARE(Disks.size(), 1);
  QVERIFY2(Disks[0].contains(disk), qPrintable(Disks[0]));
  QCOMPARE(Ide->SubKeyAt(0).SubKeyCount(), 1);
  QCOMPARE(stringValue(Ide->SubKeyAt(0).SubKeyAt(0), QStringLiteral("Class")),
           QStringLiteral("DiskDrive"));
  QCOMPARE(viewProblems(Hive, {}).join(u'\n'), QString());
}

void tst_SystemView::hostile_data() {
  QTest::addColumn<QByteArray>("tree");
  QTest::addColumn<QString>("root");
  QTest::addColumn<QStringList>("checks");

  const QByteArray Plain = "ifindex = 2\niflink = 2\ntype = 1\n";
  const QString Odd = QStringLiteral("we\"i\\rd\x01");
  QTest::newRow("quote, backslash and control byte in a name")
      << "[sys/class/net]\nwe\"i\\\\rd\\x01 -> ../../devices/virtual/net/we\"i\\\\rd\\x01\n"
         "[sys/devices/virtual/net/we\"i\\\\rd\\x01]\n" +
             Plain
      << QStringLiteral("root")
      << QStringList{
             QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: FriendlyName = SZ ") + Odd,
             QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: HardwareID = MULTI_SZ ROOT\\dummy\\") +
                 Odd,
             QStringLiteral("CCS\\services\\<id %1>: DisplayName = SZ %1").arg(Odd)};

  // Both decode to the same text; each still gets identifiers of its own.
  const QString Undecodable = QStringLiteral("\uFFFD\uFFFDeth");
  QTest::newRow("undecodable names")
      << QByteArray("[sys/class/net]\n\\xff\\xfeeth/ifindex = 2\n\\xff\\xfeeth/type = 1\n"
                    "\\xfe\\xffeth/ifindex = 3\n\\xfe\\xffeth/type = 1\n")
      << QStringLiteral("root")
      << QStringList{
             QStringLiteral("#CCS\\Enum\\ROOT\\NET = 2"),
             QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: HardwareID = MULTI_SZ ROOT\\dummy\\") +
                 Undecodable,
             QStringLiteral("CCS\\Enum\\ROOT\\NET\\0001: HardwareID = MULTI_SZ ROOT\\dummy\\") +
                 Undecodable + QStringLiteral("#3"),
             QStringLiteral("CCS\\services\\<id %1>: DisplayName = SZ %1").arg(Undecodable),
             QStringLiteral("CCS\\services\\<id %1#3>: DisplayName = SZ %1").arg(Undecodable)};

  QTest::newRow("no /sys")
      << QByteArray("[etc]\nos-release = PRETTY_NAME=Alpine\n[proc/sys/kernel]\nhostname = box\n")
      << QStringLiteral("root")
      << QStringList{
             QStringLiteral("!CCS\\Enum"), QStringLiteral("!CV\\NetworkCards"),
             QStringLiteral("CV: ProductName = SZ Alpine"),
             QStringLiteral("CCS\\Control\\Class\\{Net}: Class = SZ Net"),
             QStringLiteral("CCS\\Control\\ComputerName\\ComputerName: ComputerName = SZ box")};

  QTest::newRow("root that does not exist")
      << QByteArray() << QStringLiteral("missing")
      << QStringList{QStringLiteral("!SYSTEM"), QStringLiteral("!SOFTWARE")};

  // Paths are relative to the root; "../outside" lies beside it.
  QTest::newRow("links out of the root")
      << "[sys/class/net]\n"
         "evil -> ../../devices/virtual/net/evil\n"
         "escaped -> ../../../../outside/net/escaped\n"
         "[sys/devices/virtual/net/evil]\n" +
             Plain +
             "device -> ../../../../../../outside/0000:00:1f.0\n"
             "[sys/bus/pci/devices]\n"
             "0000:00:1f.0 -> ../../../../../outside/0000:00:1f.0\n"
             "[../outside/0000:00:1f.0]\n"
             "vendor = 0x8086\ndevice = 0x15fc\nclass = 0x020000\n"
             "[../outside/net/escaped]\n" +
             Plain
      << QStringLiteral("root")
      << QStringList{QStringLiteral("!CCS\\Enum\\PCI"), QStringLiteral("#CCS\\Enum\\ROOT\\NET = 1"),
                     QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: FriendlyName = SZ evil"),
                     QStringLiteral("!CV\\NetworkCards"),
                     QStringLiteral("!CCS\\services\\<id escaped>")};

  // A pipe would block a reader that waits for it; the DEVTYPE past the cap
  // is not read.
  QTest::newRow("pipe and oversized attributes")
      << "[sys/class/net/odd]\nifindex <fifo>\ntype = 1\nuevent = " + QByteArray(5000, 'x') +
             "\\nDEVTYPE=bridge\n"
      << QStringLiteral("root")
      << QStringList{
             QStringLiteral("CCS\\Enum\\ROOT\\NET\\0000: HardwareID = MULTI_SZ ROOT\\dummy\\odd")};

  QByteArray Many = "[sys/class/net]\n";
  for (int I = 0; I < 5000; ++I)
    Many += "if" + QByteArray::number(I) + "/ifindex = " + QByteArray::number(I + 2) + '\n';
  QTest::newRow("5000 interfaces")
      << Many << QStringLiteral("root")
      << QStringList{QStringLiteral("#CCS\\Enum\\ROOT\\NET = %1").arg(MaxSysEntries),
                     // Each interface's key and the one service of their kind.
                     QStringLiteral("#CCS\\Services = %1").arg(MaxSysEntries + 1),
                     QStringLiteral("!CV\\NetworkCards")};
}

void tst_SystemView::hostile() {
  QFETCH(QByteArray, tree);
  QFETCH(QString, root);
  QFETCH(QStringList, checks);
  TRegHive Hive;
  QString Root;
  QVERIFY(buildView(tree, Hive, Root, root));
  verifyChecks(Hive, Root, checks);
}

void tst_SystemView::settingId_data() {
  QTest::addColumn<QByteArray>("machineA");
  QTest::addColumn<QString>("interfaceA");
  QTest::addColumn<QByteArray>("machineB");
  QTest::addColumn<QString>("interfaceB");
  QTest::addColumn<bool>("same");

  const QByteArray M1 = "0123456789abcdef0123456789abcdef";
  const QByteArray M2 = "fedcba9876543210fedcba9876543210";
  const QString Mac = QStringLiteral("3c:7c:3f:aa:bb:01");
  QTest::newRow("stable") << M1 << Mac << M1 << Mac << true;
  QTest::newRow("machine id read with its line end") << M1 << Mac << M1 + '\n' << Mac << true;
  QTest::newRow("another interface")
      << M1 << Mac << M1 << QStringLiteral("3c:7c:3f:aa:bb:02") << false;
  QTest::newRow("another machine") << M1 << Mac << M2 << Mac << false;
  QTest::newRow("name against address") << M1 << QStringLiteral("eth0") << M1 << Mac << false;
  QTest::newRow("no machine id") << QByteArray() << QStringLiteral("eth0") << M1
                                 << QStringLiteral("eth0") << false;
}

void tst_SystemView::settingId() {
  QFETCH(QByteArray, machineA);
  QFETCH(QString, interfaceA);
  QFETCH(QByteArray, machineB);
  QFETCH(QString, interfaceB);
  QFETCH(bool, same);
  const QString A = InterfaceSettingId(machineA, interfaceA);
  const QString B = InterfaceSettingId(machineB, interfaceB);
  static const QRegularExpression Shape(QStringLiteral(
      "^\\{[0-9A-F]{8}-[0-9A-F]{4}-5[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}$"));
  for (const auto& [Id, Machine] : {std::pair{A, machineA}, std::pair{B, machineB}}) {
    QVERIFY2(Shape.match(Id).hasMatch(), qPrintable(Id));
    const QString Hex = Id.toLower().remove(u'-');
    for (const QByteArray& Part : {Machine.trimmed().left(8), Machine.trimmed().right(8)})
      QVERIFY2(Part.isEmpty() || !Hex.contains(QString::fromLatin1(Part)), qPrintable(Id));
  }
  QCOMPARE(A == B, same);
}

// The machine the test runs on, whatever it has (no PCI at all included):
// the network cards are the interfaces with a device.
void tst_SystemView::realSystem() {
  QStringList Physical;
  const QDir Net(QStringLiteral("/sys/class/net"));
  for (const QString& Name :
       Net.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
    if (Name != u"lo" && QFileInfo(Net.filePath(Name) + QStringLiteral("/device")).isSymLink())
      Physical << Name;

  QList<qint64> Times;
  TRegHive Hive;
  for (int Run = 0; Run < 15; ++Run) {
    Hive.Clear();
    QElapsedTimer Timer;
    Timer.start();
    BuildSystemView(Hive);
    Times << Timer.nsecsElapsed();
  }
  std::sort(Times.begin(), Times.end());
  qInfo("BuildSystemView(\"/\"): median %.2f ms over %lld runs",
        double(Times[Times.size() / 2]) / 1e6, qlonglong(Times.size()));
  // Generous for a sanitized debug build; the release build takes a fraction.
  QVERIFY(Times[Times.size() / 2] < 100'000'000);

  QStringList Cards;
  if (const TRegKey* Key = findKey(
          Hive, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards")))
    for (qsizetype I = 0; I < Key->SubKeyCount(); ++I)
      Cards << stringValue(Key->SubKeyAt(I), QStringLiteral("Description"));
  Cards.sort();
  QCOMPARE(Cards, Physical);
  QFile Id(QStringLiteral("/etc/machine-id"));
  const QByteArray MachineId = Id.open(QIODevice::ReadOnly) ? Id.readAll().trimmed() : QByteArray();
  QCOMPARE(viewProblems(Hive, MachineId).join(u'\n'), QString());
}

void tst_SystemView::machineFileOverridesView() {
  TRegHive Hive;
  QString Root;
  QVERIFY(buildView(SystemViewTree(QStringLiteral("qemu")), Hive, Root));
  QCOMPARE(Hive.Apply(QStringLiteral(
                          "Windows Registry Editor Version 5.00\n"
                          "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
                          "\"ProductName\"=\"Managed Desktop\"\n"
                          "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\"
                          "ComputerName]\n"
                          "\"ComputerName\"=\"ASSET-0042\"\n"),
                      QStringLiteral("machine.reg")),
           QStringList());
  verifyChecks(Hive, Root,
               {QStringLiteral("CV: ProductName = SZ Managed Desktop"),
                QStringLiteral("CV: CurrentVersion = SZ 6.2"),
                QStringLiteral("CV\\NetworkCards\\1: Description = SZ enp0s3"),
                QStringLiteral("CCS\\Control\\ComputerName\\ComputerName: "
                               "ComputerName = SZ ASSET-0042")});
}

// The program's registry reads the view below KELVANE_SYSTEM_ROOT, with the
// machine file on top.
void tst_SystemView::systemRootFromEnvironment() {
  const QByteArray Saved = qgetenv("KELVANE_SYSTEM_ROOT");
  auto restore = qScopeGuard([&Saved] {
    if (Saved.isNull())
      qunsetenv("KELVANE_SYSTEM_ROOT");
    else
      qputenv("KELVANE_SYSTEM_ROOT", Saved);
  });
  QTemporaryDir Dir;
  QVERIFY(Dir.isValid());
  QCOMPARE(LayOutTree(Dir.path(), SystemViewTree(QStringLiteral("qemu"))), QString());
  const QString MachineFile = Dir.filePath(QStringLiteral("machine.reg"));
  QFile File(MachineFile);
  QVERIFY(File.open(QIODevice::WriteOnly));
  File.write("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n"
             "\"ProductName\"=\"Managed Desktop\"\n");
  File.close();

  qputenv("KELVANE_SYSTEM_ROOT", QFile::encodeName(Dir.path()));
  QCOMPARE(LinuxRegistry::SystemRoot(), Dir.path());
  LinuxRegistry Machine(MachineFile);
  TRegistry Registry(Machine, KEY_READ);
  Registry.SetRootKey(HKEY_LOCAL_MACHINE);
  QVERIFY(
      Registry.OpenKeyReadOnly(QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion")));
  QCOMPARE(Registry.ReadString(QStringLiteral("ProductName")), QStringLiteral("Managed Desktop"));
  QVERIFY(Registry.OpenKeyReadOnly(
      QStringLiteral("\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\1")));
  QCOMPARE(Registry.ReadString(QStringLiteral("Description")), QStringLiteral("enp0s3"));

  qputenv("KELVANE_SYSTEM_ROOT", "");
  QCOMPARE(LinuxRegistry::SystemRoot(), QStringLiteral("/"));
}

KELVANE_TEST_MAIN(tst_SystemView)
#include "tst_SystemView.moc"
