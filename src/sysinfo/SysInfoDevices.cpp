#include "sysinfo/SysInfoDevices.h"

#include "platform/Platform.h"

#include <QTimeZone>

#include <algorithm>
#include <deque>
#include <numeric>

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

// Marked places, counted before a place and found by rank, each in
// logarithmic time.
class TPlaceCounts {
public:
  explicit TPlaceCounts(std::size_t ACount) : FTree(ACount + 1, 0) {}
  void Mark(std::size_t APlace) {
    for (std::size_t I = APlace + 1; I < FTree.size(); I += I & (0 - I))
      ++FTree[I];
  }
  std::size_t Before(std::size_t APlace) const {
    std::size_t Sum = 0;
    for (std::size_t I = APlace; I > 0; I -= I & (0 - I))
      Sum += FTree[I];
    return Sum;
  }
  // The place of the ARank-th marked place, counting from 1.
  std::size_t Nth(std::size_t ARank) const {
    std::size_t At = 0;
    std::size_t Step = 1;
    while (Step * 2 < FTree.size())
      Step *= 2;
    for (; Step > 0; Step /= 2)
      if (At + Step < FTree.size() && FTree[At + Step] < ARank) {
        At += Step;
        ARank -= FTree[At];
      }
    return At;
  }

private:
  std::vector<std::size_t> FTree;
};

// Against one key the exchange sort only tells smaller, equal and greater
// elements apart, so where the equal ones end follows from the places of the
// smaller ones. Pass I puts the smallest remaining element at place I. While
// smaller elements are still to come (I < ASmaller), a pass whose first
// element is not smaller takes the rightmost smaller element and leaves in
// its place an equal element: its first element if that is one, or else the
// rightmost equal element behind the last smaller one, whose place the
// greater first element takes. Behind the last smaller element the equal
// ones thus queue up, rotated by each greater first element. Once all the
// smaller ones are in front, each greater element among the next
// APlaces.size() places takes the rightmost equal element behind them.
void orderEqualKeys(const std::vector<std::size_t>& APlaces, std::size_t ASmaller,
                    const TPlaceCounts& ASmallerPlaces, std::vector<std::size_t>& AOrder) {
  struct TItem {
    std::size_t Index;
    std::size_t Place; // the pass that left it there when Dropped
    bool Dropped;
  };
  struct TEvent {
    std::size_t Pass;
    bool Starts; // the first element of the pass
    std::size_t Place;
  };
  // Passes are counted from 1 over those that take a smaller element; pass J
  // takes the J-th smaller element from the right.
  const std::size_t Taking = ASmaller - ASmallerPlaces.Before(ASmaller);
  std::vector<TEvent> Events;
  std::vector<TItem> Untouched;
  for (const std::size_t Place : APlaces) {
    if (Place < ASmaller) {
      Events.push_back({Place - ASmallerPlaces.Before(Place) + 1, true, Place});
      continue;
    }
    const std::size_t Joins = ASmaller - ASmallerPlaces.Before(Place + 1) + 1;
    if (Joins > Taking)
      Untouched.push_back({Place, Place, false});
    else
      Events.push_back({Joins, false, Place});
  }
  std::sort(Events.begin(), Events.end(), [](const TEvent& A, const TEvent& B) {
    if (A.Pass != B.Pass)
      return A.Pass < B.Pass;
    if (A.Starts != B.Starts)
      return B.Starts;
    return A.Place > B.Place;
  });

  std::deque<TItem> Queue;
  // ACount passes after pass ADone whose first element is greater.
  const auto rotate = [&Queue](std::size_t ADone, std::size_t ACount) {
    const std::size_t Size = Queue.size();
    if (Size == 0 || ACount == 0)
      return;
    if (ACount >= Size) {
      std::rotate(Queue.begin(), Queue.end() - std::ptrdiff_t(ACount % Size), Queue.end());
      for (std::size_t I = 0; I < Size; ++I)
        Queue[I] = {Queue[I].Index, ADone + ACount - I, true};
      return;
    }
    for (std::size_t I = 1; I <= ACount; ++I) {
      const std::size_t Index = Queue.back().Index;
      Queue.pop_back();
      Queue.push_front({Index, ADone + I, true});
    }
  };
  std::size_t Done = 0;
  for (const TEvent& Event : Events) {
    if (Event.Pass > Done + 1)
      rotate(Done, Event.Pass - 1 - Done);
    if (Event.Starts)
      Queue.push_front({Event.Place, Event.Pass, true});
    else
      Queue.push_front({Event.Place, Event.Place, false});
    Done = Event.Pass - 1;
    if (Event.Starts)
      Done = Event.Pass;
  }
  rotate(Done, Taking - Done);

  // Left to right: the equal elements behind the smaller ones.
  std::vector<TItem> Behind = std::move(Untouched);
  Behind.insert(Behind.end(), Queue.begin(), Queue.end());
  for (TItem& Item : Behind)
    if (Item.Dropped)
      Item.Place = ASmallerPlaces.Nth(ASmaller - Item.Place + 1);
  const std::size_t End = ASmaller + APlaces.size();
  std::size_t Front = 0;
  std::size_t Back = Behind.size();
  for (std::size_t Place = ASmaller; Place < End; ++Place)
    if (Front < Back && Behind[Front].Place == Place)
      AOrder.push_back(Behind[Front++].Index);
    else
      AOrder.push_back(Behind[--Back].Index);
}
} // namespace

