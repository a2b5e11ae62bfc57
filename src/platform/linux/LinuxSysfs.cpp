#include "platform/linux/LinuxSysfs.h"

#include "platform/Files.h"
#include "platform/linux/SystemViewNames.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/if_arp.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace SystemViewNames;

namespace {

// sysfs and procfs attributes are short; anything longer is not what we expect.
constexpr qint64 MaxSysFileBytes = 4096;
// How far up from a linked device we look for the PCI function or USB device
// it hangs from; real trees need four or five levels.
constexpr int MaxDeviceDepth = 32;

QByteArray baseName(const QByteArray& APath) {
  return APath.mid(APath.lastIndexOf('/') + 1);
}

QByteArray parentOf(const QByteArray& APath) {
  const qsizetype Slash = APath.lastIndexOf('/');
  return Slash <= 0 ? QByteArray("/") : APath.left(Slash);
}

// Text a device reports about itself (USB strings): one line, bounded.
QString deviceText(const QByteArray& ABytes) {
  QString Result = QString::fromUtf8(ABytes).left(MaxKeyNameLength).trimmed();
  for (QChar& C : Result)
    if (C.unicode() < 0x20 || C.unicode() == 0x7F)
      C = u' ';
  return Result;
}

QString hex(uint AValue, int AWidth) {
  return QStringLiteral("%1").arg(AValue, AWidth, 16, QLatin1Char('0')).toUpper();
}

} // namespace

std::optional<QByteArray> ReadSmallFile(const QByteArray& APath, qint64 ACap, bool AFollowLinks) {
  TFileContent Content = ReadBoundedFile(APath, ACap, frTruncate | (AFollowLinks ? 0 : frNoFollow));
  return Content.Ok() ? std::optional(std::move(Content.Data)) : std::nullopt;
}

namespace {

// ---- Reading below the root -----------------------------------------------

// Every read resolves its path to a real one inside the root first, and the
// last step of a read never follows a link, so a tree that links out of the
// root is read only as far as the root reaches.
class TSysRoot {
public:
  explicit TSysRoot(const QString& ARootDir) {
    FReal = realPath(QFile::encodeName(ARootDir.isEmpty() ? QStringLiteral("/") : ARootDir));
    FLive = FReal == "/";
  }

  bool Exists() const { return !FReal.isEmpty(); }
  bool IsLive() const { return FLive; }

  // ARelative ("sys/class/net") below the root, unresolved.
  QByteArray Path(const char* ARelative) const {
    return (FLive ? QByteArray() : FReal) + '/' + ARelative;
  }

  bool Inside(const QByteArray& AReal) const {
    return FLive || AReal == FReal || (AReal.startsWith(FReal) && AReal[FReal.size()] == '/');
  }

  // The real path of APath; empty when it is missing or lies outside the root.
  QByteArray Resolve(const QByteArray& APath) const {
    const QByteArray Real = realPath(APath);
    return !Real.isEmpty() && Inside(Real) ? Real : QByteArray();
  }

  // The bytes of a regular file at a real path, at most ACap of them.
  static std::optional<QByteArray> Read(const QByteArray& AReal, qint64 ACap = MaxSysFileBytes) {
    return ReadSmallFile(AReal, ACap, false);
  }

  std::optional<QByteArray> ReadResolved(const QByteArray& APath, qint64 ACap) const {
    const QByteArray Real = Resolve(APath);
    return Real.isEmpty() ? std::nullopt : Read(Real, ACap);
  }

  // One sysfs attribute of a real directory, without its line end; empty
  // when missing or unreadable.
  static QByteArray Attribute(const QByteArray& ADir, const char* AName) {
    return Read(ADir + '/' + AName).value_or(QByteArray()).trimmed();
  }

  static bool Has(const QByteArray& APath) {
    struct stat Info {};
    return ::lstat(APath.constData(), &Info) == 0;
  }

  // The last part of a link's target, read without following it.
  static QByteArray LinkName(const QByteArray& APath) {
    char Target[4096];
    const ssize_t Size = ::readlink(APath.constData(), Target, sizeof Target);
    if (Size <= 0 || Size >= ssize_t(sizeof Target))
      return {};
    return baseName(QByteArray(Target, Size));
  }

