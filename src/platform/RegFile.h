#pragma once
// An in-memory registry hive and the reader of Windows registry-export text
// (".reg" files) that fills it, plus an IRegistry over such a hive.
//
// Reader rules: the first non-blank line is "Windows Registry Editor Version
// 5.00" or "REGEDIT4"; text is UTF-8 (BOM optional) or UTF-16 LE with BOM;
// "[key]" creates a key path, "[-key]" deletes a subtree; value lines are
// "name"=... or @=... with "string", dword:, hex:, hex(N): (2 expandable
// string, 7 multi-string, b QWORD), or - to delete; hex lists continue over
// lines ending in "\"; ";" starts a comment line. Key and value names compare
// without regard to case. A malformed line is skipped with one warning
// "<source>:<line>: <reason>" and the rest still applies. Key paths deeper
// than MaxKeyDepth and inputs above MaxRegFileBytes are refused with a
// warning, so hostile input can neither exhaust the stack nor the memory.

#include "platform/Registry.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

inline constexpr int MaxKeyDepth = 512;
inline constexpr qint64 MaxRegFileBytes = 64 * 1024 * 1024;

struct TRegKey {
  QString Name;
  std::vector<std::unique_ptr<TRegKey>> SubKeys; // stored order
  QHash<QString, TRegKey*> SubKeyIndex;          // case-folded name → key
  std::vector<std::pair<QString, TRegValue>> Values;
  QDateTime LastWriteTime;

  TRegKey* SubKey(const QString& AName) const;
  TRegKey* AddSubKey(const QString& AName);
  void RemoveSubKey(const QString& AName);
  const TRegValue* Value(const QString& AName) const;
  void SetValue(const QString& AName, const TRegValue& AValue);
  void RemoveValue(const QString& AName);
  ~TRegKey();
};

class TRegHive {
public:
  TRegHive();
  ~TRegHive();
  TRegHive(const TRegHive&) = delete;
  TRegHive& operator=(const TRegHive&) = delete;

  // Applies registry-export text. AData is the file's bytes (encoding found
  // by its byte-order mark); warnings are returned, never raised.
  QStringList Apply(const QByteArray& AData, const QString& ASourceName);
  // AHeaderOptional: text without the header line is read as if it had one.
  QStringList Apply(const QString& AText, const QString& ASourceName, bool AHeaderOptional = false);
  // A missing file is an empty contribution without warning.
  QStringList ApplyFile(const QString& APath);
  void Clear();

  // The root key of a predefined handle, or null.
  TRegKey* Root(HKEY ARoot) const;
  // The key at APath (backslash-separated, case-insensitive) below ARoot.
  TRegKey* Find(HKEY ARoot, const QStringList& APath) const;

  static bool RootFromName(const QString& AName, HKEY& ARoot);

private:
  std::vector<std::pair<HKEY, std::unique_ptr<TRegKey>>> FRoots;
};

// Splits a key path at backslashes, leaving out empty parts.
QStringList SplitKeyPath(const QString& APath);

// A read-only IRegistry over a hive. Handles name a root and a path and are
// resolved at each call, so a key deleted meanwhile reads as missing.
class THiveRegistry : public IRegistry {
public:
  explicit THiveRegistry(std::shared_ptr<TRegHive> AHive);
  ~THiveRegistry() override;

  TRegHive& Hive() { return *FHive; }

  LONG OpenKey(HKEY AKey, const QString& ASubKey, REGSAM ASamDesired, HKEY& AResult) override;
  LONG CloseKey(HKEY AKey) override;
  LONG QueryValue(HKEY AKey, const QString& AValueName, TRegValue& AValue) override;
  LONG EnumKey(HKEY AKey, DWORD AIndex, QString& AName) override;
  LONG EnumValue(HKEY AKey, DWORD AIndex, QString& AName) override;
  LONG QueryInfoKey(HKEY AKey, TRegKeyInfo& AInfo) override;

private:
  struct TOpenKey {
    HKEY Root;
    QStringList Path;
  };
  // The key behind AKey, or null with AError set.
  TRegKey* resolve(HKEY AKey, LONG& AError, TOpenKey* AOpen = nullptr);
  // Runs ARead on the key behind AKey under the lock, or returns the error.
  template <class TRead> LONG withKey(HKEY AKey, TRead ARead);

  std::shared_ptr<TRegHive> FHive;
  std::mutex FLock;
  QHash<HKEY, TOpenKey> FHandles;
  HKEY FNextHandle = 0x1000;
};
