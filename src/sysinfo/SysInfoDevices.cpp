#include "sysinfo/SysInfoDevices.h"

#include "platform/Platform.h"

#include <QTimeZone>

namespace {
const char* const ClassPrefixes[] = {"Battery",
                                     "Computer",
                                     "DiskDrive",
                                     "Display",
                                     "CDROM",
                                     "fdc",
                                     "FloppyDisk",
                                     "GPS",
                                     "HID",
                                     "hdc",
                                     "1394",
                                     "Image",
                                     "Infrared",
                                     "Keyboard",
                                     "MediumChanger",
                                     "MTD",
                                     "Mouse",
                                     "Modem",
                                     "Monitor",
                                     "MultiFunction",
                                     "MultiPortSerial",
                                     "Net",
                                     "LegacyDriver",
                                     "NtApm",
                                     "Unknown",
                                     "PCMCIA",
                                     "Ports",
                                     "Printer",
                                     "SCSIAdapter",
                                     "SmartCardReader",
                                     "MEDIA",
                                     "Volume",
                                     "System",
                                     "TapeDrive",
                                     "TapeController",
                                     "Tape",
                                     "USB",
                                     "Processor",
                                     "Bluetooth"};

const QString EnumRoot = QStringLiteral("\\SYSTEM\\CurrentControlSet\\Enum");
const QString ClassRoot = QStringLiteral("\\SYSTEM\\CurrentControlSet\\Control\\Class");
const QString ServicesRoot = QStringLiteral("\\SYSTEM\\CurrentControlSet\\Services\\");

std::unique_ptr<TRegistry> machineReader() {
  std::unique_ptr<TRegistry> Registry = CreateRegistryReader();
  Registry->SetRootKey(HKEY_LOCAL_MACHINE);
  return Registry;
}

// A number value, 0 when it is missing or of another type.
std::int32_t readNumber(TRegistry& ARegistry, const QString& AName) {
  return ARegistry.GetDataType(AName) == REG_DWORD ? ARegistry.ReadInteger(AName) : 0;
}

std::uint32_t hexAfter(const QString& AText, const QString& AMarker, int ADigits) {
  const qsizetype At = AText.indexOf(AMarker, 0, Qt::CaseInsensitive);
  if (At < 0)
    return 0;
  bool Ok = false;
  const std::uint32_t Value = AText.mid(At + AMarker.size(), ADigits).toUInt(&Ok, 16);
  return Ok ? Value : 0;
}

double toDateTime(const QDateTime& AUtc, bool AToLocal) {
  if (!AUtc.isValid())
    return 0;
  const QDateTime Time = AToLocal ? AUtc.toLocalTime() : AUtc.toUTC();
  const qint64 Seconds = QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)
                             .secsTo(QDateTime(Time.date(), Time.time(), Qt::UTC));
  return double(Seconds) / 86400.0;
}
} // namespace

TDeviceClass DeviceClassOf(const QString& AClassName) {
  const QString Name = AClassName.toUpper();
  for (int I = 0; I <= int(dcBluetooth); ++I)
    if (Name.startsWith(QString::fromLatin1(ClassPrefixes[I]).toUpper()))
      return TDeviceClass(I);
  return dcUnknown;
}

void ParsePCILocation(const QString& ALocation, TDevice& ADevice) {
  ADevice.PCINumber = ADevice.DeviceNumber = ADevice.FunctionNumber = -1;
  QString Text = ALocation;
  if (Text.contains(u'(')) {
    Text = Text.mid(Text.indexOf(u'(') + 1);
    if (const qsizetype Close = Text.indexOf(u')'); Close >= 0)
      Text.truncate(Close);
    Text.replace(u',', QLatin1String(", "));
    Text.prepend(u' ');
  }
  const qsizetype First = Text.indexOf(u',');
  if (First < 0)
    return;
  const qsizetype Second = Text.indexOf(u',', First + 1);
  ADevice.PCINumber = std::int32_t(
      SafeStrToInt64(Text.mid(qMax<qsizetype>(First - 2, 0), qMin<qsizetype>(First, 2)).trimmed()));
  ADevice.DeviceNumber =
      Second >= 0 ? std::int32_t(SafeStrToInt64(Text.mid(Second - 2, 2).trimmed())) : 0;
  ADevice.FunctionNumber = std::int32_t(SafeStrToInt64(Text.right(2).trimmed()));
}

void ParsePCIHardwareID(const QString& AHardwareID, TDevice& ADevice) {
  if (!AHardwareID.contains(QLatin1String("PCI\\VEN"), Qt::CaseInsensitive))
    return;
  ADevice.VendorID = hexAfter(AHardwareID, QStringLiteral("VEN_"), 4);
  ADevice.DeviceID = hexAfter(AHardwareID, QStringLiteral("DEV_"), 4);
  ADevice.SubSysID = hexAfter(AHardwareID, QStringLiteral("SUBSYS_"), 8);
  ADevice.Revision = hexAfter(AHardwareID, QStringLiteral("REV_"), 2);
}

