#include "platform/linux/SystemView.h"

#include "platform/linux/SystemViewNames.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QSet>

#include <optional>

using namespace SystemViewNames;

namespace {

// Instances of the network components Linux always has; fixed so that they
// read the same on every machine.
const QString Ipv4Id = QStringLiteral("{6B656C76-0000-4000-8000-000000000001}");
const QString Ipv6Id = QStringLiteral("{6B656C76-0000-4000-8000-000000000002}");
const QString ResolverId = QStringLiteral("{6B656C76-0000-4000-8000-000000000003}");

const QString ControlSet = QStringLiteral("SYSTEM\\CurrentControlSet");

// A device, its class and the interface that sits on it, as the view writes them.
struct TDevice : TFactDevice {
  int ClassId = ClassSystem;
  const TSysNetInterface* Net = nullptr;
};

// Names that would break a key path are made key names here too: a
// snapshot may come from anywhere.
TDevice fromFact(const TFactDevice& AFact) {
  TDevice D;
  static_cast<TFactDevice&>(D) = AFact;
  D.Enumerator = keyName(AFact.Enumerator);
  D.DeviceId = keyName(AFact.DeviceId);
  D.Instance = keyName(AFact.Instance);
  D.Service = AFact.Service.isEmpty() ? QString() : keyName(AFact.Service);
  for (int Class = 0; Class < ClassCount; ++Class)
    if (AFact.Class == QLatin1String(DeviceClasses[Class].Name))
      D.ClassId = Class;
  return D;
}

// ---- The view -------------------------------------------------------------

TRegKey* keyAt(TRegKey& AFrom, const QString& APath, const QDateTime& ATime) {
  TRegKey* Key = &AFrom;
  for (const QString& Part : SplitKeyPath(APath))
    Key = Key->AddSubKey(Part, ATime);
  return Key;
}

void setString(TRegKey& AKey, const QString& AName, const QString& AValue) {
  AKey.SetValue(AName, TRegValue::String(AValue));
}

class TViewBuilder {
public:
  TViewBuilder(TLinuxFacts& AFacts, TRegHive& AHive)
      : FFacts(AFacts), FHive(AHive), FNow(QDateTime::currentDateTimeUtc()) {}

  void Run() {
    FKernelRelease = FFacts.System().KernelRelease;
    part([this](TRegKey& AStage) { devices(AStage); });
    part([this](TRegKey& AStage) { virtualMachineDisk(AStage); });
    part([this](TRegKey& AStage) { classes(AStage); });
    part([this](TRegKey& AStage) { networkComponents(AStage); });
    part([this](TRegKey& AStage) { version(AStage); });
    part([this](TRegKey& AStage) { names(AStage); });
  }

private:
  // Each part is built aside and added to the hive only when it completes,
  // so a part that fails leaves nothing of itself behind. The driver keys a
  // failed part numbered stay counted: numbers only need to be unique.
  template <class TBuild> void part(TBuild ABuild) {
    try {
      TRegKey Stage(QString{});
      ABuild(Stage);
      MergeRegKey(*FHive.Root(HKEY_LOCAL_MACHINE), Stage);
    } catch (...) {
      // The view is best effort; the program runs without the part.
    }
  }

  TRegKey* key(TRegKey& AStage, const QString& APath) { return keyAt(AStage, APath, FNow); }
  TRegKey* sub(TRegKey* AKey, const QString& AName) { return AKey->AddSubKey(AName, FNow); }

  // The next driver key of a class, with the values every driver key has.
  QString driverKey(TRegKey& AStage, int AClass, const QString& ADescription,
                    const TSysNetInterface* ANet) {
    const QString Name = classGuid(AClass) + u'\\' +
                         QStringLiteral("%1").arg(FDriverCount[AClass]++, 4, 10, QLatin1Char('0'));
    TRegKey* Driver = key(AStage, ControlSet + QStringLiteral("\\Control\\Class\\") + Name);
    setString(*Driver, QStringLiteral("DriverDesc"), ADescription);
    setString(*Driver, QStringLiteral("DriverVersion"), FKernelRelease);
    setString(*Driver, QStringLiteral("ProviderName"), QStringLiteral("Linux"));
    setString(*Driver, QStringLiteral("DriverDate"), QString());
    setString(*Driver, QStringLiteral("InfPath"), QString());
    if (ANet)
      setString(*Driver, QStringLiteral("NetCfgInstanceId"), ANet->SettingId);
    FUsedClasses.insert(AClass);
    return Name;
  }

  void useService(const QString& AName, bool ANetwork) {
    if (!AName.isEmpty())
      FServices[AName] |= ANetwork;
  }

