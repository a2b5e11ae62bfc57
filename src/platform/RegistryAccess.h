#pragma once
// TRegistry: the convenient registry object the algorithms use, over the
// Registry port of the active platform. One open key at a time below RootKey.
// Reading a value of another type raises ERegistryException with
// "Invalid data type for '<name>'"; reading a missing number raises
// "Failed to get data for '<name>'"; a missing string reads as "".

#include "platform/Registry.h"

#include <QStringList>

#include "platform/PortNamesBegin.h"

class IRegistry;

class TRegistry {
public:
  // AAccess is the access mask used by OpenKey (KEY_ALL_ACCESS by default,
  // as the platform library does); OpenKeyReadOnly uses KEY_READ plus the
  // WOW64 flags of AAccess.
  explicit TRegistry(REGSAM AAccess = KEY_ALL_ACCESS);
  TRegistry(IRegistry& APort, REGSAM AAccess = KEY_ALL_ACCESS);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  TRegHandle RootKey() const { return FRootKey; }
  void SetRootKey(TRegHandle ARoot);
  REGSAM Access() const { return FAccess; }
  void SetAccess(REGSAM AAccess) { FAccess = AAccess; }
  TRegHandle CurrentKey() const { return FCurrentKey; }
  QString CurrentPath() const { return FCurrentPath; }
  DWORD LastError() const { return FLastError; }

  // A leading "\" makes the path absolute below RootKey; otherwise it is
  // relative to the open key. Only existing keys open (this port is read-only).
  bool OpenKey(const QString& AKey, bool ACanCreate = false);
  bool OpenKeyReadOnly(const QString& AKey);
  void CloseKey();
  bool KeyExists(const QString& AKey);
  bool HasSubKeys();
  bool ValueExists(const QString& AName);

  QStringList GetKeyNames();
  QStringList GetValueNames();
  // REG_NONE when the value does not exist.
  DWORD GetDataType(const QString& AName);
  int GetDataSize(const QString& AName); // -1 when missing
  bool GetKeyInfo(TRegKeyInfo& AInfo);

  QString ReadString(const QString& AName);       // REG_SZ, REG_EXPAND_SZ
  QString ReadExpandString(const QString& AName); // REG_SZ, REG_EXPAND_SZ, unexpanded
  QStringList ReadMultiString(const QString& AName);
  int ReadInteger(const QString& AName);           // REG_DWORD
  std::int64_t ReadInt64(const QString& AName);    // REG_QWORD
  bool ReadBool(const QString& AName);             // REG_DWORD != 0
  QByteArray ReadBinaryData(const QString& AName); // any type: the raw bytes

private:
  TRegHandle baseKey(bool ARelative) const;
  bool openKey(const QString& AKey, REGSAM ASam);
  QString resolvePath(const QString& AKey) const;
  bool readValue(const QString& AName, TRegValue& AValue);
  // The value of that type; raises the registry errors otherwise.
  TRegValue readTyped(const QString& AName, DWORD AType);

  IRegistry& FPort;
  TRegHandle FRootKey = HKEY_CURRENT_USER;
  REGSAM FAccess;
  TRegHandle FCurrentKey = 0;
  QString FCurrentPath;
  DWORD FLastError = ERROR_SUCCESS;
};

#include "platform/PortNamesEnd.h"