TSysInfoDevices::TSysInfoDevices(QObject* AOwner)
    : TSysInfoComponent(AOwner), FCheckControl(StartupSnapshot().OSGeneration < 12) {}

void TSysInfoDevices::RefreshData(int AScanObjects) {
  TSysInfoComponent::RefreshData(AScanObjects);
  FDevices.clear();
  enumerate();
  sort();
  SetDataAvailable(true);
}

int TSysInfoDevices::GetDeviceByHardwareID(const QString& AHWID) const {
  for (std::size_t I = 0; I < FDevices.size(); ++I)
    if (FDevices[I].HardwareID.compare(AHWID, Qt::CaseInsensitive) == 0)
      return int(I);
  return -1;
}

void TSysInfoDevices::GetDevicesByClass(TDeviceClass ADeviceClass, QStringList& ADevices) const {
  ADevices.clear();
  for (const TDevice& Device : FDevices)
    if (Device.DeviceClass == ADeviceClass)
      ADevices << Device.Name;
}

void TSysInfoDevices::enumerate() {
  std::unique_ptr<TRegistry> Tree = machineReader();
  if (!Tree->OpenKey(EnumRoot))
    return;
  for (const QString& Enumerator : Tree->GetKeyNames()) {
    const QString EnumeratorKey = EnumRoot + u'\\' + Enumerator;
    if (!Tree->OpenKey(EnumeratorKey))
      continue;
    for (const QString& Device : Tree->GetKeyNames()) {
      const QString DeviceKey = EnumeratorKey + u'\\' + Device;
      if (!Tree->OpenKey(DeviceKey))
        continue;
      for (const QString& Instance : Tree->GetKeyNames()) {
        TDevice Record;
        if (!readInstance(Enumerator, DeviceKey + u'\\' + Instance, Instance, Record))
          continue;
        if (Record.ClassName.trimmed().isEmpty() || GetDeviceByHardwareID(Record.HardwareID) >= 0)
          continue;
        Record.DeviceClass = DeviceClassOf(Record.ClassName);
        FDevices.push_back(std::move(Record));
      }
    }
  }
}