  // The names in a real directory, at most MaxSysEntries of them.
  static QList<QByteArray> List(const QByteArray& ADir) {
    QList<QByteArray> Names;
    DIR* Dir = ::opendir(ADir.constData());
    if (!Dir)
      return Names;
    while (Names.size() < MaxSysEntries) {
      const dirent* Entry = ::readdir(Dir);
      if (!Entry)
        break;
      const QByteArray Name(Entry->d_name);
      if (Name != "." && Name != "..")
        Names << Name;
    }
    ::closedir(Dir);
    return Names;
  }

  // A real directory path's part below the root, for display.
  QString Relative(const QByteArray& AReal) const {
    return QFile::decodeName(FLive ? AReal : AReal.mid(FReal.size()));
  }

private:
  static QByteArray realPath(const QByteArray& APath) {
    char* Real = ::realpath(APath.constData(), nullptr);
    if (!Real)
      return {};
    QByteArray Result(Real);
    std::free(Real);
    return Result;
  }

  QByteArray FReal;
  bool FLive = false;
};

bool parseHex(QByteArray AText, uint& AValue, uint AMax) {
  if (AText.startsWith("0x") || AText.startsWith("0X"))
    AText = AText.mid(2);
  bool Ok = false;
  AValue = AText.isEmpty() || AText.size() > 8 ? 0 : AText.toUInt(&Ok, 16);
  return Ok && AValue <= AMax;
}

uint hexAttribute(const QByteArray& ADir, const char* AName, uint AMax, bool* AOk = nullptr) {
  uint Value = 0;
  const bool Ok = parseHex(TSysRoot::Attribute(ADir, AName), Value, AMax);
  if (AOk)
    *AOk = Ok;
  return Ok ? Value : 0;
}

// ---- Bus addresses --------------------------------------------------------

// Bus names are matched by hand: a regular expression compiled at every
// start cost more than the whole match.
bool isDigits(const QByteArray& AText, int AMin, int AMax, bool AHex) {
  if (AText.size() < AMin || AText.size() > AMax)
    return false;
  return std::all_of(AText.begin(), AText.end(), [AHex](char C) {
    return AHex ? std::isxdigit(uchar(C)) != 0 : std::isdigit(uchar(C)) != 0;
  });
}

// The parts of a PCI address "dddd:bb:dd.f" (a domain of 4 to 8 hex
// digits): domain, bus, device, function; empty when AName is none.
QStringList pciAddressParts(const QByteArray& AName) {
  const QList<QByteArray> Parts = AName.split(':');
  if (Parts.size() != 3)
    return {};
  const QList<QByteArray> Slot = Parts[2].split('.');
  if (Slot.size() != 2 || !isDigits(Parts[0], 4, 8, true) || !isDigits(Parts[1], 2, 2, true) ||
      !isDigits(Slot[0], 2, 2, true) || Slot[1].size() != 1 || Slot[1][0] < '0' || Slot[1][0] > '7')
    return {};
  return {QString::fromLatin1(Parts[0]), QString::fromLatin1(Parts[1]),
          QString::fromLatin1(Slot[0]), QString::fromLatin1(Slot[1])};
}

// USB devices are named bus-port[.port...] (up to seven ports); root hubs
// (usbN) and interfaces (bus-port:config.interface) are not. The parts: bus
// and port path; empty when AName is none.
QStringList usbPortParts(const QByteArray& AName) {
  const QList<QByteArray> Parts = AName.split('-');
  if (Parts.size() != 2 || !isDigits(Parts[0], 1, 3, false))
    return {};
  const QList<QByteArray> Ports = Parts[1].split('.');
  if (Ports.size() > 7 || !std::all_of(Ports.begin(), Ports.end(), [](const QByteArray& APort) {
        return isDigits(APort, 1, 3, false);
      }))
    return {};
  return {QString::fromLatin1(Parts[0]), QString::fromLatin1(Parts[1])};
}

bool isPciAddress(const QByteArray& AName) {
  return !pciAddressParts(AName).isEmpty();
}

bool isUsbPort(const QByteArray& AName) {
  return !usbPortParts(AName).isEmpty();
}

// ---- Network interfaces ---------------------------------------------------

// ARPHRD_* link types of interfaces that say nothing else about themselves.
QString linkTypeKind(int AType) {
  switch (AType) {
  case 280:
    return QStringLiteral("can");
  case 512:
    return QStringLiteral("ppp");
  case 768:
    return QStringLiteral("ipip");
  case 769:
    return QStringLiteral("ip6tnl");
  case 776:
    return QStringLiteral("sit");
  case 778:
    return QStringLiteral("gre");
  case 823:
    return QStringLiteral("ip6gre");
  default:
    return QStringLiteral("dummy");
  }
}

// The DEVTYPE of a uevent file, in the form used as a kind.
QString ueventDevType(const QByteArray& AUevent) {
  for (const QByteArray& Line : AUevent.split('\n'))
    if (Line.startsWith("DEVTYPE=")) {
      QString Kind;
      for (const char C : Line.mid(8).left(32))
        if (std::isalnum(static_cast<unsigned char>(C)) || C == '_' || C == '-')
          Kind += QLatin1Char(char(std::tolower(static_cast<unsigned char>(C))));
      return Kind;
    }
  return {};
}

// The kind of an interface, from what sysfs shows of it. The kernel names
// some kinds outright (a wireless phy link, uevent's DEVTYPE for vlan, bond,
// bridge, wireguard, ...; bridge/ and tun_flags entries); the rest is a
// guess: stacked on a lower link (lower_*) means macvlan, an iflink naming
// another interface means a veth peer, and an Ethernet link with neither
// is taken for dummy (ifb looks the same from here).
QString guessKind(const QByteArray& ADir, int AType, bool AHasDevice, int AIfIndex) {
  if (TSysRoot::Has(ADir + "/phy80211") || TSysRoot::Has(ADir + "/wireless"))
    return QStringLiteral("wireless");
  QString DevType = ueventDevType(TSysRoot::Attribute(ADir, "uevent"));
  if (DevType == u"wlan")
    return QStringLiteral("wireless");
  if (!DevType.isEmpty())
    return DevType;
  if (TSysRoot::Has(ADir + "/bridge"))
    return QStringLiteral("bridge");
  if (TSysRoot::Has(ADir + "/bonding"))
    return QStringLiteral("bond");
  if (TSysRoot::Has(ADir + "/tun_flags"))
    return AType == 1 ? QStringLiteral("tap") : QStringLiteral("tun");
  if (AHasDevice)
    return AType == 1 ? QStringLiteral("ethernet") : linkTypeKind(AType);
  if (AType != 1)
    return linkTypeKind(AType);
  for (const QByteArray& Name : TSysRoot::List(ADir))
    if (Name.startsWith("lower_"))
      return QStringLiteral("macvlan");
  bool Ok = false;
  const int IfLink = TSysRoot::Attribute(ADir, "iflink").toInt(&Ok);
  return Ok && IfLink != AIfIndex ? QStringLiteral("veth") : QStringLiteral("dummy");
}

// "aa:bb:..." in lower case when the kernel calls the address permanent
// (addr_assign_type 0) and it is not all zeros.
QString permanentAddress(const QByteArray& AAssignType, const QByteArray& AAddress) {
  if (AAssignType != "0")
    return {};
  const QByteArray Address = AAddress.toLower();
  if (Address.isEmpty() || Address.size() > 96)
    return {};
  bool NonZero = false;
  for (const char C : Address) {
    if (C == ':')
      continue;
    if (!std::isxdigit(static_cast<unsigned char>(C)))
      return {};
    NonZero |= C != '0';
  }
  return NonZero ? QString::fromLatin1(Address) : QString();
}

// The PCI function, USB device or other device that ADevice (a real path)
// belongs to: a function's or device's own child devices (virtio, USB
// interfaces) are walked up from.
void locateBusDevice(const TSysRoot& ARoot, const QByteArray& ADevice,
                     TSysNetInterface& AInterface) {
  QByteArray Path = ADevice;
  for (int Depth = 0; Depth < MaxDeviceDepth && Path != "/" && ARoot.Inside(Path); ++Depth) {
    const QByteArray Name = baseName(Path);
    if (isPciAddress(Name) || isUsbPort(Name)) {
      AInterface.Bus = isUsbPort(Name) ? TSysBus::Usb : TSysBus::Pci;
      AInterface.DevicePath = QFile::decodeName(Path);
      return;
    }
    Path = parentOf(Path);
  }
  AInterface.Bus = TSysBus::Other;
  AInterface.DevicePath = QFile::decodeName(ADevice);
}

// Two cards can report one address (cloned machines, a card and its
// representors), and undecodable names can decode alike; each interface
// still gets an identifier of its own.
void assignSettingIds(QList<TSysNetInterface>& AInterfaces, const QByteArray& AMachineId) {
  QSet<QString> Taken;
  for (TSysNetInterface& Interface : AInterfaces) {
    const QString Candidates[] = {
        Interface.PermanentAddress.isEmpty()
            ? QString()
            : InterfaceSettingId(AMachineId, Interface.PermanentAddress),
        InterfaceSettingId(AMachineId, Interface.Name),
        InterfaceSettingId(AMachineId, Interface.Name + u'#' + QString::number(Interface.IfIndex))};
    for (const QString& Candidate : Candidates)
      if (!Candidate.isEmpty() && !Taken.contains(Candidate)) {
        Interface.SettingId = Candidate;
        break;
      }
    Taken.insert(Interface.SettingId);
  }
}

QList<TSysNetInterface> readTreeInterfaces(const TSysRoot& ARoot, const QByteArray& AMachineId) {
  QList<TSysNetInterface> Interfaces;
  const QByteArray NetDir = ARoot.Resolve(ARoot.Path("sys/class/net"));
  if (NetDir.isEmpty())
    return Interfaces;
  for (const QByteArray& Entry : TSysRoot::List(NetDir)) {
    const QByteArray Dir = Entry == "lo" ? QByteArray() : ARoot.Resolve(NetDir + '/' + Entry);
    if (Dir.isEmpty())
      continue;
    const int Type = TSysRoot::Attribute(Dir, "type").toInt();
    // ARPHRD_LOOPBACK: lo under any name.
    if (Type == 772)
      continue;
    TSysNetInterface Interface;
    Interface.Name = QFile::decodeName(Entry);
    Interface.IfIndex = TSysRoot::Attribute(Dir, "ifindex").toInt();
    // A link out of the root is treated as no link: nothing is read through it.
    if (const QByteArray Device = ARoot.Resolve(Dir + "/device"); !Device.isEmpty()) {
      Interface.HasDevice = true;
      Interface.Driver = QFile::decodeName(TSysRoot::LinkName(Device + "/driver"));
      locateBusDevice(ARoot, Device, Interface);
    }
    Interface.Kind = guessKind(Dir, Type, Interface.HasDevice, Interface.IfIndex);
    Interface.PermanentAddress = permanentAddress(TSysRoot::Attribute(Dir, "addr_assign_type"),
                                                  TSysRoot::Attribute(Dir, "address"));
    Interfaces << Interface;
  }
  std::stable_sort(Interfaces.begin(), Interfaces.end(), [](const auto& A, const auto& B) {
    return A.IfIndex != B.IfIndex ? A.IfIndex < B.IfIndex : A.Name < B.Name;
  });
  assignSettingIds(Interfaces, AMachineId);
  return Interfaces;
}

// ---- Bus devices ----------------------------------------------------------

int pciClass(uint AClassCode) {
  const uint Base = AClassCode >> 16, Sub = (AClassCode >> 8) & 0xFF;
  if (Base == 0x02)
    return ClassNet;
  if (Base == 0x03)
    return ClassDisplay;
  if (Base == 0x01 && Sub == 0x01)
    return ClassHdc;
  if (Base == 0x01 && (Sub == 0x04 || Sub == 0x06 || Sub == 0x07 || Sub == 0x08))
    return ClassScsiAdapter;
  if (Base == 0x04 && Sub == 0x03)
    return ClassMedia;
  if (Base == 0x0C && Sub == 0x03)
    return ClassUsb;
  return ClassSystem;
}

std::optional<TFactDevice> readPciDevice(const QByteArray& APath) {
  const QStringList Address = pciAddressParts(baseName(APath));
  bool VendorOk = false, DeviceOk = false;
  const uint Vendor = hexAttribute(APath, "vendor", 0xFFFF, &VendorOk);
  const uint Device = hexAttribute(APath, "device", 0xFFFF, &DeviceOk);
  if (Address.isEmpty() || !VendorOk || !DeviceOk)
    return std::nullopt;
  const uint SubVendor = hexAttribute(APath, "subsystem_vendor", 0xFFFF);
  const uint SubDevice = hexAttribute(APath, "subsystem_device", 0xFFFF);
  const uint Revision = hexAttribute(APath, "revision", 0xFF);
  const uint ClassCode = hexAttribute(APath, "class", 0xFFFFFF);

  TFactDevice D;
  D.SysPath = QFile::decodeName(APath);
  D.Enumerator = QStringLiteral("PCI");
  const QString VenDev = QStringLiteral("VEN_%1&DEV_%2").arg(hex(Vendor, 4), hex(Device, 4));
  const QString Subsys =
      VenDev + QStringLiteral("&SUBSYS_") + hex(SubDevice, 4) + hex(SubVendor, 4);
  D.DeviceId = Subsys + QStringLiteral("&REV_") + hex(Revision, 2);
  D.Instance =
      QStringLiteral("%1&%2&%3&%4")
          .arg(Address[0].toUpper(), Address[1].toUpper(), Address[2].toUpper(), Address[3]);
  D.HardwareIds = {QStringLiteral("PCI\\") + D.DeviceId, QStringLiteral("PCI\\") + Subsys,
                   QStringLiteral("PCI\\") + VenDev};
  D.CompatibleIds = {QStringLiteral("PCI\\CC_") + hex(ClassCode, 6),
                     QStringLiteral("PCI\\CC_") + hex(ClassCode >> 8, 4)};
  D.Location = QStringLiteral("PCI bus %1, device %2, function %3")
                   .arg(Address[1].toUInt(nullptr, 16))
                   .arg(Address[2].toUInt(nullptr, 16))
                   .arg(Address[3]);
  D.Class = className(pciClass(ClassCode));
  D.Service = keyName(QFile::decodeName(TSysRoot::LinkName(APath + "/driver")));
  if (D.Service == u"_")
    D.Service.clear();
  D.Mfg = QStringLiteral("Vendor ") + hex(Vendor, 4);
  D.Description = QStringLiteral("PCI device %1:%2").arg(hex(Vendor, 4), hex(Device, 4));
  return D;
}

std::optional<TFactDevice> readUsbDevice(const TSysRoot& ARoot, const QByteArray& APath) {
  const QStringList Port = usbPortParts(baseName(APath));
  bool VendorOk = false, ProductOk = false, RevisionOk = false;
  const uint Vendor = hexAttribute(APath, "idVendor", 0xFFFF, &VendorOk);
  const uint Product = hexAttribute(APath, "idProduct", 0xFFFF, &ProductOk);
  const uint Revision = hexAttribute(APath, "bcdDevice", 0xFFFF, &RevisionOk);
  if (Port.isEmpty() || !VendorOk || !ProductOk || !RevisionOk)
    return std::nullopt;

  TFactDevice D;
  D.SysPath = QFile::decodeName(APath);
  D.Enumerator = QStringLiteral("USB");
  D.DeviceId = QStringLiteral("VID_%1&PID_%2").arg(hex(Vendor, 4), hex(Product, 4));
  const QString Serial = deviceText(TSysRoot::Attribute(APath, "serial")).left(64);
  D.Instance = Serial.isEmpty() ? QString::fromLatin1(baseName(APath)) : keyName(Serial);
  D.HardwareIds = {QStringLiteral("USB\\") + D.DeviceId + QStringLiteral("&REV_") +
                       hex(Revision, 4),
                   QStringLiteral("USB\\") + D.DeviceId};
  // Windows numbers hubs by enumeration; the hub's device number is ours.
  const uint PortNumber = Port[1].section(u'.', -1).toUInt();
  bool HubOk = false;
  const QByteArray Parent = parentOf(APath);
  uint Hub = ARoot.Inside(Parent) ? TSysRoot::Attribute(Parent, "devnum").toUInt(&HubOk) : 0;
  if (!HubOk)
    Hub = Port[0].toUInt();
  D.Location = QStringLiteral("Port_#%1.Hub_#%2")
                   .arg(PortNumber, 4, 10, QLatin1Char('0'))
                   .arg(Hub, 4, 10, QLatin1Char('0'));
  D.Class = className(ClassUsb);
  D.Service = keyName(QFile::decodeName(TSysRoot::LinkName(APath + "/driver")));
  if (D.Service == u"_")
    D.Service.clear();
  D.Mfg = deviceText(TSysRoot::Attribute(APath, "manufacturer"));
  if (D.Mfg.isEmpty())
    D.Mfg = QStringLiteral("Vendor ") + hex(Vendor, 4);
  D.Description = deviceText(TSysRoot::Attribute(APath, "product"));
  if (D.Description.isEmpty())
    D.Description = QStringLiteral("USB device %1:%2").arg(hex(Vendor, 4), hex(Product, 4));
  return D;
}

// A device on a bus without a reader of its own (virtio-mmio, platform
// devices of boards): named by its subsystem and sysfs name.
TFactDevice readOtherDevice(const TSysRoot& ARoot, const QByteArray& APath) {
  TFactDevice D;
  D.SysPath = QFile::decodeName(APath);
  const QString Subsystem = deviceText(TSysRoot::LinkName(APath + "/subsystem")).toUpper();
  D.Enumerator = keyName(Subsystem.isEmpty() ? QStringLiteral("DEVICE") : Subsystem);
  D.DeviceId = keyName(QFile::decodeName(baseName(APath)).toUpper());
  D.Instance = QStringLiteral("0");
  const QString Alias = deviceText(TSysRoot::Attribute(APath, "modalias"));
  if (!Alias.isEmpty())
    D.HardwareIds << D.Enumerator + u'\\' + Alias;
  D.HardwareIds << D.Enumerator + u'\\' + D.DeviceId;
  D.Location = ARoot.Relative(APath);
  D.Service = keyName(QFile::decodeName(TSysRoot::LinkName(APath + "/driver")));
  if (D.Service == u"_")
    D.Service.clear();
  D.Mfg = QStringLiteral("Linux");
  D.Description = D.DeviceId;
  return D;
}

// ---- Devices as facts -----------------------------------------------------

// Reads the devices of one bus directory into AInto, sorted by name.
template <class TRead>
void readBus(const TSysRoot& ARoot, const char* ADir, std::vector<TFactDevice>& AInto,
             QSet<QByteArray>& ASeen, TRead ARead) {
  const QByteArray Dir = ARoot.Resolve(ARoot.Path(ADir));
  if (Dir.isEmpty())
    return;
  QList<QByteArray> Names = TSysRoot::List(Dir);
  std::sort(Names.begin(), Names.end());
  for (const QByteArray& Name : Names) {
    const QByteArray Path = ARoot.Resolve(Dir + '/' + Name);
    if (Path.isEmpty() || ASeen.contains(Path))
      continue;
    if (std::optional<TFactDevice> Device = ARead(Path)) {
      ASeen.insert(Path);
      AInto.push_back(std::move(*Device));
    }
  }
}

} // namespace

