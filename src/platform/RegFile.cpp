#include "platform/RegFile.h"

#include "platform/Files.h"

#include <QStringTokenizer>
#include <QtEndian>

namespace {

struct TRootName {
  const char* Long;
  const char* Short;
  TRegHandle Key;
};

constexpr TRootName RootNames[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

bool isBlank(QChar C) {
  return C == u' ' || C == u'\t' || C == u'\r';
}

QStringView trimmedBlanks(QStringView S) {
  qsizetype B = 0, E = S.size();
  while (B < E && isBlank(S[B]))
    ++B;
  while (E > B && isBlank(S[E - 1]))
    --E;
  return S.mid(B, E - B);
}

int hexDigit(QChar C) {
  const char16_t U = C.unicode();
  if (U >= u'0' && U <= u'9')
    return U - u'0';
  if (U >= u'a' && U <= u'f')
    return U - u'a' + 10;
  if (U >= u'A' && U <= u'F')
    return U - u'A' + 10;
  return -1;
}

// One to eight hex digits and nothing else.
bool parseHexNumber(QStringView AText, DWORD& AValue) {
  if (AText.isEmpty() || AText.size() > 8)
    return false;
  AValue = 0;
  for (QChar C : AText) {
    const int D = hexDigit(C);
    if (D < 0)
      return false;
    AValue = AValue * 16 + DWORD(D);
  }
  return true;
}

// Reads a quoted text starting at AText[APos] == '"' with \\ and \" escapes;
// APos ends after the closing quote. False when the quote is not closed.
bool readQuoted(QStringView AText, qsizetype& APos, QString& AResult) {
  AResult.clear();
  qsizetype P = APos + 1;
  while (P < AText.size()) {
    const QChar C = AText[P];
    if (C == u'\\' && P + 1 < AText.size() && (AText[P + 1] == u'\\' || AText[P + 1] == u'"')) {
      AResult += AText[P + 1];
      P += 2;
    } else if (C == u'"') {
      APos = P + 1;
      return true;
    } else {
      AResult += C;
      ++P;
    }
  }
  return false;
}

// "0a,ff, 1" → bytes, one or two digits per byte; a final comma is allowed.
// Scanned in place: a list of millions of bytes costs only its bytes.
bool parseHexList(QStringView AText, QByteArray& ABytes) {
  ABytes.clear();
  const QStringView Text = trimmedBlanks(AText);
  if (Text.isEmpty())
    return true;
  ABytes.reserve(Text.size() / 3 + 1);
  qsizetype P = 0;
  while (P < Text.size()) {
    while (P < Text.size() && isBlank(Text[P]))
      ++P;
    int Value = 0, Digits = 0, D = 0;
    while (P < Text.size() && (D = hexDigit(Text[P])) >= 0) {
      if (Digits < 2) // a byte has two digits; longer runs are refused below
        Value = Value * 16 + D;
      ++Digits;
      ++P;
    }
    while (P < Text.size() && isBlank(Text[P]))
      ++P;
    const bool AtEnd = P == Text.size();
    if (Digits == 0 && AtEnd && !ABytes.isEmpty())
      return true; // after a final comma
    if (Digits < 1 || Digits > 2 || (!AtEnd && Text[P] != u','))
      return false;
    ABytes.append(static_cast<char>(Value));
    if (!AtEnd)
      ++P;
  }
  return true;
}

// Input text quoted in a warning: short, and unable to move a terminal's cursor.
QString excerpt(QStringView AText) {
  constexpr qsizetype Limit = 80;
  QString Result = AText.left(Limit).toString();
  for (QChar& C : Result)
    if (C.unicode() < 0x20 || (C.unicode() >= 0x7F && C.unicode() < 0xA0))
      C = u'?';
  if (AText.size() > Limit)
    Result += QStringLiteral("...");
  return Result;
}

QString decode(const QByteArray& AData) {
  if (AData.startsWith("\xFF\xFE") || AData.startsWith("\xFE\xFF")) {
    const bool Little = AData.startsWith("\xFF\xFE");
    const qsizetype Units = (AData.size() - 2) / 2;
    QString Result(Units, Qt::Uninitialized);
    if (Little)
      qFromLittleEndian<char16_t>(AData.constData() + 2, Units, Result.data());
    else
      qFromBigEndian<char16_t>(AData.constData() + 2, Units, Result.data());
    return Result;
  }
  if (AData.startsWith("\xEF\xBB\xBF"))
    return QString::fromUtf8(QByteArrayView(AData).sliced(3));
  return QString::fromUtf8(AData);
}

QString tooLarge(const QString& ASource) {
  return QStringLiteral("%1:0: file larger than %2 bytes, not read")
      .arg(ASource)
      .arg(MaxRegFileBytes);
}

} // namespace

QStringList SplitKeyPath(const QString& APath) {
  return APath.split(u'\\', Qt::SkipEmptyParts);
}

qsizetype KeyPathDepth(QStringView APath) {
  qsizetype Depth = 0;
  bool InPart = false;
  for (QChar C : APath) {
    if (C == u'\\')
      InPart = false;
    else if (!InPart) {
      InPart = true;
      ++Depth;
    }
  }
  return Depth;
}

// ---- The reader -----------------------------------------------------------

class TRegHive::TReader {
public:
  TReader(TRegHive& AHive, QString ASource)
      : FHive(AHive), FSource(std::move(ASource)), FNow(QDateTime::currentDateTimeUtc()) {}