  // The instance key of a device; its path below Enum is returned.
  QString writeDevice(TRegKey& AStage, const TDevice& ADevice) {
    TRegKey* DeviceKey = key(AStage, ControlSet + QStringLiteral("\\Enum\\") + ADevice.Enumerator +
                                         u'\\' + ADevice.DeviceId);
    QString Instance = ADevice.Instance;
    for (int N = 1; DeviceKey->SubKey(Instance); ++N)
      Instance = ADevice.Instance + u'&' + QString::number(N);
    TRegKey* Key = sub(DeviceKey, Instance);
    const QString Name = ADevice.Net ? ADevice.Net->Name : ADevice.Description;
    const QString Service = ADevice.Net && !ADevice.Net->Driver.isEmpty()
                                ? keyName(ADevice.Net->Driver)
                                : ADevice.Service;
    setString(*Key, QStringLiteral("Class"), className(ADevice.ClassId));
    setString(*Key, QStringLiteral("ClassGUID"), classGuid(ADevice.ClassId));
    setString(*Key, QStringLiteral("DeviceDesc"), Name);
    if (ADevice.Net)
      setString(*Key, QStringLiteral("FriendlyName"), Name);
    setString(*Key, QStringLiteral("Mfg"), ADevice.Mfg);
    setString(*Key, QStringLiteral("Service"), Service);
    setString(*Key, QStringLiteral("Driver"),
              driverKey(AStage, ADevice.ClassId, Name, ADevice.Net));
    Key->SetValue(QStringLiteral("HardwareID"), TRegValue::MultiString(ADevice.HardwareIds));
    if (!ADevice.CompatibleIds.isEmpty())
      Key->SetValue(QStringLiteral("CompatibleIDs"), TRegValue::MultiString(ADevice.CompatibleIds));
    sub(Key, QStringLiteral("Control"));
    sub(Key, QStringLiteral("Device Parameters"));
    // Bus devices have resources and a place; virtual ones neither, and
    // that is how readers tell them apart.
    if (!ADevice.Location.isEmpty()) {
      setString(*Key, QStringLiteral("LocationInformation"), ADevice.Location);
      // An empty resource list: a count of zero.
      sub(Key, QStringLiteral("LogConf"))
          ->SetValue(QStringLiteral("BootConfig"),
                     TRegValue::Binary(QByteArray(4, '\0'), REG_RESOURCE_LIST));
    }
    useService(Service, ADevice.ClassId == ClassNet);
    return ADevice.Enumerator + u'\\' + ADevice.DeviceId + u'\\' + Instance;
  }