bool TSysInfoDevices::readInstance(const QString& AEnumerator, const QString& AInstanceKey,
                                   const QString& AInstance, TDevice& ADevice) {
  std::unique_ptr<TRegistry> Key = machineReader();
  if (!Key->OpenKey(AInstanceKey))
    return false;
  if (FCheckControl && !Key->KeyExists(AInstanceKey + QLatin1String("\\Control")))
    return false;
  ADevice.GUID = Key->ReadString(QStringLiteral("ClassGUID")).toUpper();
  ADevice.FriendlyName = AfterSemicolon(Key->ReadString(QStringLiteral("FriendlyName")));
  ADevice.Description = AfterSemicolon(Key->ReadString(QStringLiteral("DeviceDesc")));
  ADevice.Name =
      ADevice.FriendlyName.trimmed().isEmpty() ? ADevice.Description : ADevice.FriendlyName;
  ADevice.Manufacturer = AfterSemicolon(Key->ReadString(QStringLiteral("Mfg")));
  ADevice.Service = Key->ReadString(QStringLiteral("Service"));
  ADevice.Location = Key->ReadString(QStringLiteral("LocationInformation"));
  const QString InstanceClass = Key->ReadString(QStringLiteral("Class"));
  ADevice.Driver = Key->ReadString(QStringLiteral("Driver"));
  ParsePCILocation(ADevice.Location, ADevice);

  std::unique_ptr<TRegistry> Other = machineReader();
  if (ADevice.Location.isEmpty() && Other->OpenKey(ServicesRoot + AEnumerator)) {
    ADevice.Location = AfterSemicolon(Other->ReadString(QStringLiteral("DisplayName")));
    ADevice.ServiceGroup = Other->ReadString(QStringLiteral("Group"));
    ADevice.ServiceType = readNumber(*Other, QStringLiteral("Type"));
    ADevice.ImagePath = Other->ReadString(QStringLiteral("ImagePath"));
  }

  if (Other->OpenKey(ClassRoot)) {
    for (const QString& Guid : Other->GetKeyNames()) {
      if (Guid.compare(ADevice.GUID, Qt::CaseInsensitive) != 0)
        continue;
      std::unique_ptr<TRegistry> Class = machineReader();
      if (Class->OpenKey(ClassRoot + u'\\' + Guid)) {
        ADevice.ClassName = Class->ReadString(QStringLiteral("Class"));
        const DWORD IconType = Class->GetDataType(QStringLiteral("Icon"));
        ADevice.ClassIcon = IconType == REG_DWORD
                                ? QString::number(Class->ReadInteger(QStringLiteral("Icon")))
                            : IconType == REG_SZ || IconType == REG_EXPAND_SZ
                                ? Class->ReadString(QStringLiteral("Icon"))
                                : QString();
        ADevice.ClassDesc = Class->ReadString(QString());
        if (ADevice.ClassDesc.isEmpty())
          ADevice.ClassDesc = Class->ReadString(QStringLiteral("ClassDesc"));
        // "@file,-number" names a string resource; none can be loaded here,
        // so the text after its ";" stands in, as when loading fails.
        if (ADevice.ClassDesc.startsWith(u'@'))
          ADevice.ClassDesc = AfterSemicolon(ADevice.ClassDesc.mid(1));
      }
      break;
    }
  }
  if (ADevice.ClassName.isEmpty())
    ADevice.ClassName = InstanceClass;

  if (!ADevice.Driver.isEmpty() && Other->OpenKey(ClassRoot + u'\\' + ADevice.Driver)) {
    ADevice.DriverDate = Other->ReadString(QStringLiteral("DriverDate"));
    ADevice.DriverVersion = Other->ReadString(QStringLiteral("DriverVersion"));
    ADevice.DriverProvider = Other->ReadString(QStringLiteral("ProviderName"));
    ADevice.InfPath = Other->ReadString(QStringLiteral("InfPath"));
  }
  if (!ADevice.Service.isEmpty() && Other->OpenKey(ServicesRoot + ADevice.Service)) {
    ADevice.ServiceName = AfterSemicolon(Other->ReadString(QStringLiteral("DisplayName")));
    ADevice.ServiceGroup = Other->ReadString(QStringLiteral("Group"));
    ADevice.ImagePath = Other->ReadString(QStringLiteral("ImagePath"));
    ADevice.ServiceType = readNumber(*Other, QStringLiteral("Type"));
  }

  ADevice.RegKey = AInstanceKey;
  ADevice.Subkey = AInstance;
  ADevice.HardwareID =
      ReadRegistryValueText(HKEY_LOCAL_MACHINE, AInstanceKey, QStringLiteral("HardwareID"), false);
  ParsePCIHardwareID(ADevice.HardwareID, ADevice);

  QStringList Subkeys = Key->GetKeyNames();
  std::sort(Subkeys.begin(), Subkeys.end(), [](const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) < 0;
  });
  for (const QString& Subkey : Subkeys) {
    if (!Other->OpenKey(AInstanceKey + u'\\' + Subkey))
      continue;
    for (const QString& Value : Other->GetValueNames())
      if (Other->GetDataType(Value) == REG_RESOURCE_LIST) {
        ADevice.ResourceListKey = AInstanceKey + u'\\' + Subkey;
        ADevice.ResourceListValue = Value;
        break;
      }
    if (!ADevice.ResourceListKey.trimmed().isEmpty())
      break;
  }

  // The interface the device registered, matched by hardware identifier and
  // instance.
  const QString Interface = QString(ADevice.HardwareID).replace(u'\\', u'#') + u'#' + AInstance;
  if (Other->OpenKey(QStringLiteral("\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses")))
    for (const QString& InterfaceClass : Other->GetKeyNames()) {
      std::unique_ptr<TRegistry> Entries = machineReader();
      if (!Entries->OpenKey(
              QStringLiteral("\\SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\") +
              InterfaceClass))
        continue;
      for (const QString& Entry : Entries->GetKeyNames())
        if (Entry.contains(Interface, Qt::CaseInsensitive) && Entries->OpenKey(Entry)) {
          ADevice.SymbolicLink = Entries->ReadString(QStringLiteral("SymbolicLink"));
          break;
        }
      if (!ADevice.SymbolicLink.isEmpty())
        break;
    }

  TRegKeyInfo Control;
  if (Other->OpenKey(AInstanceKey + QLatin1String("\\Control")) && Other->GetKeyInfo(Control))
    ADevice.Timestamp = TDateTime{toDateTime(Control.LastWriteTime, ConvertTimeToLocal())};

  if (Other->OpenKey(AInstanceKey + QLatin1String("\\Device Parameters")))
    for (const QString& Value : Other->GetValueNames()) {
      const DWORD Type = Other->GetDataType(Value);
      if (!Value.isEmpty() && (Type == REG_SZ || Type == REG_EXPAND_SZ)) {
        ADevice.DeviceParam = Other->ReadString(Value);
        break;
      }
    }
  return true;
}

// An exchange sort by class and name, compared as ordinal strings, kept as
// it is because the order of equal keys depends on it.
void TSysInfoDevices::sort() {
  std::vector<QString> Keys;
  Keys.reserve(FDevices.size());
  for (const TDevice& Device : FDevices)
    Keys.push_back(Device.ClassName + u'_' + Device.Name);
  for (std::size_t I = 0; I + 1 < FDevices.size(); ++I)
    for (std::size_t J = FDevices.size() - 1; J > I; --J)
      if (QString::compare(Keys[I], Keys[J], Qt::CaseSensitive) > 0) {
        std::swap(FDevices[I], FDevices[J]);
        std::swap(Keys[I], Keys[J]);
      }
}