  QStringList Run(QStringView AText, bool AHeaderOptional) {
    FText = AText;
    if (readHeader(AHeaderOptional)) {
      QStringView Line;
      while (!FFull && nextLine(Line)) {
        if (Line.isEmpty() || Line.startsWith(u';'))
          continue;
        if (Line.startsWith(u'['))
          keyLine(Line);
        else if (Line.startsWith(u'"') || Line.startsWith(u'@'))
          valueLine(Line);
        else
          warn(QStringLiteral("unexpected text"));
      }
    }
    if (FRemoved)
      FHive.compactAll();
    return FWarnings;
  }

private:
  // The next line without surrounding blanks; FLine is its number.
  bool nextLine(QStringView& ALine) {
    // A final line break ends the last line; it does not begin another.
    if (FPos >= FText.size())
      return false;
    const qsizetype End = FText.indexOf(u'\n', FPos);
    const qsizetype Stop = End < 0 ? FText.size() : End;
    ALine = trimmedBlanks(FText.mid(FPos, Stop - FPos));
    FPos = Stop + 1;
    ++FLine;
    return true;
  }

  bool readHeader(bool AHeaderOptional) {
    QStringView Line;
    while (nextLine(Line)) {
      if (Line.isEmpty())
        continue;
      if (Line == u"Windows Registry Editor Version 5.00" || Line == u"REGEDIT4")
        return true;
      if (AHeaderOptional) {
        FPos = Line.data() - FText.data();
        --FLine;
        return true;
      }
      warn(QStringLiteral("not a registry file: the first line must be \"Windows Registry "
                          "Editor Version 5.00\" or \"REGEDIT4\""));
      return false;
    }
    return true;
  }

  void warn(const QString& AReason, qsizetype ALine = 0) {
    const qsizetype Line = ALine ? ALine : FLine;
    if (FWarningCount++ < MaxRegWarnings)
      FWarnings << QStringLiteral("%1:%2: %3").arg(FSource).arg(Line).arg(AReason);
    else if (FWarningCount == MaxRegWarnings + 1)
      FWarnings << QStringLiteral("%1:%2: more than %3 warnings; the others are left out")
                       .arg(FSource)
                       .arg(Line)
                       .arg(MaxRegWarnings);
  }

  // Counts one key or value about to be created; false once the text has
  // created as many as a hive takes from one text.
  bool budget() {
    if (FCreated < MaxRegItems) {
      ++FCreated;
      return true;
    }
    FFull = true;
    FWarnings << QStringLiteral("%1:%2: more than %3 keys and values; the rest is not read")
                     .arg(FSource)
                     .arg(FLine)
                     .arg(MaxRegItems);
    return false;
  }

