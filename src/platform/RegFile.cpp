#include "platform/RegFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

QString folded(const QString& AName) {
  return AName.toCaseFolded();
}

struct TRootName {
  const char* Long;
  const char* Short;
  HKEY Key;
};

constexpr TRootName RootNames[] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_USERS", "HKU", HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
};

bool isBlank(QChar C) {
  return C == u' ' || C == u'\t';
}

QString trimmedBlanks(QStringView S) {
  qsizetype B = 0, E = S.size();
  while (B < E && (isBlank(S[B]) || S[B] == u'\r'))
    ++B;
  while (E > B && (isBlank(S[E - 1]) || S[E - 1] == u'\r'))
    --E;
  return S.mid(B, E - B).toString();
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

// Reads a quoted text starting at AText[APos] == '"' with \\ and \" escapes;
// APos ends after the closing quote. False when the quote is not closed.
bool readQuoted(const QString& AText, qsizetype& APos, QString& AResult) {
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

// "0a,ff, 1" → bytes. False on anything that is not one or two hex digits.
bool parseHexList(const QString& AText, QByteArray& ABytes) {
  ABytes.clear();
  const QString Text = trimmedBlanks(AText);
  if (Text.isEmpty())
    return true;
  const QStringList Parts = Text.split(u',');
  for (qsizetype I = 0; I < Parts.size(); ++I) {
    const QString Part = trimmedBlanks(Parts[I]);
    if (Part.isEmpty() && I == Parts.size() - 1 && I > 0)
      break; // a trailing comma
    if (Part.isEmpty() || Part.size() > 2)
      return false;
    int Value = 0;
    for (QChar C : Part) {
      const int D = hexDigit(C);
      if (D < 0)
        return false;
      Value = Value * 16 + D;
    }
    ABytes.append(static_cast<char>(Value));
  }
  return true;
}

QString decode(const QByteArray& AData) {
  if (AData.startsWith("\xFF\xFE")) {
    const QByteArray Body = AData.mid(2);
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(Body.constData()), Body.size() / 2);
  }
  if (AData.startsWith("\xFE\xFF")) {
    QString Result;
    for (qsizetype I = 2; I + 1 < AData.size(); I += 2)
      Result += QChar(static_cast<char16_t>((uchar(AData[I]) << 8) | uchar(AData[I + 1])));
    return Result;
  }
  if (AData.startsWith("\xEF\xBB\xBF"))
    return QString::fromUtf8(AData.mid(3));
  return QString::fromUtf8(AData);
}

class TRegReader {
public:
  TRegReader(TRegHive& AHive, QString ASource) : FHive(AHive), FSource(std::move(ASource)) {}

  QStringList Run(const QString& AText, bool AHeaderOptional) {
    const QStringList Lines = AText.split(u'\n');
    qsizetype I = 0;
    bool HeaderSeen = false;
    while (I < Lines.size()) {
      const qsizetype LineNo = I + 1;
      QString Line = trimmedBlanks(Lines[I++]);
      if (!HeaderSeen) {
        if (Line.isEmpty())
          continue;
        const bool IsHeader = Line == QLatin1String("Windows Registry Editor Version 5.00") ||
                              Line == QLatin1String("REGEDIT4");
        if (!IsHeader && AHeaderOptional) {
          HeaderSeen = true;
          --I;
          continue;
        }
        if (!IsHeader) {
          warn(LineNo,
               QStringLiteral("not a registry file: the first line must be \"Windows Registry "
                              "Editor Version 5.00\" or \"REGEDIT4\""));
          return FWarnings;
        }
        HeaderSeen = true;
        continue;
      }
      if (Line.isEmpty() || Line.startsWith(u';'))
        continue;
      // Hex lists go on over lines that end in a backslash.
      while (Line.endsWith(u'\\') && I < Lines.size()) {
        Line.chop(1);
        Line += trimmedBlanks(Lines[I++]);
      }
      if (Line.startsWith(u'['))
        keyLine(Line, LineNo);
      else if (Line.startsWith(u'"') || Line.startsWith(u'@'))
        valueLine(Line, LineNo);
      else
        warn(LineNo, QStringLiteral("unexpected text"));
    }
    return FWarnings;
  }

private:
  void warn(qsizetype ALine, const QString& AReason) {
    FWarnings << QStringLiteral("%1:%2: %3").arg(FSource).arg(ALine).arg(AReason);
  }

  void keyLine(const QString& ALine, qsizetype ALineNo) {
    FCurrent = nullptr;
    FKeySeen = true;
    if (!ALine.endsWith(u']')) {
      warn(ALineNo, QStringLiteral("key line without closing \"]\""));
      return;
    }
    QString Path = ALine.mid(1, ALine.size() - 2);
    const bool Delete = Path.startsWith(u'-');
    if (Delete)
      Path.remove(0, 1);
    QStringList Parts = SplitKeyPath(Path);
    HKEY Root = 0;
    if (Parts.isEmpty() || !TRegHive::RootFromName(Parts.first(), Root)) {
      warn(ALineNo, QStringLiteral("unknown root key in \"%1\"").arg(Path.left(80)));
      return;
    }
    Parts.removeFirst();
    if (Parts.size() > MaxKeyDepth) {
      warn(ALineNo, QStringLiteral("key path deeper than %1 levels").arg(MaxKeyDepth));
      return;
    }
    TRegKey* Key = FHive.Root(Root);
    if (Delete) {
      if (Parts.isEmpty()) {
        warn(ALineNo, QStringLiteral("a root key cannot be deleted"));
        return;
      }
      const QString Last = Parts.takeLast();
      for (const QString& Part : Parts)
        if (!(Key = Key->SubKey(Part)))
          return;
      Key->RemoveSubKey(Last);
      return;
    }
    for (const QString& Part : Parts)
      Key = Key->AddSubKey(Part);
    FCurrent = Key;
  }

  void valueLine(const QString& ALine, qsizetype ALineNo) {
    if (!FCurrent) {
      // Values below a deleted or rejected key are dropped with it.
      if (!FKeySeen)
        warn(ALineNo, QStringLiteral("value outside a key"));
      return;
    }
    QString Name;
    qsizetype P = 0;
    if (ALine[0] == u'@') {
      P = 1;
    } else if (!readQuoted(ALine, P, Name)) {
      warn(ALineNo, QStringLiteral("value name without closing quote"));
      return;
    }
    while (P < ALine.size() && isBlank(ALine[P]))
      ++P;
    if (P >= ALine.size() || ALine[P] != u'=') {
      warn(ALineNo, QStringLiteral("\"=\" expected after the value name"));
      return;
    }
    const QString Data = trimmedBlanks(QStringView(ALine).mid(P + 1));
    TRegValue Value;
    QString Reason;
    if (Data == QLatin1String("-")) {
      FCurrent->RemoveValue(Name);
      return;
    }
    if (!parseData(Data, Value, Reason)) {
      warn(ALineNo, Reason);
      return;
    }
    FCurrent->SetValue(Name, Value);
  }

  static bool parseData(const QString& AData, TRegValue& AValue, QString& AReason) {
    if (AData.startsWith(u'"')) {
      QString Text;
      qsizetype P = 0;
      if (!readQuoted(AData, P, Text)) {
        AReason = QStringLiteral("string without closing quote");
        return false;
      }
      if (!trimmedBlanks(QStringView(AData).mid(P)).isEmpty()) {
        AReason = QStringLiteral("text after the closing quote");
        return false;
      }
      AValue = TRegValue::String(Text);
      return true;
    }
    if (AData.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
      const QString Digits = AData.mid(6);
      bool Ok = Digits.size() >= 1 && Digits.size() <= 8;
      for (QChar C : Digits)
        Ok = Ok && hexDigit(C) >= 0;
      if (!Ok) {
        AReason = QStringLiteral("dword needs one to eight hexadecimal digits");
        return false;
      }
      AValue = TRegValue::Dword(Digits.toUInt(nullptr, 16));
      return true;
    }
    if (AData.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
      DWORD Type = REG_BINARY;
      qsizetype P = 3;
      if (P < AData.size() && AData[P] == u'(') {
        const qsizetype Close = AData.indexOf(u')', P);
        const QString Number = Close < 0 ? QString() : AData.mid(P + 1, Close - P - 1);
        bool Ok = !Number.isEmpty() && Number.size() <= 8;
        for (QChar C : Number)
          Ok = Ok && hexDigit(C) >= 0;
        if (!Ok) {
          AReason = QStringLiteral("unknown value type");
          return false;
        }
        Type = Number.toUInt(nullptr, 16);
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
  TRegKey* FCurrent = nullptr;
  bool FKeySeen = false;
  QStringList FWarnings;
};

} // namespace

QStringList SplitKeyPath(const QString& APath) {
  QStringList Parts = APath.split(u'\\', Qt::SkipEmptyParts);
  return Parts;
}

// ---- TRegKey --------------------------------------------------------------

TRegKey::~TRegKey() = default;

TRegKey* TRegKey::SubKey(const QString& AName) const {
  return SubKeyIndex.value(folded(AName), nullptr);
}

TRegKey* TRegKey::AddSubKey(const QString& AName) {
  if (TRegKey* Existing = SubKey(AName))
    return Existing;
  auto Key = std::make_unique<TRegKey>();
  Key->Name = AName;
  Key->LastWriteTime = QDateTime::currentDateTimeUtc();
  TRegKey* Raw = Key.get();
  SubKeys.push_back(std::move(Key));
  SubKeyIndex.insert(folded(AName), Raw);
  return Raw;
}

void TRegKey::RemoveSubKey(const QString& AName) {
  TRegKey* Key = SubKeyIndex.take(folded(AName));
  if (!Key)
    return;
  for (auto It = SubKeys.begin(); It != SubKeys.end(); ++It)
    if (It->get() == Key) {
      // Deep subtrees are taken apart level by level rather than by recursion.
      std::vector<std::unique_ptr<TRegKey>> Pending;
      Pending.push_back(std::move(*It));
      SubKeys.erase(It);
      while (!Pending.empty()) {
        std::unique_ptr<TRegKey> Node = std::move(Pending.back());
        Pending.pop_back();
        for (auto& Child : Node->SubKeys)
          Pending.push_back(std::move(Child));
      }
      return;
    }
}

const TRegValue* TRegKey::Value(const QString& AName) const {
  for (const auto& [Name, Value] : Values)
    if (Name.compare(AName, Qt::CaseInsensitive) == 0)
      return &Value;
  return nullptr;
}

void TRegKey::SetValue(const QString& AName, const TRegValue& AValue) {
  for (auto& [Name, Value] : Values)
    if (Name.compare(AName, Qt::CaseInsensitive) == 0) {
      Value = AValue;
      return;
    }
  Values.emplace_back(AName, AValue);
}

void TRegKey::RemoveValue(const QString& AName) {
  for (auto It = Values.begin(); It != Values.end(); ++It)
    if (It->first.compare(AName, Qt::CaseInsensitive) == 0) {
      Values.erase(It);
      return;
    }
}

// ---- TRegHive -------------------------------------------------------------

TRegHive::TRegHive() {
  Clear();
}
TRegHive::~TRegHive() = default;

void TRegHive::Clear() {
  FRoots.clear();
  for (const TRootName& R : RootNames) {
    auto Key = std::make_unique<TRegKey>();
    Key->Name = QString::fromLatin1(R.Long);
    FRoots.emplace_back(R.Key, std::move(Key));
  }
}

bool TRegHive::RootFromName(const QString& AName, HKEY& ARoot) {
  for (const TRootName& R : RootNames)
    if (AName.compare(QLatin1String(R.Long), Qt::CaseInsensitive) == 0 ||
        AName.compare(QLatin1String(R.Short), Qt::CaseInsensitive) == 0) {
      ARoot = R.Key;
      return true;
    }
  return false;
}

TRegKey* TRegHive::Root(HKEY ARoot) const {
  for (const auto& [Key, Node] : FRoots)
    if (Key == ARoot)
      return Node.get();
  return nullptr;
}

TRegKey* TRegHive::Find(HKEY ARoot, const QStringList& APath) const {
  TRegKey* Key = Root(ARoot);
  for (const QString& Part : APath) {
    if (!Key)
      return nullptr;
    Key = Key->SubKey(Part);
  }
  return Key;
}

QStringList TRegHive::Apply(const QByteArray& AData, const QString& ASourceName) {
  if (AData.size() > MaxRegFileBytes)
    return {QStringLiteral("%1:0: file larger than %2 bytes, not read")
                .arg(ASourceName)
                .arg(MaxRegFileBytes)};
  return Apply(decode(AData), ASourceName);
}

QStringList TRegHive::Apply(const QString& AText, const QString& ASourceName,
                            bool AHeaderOptional) {
  return TRegReader(*this, ASourceName).Run(AText, AHeaderOptional);
}

QStringList TRegHive::ApplyFile(const QString& APath) {
  QFile File(APath);
  if (!File.exists())
    return {};
  if (!File.open(QIODevice::ReadOnly))
    return {QStringLiteral("%1:0: cannot be read: %2").arg(APath, File.errorString())};
  if (File.size() > MaxRegFileBytes)
    return {QStringLiteral("%1:0: file larger than %2 bytes, not read")
                .arg(APath)
                .arg(MaxRegFileBytes)};
  return Apply(File.read(MaxRegFileBytes + 1), APath);
}

// ---- THiveRegistry --------------------------------------------------------

namespace {
bool isPredefined(HKEY AKey) {
  return AKey >= HKEY_CLASSES_ROOT && AKey <= HKEY_DYN_DATA;
}
constexpr REGSAM WriteAccess = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK |
                               0x00010000 /*DELETE*/ | 0x00040000 /*WRITE_DAC*/ |
                               0x00080000 /*WRITE_OWNER*/;
} // namespace

THiveRegistry::THiveRegistry(std::shared_ptr<TRegHive> AHive) : FHive(std::move(AHive)) {}
THiveRegistry::~THiveRegistry() = default;

TRegKey* THiveRegistry::resolve(HKEY AKey, LONG& AError, TOpenKey* AOpen) {
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

LONG THiveRegistry::OpenKey(HKEY AKey, const QString& ASubKey, REGSAM ASamDesired, HKEY& AResult) {
  std::lock_guard Guard(FLock);
  AResult = 0;
  LONG Error = ERROR_SUCCESS;
  TOpenKey Open;
  if (!resolve(AKey, Error, &Open))
    return Error;
  if (ASamDesired & WriteAccess)
    return ERROR_ACCESS_DENIED;
  const QStringList Parts = SplitKeyPath(ASubKey);
  if (Open.Path.size() + Parts.size() > MaxKeyDepth)
    return ERROR_FILE_NOT_FOUND;
  Open.Path += Parts;
  if (!FHive->Find(Open.Root, Open.Path))
    return ERROR_FILE_NOT_FOUND;
  AResult = FNextHandle++;
  FHandles.insert(AResult, Open);
  return ERROR_SUCCESS;
}

LONG THiveRegistry::CloseKey(HKEY AKey) {
  std::lock_guard Guard(FLock);
  if (isPredefined(AKey))
    return ERROR_SUCCESS;
  return FHandles.remove(AKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

template <class TRead> LONG THiveRegistry::withKey(HKEY AKey, TRead ARead) {
  std::lock_guard Guard(FLock);
  LONG Error = ERROR_SUCCESS;
  const TRegKey* Key = resolve(AKey, Error);
  return Key ? ARead(*Key) : Error;
}

LONG THiveRegistry::QueryValue(HKEY AKey, const QString& AValueName, TRegValue& AValue) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    const TRegValue* Value = Key.Value(AValueName);
    if (!Value)
      return ERROR_FILE_NOT_FOUND;
    AValue = *Value;
    return ERROR_SUCCESS;
  });
}

LONG THiveRegistry::EnumKey(HKEY AKey, DWORD AIndex, QString& AName) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    if (AIndex >= Key.SubKeys.size())
      return ERROR_NO_MORE_ITEMS;
    AName = Key.SubKeys[AIndex]->Name;
    return ERROR_SUCCESS;
  });
}

LONG THiveRegistry::EnumValue(HKEY AKey, DWORD AIndex, QString& AName) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    if (AIndex >= Key.Values.size())
      return ERROR_NO_MORE_ITEMS;
    AName = Key.Values[AIndex].first;
    return ERROR_SUCCESS;
  });
}

LONG THiveRegistry::QueryInfoKey(HKEY AKey, TRegKeyInfo& AInfo) {
  return withKey(AKey, [&](const TRegKey& Key) -> LONG {
    AInfo.SubKeys = static_cast<DWORD>(Key.SubKeys.size());
    AInfo.Values = static_cast<DWORD>(Key.Values.size());
    AInfo.LastWriteTime = Key.LastWriteTime;
    return ERROR_SUCCESS;
  });
}