std::vector<std::size_t> ExchangeSortOrder(const std::vector<QString>& AKeys) {
  const std::size_t Count = AKeys.size();
  std::vector<std::size_t> ByKey(Count);
  std::iota(ByKey.begin(), ByKey.end(), std::size_t(0));
  std::stable_sort(ByKey.begin(), ByKey.end(), [&AKeys](std::size_t A, std::size_t B) {
    return QString::compare(AKeys[A], AKeys[B], Qt::CaseSensitive) < 0;
  });
  std::vector<std::size_t> Order;
  Order.reserve(Count);
  TPlaceCounts Smaller(Count);
  for (std::size_t First = 0; First < Count;) {
    std::size_t Last = First + 1;
    while (Last < Count && AKeys[ByKey[Last]] == AKeys[ByKey[First]])
      ++Last;
    const std::vector<std::size_t> Places(ByKey.begin() + std::ptrdiff_t(First),
                                          ByKey.begin() + std::ptrdiff_t(Last));
    if (Places.size() == 1)
      Order.push_back(Places.front());
    else
      orderEqualKeys(Places, First, Smaller, Order);
    for (const std::size_t Place : Places)
      Smaller.Mark(Place);
    First = Last;
  }
  return Order;
}

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
  FHardwareIDs.clear();
  enumerate();
  sort();
  SetDataAvailable(true);
}

int TSysInfoDevices::GetDeviceByHardwareID(const QString& AHWID) const {
  const auto Found = FHardwareIDs.find(AHWID);
  return Found == FHardwareIDs.end() ? -1 : Found->second;
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
        FHardwareIDs.emplace(Record.HardwareID, int(FDevices.size()));
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

// By class and name, compared as ordinal strings. Devices with equal keys
// come in the order the list's exchange sort always gave them, which callers
// see; ExchangeSortOrder finds it without the exchange sort's quadratic time.
void TSysInfoDevices::sort() {
  std::vector<QString> Keys;
  Keys.reserve(FDevices.size());
  for (const TDevice& Device : FDevices)
    Keys.push_back(Device.ClassName + u'_' + Device.Name);
  std::vector<TDevice> Sorted;
  Sorted.reserve(FDevices.size());
  for (const std::size_t Index : ExchangeSortOrder(Keys))
    Sorted.push_back(std::move(FDevices[Index]));
  FDevices = std::move(Sorted);
  for (std::size_t I = 0; I < FDevices.size(); ++I)
    FHardwareIDs[FDevices[I].HardwareID] = int(I);
}
