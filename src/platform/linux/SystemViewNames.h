#pragma once
// Names the registry's system view gives what it finds: the device classes
// (shared by the sysfs readers, which sort devices into them, and the view,
// which writes their keys) and key names made of untrusted text.

#include <QString>

namespace SystemViewNames {

constexpr qsizetype MaxKeyNameLength = 255;

enum TClassId {
  ClassNet,
  ClassNetClient,
  ClassNetService,
  ClassNetTrans,
  ClassDisplay,
  ClassHdc,
  ClassMedia,
  ClassScsiAdapter,
  ClassSystem,
  ClassUsb,
  ClassDiskDrive,
  ClassCount
};

struct TDeviceClass {
  const char* Name;
  const char* Guid;
  const char* Description;
  const char* Icon;
};

// In TClassId order. The icons are nominal: nothing on Linux draws them.
constexpr TDeviceClass DeviceClasses[ClassCount] = {
    {"Net", "{4D36E972-E325-11CE-BFC1-08002BE10318}", "Network adapters", "-5"},
    {"NetClient", "{4D36E973-E325-11CE-BFC1-08002BE10318}", "Network Client", "-7"},
    {"NetService", "{4D36E974-E325-11CE-BFC1-08002BE10318}", "Network Service", "-8"},
    {"NetTrans", "{4D36E975-E325-11CE-BFC1-08002BE10318}", "Network Protocol", "-6"},
    {"Display", "{4D36E968-E325-11CE-BFC1-08002BE10318}", "Display adapters", "-1"},
    {"HDC", "{4D36E96A-E325-11CE-BFC1-08002BE10318}", "IDE ATA/ATAPI controllers", "-9"},
    {"MEDIA", "{4D36E96C-E325-11CE-BFC1-08002BE10318}", "Sound, video and game controllers", "-1"},
    {"SCSIAdapter", "{4D36E97B-E325-11CE-BFC1-08002BE10318}", "Storage controllers", "-10"},
    {"System", "{4D36E97D-E325-11CE-BFC1-08002BE10318}", "System devices", "-27"},
    {"USB", "{36FC9E60-C465-11CF-8056-444553540000}", "Universal Serial Bus controllers", "-20"},
    {"DiskDrive", "{4D36E967-E325-11CE-BFC1-08002BE10318}", "Disk drives", "-53"},
};

inline QString className(int AClass) {
  return QString::fromLatin1(DeviceClasses[AClass].Name);
}
inline QString classGuid(int AClass) {
  return QString::fromLatin1(DeviceClasses[AClass].Guid);
}

// A name usable as one key of a path: no backslash, no control character,
// not empty, not longer than Windows allows.
inline QString keyName(const QString& AText) {
  QString Result = AText.left(MaxKeyNameLength);
  for (QChar& C : Result)
    if (C == u'\\' || C.unicode() < 0x20 || C.unicode() == 0x7F)
      C = u'_';
  return Result.isEmpty() ? QStringLiteral("_") : Result;
}

} // namespace SystemViewNames