  void keyLine(QStringView ALine) {
    FCurrent = nullptr;
    FKeySeen = true;
    if (!ALine.endsWith(u']')) {
      warn(QStringLiteral("key line without closing \"]\""));
      return;
    }
    QStringView Path = ALine.mid(1, ALine.size() - 2);
    const bool Delete = Path.startsWith(u'-');
    if (Delete)
      Path = Path.mid(1);
    const qsizetype Depth = KeyPathDepth(Path) - 1; // below the root
    auto Parts = Path.tokenize(u'\\', Qt::SkipEmptyParts);
    auto Part = Parts.begin();
    TRegHandle Root = 0;
    if (Depth < 0 || !TRegHive::RootFromName(*Part, Root)) {
      warn(QStringLiteral("unknown root key in \"%1\"").arg(excerpt(Path)));
      return;
    }
    if (Depth > MaxKeyDepth) {
      warn(QStringLiteral("key path deeper than %1 levels").arg(MaxKeyDepth));
      return;
    }
    ++Part;
    TRegKey* Key = FHive.Root(Root);
    if (Delete) {
      if (Depth == 0) {
        warn(QStringLiteral("a root key cannot be deleted"));
        return;
      }
      for (qsizetype Level = 1; Level < Depth; ++Level, ++Part)
        if (!(Key = Key->SubKey((*Part).toString())))
          return;
      FRemoved |= Key->RemoveSubKey((*Part).toString());
      return;
    }
    for (; Part != Parts.end(); ++Part) {
      const QString Name = (*Part).toString();
      TRegKey* Next = Key->SubKey(Name);
      if (!Next) {
        if (!budget())
          return;
        Next = Key->AddSubKey(Name, FNow);
      }
      Key = Next;
    }
    FCurrent = Key;
  }

  // Joins the lines a hex list continues over onto AData (which ends in "\").
  // A list that never ends, or runs into the next entry, is malformed.
  bool continueHexList(QString& AData) {
    QStringView Next;
    while (AData.endsWith(u'\\')) {
      AData.chop(1);
      const qsizetype Pos = FPos, Line = FLine;
      if (!nextLine(Next))
        return false;
      if (Next.startsWith(u'[') || Next.startsWith(u'"') || Next.startsWith(u'@')) {
        FPos = Pos;
        FLine = Line;
        return false;
      }
      AData += Next;
    }
    return true;
  }

  void valueLine(QStringView ALine) {
    const qsizetype LineNo = FLine;
    QString Name;
    qsizetype P = 0;
    if (ALine[0] == u'@') {
      P = 1;
    } else if (!readQuoted(ALine, P, Name)) {
      warn(QStringLiteral("value name without closing quote"));
      return;
    }
    while (P < ALine.size() && isBlank(ALine[P]))
      ++P;
    if (P >= ALine.size() || ALine[P] != u'=') {
      warn(QStringLiteral("\"=\" expected after the value name"));
      return;
    }
    QStringView Data = trimmedBlanks(ALine.mid(P + 1));
    QString Joined;
    if (Data.startsWith(u"hex", Qt::CaseInsensitive) && Data.endsWith(u'\\')) {
      Joined = Data.toString();
      if (!continueHexList(Joined)) {
        warn(QStringLiteral("hexadecimal list continued by \"\\\" but not by a next line"), LineNo);
        return;
      }
      Data = Joined;
    }
    if (!FCurrent) {
      // Values below a deleted or refused key go with it.
      if (!FKeySeen)
        warn(QStringLiteral("value outside a key"), LineNo);
      return;
    }
    if (Data == u"-") {
      FRemoved |= FCurrent->RemoveValue(Name);
      return;
    }
    TRegValue Value;
    QString Reason;
    if (!parseData(Data, Value, Reason)) {
      warn(Reason, LineNo);
      return;
    }
    if (FCurrent->Value(Name) || budget())
      FCurrent->SetValue(Name, Value);
  }

