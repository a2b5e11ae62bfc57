#pragma once
// The installed devices, from the registry's device enumeration tree: one
// entry per hardware identifier, sorted by class and name. The network
// component sorts the network devices into physical and virtual ones by
// whether a device has a resource list and a location.

#include "common/StringRules.h"
#include "sysinfo/SysInfoCommon.h"

#include <QStringList>

#include <unordered_map>
#include <vector>

enum TDeviceClass {
  dcBattery,
  dcComputer,
  dcDiskDrive,
  dcDisplay,
  dcCDROM,
  dcfdc,
  dcFloppyDisk,
  dcGPS,
  dcHIDClass,
  dchdc,
  dc1394,
  dcImage,
  dcInfrared,
  dcKeyboard,
  dcMediumChanger,
  dcMTD,
  dcMouse,
  dcModem,
  dcMonitor,
  dcMultiFunction,
  dcPortSerial,
  dcNet,
  dcLegacyDriver,
  dcNtApm,
  dcUnknown,
  dcPCMCIA,
  dcPorts,
  dcPrinter,
  dcSCSIAdapter,
  dcSmartCardReader,
  dcMEDIA,
  dcVolume,
  dcSystem,
  dcTapeDrive,
  dcTapeController,
  dcTape,
  dcUSB,
  dcProcessor,
  dcBluetooth
};

// The first class whose name prefix (without regard to case) begins
// AClassName; dcUnknown when none does.
TDeviceClass DeviceClassOf(const QString& AClassName);

struct TDevice {
  QString Name, ClassName, ClassDesc, ClassIcon, FriendlyName, Description, GUID, Manufacturer,
      Location;
  std::int32_t PCINumber = -1, DeviceNumber = -1, FunctionNumber = -1;
  QString HardwareID, SymbolicLink, Subkey, DeviceParam, Driver, DriverDate, DriverVersion,
      DriverProvider, InfPath, Service, ServiceName, ServiceGroup;
  std::int32_t ServiceType = 0;
  QString ImagePath, RegKey, ResourceListKey, ResourceListValue;
  TDeviceClass DeviceClass = dcUnknown;
  std::uint32_t VendorID = 0, DeviceID = 0, SubSysID = 0, Revision = 0;
  TDateTime Timestamp;
};

// Bus, device and function numbers of a location text such as "PCI bus 2,
// device 0, function 0" or "... (3,0,1)"; -1 where there are none.
void ParsePCILocation(const QString& ALocation, TDevice& ADevice);
// Vendor, device, subsystem and revision of a "PCI\VEN_...&DEV_..." text.
void ParsePCIHardwareID(const QString& AHardwareID, TDevice& ADevice);

// The order in which the device list's exchange sort leaves keys compared as
// ordinal strings: element I of the result is the index in AKeys of the key
// that ends at place I. Equal keys end in the exchange sort's own order.
std::vector<std::size_t> ExchangeSortOrder(const std::vector<QString>& AKeys);

class TSysInfoDevices : public TSysInfoComponent {
  Q_OBJECT

public:
  explicit TSysInfoDevices(QObject* AOwner = nullptr);

  void RefreshData(int AScanObjects) override;

  int DeviceCount() const { return int(FDevices.size()); }
  // A copy of the device at AIndex (0 <= AIndex < DeviceCount).
  TDevice Devices(int AIndex) const { return FDevices[std::size_t(AIndex)]; }
  // -1 when no device has that identifier (compared without regard to case).
  int GetDeviceByHardwareID(const QString& AHWID) const;
  void GetDevicesByClass(TDeviceClass ADeviceClass, QStringList& ADevices) const;

  // Instances without a "Control" subkey are left out while this is set:
  // on systems before generation 12 only present devices have one.
  bool CheckControl() const { return FCheckControl; }
  void SetCheckControl(bool AValue) { FCheckControl = AValue; }

private:
  void enumerate();
  bool readInstance(const QString& AEnumerator, const QString& AInstanceKey,
                    const QString& AInstance, TDevice& ADevice);
  void sort();

  std::vector<TDevice> FDevices;
  // Place in FDevices by hardware identifier, without regard to case.
  std::unordered_map<QString, int, TSameTextHash, TSameText> FHardwareIDs;
  bool FCheckControl = false;
};