  void devices(TRegKey& AStage) {
    const QList<TSysNetInterface>& Interfaces = FFacts.Interfaces();
    QList<TDevice> Devices;
    QHash<QString, qsizetype> Index;
    for (const TFactDevice& Fact : FFacts.Devices().Bus)
      if (!Index.contains(Fact.SysPath)) {
        Index.insert(Fact.SysPath, Devices.size());
        Devices << fromFact(Fact);
      }

    // Interfaces take over the device they sit on. A second interface on
    // one device (two ports of one function) becomes a second instance of
    // it, so that every physical interface is an adapter of its own.
    for (const TSysNetInterface& Interface : Interfaces) {
      if (!Interface.HasDevice)
        continue;
      if (!Index.contains(Interface.DevicePath)) {
        // Only a snapshot someone edited lacks it.
        TFactDevice Missing;
        Missing.SysPath = Interface.DevicePath;
        Missing.Enumerator = QStringLiteral("DEVICE");
        Missing.DeviceId = keyName(Interface.DevicePath.section(u'/', -1).toUpper());
        Missing.Instance = QStringLiteral("0");
        Missing.HardwareIds = {Missing.Enumerator + u'\\' + Missing.DeviceId};
        Missing.Location = Interface.DevicePath;
        Index.insert(Interface.DevicePath, Devices.size());
        Devices << fromFact(Missing);
      }
      TDevice* Device = &Devices[Index.value(Interface.DevicePath)];
      if (Device->Net) {
        Devices << *Device;
        Device = &Devices.last();
      }
      Device->Net = &Interface;
      Device->ClassId = ClassNet;
    }

    QHash<const TSysNetInterface*, QString> InstancePaths;
    for (const TDevice& Device : Devices) {
      const QString Path = writeDevice(AStage, Device);
      if (Device.Net)
        InstancePaths.insert(Device.Net, Path);
    }

    TDevice Virtual;
    Virtual.Enumerator = QStringLiteral("ROOT");
    Virtual.DeviceId = QStringLiteral("NET");
    Virtual.ClassId = ClassNet;
    Virtual.Mfg = QStringLiteral("Linux");
    QSet<QString> HardwareIds;
    int VirtualCount = 0;
    for (const TSysNetInterface& Interface : Interfaces) {
      if (Interface.HasDevice)
        continue;
      // The device table keeps one entry per hardware identifier, so each
      // virtual interface needs one of its own.
      QString HardwareId = QStringLiteral("ROOT\\%1\\%2").arg(Interface.Kind, Interface.Name);
      if (HardwareIds.contains(HardwareId))
        HardwareId += u'#' + QString::number(Interface.IfIndex);
      HardwareIds.insert(HardwareId);
      Virtual.Instance = QStringLiteral("%1").arg(VirtualCount++, 4, 10, QLatin1Char('0'));
      Virtual.HardwareIds = {HardwareId};
      Virtual.Service = keyName(Interface.Kind);
      Virtual.Net = &Interface;
      InstancePaths.insert(&Interface, writeDevice(AStage, Virtual));
    }

    if (Devices.isEmpty() && Interfaces.isEmpty())
      return;
    TRegKey* Services = key(AStage, ControlSet + QStringLiteral("\\Services"));
    const QString Connections =
        ControlSet + QStringLiteral("\\Control\\Network\\") + classGuid(ClassNet) + u'\\';
    const QString Cards =
        QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\");
    int CardCount = 0;
    for (const TSysNetInterface& Interface : Interfaces) {
      setString(*sub(Services, Interface.SettingId), QStringLiteral("DisplayName"), Interface.Name);
      TRegKey* Connection =
          key(AStage, Connections + Interface.SettingId + QStringLiteral("\\Connection"));
      setString(*Connection, QStringLiteral("Name"), Interface.Name);
      setString(*Connection, QStringLiteral("PnpInstanceID"), InstancePaths.value(&Interface));
      if (Interface.HasDevice) {
        TRegKey* Card = key(AStage, Cards + QString::number(++CardCount));
        setString(*Card, QStringLiteral("Description"), Interface.Name);
        setString(*Card, QStringLiteral("ServiceName"), Interface.SettingId);
      }
    }
    for (auto It = FServices.cbegin(); It != FServices.cend(); ++It) {
      TRegKey* Service = sub(Services, It.key());
      setString(*Service, QStringLiteral("DisplayName"), It.key());
      setString(*Service, QStringLiteral("Group"), It.value() ? QStringLiteral("NDIS") : QString());
      setString(*Service, QStringLiteral("ImagePath"), QString());
      Service->SetValue(QStringLiteral("Type"), TRegValue::Dword(1));
    }
  }

  // Session detection looks for the disk a hypervisor emulates; the same
  // name is given here from what DMI says of the machine.
  void virtualMachineDisk(TRegKey& AStage) {
    const QString& Vendor = FFacts.Devices().DmiVendor;
    const QString& Product = FFacts.Devices().DmiProduct;
    QString Disk, Description;
    if (Vendor == u"QEMU" || Product.contains(u"QEMU") || Product.contains(u"KVM")) {
      Disk = QStringLiteral("DiskQEMU_HARDDISK___________________________2.5+____");
      Description = QStringLiteral("QEMU HARDDISK");
    } else if (Vendor.startsWith(u"VMware") || Product.startsWith(u"VMware")) {
      Disk = QStringLiteral("DiskVMWARE_VIRTUAL_IDE_HARD_DRIVE___________00000001");
      Description = QStringLiteral("VMware Virtual IDE Hard Drive");
    } else if (Vendor == u"innotek GmbH" || Product == u"VirtualBox") {
      Disk = QStringLiteral("DiskVBOX_HARDDISK___________________________1.0_____");
      Description = QStringLiteral("VBOX HARDDISK");
    } else if (Vendor == u"Microsoft Corporation" && Product == u"Virtual Machine") {
      Disk = QStringLiteral("DiskVIRTUAL_HD______________________________1.1.0___");
      Description = QStringLiteral("Virtual HD");
    } else {
      return;
    }
    TDevice Device;
    Device.Enumerator = QStringLiteral("IDE");
    Device.DeviceId = Disk;
    Device.Instance = QStringLiteral("1&0&0&0.0.0");
    Device.HardwareIds = {QStringLiteral("IDE\\") + Disk};
    Device.ClassId = ClassDiskDrive;
    Device.Service = QStringLiteral("disk");
    Device.Mfg = QStringLiteral("(Standard disk drives)");
    Device.Description = Description;
    writeDevice(AStage, Device);
    TRegKey* Service = key(AStage, ControlSet + QStringLiteral("\\Services\\disk"));
    setString(*Service, QStringLiteral("DisplayName"), QStringLiteral("disk"));
    setString(*Service, QStringLiteral("Group"), QString());
    setString(*Service, QStringLiteral("ImagePath"), QString());
    Service->SetValue(QStringLiteral("Type"), TRegValue::Dword(1));
  }