QString InterfaceSettingId(const QByteArray& AMachineId, const QString& APermanentAddressOrName) {
  QCryptographicHash Hash(QCryptographicHash::Sha256);
  const QByteArrayView Separator("\0", 1);
  Hash.addData("Kelvane network setting id");
  Hash.addData(Separator);
  Hash.addData(AMachineId.trimmed());
  Hash.addData(Separator);
  Hash.addData(APermanentAddressOrName.toUtf8());
  QByteArray Bytes = Hash.result().left(16);
  // Version 5 (name-based) and the RFC 4122 variant, so it reads as a GUID.
  Bytes[6] = char((Bytes[6] & 0x0F) | 0x50);
  Bytes[8] = char((Bytes[8] & 0x3F) | 0x80);
  return QUuid::fromRfc4122(Bytes).toString(QUuid::WithBraces).toUpper();
}

TFactDevices ReadDevices(const QString& ARootDir, const QList<TSysNetInterface>& AInterfaces) {
  TFactDevices Devices;
  try {
    const TSysRoot Root(ARootDir);
    if (!Root.Exists())
      return Devices;
    QSet<QByteArray> Seen;
    readBus(Root, "sys/bus/pci/devices", Devices.Bus, Seen,
            [](const QByteArray& APath) { return readPciDevice(APath); });
    readBus(Root, "sys/bus/usb/devices", Devices.Bus, Seen, [&](const QByteArray& APath) {
      return isUsbPort(baseName(APath)) ? readUsbDevice(Root, APath) : std::nullopt;
    });
    // A device the bus listings missed is read where an interface leads.
    for (const TSysNetInterface& Interface : AInterfaces) {
      const QByteArray Path = QFile::encodeName(Interface.DevicePath);
      if (!Interface.HasDevice || Seen.contains(Path))
        continue;
      std::optional<TFactDevice> Device;
      if (Interface.Bus == TSysBus::Pci)
        Device = readPciDevice(Path);
      else if (Interface.Bus == TSysBus::Usb)
        Device = readUsbDevice(Root, Path);
      if (!Device)
        Device = readOtherDevice(Root, Path);
      Seen.insert(Path);
      Devices.Bus.push_back(std::move(*Device));
    }
    if (const QByteArray Dmi = Root.Resolve(Root.Path("sys/class/dmi/id")); !Dmi.isEmpty()) {
      Devices.DmiVendor = deviceText(TSysRoot::Attribute(Dmi, "sys_vendor"));
      Devices.DmiProduct = deviceText(TSysRoot::Attribute(Dmi, "product_name"));
    }
  } catch (...) {
    // Best effort, as the view itself.
  }
  return Devices;
}

