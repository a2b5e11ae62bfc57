#pragma once
// The registry port: keys under predefined roots, typed values, enumeration
// in stored order. Shaped like the Windows calls the program makes; a failed
// call returns the Windows error code callers branch on (ERROR_FILE_NOT_FOUND
// for a missing key or value, ERROR_NO_MORE_ITEMS past the last item,
// ERROR_ACCESS_DENIED for writes to a read-only hive, ERROR_INVALID_HANDLE).
//
// Linux has a single registry view: KEY_WOW64_64KEY and KEY_WOW64_32KEY are
// accepted and change nothing, and WOW6432Node is an ordinary key.

#include "common/WinError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "platform/PortNamesBegin.h"

// A key: a predefined root or what OpenKey gave. A number of the port's
// own rather than the system's HKEY, so that a registry of the program's
// (the hive below) can hand out keys as well.
using TRegHandle = std::uintptr_t;
using REGSAM = DWORD;

inline constexpr TRegHandle HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr TRegHandle HKEY_CURRENT_USER = 0x80000001u;
inline constexpr TRegHandle HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr TRegHandle HKEY_USERS = 0x80000003u;
inline constexpr TRegHandle HKEY_PERFORMANCE_DATA = 0x80000004u;
inline constexpr TRegHandle HKEY_CURRENT_CONFIG = 0x80000005u;
inline constexpr TRegHandle HKEY_DYN_DATA = 0x80000006u;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_NOTIFY = 0x0010;
inline constexpr REGSAM KEY_CREATE_LINK = 0x0020;
inline constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
inline constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
inline constexpr REGSAM READ_CONTROL = 0x00020000;
inline constexpr REGSAM KEY_READ =
    READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr REGSAM KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
inline constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

// Value types (REG_*); values keep the type they were stored with.
inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
inline constexpr DWORD REG_LINK = 6;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_RESOURCE_LIST = 8;
inline constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
inline constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
inline constexpr DWORD REG_QWORD = 11;

// A value as stored: its type and its bytes in the Windows layout (strings
// UTF-16LE with a terminating NUL, numbers little-endian, multi-strings NUL
// separated with a final empty string).
struct TRegValue {
  DWORD Type = REG_NONE;
  QByteArray Data;

  static TRegValue String(const QString& S, DWORD AType = REG_SZ);
  static TRegValue Dword(std::uint32_t V);
  static TRegValue Qword(std::uint64_t V);
  static TRegValue Binary(const QByteArray& B, DWORD AType = REG_BINARY);
  static TRegValue MultiString(const QStringList& L);

  // Decoders of the layouts above. A string decodes up to its first NUL; an
  // odd trailing byte is ignored. Numbers need at least their width in bytes.
  QString AsString() const;
  QStringList AsMultiString() const;
  bool AsDword(std::uint32_t& V) const;
  bool AsQword(std::uint64_t& V) const;

  bool operator==(const TRegValue&) const = default;
};

struct TRegKeyInfo {
  DWORD SubKeys = 0;
  DWORD Values = 0;
  QDateTime LastWriteTime; // UTC; invalid when the backend does not know it
};

class IRegistry {
public:
  virtual ~IRegistry() = default;

  // Opens ASubKey (backslash-separated, case-insensitive; empty = AKey itself)
  // below a predefined root or an open key. Write access on a read-only hive
  // gives ERROR_ACCESS_DENIED.
  virtual LONG OpenKey(TRegHandle AKey, const QString& ASubKey, REGSAM ASamDesired,
                       TRegHandle& AResult) = 0;
  virtual LONG CloseKey(TRegHandle AKey) = 0;
  virtual LONG QueryValue(TRegHandle AKey, const QString& AValueName, TRegValue& AValue) = 0;
  // Enumeration in stored order; ERROR_NO_MORE_ITEMS past the end.
  virtual LONG EnumKey(TRegHandle AKey, DWORD AIndex, QString& AName) = 0;
  virtual LONG EnumValue(TRegHandle AKey, DWORD AIndex, QString& AName) = 0;
  virtual LONG QueryInfoKey(TRegHandle AKey, TRegKeyInfo& AInfo) = 0;
};

#include "platform/PortNamesEnd.h"
