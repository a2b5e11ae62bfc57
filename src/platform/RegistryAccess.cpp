#include "platform/RegistryAccess.h"

#include "common/Exceptions.h"
#include "platform/Platform.h"

namespace {
[[noreturn]] void invalidType(const QString& AName) {
  throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(AName));
}
[[noreturn]] void noData(const QString& AName) {
  throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(AName));
}
constexpr REGSAM ViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
} // namespace

TRegistry::TRegistry(REGSAM AAccess) : TRegistry(Platform::current().Registry(), AAccess) {}

TRegistry::TRegistry(IRegistry& APort, REGSAM AAccess) : FPort(APort), FAccess(AAccess) {}

TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(TRegHandle ARoot) {
  if (ARoot != FRootKey) {
    CloseKey();
    FRootKey = ARoot;
  }
}

TRegHandle TRegistry::baseKey(bool ARelative) const {
  return ARelative && FCurrentKey ? FCurrentKey : FRootKey;
}

void TRegistry::CloseKey() {
  if (FCurrentKey) {
    FPort.CloseKey(FCurrentKey);
    FCurrentKey = 0;
    FCurrentPath.clear();
  }
}

namespace {
// A leading backslash makes a path absolute below the root key.
bool isRelative(const QString& AKey) {
  return !AKey.startsWith(u'\\');
}
QString withoutLeadingDelimiter(const QString& AKey) {
  return isRelative(AKey) ? AKey : AKey.mid(1);
}
} // namespace

QString TRegistry::resolvePath(const QString& AKey) const {
  const QString Sub = withoutLeadingDelimiter(AKey);
  if (isRelative(AKey) && !FCurrentPath.isEmpty())
    return Sub.isEmpty() ? FCurrentPath : FCurrentPath + u'\\' + Sub;
  return Sub;
}

bool TRegistry::openKey(const QString& AKey, REGSAM ASam) {
  TRegHandle Result = 0;
  FLastError =
      FPort.OpenKey(baseKey(isRelative(AKey)), withoutLeadingDelimiter(AKey), ASam, Result);
  if (FLastError != ERROR_SUCCESS)
    return false;
  const QString Path = resolvePath(AKey);
  CloseKey();
  FCurrentKey = Result;
  FCurrentPath = Path;
  return true;
}

// This port cannot create keys, so ACanCreate only opens existing ones.
bool TRegistry::OpenKey(const QString& AKey, bool) {
  return openKey(AKey, FAccess);
}

bool TRegistry::OpenKeyReadOnly(const QString& AKey) {
  return openKey(AKey, KEY_READ | (FAccess & ViewFlags));
}

bool TRegistry::KeyExists(const QString& AKey) {
  TRegHandle Result = 0;
  const LONG Error = FPort.OpenKey(baseKey(isRelative(AKey)), withoutLeadingDelimiter(AKey),
                                   KEY_READ | (FAccess & ViewFlags), Result);
  if (Error != ERROR_SUCCESS)
    return false;
  FPort.CloseKey(Result);
  return true;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& AInfo) {
  AInfo = {};
  FLastError = FPort.QueryInfoKey(FCurrentKey ? FCurrentKey : FRootKey, AInfo);
  return FLastError == ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys() {
  TRegKeyInfo Info;
  return GetKeyInfo(Info) && Info.SubKeys > 0;
}

QStringList TRegistry::GetKeyNames() {
  QStringList Names;
  QString Name;
  const TRegHandle Key = FCurrentKey ? FCurrentKey : FRootKey;
  for (DWORD I = 0; FPort.EnumKey(Key, I, Name) == ERROR_SUCCESS; ++I)
    Names << Name;
  return Names;
}

QStringList TRegistry::GetValueNames() {
  QStringList Names;
  QString Name;
  const TRegHandle Key = FCurrentKey ? FCurrentKey : FRootKey;
  for (DWORD I = 0; FPort.EnumValue(Key, I, Name) == ERROR_SUCCESS; ++I)
    Names << Name;
  return Names;
}

bool TRegistry::readValue(const QString& AName, TRegValue& AValue) {
  FLastError = FPort.QueryValue(FCurrentKey ? FCurrentKey : FRootKey, AName, AValue);
  return FLastError == ERROR_SUCCESS;
}

bool TRegistry::ValueExists(const QString& AName) {
  TRegValue Value;
  return readValue(AName, Value);
}

DWORD TRegistry::GetDataType(const QString& AName) {
  TRegValue Value;
  return readValue(AName, Value) ? Value.Type : REG_NONE;
}

int TRegistry::GetDataSize(const QString& AName) {
  TRegValue Value;
  return readValue(AName, Value) ? static_cast<int>(Value.Data.size()) : -1;
}

QString TRegistry::ReadString(const QString& AName) {
  TRegValue Value;
  if (!readValue(AName, Value) || Value.Data.isEmpty())
    return {};
  if (Value.Type != REG_SZ && Value.Type != REG_EXPAND_SZ)
    invalidType(AName);
  return Value.AsString();
}

QString TRegistry::ReadExpandString(const QString& AName) {
  return ReadString(AName);
}

QStringList TRegistry::ReadMultiString(const QString& AName) {
  TRegValue Value;
  if (!readValue(AName, Value) || Value.Data.isEmpty())
    return {};
  if (Value.Type != REG_MULTI_SZ)
    invalidType(AName);
  return Value.AsMultiString();
}

TRegValue TRegistry::readTyped(const QString& AName, DWORD AType) {
  TRegValue Value;
  if (!readValue(AName, Value))
    noData(AName);
  if (Value.Type != AType)
    invalidType(AName);
  return Value;
}

int TRegistry::ReadInteger(const QString& AName) {
  std::uint32_t Number = 0;
  if (!readTyped(AName, REG_DWORD).AsDword(Number))
    noData(AName);
  return static_cast<int>(Number);
}

std::int64_t TRegistry::ReadInt64(const QString& AName) {
  std::uint64_t Number = 0;
  if (!readTyped(AName, REG_QWORD).AsQword(Number))
    noData(AName);
  return static_cast<std::int64_t>(Number);
}

bool TRegistry::ReadBool(const QString& AName) {
  return ReadInteger(AName) != 0;
}

QByteArray TRegistry::ReadBinaryData(const QString& AName) {
  TRegValue Value;
  if (!readValue(AName, Value))
    noData(AName);
  return Value.Data;
}