QList<TSysNetInterface> ReadTreeInterfaces(const QString& ARootDir, const QByteArray& AMachineId) {
  try {
    const TSysRoot Root(ARootDir);
    return Root.Exists() ? readTreeInterfaces(Root, AMachineId) : QList<TSysNetInterface>();
  } catch (...) {
    return {};
  }
}

namespace {

// ---- The live /sys, walked once with folder-relative opens ----------------

class TFd {
public:
  explicit TFd(int AFd = -1) : FFd(AFd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() {
    if (FFd >= 0)
      ::close(FFd);
  }
  int Get() const { return FFd; }
  bool Valid() const { return FFd >= 0; }

private:
  int FFd;
};

bool hasEntryAt(int ADir, const char* AName) {
  struct stat Info {};
  return ::fstatat(ADir, AName, &Info, AT_SYMLINK_NOFOLLOW) == 0;
}

QByteArray hardwareAddressText(const QByteArray& ABytes) {
  return ABytes.toHex(':');
}

// The entries of an open folder, "." and ".." left out; -1 when it cannot
// be listed.
qsizetype entryCount(int ADir) {
  const int Copy = ::openat(ADir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Copy < 0)
    return -1;
  DIR* Dir = ::fdopendir(Copy);
  if (!Dir) {
    ::close(Copy);
    return -1;
  }
  qsizetype Entries = 0;
  while (const dirent* Entry = ::readdir(Dir))
    if (std::strcmp(Entry->d_name, ".") != 0 && std::strcmp(Entry->d_name, "..") != 0)
      ++Entries;
  ::closedir(Dir);
  return Entries;
}

// The value of a "KEY=value" line of a uevent text.
QByteArray ueventValue(const QByteArray& AUevent, const QByteArray& AKey) {
  for (const QByteArray& Line : AUevent.split('\n'))
    if (Line.startsWith(AKey) && Line.size() > AKey.size() && Line[AKey.size()] == '=')
      return Line.mid(AKey.size() + 1);
  return {};
}

// What /sys says of one link beyond netlink.
struct TSysfsExtras {
  bool Wireless = false;
  QString DevType;
  QByteArray AssignType;
  bool HasDevice = false;
};

// The kind of a link: what the kernel names outright (wireless, a DEVTYPE,
// the link kind of a virtual one), else what its link type says.
QString linkKind(const TFactLink& ALink, const QString& ADevType, bool AHasDevice) {
  if (ALink.Wireless)
    return QStringLiteral("wireless");
  if (!ADevType.isEmpty())
    return ADevType;
  if (ALink.InfoKind == u"tun")
    return ALink.ArpType == ARPHRD_ETHER ? QStringLiteral("tap") : QStringLiteral("tun");
  if (!ALink.InfoKind.isEmpty())
    return ALink.InfoKind;
  if (AHasDevice && ALink.ArpType == ARPHRD_ETHER)
    return QStringLiteral("ethernet");
  return linkTypeKind(int(ALink.ArpType));
}

} // namespace

QByteArray ReadAttributeAt(int ADir, const char* AName, qint64 ACap) {
  // O_NOFOLLOW and O_NONBLOCK: no link is followed, and nothing in /sys that
  // is no attribute can stall the read.
  const TFd File(::openat(ADir, AName, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  if (!File.Valid())
    return {};
  QByteArray Data(int(ACap), Qt::Uninitialized);
  qint64 Size = 0;
  // An attribute comes whole in one read; only a full buffer asks for more.
  while (Size < ACap) {
    const ssize_t Got = ::read(File.Get(), Data.data() + Size, std::size_t(ACap - Size));
    if (Got < 0 && errno == EINTR)
      continue;
    if (Got <= 0)
      break;
    Size += Got;
    if (Size < ACap)
      break;
  }
  Data.truncate(int(Size));
  return Data.trimmed();
}

QList<TSysNetInterface> AddSysfsFacts(std::vector<TFactLink>& ALinks,
                                      const QByteArray& AMachineId) {
  const TSysRoot Root(QStringLiteral("/"));
  const TFd NetDir(::open("/sys/class/net", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  // /sys shows the links of the namespace that mounted it. It shows ours
  // when it lists as many links as our dump, and each link read there is
  // under its index with its hardware address; a namespace that kept the
  // host's /sys sees other links there, or the same names with other
  // indices and addresses. Only links of hardware (the kernel names no
  // kind for them) have anything to add: a device, a driver, wireless, a
  // permanent address. Each folder is read once, and what it says is kept
  // only if all agree.
  bool Ours = NetDir.Valid() && entryCount(NetDir.Get()) == qsizetype(ALinks.size());
  std::vector<TSysfsExtras> Extras(ALinks.size());
  for (std::size_t I = 0; I < ALinks.size() && Ours; ++I) {
    const TFactLink& Link = ALinks[I];
    if (Link.ArpType == ARPHRD_LOOPBACK || !Link.InfoKind.isEmpty())
      continue;
    const TFd Dir(::openat(NetDir.Get(), QFile::encodeName(Link.Name).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QByteArray Uevent = Dir.Valid() ? ReadAttributeAt(Dir.Get(), "uevent") : QByteArray();
    Ours = Dir.Valid() && ueventValue(Uevent, "IFINDEX").toInt() == Link.IfIndex &&
           (Link.HardwareAddress.isEmpty() ||
            ReadAttributeAt(Dir.Get(), "address") == hardwareAddressText(Link.HardwareAddress));
    if (!Ours)
      continue;
    TSysfsExtras& Extra = Extras[I];
    Extra.DevType = ueventDevType(Uevent);
    Extra.Wireless = hasEntryAt(Dir.Get(), "phy80211") || hasEntryAt(Dir.Get(), "wireless") ||
                     Extra.DevType == u"wlan";
    Extra.AssignType = ReadAttributeAt(Dir.Get(), "addr_assign_type");
    Extra.HasDevice = hasEntryAt(Dir.Get(), "device");
  }

  QList<TSysNetInterface> Interfaces;
  for (std::size_t I = 0; I < ALinks.size(); ++I) {
    TFactLink& Link = ALinks[I];
    if (Link.ArpType == ARPHRD_LOOPBACK)
      continue;
    TSysNetInterface Interface;
    Interface.Name = Link.Name;
    Interface.IfIndex = Link.IfIndex;
    const TSysfsExtras Extra = Ours ? Extras[I] : TSysfsExtras();
    Link.Wireless = Extra.Wireless;
    Interface.PermanentAddress =
        permanentAddress(Extra.AssignType, hardwareAddressText(Link.HardwareAddress));
    if (Extra.HasDevice)
      if (const QByteArray Device =
              Root.Resolve("/sys/class/net/" + QFile::encodeName(Link.Name) + "/device");
          !Device.isEmpty()) {
        Interface.HasDevice = true;
        Interface.Driver = QFile::decodeName(TSysRoot::LinkName(Device + "/driver"));
        locateBusDevice(Root, Device, Interface);
      }
    Interface.Kind =
        linkKind(Link, Extra.DevType == u"wlan" ? QString() : Extra.DevType, Interface.HasDevice);
    Interfaces << Interface;
  }
  assignSettingIds(Interfaces, AMachineId);
  return Interfaces;
}
