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
// "<source>:<line>: <reason>" and the rest still applies.
//
// Hostile input is bounded, not trusted: inputs above MaxRegFileBytes are
// refused, key paths deeper than MaxKeyDepth are skipped, one text creates at
// most MaxRegItems keys and values (the rest of it is ignored), and after
// MaxRegWarnings warnings one last warning says the others were left out.
// Nothing recurses over the tree, and adding, finding or deleting a name
// does not get slower as its siblings grow in number.

#include "platform/Registry.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>

#include <memory>
#include <mutex>
#include <vector>

#include "platform/PortNamesBegin.h"

inline constexpr int MaxKeyDepth = 512;
inline constexpr qint64 MaxRegFileBytes = 64 * 1024 * 1024;
inline constexpr qsizetype MaxRegItems = 262144;
inline constexpr qsizetype MaxRegWarnings = 100;

// Items by name, without regard to case, in the order they were added.
// Removal leaves a gap that is closed in bulk (Compact), so deleting many
// siblings stays linear; positions count live items only. Short lists are
// searched in place: most keys have a few children, and a hash per key would
// cost more than the key itself.
template <class T> class TRegNamedList {
public:
  qsizetype Count() const { return FLive; }
  T* Find(const QString& AName);
  const T* Find(const QString& AName) const;
  // The item named AName, added at the end when missing (ACreated tells).
  T& Insert(const QString& AName, bool& ACreated);
  // Moves the item out into ATaken (when given); false when missing.
  bool Remove(const QString& AName, T* ATaken = nullptr);
  const QString& NameAt(qsizetype AIndex) const { return FSlots[slotOf(AIndex)].Name; }
  const T& At(qsizetype AIndex) const { return FSlots[slotOf(AIndex)].Item; }
  void Compact();
  // Hands every item over to ASink and leaves the list empty.
  template <class TSink> void TakeAll(TSink ASink);

private:
  static constexpr qsizetype IndexFrom = 16;
  struct TSlot {
    QString Name;
    T Item;
    bool Live = true;
  };
  qsizetype locate(const QString& AName) const;
  qsizetype slotOf(qsizetype AIndex) const;
  void buildIndex();

  std::vector<TSlot> FSlots;
  QHash<QString, qsizetype> FIndex; // case-folded name → slot, for long lists
  qsizetype FLive = 0;
  qsizetype FDead = 0;
};

class TRegKey {
public:
  explicit TRegKey(QString AName, QDateTime ALastWriteTime = {});
  // Takes the subtree apart level by level; no recursion however deep it is.
  ~TRegKey();
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;

  const QString& Name() const { return FName; }
  const QDateTime& LastWriteTime() const { return FLastWriteTime; }

  qsizetype SubKeyCount() const { return FSubKeys.Count(); }
  const TRegKey& SubKeyAt(qsizetype AIndex) const { return *FSubKeys.At(AIndex); }
  TRegKey* SubKey(const QString& AName) const;
  // Keeps the spelling of the first AddSubKey of a name.
  TRegKey* AddSubKey(const QString& AName, const QDateTime& ALastWriteTime);
  bool RemoveSubKey(const QString& AName);

  qsizetype ValueCount() const { return FValues.Count(); }
  const QString& ValueNameAt(qsizetype AIndex) const { return FValues.NameAt(AIndex); }
  const TRegValue& ValueAt(qsizetype AIndex) const { return FValues.At(AIndex); }
  const TRegValue* Value(const QString& AName) const { return FValues.Find(AName); }
  // A replaced value keeps its place in the order.
  void SetValue(const QString& AName, const TRegValue& AValue);
  bool RemoveValue(const QString& AName) { return FValues.Remove(AName); }

  // Closes the gaps deletions left in the lists of this key and its subtree.
  void Compact();

private:
  QString FName;
  QDateTime FLastWriteTime;
  TRegNamedList<std::unique_ptr<TRegKey>> FSubKeys;
  TRegNamedList<TRegValue> FValues;
};

class TRegHive {
public:
  TRegHive();
  ~TRegHive();
  TRegHive(const TRegHive&) = delete;
  TRegHive& operator=(const TRegHive&) = delete;

  // Applies registry-export text on top of what the hive holds. AData is the
  // file's bytes (encoding found by its byte-order mark); warnings are
  // returned, never raised. Keys the text creates get the time of the call as
  // their last-write time.
  QStringList Apply(const QByteArray& AData, const QString& ASourceName);
  // AHeaderOptional: text without the header line is read as if it had one.
  QStringList Apply(const QString& AText, const QString& ASourceName, bool AHeaderOptional = false);
  // A missing file is an empty contribution without warning; anything but a
  // regular file (a FIFO, a device) is refused without being read.
  QStringList ApplyFile(const QString& APath);
  // Adds what AOther holds on top of what this hive holds.
  void Merge(const TRegHive& AOther);
  void Clear();

  // The root key of a predefined handle, or null.
  TRegKey* Root(TRegHandle ARoot) const;
  // The key at APath (backslash-separated, case-insensitive) below ARoot.
  TRegKey* Find(TRegHandle ARoot, const QStringList& APath) const;

  // Accepts the long names (HKEY_LOCAL_MACHINE) and the short ones (HKLM).
  static bool RootFromName(QStringView AName, TRegHandle& ARoot);

private:
  class TReader;
  void compactAll();

  std::vector<std::pair<TRegHandle, std::unique_ptr<TRegKey>>> FRoots;
};

// Splits a key path at backslashes, leaving out empty parts.
QStringList SplitKeyPath(const QString& APath);

// Adds the keys and values of ASource to ATarget, level by level, those of
// ASource winning.
void MergeRegKey(TRegKey& ATarget, const TRegKey& ASource);
// The number of parts SplitKeyPath would give, without building them.
qsizetype KeyPathDepth(QStringView APath);