  void classes(TRegKey& AStage) {
    FUsedClasses += {ClassNet, ClassNetClient, ClassNetService, ClassNetTrans};
    for (int Class = 0; Class < ClassCount; ++Class) {
      if (!FUsedClasses.contains(Class))
        continue;
      TRegKey* Key =
          key(AStage, ControlSet + QStringLiteral("\\Control\\Class\\") + classGuid(Class));
      setString(*Key, QString(), QString::fromLatin1(DeviceClasses[Class].Description));
      setString(*Key, QStringLiteral("Class"), className(Class));
      setString(*Key, QStringLiteral("Icon"), QString::fromLatin1(DeviceClasses[Class].Icon));
    }
  }

  void networkComponents(TRegKey& AStage) {
    const QString Network = ControlSet + QStringLiteral("\\Control\\Network\\");
    TRegKey* Protocols = key(AStage, Network + classGuid(ClassNetTrans));
    setString(*sub(Protocols, Ipv4Id), QStringLiteral("Description"),
              QStringLiteral("Internet Protocol Version 4 (TCP/IPv4)"));
    if (FFacts.System().Ipv6Stack)
      setString(*sub(Protocols, Ipv6Id), QStringLiteral("Description"),
                QStringLiteral("Internet Protocol Version 6 (TCP/IPv6)"));
    TRegKey* Services = key(AStage, Network + classGuid(ClassNetService));
    if (FFacts.System().ResolvedUpstream)
      setString(*sub(Services, ResolverId), QStringLiteral("Description"),
                QStringLiteral("systemd-resolved"));
    else if (FFacts.System().Resolver)
      setString(*sub(Services, ResolverId), QStringLiteral("Description"),
                QStringLiteral("DNS resolver (resolv.conf)"));
    key(AStage, Network + classGuid(ClassNetClient));
  }

  void version(TRegKey& AStage) {
    TRegKey* Key = key(AStage, QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"));
    if (!FFacts.System().PrettyName.isEmpty())
      setString(*Key, QStringLiteral("ProductName"), FFacts.System().PrettyName);
    setString(*Key, QStringLiteral("CurrentVersion"), QStringLiteral("6.2"));
    setString(*Key, QStringLiteral("CurrentBuildNumber"), QStringLiteral("9200"));
  }

  void names(TRegKey& AStage) {
    const TFactSystem& System = FFacts.System();
    const QString Short = System.Host.Short;
    const std::optional<TResolverConfig>& Resolver = System.Resolver;
    const QString Domain =
        System.Host.Domain.isEmpty() && Resolver ? Resolver->Domain : System.Host.Domain;
    if (!Short.isEmpty())
      setString(*key(AStage, ControlSet + QStringLiteral("\\Control\\ComputerName\\ComputerName")),
                QStringLiteral("ComputerName"), Short);
    if (Short.isEmpty() && !Resolver)
      return;
    TRegKey* Tcpip = key(AStage, ControlSet + QStringLiteral("\\Services\\Tcpip\\Parameters"));
    setString(*Tcpip, QStringLiteral("Hostname"), Short);
    setString(*Tcpip, QStringLiteral("Domain"), Domain);
    setString(*Tcpip, QStringLiteral("SearchList"),
              Resolver ? Resolver->Search.join(u',') : QString());
  }

  TLinuxFacts& FFacts;
  TRegHive& FHive;
  QDateTime FNow;
  QString FKernelRelease;
  int FDriverCount[ClassCount] = {};
  QSet<int> FUsedClasses;
  // Kernel drivers and interface kinds used as a service → is a network one.
  QMap<QString, bool> FServices;
};

} // namespace

QList<TSysNetInterface> ReadSysNetInterfaces(const QString& ARootDir) {
  if (ARootDir.isEmpty() || ARootDir == QLatin1String("/"))
    return TLinuxFacts::Shared()->Interfaces();
  return TLinuxFacts(ARootDir).Interfaces();
}

void BuildSystemView(TRegHive& AHive, TLinuxFacts& AFacts) {
  try {
    // A root that is not there is a machine of which nothing is known.
    if (QDir(AFacts.Root()).exists())
      TViewBuilder(AFacts, AHive).Run();
  } catch (...) {
    // Never thrown on: the registry without the view is still a registry.
  }
}

void BuildSystemView(TRegHive& AHive, const QString& ARootDir) {
  TLinuxFacts Facts(ARootDir);
  BuildSystemView(AHive, Facts);
}