  static bool parseData(QStringView AData, TRegValue& AValue, QString& AReason) {
    if (AData.startsWith(u'"')) {
      QString Text;
      qsizetype P = 0;
      if (!readQuoted(AData, P, Text)) {
        AReason = QStringLiteral("string without closing quote");
        return false;
      }
      if (!trimmedBlanks(AData.mid(P)).isEmpty()) {
        AReason = QStringLiteral("text after the closing quote");
        return false;
      }
      AValue = TRegValue::String(Text);
      return true;
    }
    if (AData.startsWith(u"dword:", Qt::CaseInsensitive)) {
      DWORD Number = 0;
      if (!parseHexNumber(AData.mid(6), Number)) {
        AReason = QStringLiteral("dword needs one to eight hexadecimal digits");
        return false;
      }
      AValue = TRegValue::Dword(Number);
      return true;
    }
    if (AData.startsWith(u"hex", Qt::CaseInsensitive)) {
      DWORD Type = REG_BINARY;
      qsizetype P = 3;
      if (P < AData.size() && AData[P] == u'(') {
        const qsizetype Close = AData.indexOf(u')', P);
        if (Close < 0 || !parseHexNumber(AData.mid(P + 1, Close - P - 1), Type)) {
          AReason = QStringLiteral("unknown value type");
          return false;
        }
        P = Close + 1;
      }
      if (P >= AData.size() || AData[P] != u':') {
        AReason = QStringLiteral("unknown value type");
        return false;
      }
      QByteArray Bytes;
      if (!parseHexList(AData.mid(P + 1), Bytes)) {
        AReason = QStringLiteral("malformed hexadecimal list");
        return false;
      }
      AValue = TRegValue::Binary(Bytes, Type);
      return true;
    }
    AReason = QStringLiteral("unknown value type");
    return false;
  }