// A read-only IRegistry over a hive. Handles name a root and a path and are
// resolved at each call, so a key deleted meanwhile reads as deleted. Any
// source of keys (a file, a synthesized system view applied first and a file
// on top) reaches callers the same way: through the hive it fills.
class THiveRegistry : public IRegistry {
public:
  explicit THiveRegistry(std::shared_ptr<TRegHive> AHive);
  ~THiveRegistry() override;

  TRegHive& Hive() { return *FHive; }

  LONG OpenKey(TRegHandle AKey, const QString& ASubKey, REGSAM ASamDesired,
               TRegHandle& AResult) override;
  LONG CloseKey(TRegHandle AKey) override;
  LONG QueryValue(TRegHandle AKey, const QString& AValueName, TRegValue& AValue) override;
  LONG EnumKey(TRegHandle AKey, DWORD AIndex, QString& AName) override;
  LONG EnumValue(TRegHandle AKey, DWORD AIndex, QString& AName) override;
  LONG QueryInfoKey(TRegHandle AKey, TRegKeyInfo& AInfo) override;

protected:
  // Changes to the hive made while other threads read go through this lock.
  std::mutex& Lock() { return FLock; }
  // Called under the lock before the key at APath below ARoot is looked up,
  // so that a hive filled on demand can fill the part asked for first.
  virtual void BeforeLookup(TRegHandle /*ARoot*/, const QStringList& /*APath*/) {}

private:
  struct TOpenKey {
    TRegHandle Root;
    QStringList Path;
  };
  // The key behind AKey, or null with AError set; ARead: it is about to be read.
  TRegKey* resolve(TRegHandle AKey, LONG& AError, TOpenKey* AOpen = nullptr, bool ARead = true);
  // Runs ARead on the key behind AKey under the lock, or returns the error.
  template <class TRead> LONG withKey(TRegHandle AKey, TRead ARead);
  TRegHandle newHandle();

  std::shared_ptr<TRegHive> FHive;
  std::mutex FLock;
  QHash<TRegHandle, TOpenKey> FHandles;
  TRegHandle FNextHandle = 0x1000;
};

// ---- TRegNamedList --------------------------------------------------------

template <class T> qsizetype TRegNamedList<T>::locate(const QString& AName) const {
  if (!FIndex.isEmpty())
    return FIndex.value(AName.toCaseFolded(), -1);
  for (qsizetype I = 0; I < qsizetype(FSlots.size()); ++I)
    if (FSlots[I].Live && FSlots[I].Name.compare(AName, Qt::CaseInsensitive) == 0)
      return I;
  return -1;
}

template <class T> T* TRegNamedList<T>::Find(const QString& AName) {
  const qsizetype Slot = locate(AName);
  return Slot < 0 ? nullptr : &FSlots[Slot].Item;
}

template <class T> const T* TRegNamedList<T>::Find(const QString& AName) const {
  const qsizetype Slot = locate(AName);
  return Slot < 0 ? nullptr : &FSlots[Slot].Item;
}

template <class T> T& TRegNamedList<T>::Insert(const QString& AName, bool& ACreated) {
  const qsizetype Slot = locate(AName);
  ACreated = Slot < 0;
  if (!ACreated)
    return FSlots[Slot].Item;
  FSlots.push_back(TSlot{AName, T{}, true});
  ++FLive;
  if (!FIndex.isEmpty())
    FIndex.insert(AName.toCaseFolded(), qsizetype(FSlots.size()) - 1);
  else if (FLive > IndexFrom)
    buildIndex();
  return FSlots.back().Item;
}

template <class T> bool TRegNamedList<T>::Remove(const QString& AName, T* ATaken) {
  const qsizetype Slot = locate(AName);
  if (Slot < 0)
    return false;
  if (ATaken)
    *ATaken = std::move(FSlots[Slot].Item);
  FSlots[Slot].Item = T{};
  FSlots[Slot].Live = false;
  FIndex.remove(FSlots[Slot].Name.toCaseFolded());
  --FLive;
  // Gaps may not outgrow the live items, so memory stays proportional to them.
  if (++FDead > FLive)
    Compact();
  return true;
}

template <class T> void TRegNamedList<T>::Compact() {
  if (FDead == 0)
    return;
  std::vector<TSlot> Live;
  Live.reserve(FLive);
  for (TSlot& Slot : FSlots)
    if (Slot.Live)
      Live.push_back(std::move(Slot));
  FSlots = std::move(Live);
  FDead = 0;
  FIndex.clear();
  if (FLive > IndexFrom)
    buildIndex();
}

template <class T> void TRegNamedList<T>::buildIndex() {
  FIndex.clear();
  FIndex.reserve(FLive);
  for (qsizetype I = 0; I < qsizetype(FSlots.size()); ++I)
    if (FSlots[I].Live)
      FIndex.insert(FSlots[I].Name.toCaseFolded(), I);
}

template <class T> template <class TSink> void TRegNamedList<T>::TakeAll(TSink ASink) {
  for (TSlot& Slot : FSlots)
    if (Slot.Live)
      ASink(std::move(Slot.Item));
  FSlots.clear();
  FIndex.clear();
  FLive = FDead = 0;
}

template <class T> qsizetype TRegNamedList<T>::slotOf(qsizetype AIndex) const {
  if (FDead == 0)
    return AIndex;
  // Only between a deletion and the next Compact; readers get compacted lists.
  for (qsizetype I = 0; I < qsizetype(FSlots.size()); ++I)
    if (FSlots[I].Live && AIndex-- == 0)
      return I;
  return AIndex;
}

#include "platform/PortNamesEnd.h"
