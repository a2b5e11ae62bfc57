#include "platform/windows/WindowsErrorText.h"

#include "platform/windows/WindowsRegistry.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace {

// The port's numbers of the predefined roots, beside the system's keys for
// them in the same order: a 64-bit HKEY holds the number sign-extended, so
// the two differ there.
#include "platform/PortNamesBegin.h"
constexpr TRegHandle PortRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                                    HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                                    HKEY_DYN_DATA};
#include "platform/PortNamesEnd.h"
const HKEY SystemRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,     HKEY_LOCAL_MACHINE,
                            HKEY_USERS,        HKEY_PERFORMANCE_DATA, HKEY_CURRENT_CONFIG,
                            HKEY_DYN_DATA};
static_assert(std::size(PortRoots) == std::size(SystemRoots));

// Keys the system opened travel as their HKEY value; handle values never
// reach the port's numbers of the roots.
HKEY systemKey(TRegHandle AKey) {
  const auto Root = std::find(std::begin(PortRoots), std::end(PortRoots), AKey);
  return Root != std::end(PortRoots) ? SystemRoots[Root - std::begin(PortRoots)]
                                     : reinterpret_cast<HKEY>(AKey);
}

// The documented longest names: 255 characters for a key, 16383 for a value.
constexpr DWORD KeyNameChars = 256;
constexpr DWORD ValueNameChars = 16384;

constexpr DWORD FirstValueBytes = 512;
// Between two calls the value may grow again; a value that never stops doing
// so is given up.
constexpr int MaxValueReads = 16;

// FILETIME counts 100 ns from 1601-01-01 UTC.
constexpr quint64 FileTimeUnitsPerMs = 10000;
constexpr quint64 FileTimeAtUnixEpoch = 116444736000000000ULL;

QDateTime fromFileTime(const FILETIME& ATime) {
  const quint64 Units = (quint64(ATime.dwHighDateTime) << 32) | ATime.dwLowDateTime;
  if (Units == 0)
    return {};
  const qint64 Ms = (qint64(Units) - qint64(FileTimeAtUnixEpoch)) / qint64(FileTimeUnitsPerMs);
  return QDateTime::fromMSecsSinceEpoch(Ms, Qt::UTC);
}

} // namespace

LONG WindowsRegistry::OpenKey(TRegHandle AKey, const QString& ASubKey, REGSAM ASamDesired,
                              TRegHandle& AResult) {
  HKEY Opened = nullptr;
  const LONG Result = ::RegOpenKeyExW(systemKey(AKey), wide(ASubKey), 0, ASamDesired, &Opened);
  if (Result == ERROR_SUCCESS)
    AResult = reinterpret_cast<TRegHandle>(Opened);
  return Result;
}

LONG WindowsRegistry::CloseKey(TRegHandle AKey) {
  return ::RegCloseKey(systemKey(AKey));
}

LONG WindowsRegistry::QueryValue(TRegHandle AKey, const QString& AValueName, TRegValue& AValue) {
  const HKEY Key = systemKey(AKey);
  QByteArray Data(FirstValueBytes, Qt::Uninitialized);
  LONG Result = ERROR_MORE_DATA;
  for (int Read = 0; Read < MaxValueReads && Result == ERROR_MORE_DATA; ++Read) {
    DWORD Type = REG_NONE;
    DWORD Size = DWORD(Data.size());
    Result = ::RegQueryValueExW(Key, wide(AValueName), nullptr, &Type,
                                reinterpret_cast<BYTE*>(Data.data()), &Size);
    if (Result == ERROR_SUCCESS) {
      Data.truncate(qsizetype(Size));
      AValue.Type = Type;
      AValue.Data = Data;
      return Result;
    }
    if (Result != ERROR_MORE_DATA)
      return Result;
    // The performance data say no size; anything else says what it needs.
    const qsizetype Needed = std::max(qsizetype(Size), Data.size() * 2);
    if (Needed > MaxValueBytes)
      return Result;
    Data.resize(Needed);
  }
  return Result;
}

LONG WindowsRegistry::EnumKey(TRegHandle AKey, DWORD AIndex, QString& AName) {
  wchar_t Name[KeyNameChars];
  DWORD Length = KeyNameChars;
  const LONG Result =
      ::RegEnumKeyExW(systemKey(AKey), AIndex, Name, &Length, nullptr, nullptr, nullptr, nullptr);
  if (Result == ERROR_SUCCESS)
    AName = QString::fromWCharArray(Name, int(Length));
  return Result;
}

LONG WindowsRegistry::EnumValue(TRegHandle AKey, DWORD AIndex, QString& AName) {
  std::wstring Name(ValueNameChars, L'\0');
  DWORD Length = ValueNameChars;
  const LONG Result = ::RegEnumValueW(systemKey(AKey), AIndex, Name.data(), &Length, nullptr,
                                      nullptr, nullptr, nullptr);
  if (Result == ERROR_SUCCESS)
    AName = QString::fromWCharArray(Name.data(), int(Length));
  return Result;
}

LONG WindowsRegistry::QueryInfoKey(TRegHandle AKey, TRegKeyInfo& AInfo) {
  DWORD SubKeys = 0, Values = 0;
  FILETIME LastWrite{};
  const LONG Result =
      ::RegQueryInfoKeyW(systemKey(AKey), nullptr, nullptr, nullptr, &SubKeys, nullptr, nullptr,
                         &Values, nullptr, nullptr, nullptr, &LastWrite);
  if (Result == ERROR_SUCCESS) {
    AInfo.SubKeys = SubKeys;
    AInfo.Values = Values;
    AInfo.LastWriteTime = fromFileTime(LastWrite);
  }
  return Result;
}