  TRegHive& FHive;
  QString FSource;
  QDateTime FNow;
  QStringView FText;
  qsizetype FPos = 0;
  qsizetype FLine = 0;
  TRegKey* FCurrent = nullptr;
  bool FKeySeen = false;
  bool FRemoved = false;
  bool FFull = false;
  qsizetype FCreated = 0;
  qsizetype FWarningCount = 0;
  QStringList FWarnings;
};

// ---- TRegKey --------------------------------------------------------------

TRegKey::TRegKey(QString AName, QDateTime ALastWriteTime)
    : FName(std::move(AName)), FLastWriteTime(std::move(ALastWriteTime)) {}

TRegKey::~TRegKey() {
  std::vector<std::unique_ptr<TRegKey>> Pending;
  auto Collect = [&Pending](std::unique_ptr<TRegKey>&& AKey) {
    Pending.push_back(std::move(AKey));
  };
  FSubKeys.TakeAll(Collect);
  while (!Pending.empty()) {
    std::unique_ptr<TRegKey> Node = std::move(Pending.back());
    Pending.pop_back();
    Node->FSubKeys.TakeAll(Collect);
    // Node goes now, without children of its own to destroy.
  }
}

TRegKey* TRegKey::SubKey(const QString& AName) const {
  const std::unique_ptr<TRegKey>* Key = FSubKeys.Find(AName);
  return Key ? Key->get() : nullptr;
}

TRegKey* TRegKey::AddSubKey(const QString& AName, const QDateTime& ALastWriteTime) {
  bool Created = false;
  std::unique_ptr<TRegKey>& Key = FSubKeys.Insert(AName, Created);
  if (Created)
    Key = std::make_unique<TRegKey>(AName, ALastWriteTime);
  return Key.get();
}

bool TRegKey::RemoveSubKey(const QString& AName) {
  std::unique_ptr<TRegKey> Taken;
  return FSubKeys.Remove(AName, &Taken);
}

void TRegKey::SetValue(const QString& AName, const TRegValue& AValue) {
  bool Created = false;
  FValues.Insert(AName, Created) = AValue;
}

void TRegKey::Compact() {
  std::vector<TRegKey*> Pending{this};
  while (!Pending.empty()) {
    TRegKey* Key = Pending.back();
    Pending.pop_back();
    Key->FSubKeys.Compact();
    Key->FValues.Compact();
    for (qsizetype I = 0; I < Key->FSubKeys.Count(); ++I)
      Pending.push_back(Key->FSubKeys.At(I).get());
  }
}

// ---- TRegHive -------------------------------------------------------------

TRegHive::TRegHive() {
  Clear();
}
TRegHive::~TRegHive() = default;

void TRegHive::Clear() {
  FRoots.clear();
  for (const TRootName& R : RootNames)
    FRoots.emplace_back(R.Key, std::make_unique<TRegKey>(QString::fromLatin1(R.Long)));
}

bool TRegHive::RootFromName(QStringView AName, TRegHandle& ARoot) {
  for (const TRootName& R : RootNames)
    if (AName.compare(QLatin1StringView(R.Long), Qt::CaseInsensitive) == 0 ||
        AName.compare(QLatin1StringView(R.Short), Qt::CaseInsensitive) == 0) {
      ARoot = R.Key;
      return true;
    }
  return false;
}

TRegKey* TRegHive::Root(TRegHandle ARoot) const {
  for (const auto& [Key, Node] : FRoots)
    if (Key == ARoot)
      return Node.get();
  return nullptr;
}

TRegKey* TRegHive::Find(TRegHandle ARoot, const QStringList& APath) const {
  TRegKey* Key = Root(ARoot);
  for (const QString& Part : APath) {
    if (!Key)
      return nullptr;
    Key = Key->SubKey(Part);
  }
  return Key;
}

void TRegHive::compactAll() {
  for (const auto& Root : FRoots)
    Root.second->Compact();
}

QStringList TRegHive::Apply(const QByteArray& AData, const QString& ASourceName) {
  if (AData.size() > MaxRegFileBytes)
    return {tooLarge(ASourceName)};
  return TReader(*this, ASourceName).Run(decode(AData), false);
}

QStringList TRegHive::Apply(const QString& AText, const QString& ASourceName,
                            bool AHeaderOptional) {
  if (AText.size() > MaxRegFileBytes)
    return {tooLarge(ASourceName)};
  return TReader(*this, ASourceName).Run(AText, AHeaderOptional);
}

QStringList TRegHive::ApplyFile(const QString& APath) {
  // A FIFO planted under the name must not stall start-up.
  const TFileContent Content = ReadBoundedFile(APath, MaxRegFileBytes);
  switch (Content.Status) {
  case TFileContent::fcRead:
    return Apply(Content.Data, APath);
  case TFileContent::fcMissing:
    return {};
  case TFileContent::fcNotRegular:
    return {QStringLiteral("%1:0: not a regular file, not read").arg(APath)};
  case TFileContent::fcTooLarge:
    return {tooLarge(APath)};
  case TFileContent::fcFailed:
  default:
    return {QStringLiteral("%1:0: cannot be read: %2").arg(APath, Content.Reason)};
  }
}

void MergeRegKey(TRegKey& ATarget, const TRegKey& ASource) {
  std::vector<std::pair<TRegKey*, const TRegKey*>> Pending{{&ATarget, &ASource}};
  while (!Pending.empty()) {
    auto [Target, Source] = Pending.back();
    Pending.pop_back();
    for (qsizetype I = 0; I < Source->ValueCount(); ++I)
      Target->SetValue(Source->ValueNameAt(I), Source->ValueAt(I));
    for (qsizetype I = 0; I < Source->SubKeyCount(); ++I) {
      const TRegKey& Child = Source->SubKeyAt(I);
      Pending.emplace_back(Target->AddSubKey(Child.Name(), Child.LastWriteTime()), &Child);
    }
  }
}

void TRegHive::Merge(const TRegHive& AOther) {
  for (const auto& [Handle, Key] : AOther.FRoots)
    MergeRegKey(*Root(Handle), *Key);
}

// ---- THiveRegistry --------------------------------------------------------

namespace {
bool isPredefined(TRegHandle AKey) {
  return AKey >= HKEY_CLASSES_ROOT && AKey <= HKEY_DYN_DATA;
}
constexpr REGSAM WriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                               0x00010000 /*DELETE*/ | 0x00040000 /*WRITE_DAC*/ |
                               0x00080000 /*WRITE_OWNER*/;
} // namespace

THiveRegistry::THiveRegistry(std::shared_ptr<TRegHive> AHive) : FHive(std::move(AHive)) {}
THiveRegistry::~THiveRegistry() = default;

TRegKey* THiveRegistry::resolve(TRegHandle AKey, LONG& AError, TOpenKey* AOpen, bool ARead) {
  TOpenKey Open;
  if (isPredefined(AKey)) {
    Open.Root = AKey;
  } else {
    const auto It = FHandles.constFind(AKey);
    if (It == FHandles.constEnd()) {
      AError = ERROR_INVALID_HANDLE;
      return nullptr;
    }
    Open = *It;
  }
  // A key opened on the way to another is not read: only the key read is.
  if (ARead)
    BeforeLookup(Open.Root, Open.Path);
  TRegKey* Key = FHive->Find(Open.Root, Open.Path);
  if (!Key) {
    AError = isPredefined(AKey) ? ERROR_INVALID_HANDLE : ERROR_KEY_DELETED;
    return nullptr;
  }
  if (AOpen)
    *AOpen = Open;
  AError = ERROR_SUCCESS;
  return Key;
}

TRegHandle THiveRegistry::newHandle() {
  // Never 0, never a predefined root, never one still open.
  do {
    ++FNextHandle;
  } while (FNextHandle == 0 || isPredefined(FNextHandle) || FHandles.contains(FNextHandle));
  return FNextHandle;
}

LONG THiveRegistry::OpenKey(TRegHandle AKey, const QString& ASubKey, REGSAM ASamDesired,
                            TRegHandle& AResult) {
  std::lock_guard Guard(FLock);
  AResult = 0;
  LONG Error = ERROR_SUCCESS;
  TOpenKey Open;
  if (!resolve(AKey, Error, &Open, false))
    return Error;
  if (ASamDesired & WriteAccess)
    return ERROR_ACCESS_DENIED;
  // No hive key is deeper than the reader allows, so a deeper path is missing.
  if (Open.Path.size() + KeyPathDepth(ASubKey) > MaxKeyDepth)
    return ERROR_FILE_NOT_FOUND;
  Open.Path += SplitKeyPath(ASubKey);
  BeforeLookup(Open.Root, Open.Path);
  if (!FHive->Find(Open.Root, Open.Path))
    return ERROR_FILE_NOT_FOUND;
  AResult = newHandle();
  FHandles.insert(AResult, Open);
  return ERROR_SUCCESS;
}

LONG THiveRegistry::CloseKey(TRegHandle AKey) {
  std::lock_guard Guard(FLock);
  if (isPredefined(AKey))
    return ERROR_SUCCESS;
  return FHandles.remove(AKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

template <class TRead> LONG THiveRegistry::withKey(TRegHandle AKey, TRead ARead) {
  std::lock_guard Guard(FLock);
  LONG Error = ERROR_SUCCESS;
  const TRegKey* Key = resolve(AKey, Error);
  return Key ? ARead(*Key) : Error;
}

LONG THiveRegistry::QueryValue(TRegHandle AKey, const QString& AValueName, TRegValue& AValue) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    const TRegValue* Value = Key.Value(AValueName);
    if (!Value)
      return ERROR_FILE_NOT_FOUND;
    AValue = *Value;
    return ERROR_SUCCESS;
  });
}

LONG THiveRegistry::EnumKey(TRegHandle AKey, DWORD AIndex, QString& AName) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    if (AIndex >= Key.SubKeyCount())
      return ERROR_NO_MORE_ITEMS;
    AName = Key.SubKeyAt(AIndex).Name();
    return ERROR_SUCCESS;
  });
}

LONG THiveRegistry::EnumValue(TRegHandle AKey, DWORD AIndex, QString& AName) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    if (AIndex >= Key.ValueCount())
      return ERROR_NO_MORE_ITEMS;
    AName = Key.ValueNameAt(AIndex);
    return ERROR_SUCCESS;
  });
}

LONG THiveRegistry::QueryInfoKey(TRegHandle AKey, TRegKeyInfo& AInfo) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    AInfo.SubKeys = static_cast<DWORD>(Key.SubKeyCount());
    AInfo.Values = static_cast<DWORD>(Key.ValueCount());
    AInfo.LastWriteTime = Key.LastWriteTime();
    return ERROR_SUCCESS;
  });
}
