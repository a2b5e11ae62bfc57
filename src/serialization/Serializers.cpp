#include "serialization/Serializers.h"

#include "common/Exceptions.h"
#include "common/StringRules.h"
#include "logging/MorvelDebug.h"
#include "serialization/PropertyKinds.h"
#include "serialization/XmlValues.h"

#include <QBuffer>
#include <QFile>
#include <QMetaProperty>
#include <QScopeGuard>
#include <QSequentialIterable>

#include <algorithm>
#include <bit>

namespace {

[[noreturn]] void conversionError(const QString& AText, const char* AKind) {
  throw EConvertError(QStringLiteral("'%1' is not a valid %2").arg(AText, QLatin1String(AKind)));
}

qint64 toInteger(const QString& AText, qint64 AMin, qint64 AMax, const char* AKind) {
  bool Ok = false;
  const qint64 Value = AText.trimmed().toLongLong(&Ok);
  if (!Ok || Value < AMin || Value > AMax)
    conversionError(AText, AKind);
  return Value;
}

bool toBoolean(const QString& AText) {
  if (AText.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
    return true;
  if (AText.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
    return false;
  conversionError(AText, "boolean value");
}

class TXmlIterator : public TSerializerIterator {
public:
  explicit TXmlIterator(std::vector<TXmlNode*> ANodes) : FNodes(std::move(ANodes)) {}
  bool MoveNext() override { return ++FPosition < static_cast<int>(FNodes.size()); }
  int GetItemCount() const override { return static_cast<int>(FNodes.size()); }
  bool AsBoolean() const override { return toBoolean(AsString()); }
  double AsFloat() const override {
    const std::optional<double> Value = XmlTextToFloat(AsString());
    if (!Value)
      conversionError(AsString(), "floating point value");
    return *Value;
  }
  std::int32_t AsInteger() const override {
    return std::int32_t(toInteger(AsString(), INT32_MIN, INT32_MAX, "integer value"));
  }
  std::int64_t AsInt64() const override {
    return toInteger(AsString(), INT64_MIN, INT64_MAX, "integer value");
  }
  QString AsString() const override { return Current() ? Current()->Text() : QString(); }
  TXmlNode* Current() const {
    return FPosition >= 0 && FPosition < static_cast<int>(FNodes.size())
               ? FNodes[std::size_t(FPosition)]
               : nullptr;
  }

private:
  std::vector<TXmlNode*> FNodes;
  int FPosition = -1;
};

} // namespace

TXmlSerializer::TXmlSerializer() = default;
TXmlSerializer::~TXmlSerializer() = default;

TXmlFormatType TXmlSerializer::XmlFormatType() const {
  return FXmlDocument ? FXmlDocument->Format() : FXmlFormatType;
}

void TXmlSerializer::SetXmlFormatType(TXmlFormatType AValue) {
  FXmlFormatType = AValue;
  if (FXmlDocument)
    FXmlDocument->SetFormat(AValue);
}

// ---- objects -------------------------------------------------------------------

void TXmlSerializer::BeginObjectWrite(const QString& ACaption) {
  if (!FXmlDocument) {
    ownDocument().SetFormat(FXmlFormatType);
    FCurrentNode = FXmlDocument->CreateRoot(ACaption);
    return;
  }
  Assert(FCurrentNode != nullptr, QStringLiteral("No object is open to write into"));
  FNodeStack.push_back(FCurrentNode);
  FCurrentNode = FCurrentNode->AddElement(ACaption);
}

void TXmlSerializer::EndObjectWrite(const QString&) {
  if (FNodeStack.empty()) {
    FCurrentNode = nullptr;
    return;
  }
  FCurrentNode = FNodeStack.back();
  FNodeStack.pop_back();
}

bool TXmlSerializer::BeginObjectRead(const QString& ACaption) {
  if (!FCurrentNode) {
    Assert(FXmlDocument && FXmlDocument->Root(),
           QStringLiteral("The document has no root element"));
    FCurrentNode = FXmlDocument->Root();
    Assert(FCurrentNode->Name() == ACaption,
           QStringLiteral("Root node name differs from open object name"));
    return true;
  }
  if (FPreparedForIterator) {
    FPreparedForIterator = false;
    return true;
  }
  FNodeStack.push_back(FCurrentNode);
  if (TXmlNode* Child = FindValueNode(ACaption); Child && Child->Kind() == TXmlNode::nkElement) {
    FCurrentNode = Child;
    return true;
  }
  FCurrentNode = FNodeStack.back();
  FNodeStack.pop_back();
  return false;
}

bool TXmlSerializer::BeginObjectRead(QString* AName) {
  Assert(AName != nullptr, QStringLiteral("Parameter [AName] is not assigned"));
  AName->clear();
  if (!FCurrentNode) {
    Assert(FXmlDocument && FXmlDocument->Root(),
           QStringLiteral("The document has no root element"));
    FCurrentNode = FXmlDocument->Root();
    *AName = FCurrentNode->Name();
    return true;
  }
  if (FPreparedForIterator) {
    FPreparedForIterator = false;
    return true;
  }
  // The first child node that is not an attribute; an element without one
  // is left where it is.
  for (const auto& Child : FCurrentNode->Children())
    if (Child->Kind() != TXmlNode::nkAttribute) {
      FNodeStack.push_back(FCurrentNode);
      FCurrentNode = Child.get();
      *AName = FCurrentNode->Name();
      return true;
    }
  return false;
}

void TXmlSerializer::EndObjectRead(const QString&) {
  if (FXmlDocument && FCurrentNode == FXmlDocument->Root())
    return;
  if (FNodeStack.empty()) {
    FCurrentNode = nullptr;
    Assert(false, QStringLiteral("The node stack is empty"));
  }
  FCurrentNode = FNodeStack.back();
  FNodeStack.pop_back();
}

TXmlNode* TXmlSerializer::FindValueNode(const QString& AName) const {
  return FCurrentNode ? FCurrentNode->FindChild(AName) : nullptr;
}

// ---- values --------------------------------------------------------------------

TXmlNode* TXmlSerializer::addValue(const QString& ACaption, const QString& AText) {
  Assert(FCurrentNode != nullptr, QStringLiteral("No object is open to write into"));
  TXmlNode* Element = FCurrentNode->AddElement(ACaption);
  Element->SetText(AText);
  return Element;
}

std::optional<QString> TXmlSerializer::valueText(const QString& ACaption) const {
  const TXmlNode* Node = FindValueNode(ACaption);
  if (!Node)
    return std::nullopt;
  const QString Text = Node->Kind() == TXmlNode::nkAttribute ? Node->Value() : Node->Text();
  if (Text.isEmpty() && (Node->Kind() == TXmlNode::nkAttribute || Node->Children().empty()))
    return std::nullopt;
  return Text;
}

void TXmlSerializer::AddBoolean(const QString& ACaption, bool AValue) {
  addValue(ACaption, AValue ? QStringLiteral("true") : QStringLiteral("false"));
}
void TXmlSerializer::AddByte(const QString& ACaption, std::uint8_t AValue) {
  addValue(ACaption, QString::number(AValue));
}
void TXmlSerializer::AddInteger(const QString& ACaption, std::int32_t AValue) {
  addValue(ACaption, QString::number(AValue));
}
void TXmlSerializer::AddInt64(const QString& ACaption, std::int64_t AValue) {
  addValue(ACaption, QString::number(AValue));
}
void TXmlSerializer::AddFloat(const QString& ACaption, double AValue) {
  addValue(ACaption, FloatToXmlText(AValue));
}
void TXmlSerializer::AddDateTime(const QString& ACaption, double AValue) {
  addValue(ACaption, DateTimeToXmlText(AValue));
}
void TXmlSerializer::AddString(const QString& ACaption, const QString& AValue) {
  addValue(ACaption, AValue);
}

void TXmlSerializer::AddStrings(const QString& ACaption, const QStringList& AValue) {
  BeginObjectWrite(ACaption);
  for (const QString& Line : AValue)
    AddString(QStringLiteral("string"), Line);
  EndObjectWrite(ACaption);
}

void TSerializer::AddStream(const QString& ACaption, const QByteArray& AValue) {
  QBuffer Buffer;
  Buffer.setData(AValue);
  Buffer.open(QIODevice::ReadOnly);
  AddStream(ACaption, &Buffer);
}

void TXmlSerializer::AddStream(const QString& ACaption, QIODevice* AValue) {
  Assert(AValue != nullptr, QStringLiteral("Parameter [AValue] is not assigned"));
  const bool Seekable = !AValue->isSequential();
  const qint64 Position = Seekable ? AValue->pos() : 0;
  if (Seekable)
    AValue->seek(0);
  QByteArray Bytes;
  char Block[2048];
  for (qint64 Read; (Read = AValue->read(Block, sizeof Block)) > 0;)
    Bytes.append(Block, Read);
  if (Seekable)
    AValue->seek(Position);
  if (Bytes.size() > 10000) {
    GetTraceLogger()->SendInteger(QStringLiteral("Stream exceeds max size"), int(Bytes.size()));
    GetTraceLogger()->SendWarning(QStringLiteral(
        "Add stream method in TXmlSerializer should only be used with small streams"));
    GetTraceLogger()->SendMsg(QStringLiteral("Stream will be added"));
  }
  AddString(ACaption, BytesToHex(Bytes));
}

void TXmlSerializer::AddStringAttributeToCurrentNode(const QString& ACaption,
                                                     const QString& AValue) {
  Assert(FCurrentNode != nullptr, QStringLiteral("No object is open to write into"));
  if (!FCurrentNode->FindAttribute(ACaption))
    FCurrentNode->AddAttribute(ACaption, AValue);
}

void TXmlSerializer::AddIntegerAttributeToCurrentNode(const QString& ACaption,
                                                      std::int32_t AValue) {
  AddStringAttributeToCurrentNode(ACaption, QString::number(AValue));
}

bool TXmlSerializer::GetBoolean(const QString& ACaption, bool ADefault) {
  const auto Text = valueText(ACaption);
  return Text ? toBoolean(*Text) : ADefault;
}

std::uint8_t TXmlSerializer::GetByte(const QString& ACaption, std::uint8_t ADefault) {
  const auto Text = valueText(ACaption);
  // A byte keeps the low 8 bits of the integer.
  return Text ? std::uint8_t(toInteger(*Text, INT32_MIN, INT32_MAX, "integer value") & 0xFF)
              : ADefault;
}

std::int32_t TXmlSerializer::GetInteger(const QString& ACaption, std::int32_t ADefault) {
  const auto Text = valueText(ACaption);
  return Text ? std::int32_t(toInteger(*Text, INT32_MIN, INT32_MAX, "integer value")) : ADefault;
}

std::int64_t TXmlSerializer::GetInt64(const QString& ACaption, std::int64_t ADefault) {
  const auto Text = valueText(ACaption);
  return Text ? toInteger(*Text, INT64_MIN, INT64_MAX, "integer value") : ADefault;
}

double TXmlSerializer::GetFloat(const QString& ACaption, double ADefault) {
  return XmlTextToFloat(GetString(ACaption, QString())).value_or(ADefault);
}

double TXmlSerializer::GetDateTime(const QString& ACaption, double ADefault) {
  const auto Text = valueText(ACaption);
  if (!Text)
    return ADefault;
  if (const std::optional<double> Value = XmlTextToDateTime(*Text))
    return *Value;
  try {
    throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(Text->left(64)));
  } catch (const EConvertError&) {
    GetTraceLogger()->SendException();
  }
  GetTraceLogger()->SendError(QStringLiteral("Failed to read date. Use default"));
  return ADefault;
}

QString TXmlSerializer::GetString(const QString& ACaption, const QString& ADefault) {
  return valueText(ACaption).value_or(ADefault);
}

void TXmlSerializer::GetStrings(const QString& ACaption, QStringList* AValue) {
  Assert(AValue != nullptr, QStringLiteral("Parameter [AValue] (TStrings) not assigned"));
  AValue->clear();
  if (!BeginObjectRead(ACaption))
    return;
  for (const TXmlNode* Line : FCurrentNode->ChildElements(QStringLiteral("string")))
    AValue->append(Line->Text());
  EndObjectRead(ACaption);
}

void TSerializer::GetStream(const QString& ACaption, QByteArray* AValue) {
  Assert(AValue != nullptr, QStringLiteral("Parameter [ATargetStream] is not assigned"));
  QBuffer Buffer(AValue);
  Buffer.open(QIODevice::WriteOnly | QIODevice::Append);
  GetStream(ACaption, &Buffer);
}

void TXmlSerializer::GetStream(const QString& ACaption, QIODevice* AValue) {
  const QString Text = GetString(ACaption, QString());
  Assert(AValue != nullptr, QStringLiteral("Parameter [ATargetStream] is not assigned"));
  if (Trim(Text).isEmpty())
    return;
  const QByteArray Bytes = HexToBytes(Trim(Text));
  if (AValue->write(Bytes) != Bytes.size())
    throw EStreamError(QStringLiteral("Stream write error: %1").arg(AValue->errorString()));
}

QString TXmlSerializer::GetStringAttributeFromCurrentNode(const QString& AAttributeName,
                                                          const QString& ADefault) {
  const TXmlNode* Attribute = FCurrentNode ? FCurrentNode->FindAttribute(AAttributeName) : nullptr;
  return Attribute ? Attribute->Value() : ADefault;
}

std::int32_t TXmlSerializer::GetIntegerAttributeFromCurrentNode(const QString& AAttributeName,
                                                                std::int32_t ADefault) {
  const TXmlNode* Attribute = FCurrentNode ? FCurrentNode->FindAttribute(AAttributeName) : nullptr;
  if (!Attribute)
    return ADefault;
  bool Ok = false;
  const int Value = Attribute->Value().trimmed().toInt(&Ok);
  return Ok ? Value : 0;
}

// ---- enumerations and sets ----------------------------------------------------------

namespace {
QString typeName(const QMetaEnum& ATypeInfo) {
  return QString::fromLatin1(ATypeInfo.isValid() ? ATypeInfo.name() : "(no type)");
}

// The member of ordinal n of a set type is its key of value 1 << n.
std::vector<std::pair<int, QString>> setMembers(const QMetaEnum& ATypeInfo) {
  if (!ATypeInfo.isValid() || !ATypeInfo.isFlag())
    throw EConvertError(QStringLiteral("%1 is not a set").arg(typeName(ATypeInfo)));
  std::vector<std::pair<int, QString>> Members;
  for (int I = 0; I < ATypeInfo.keyCount(); ++I) {
    const auto Value = quint32(ATypeInfo.value(I));
    if (std::has_single_bit(Value))
      Members.emplace_back(std::countr_zero(Value), QString::fromLatin1(ATypeInfo.key(I)));
  }
  std::sort(Members.begin(), Members.end());
  return Members;
}
} // namespace

void TXmlSerializer::AddEnum(const QString& ACaption, const QMetaEnum& ATypeInfo, int AValue) {
  // A value without a name is written empty and so reads as the default.
  AddString(ACaption, QString::fromLatin1(ATypeInfo.valueToKey(AValue)));
}

void TXmlSerializer::AddEnumSet(const QString& ACaption, const QMetaEnum& ATypeInfo,
                                std::uint64_t AValue) {
  const auto Members = setMembers(ATypeInfo);
  BeginObjectWrite(ACaption);
  for (const auto& [Ordinal, Name] : Members)
    if ((AValue >> Ordinal) & 1)
      AddString(QStringLiteral("option"), Name);
  EndObjectWrite(ACaption);
}

int TXmlSerializer::GetEnum(const QString& ACaption, const QMetaEnum& ATypeInfo, int ADefault) {
  // The files hold enumerations of one or two bytes; one that needs more
  // (or negative values) has no place there.
  for (int I = 0; I < ATypeInfo.keyCount(); ++I)
    if (ATypeInfo.value(I) < 0 || ATypeInfo.value(I) > 0xFFFF)
      throw EConvertError(QStringLiteral("%1 is too large").arg(typeName(ATypeInfo)));
  const QString Name = GetString(ACaption, QString::fromLatin1(ATypeInfo.valueToKey(ADefault)));
  for (int I = 0; I < ATypeInfo.keyCount(); ++I)
    if (Name.compare(QLatin1String(ATypeInfo.key(I)), Qt::CaseInsensitive) == 0)
      return ATypeInfo.value(I);
  throw EConvertError(QStringLiteral("Value for %1 does not exist in Enum").arg(ACaption));
}

std::uint64_t TXmlSerializer::GetEnumSet(const QString& ACaption, const QMetaEnum& ATypeInfo) {
  const auto Members = setMembers(ATypeInfo);
  std::uint64_t Result = 0;
  if (!BeginObjectRead(ACaption))
    return Result;
  const auto add = [&](const QString& AName) {
    for (const auto& [Ordinal, Name] : Members)
      if (AName.compare(Name, Qt::CaseInsensitive) == 0)
        Result |= std::uint64_t(1) << Ordinal;
  };
  const std::vector<TXmlNode*> Options = FCurrentNode->ChildElements(QStringLiteral("option"));
  for (const TXmlNode* Option : Options)
    add(Option->Text());
  if (Options.empty()) {
    // The older form, "[Alpha,Beta]" as the element's own text; blanks
    // belong to the names.
    const QString Text = FCurrentNode->Text();
    if (Text.size() >= 2)
      for (const QString& Name : Text.mid(1, Text.size() - 2).split(u','))
        add(Name);
  }
  EndObjectRead(ACaption);
  return Result;
}

// ---- whole objects -------------------------------------------------------------

void TXmlSerializer::Serialize(QObject* AObject, bool AWriteObjectNode) {
  Assert(AObject != nullptr, QStringLiteral("Parameter [AObject] is not assigned"));
  const QString ClassName = QString::fromLatin1(AObject->metaObject()->className());
  if (AWriteObjectNode)
    BeginObjectWrite(ClassName);
  if (auto* Serializable = dynamic_cast<ISerializable*>(AObject))
    Serializable->Serialize(*this);
  else
    TRttiSerializable(AObject).Serialize(*this);
  if (AWriteObjectNode)
    EndObjectWrite(ClassName);
}

void TXmlSerializer::Deserialize(QObject* AObject, bool AReadObjectNode) {
  Assert(AObject != nullptr, QStringLiteral("Parameter [AObject] is not assigned"));
  const QString ClassName = QString::fromLatin1(AObject->metaObject()->className());
  if (AReadObjectNode && !BeginObjectRead(ClassName))
    return;
  if (auto* Serializable = dynamic_cast<ISerializable*>(AObject))
    Serializable->Deserialize(*this);
  else
    TRttiSerializable(AObject).Deserialize(*this);
  if (AReadObjectNode)
    EndObjectRead(ClassName);
}

// ---- iteration -------------------------------------------------------------------

std::unique_ptr<TSerializerIterator> TXmlSerializer::GetIterator(const QString& ACaption) {
  if (!FCurrentNode && FXmlDocument && FXmlDocument->Root() &&
      FXmlDocument->Root()->Name().compare(ACaption, Qt::CaseInsensitive) == 0)
    FCurrentNode = FXmlDocument->Root();
  return std::make_unique<TXmlIterator>(FCurrentNode ? FCurrentNode->ChildElements(ACaption)
                                                     : std::vector<TXmlNode*>());
}

void TXmlSerializer::PrepareForIterator(TSerializerIterator& AIterator) {
  auto* Iterator = dynamic_cast<TXmlIterator*>(&AIterator);
  Assert(Iterator && Iterator->Current(), QStringLiteral("The iterator has no current element"));
  FNodeStack.push_back(FCurrentNode);
  FCurrentNode = Iterator->Current();
  FPreparedForIterator = true;
}

bool TXmlSerializer::IsValueAvailable(const QString& AName) {
  return FCurrentNode && FindValueNode(AName);
}

// ---- documents -------------------------------------------------------------------

void TXmlSerializer::SaveToFile(const QString& AFileName) {
  Assert(!Trim(AFileName).isEmpty(), QStringLiteral("Parameter [AFilename] cannot be empty"));
  ownDocument();
  const TXmlFormatType Previous = FXmlDocument->Format();
  FXmlDocument->SetFormat(xfReadable);
  try {
    FXmlDocument->SaveToFile(AFileName);
  } catch (...) {
    FXmlDocument->SetFormat(Previous);
    throw;
  }
  FXmlDocument->SetFormat(Previous);
}

void TXmlSerializer::SaveToFileInParts(const QString& AFileName, const QString& ARootName,
                                       const std::function<bool()>& APart) {
  Assert(!Trim(AFileName).isEmpty(), QStringLiteral("Parameter [AFilename] cannot be empty"));
  Assert(!FXmlDocumentExternal, QStringLiteral("The document belongs to another owner"));
  ownDocument();
  const TXmlFormatType Previous = FXmlDocument->Format();
  FXmlDocument->SetFormat(xfReadable);
  const auto Restore = qScopeGuard([&] {
    FXmlDocument->SetFormat(Previous);
    FCurrentNode = nullptr;
    FNodeStack.clear();
  });
  FXmlDocument->SaveToFileInParts(AFileName, ARootName, [&] {
    FCurrentNode = FXmlDocument->Root();
    FNodeStack.clear();
    FPreparedForIterator = false;
    return APart();
  });
}

void TXmlSerializer::loadDocument(const std::function<void(TXmlDocument&)>& ALoad) {
  FXmlFormatType = xfPreserve;
  ownDocument().SetFormat(xfPreserve);
  FCurrentNode = nullptr;
  FNodeStack.clear();
  FPreparedForIterator = false;
  ALoad(*FXmlDocument);
}

void TXmlSerializer::LoadFromFile(const QString& AFileName) {
  Assert(!Trim(AFileName).isEmpty(), QStringLiteral("Parameter [AFilename] can not be empty"));
  loadDocument([&](TXmlDocument& ADocument) { ADocument.LoadFromFile(AFileName); });
}

void TXmlSerializer::LoadFromFileInParts(const QString& AFileName,
                                         const std::function<void()>& APart) {
  Assert(!Trim(AFileName).isEmpty(), QStringLiteral("Parameter [AFilename] can not be empty"));
  loadDocument([&](TXmlDocument& ADocument) {
    ADocument.LoadFromFileInParts(AFileName, [&] {
      FCurrentNode = nullptr;
      FNodeStack.clear();
      FPreparedForIterator = false;
      APart();
    });
  });
}

TXmlDocument& TXmlSerializer::ownDocument() {
  if (!FXmlDocument) {
    FOwnedDocument = std::make_unique<TXmlDocument>();
    FXmlDocument = FOwnedDocument.get();
  }
  return *FXmlDocument;
}

void TXmlSerializer::SaveToStream(QIODevice* AStream) {
  Assert(AStream != nullptr, QStringLiteral("Parameter [AStream] is not assigned"));
  ownDocument().SetFormat(xfReadable);
  const QByteArray Bytes = FXmlDocument->ToBytes();
  if (AStream->write(Bytes) != Bytes.size())
    throw EStreamError(QStringLiteral("Stream write error: %1").arg(AStream->errorString()));
}

void TXmlSerializer::LoadFromStream(QIODevice* AStream) {
  Assert(AStream != nullptr, QStringLiteral("Parameter [AStream] is not assigned"));
  if (!AStream->isSequential())
    AStream->seek(0);
  // One byte over the limit is enough for the document to refuse the input.
  const QByteArray Bytes = AStream->read(MaxXmlBytes + 1);
  loadDocument(
      [&](TXmlDocument& ADocument) { ADocument.LoadFromBytes(Bytes, QStringLiteral("(stream)")); });
}

QString TXmlSerializer::GetXml(bool ARemoveEncoding) const {
  if (!FXmlDocument)
    return QString();
  if (!ARemoveEncoding)
    return FXmlDocument->ToString();
  auto& Declaration = FXmlDocument->Declaration();
  const auto Saved = Declaration;
  std::erase_if(Declaration, [](const auto& AAttribute) {
    return AAttribute.first.compare(QLatin1String("encoding"), Qt::CaseInsensitive) == 0;
  });
  try {
    const QString Text = FXmlDocument->ToString();
    Declaration = Saved;
    return Text;
  } catch (...) {
    Declaration = Saved;
    throw;
  }
}

void TXmlSerializer::SetXml(const QString& AXmlText) {
  loadDocument([&](TXmlDocument& ADocument) { ADocument.LoadFromBytes(AXmlText.toUtf8()); });
}

// ---- document parts ------------------------------------------------------------

QString TXmlSerializer::GetStyleSheet() const {
  if (!FXmlDocument || !FXmlDocument->StyleSheet())
    return QString();
  QStringList Parts;
  for (const auto& [Name, Value] : *FXmlDocument->StyleSheet())
    Parts << QStringLiteral("%1=\"%2\"").arg(Name, Value);
  return Parts.join(u' ');
}

bool TXmlSerializer::SetStyleSheet(const QString& AType, const QString& AHref) {
  auto& StyleSheet = ownDocument().StyleSheet();
  if (!StyleSheet)
    StyleSheet.emplace();
  const auto set = [&](const QString& AName, const QString& AValue) {
    for (auto& Attribute : *StyleSheet)
      if (Attribute.first == AName) {
        Attribute.second = AValue;
        return;
      }
    StyleSheet->emplace_back(AName, AValue);
  };
  set(QStringLiteral("type"), AType);
  set(QStringLiteral("href"), AHref);
  return true;
}

bool TXmlSerializer::SetXsdSchemaFile(const QString& ASchemaFile) {
  TXmlNode* Root = FXmlDocument ? FXmlDocument->Root() : nullptr;
  if (!Root || Root->FindAttribute(QStringLiteral("xsi:noNamespaceSchemaLocation")))
    return false;
  if (!Root->FindAttribute(QStringLiteral("xmlns:xsi")))
    Root->AddAttribute(QStringLiteral("xmlns:xsi"),
                       QStringLiteral("http://www.w3.org/2001/XMLSchema-instance"));
  Root->AddAttribute(QStringLiteral("xsi:noNamespaceSchemaLocation"), ASchemaFile);
  return true;
}

void TXmlSerializer::SetXmlDocumentAndCurrentNode(TXmlDocument* AXmlDocument, TXmlNode* ANode) {
  Assert(AXmlDocument && AXmlDocument->Contains(ANode),
         QStringLiteral("Node must be part of XmlDocument"));
  Assert(!FXmlDocument || FXmlDocument == AXmlDocument,
         QStringLiteral("already assigned XmlDocument cannot be changed to another XmlDocument"));
  if (!FXmlDocument) {
    FXmlDocument = AXmlDocument;
    FXmlDocumentExternal = true;
  }
  FCurrentNode = ANode;
}

QString TXmlSerializer::SerializeStrings(const QString& ACaption, const QStringList* AStrings) {
  if (!AStrings)
    return QString();
  TXmlSerializer Serializer;
  Serializer.AddStrings(ACaption, *AStrings);
  return Serializer.FXmlDocument->RootXml();
}

// ---- the property-driven path --------------------------------------------------------

namespace {
enum class TPropertyKind {
  Integer,
  Int64,
  String,
  Boolean,
  Enum,
  DateTime,
  Float,
  Set,
  Strings,
  Object,
  ObjectList,
  Unknown
};

TPropertyKind kindOf(const QMetaProperty& AProperty, const QVariant& AValue) {
  const QMetaType Type = AProperty.metaType();
  switch (PropertyTypeKind(AProperty)) {
  case TTypeKind::tkInteger:
    return TPropertyKind::Integer;
  case TTypeKind::tkInt64:
    return TPropertyKind::Int64;
  case TTypeKind::tkUString:
    return TPropertyKind::String;
  case TTypeKind::tkEnumeration:
    return Type.id() == QMetaType::Bool ? TPropertyKind::Boolean : TPropertyKind::Enum;
  case TTypeKind::tkSet:
    return TPropertyKind::Set;
  case TTypeKind::tkFloat:
    return Type == QMetaType::fromType<TDateTime>() ? TPropertyKind::DateTime
                                                    : TPropertyKind::Float;
  case TTypeKind::tkClass:
    return Type.id() == QMetaType::QStringList ? TPropertyKind::Strings : TPropertyKind::Object;
  default:
    break;
  }
  if (AValue.canView<QSequentialIterable>() &&
      (AValue.value<QSequentialIterable>().metaContainer().valueMetaType().flags() &
       QMetaType::PointerToQObject))
    return TPropertyKind::ObjectList;
  return TPropertyKind::Unknown;
}

// The properties the walk covers: the class's own and its bases', not
// QObject's objectName.
template <class TVisit> void forEachProperty(QObject* AObject, TVisit AVisit) {
  const QMetaObject* Meta = AObject->metaObject();
  for (int I = QObject::staticMetaObject.propertyCount(); I < Meta->propertyCount(); ++I)
    if (const QMetaProperty Property = Meta->property(I); Property.isReadable())
      AVisit(Property, QString::fromLatin1(Property.name()));
}

// An exception inside one object-typed property is logged, and the walk
// goes on with the next property.
template <class TAction> void guarded(TAction AAction) {
  try {
    AAction();
  } catch (...) {
    GetLogger()->LogException(QString(), std::current_exception());
  }
}

QVariant int64Value(const QMetaType& AType, std::int64_t AValue) {
  switch (AType.id()) {
  case QMetaType::ULongLong:
    return QVariant::fromValue(quint64(AValue));
  case QMetaType::UInt:
    if (AValue < 0 || AValue > std::int64_t(UINT32_MAX))
      throw EConvertError(QStringLiteral("%1 is not a valid unsigned 32-bit value").arg(AValue));
    return QVariant::fromValue(uint(AValue));
  default: {
    QVariant Value = QVariant::fromValue(qint64(AValue));
    Value.convert(AType);
    return Value;
  }
  }
}

void serializeProperty(TSerializer& ASerializer, const QMetaProperty& AProperty,
                       const QString& AName, const QVariant& AValue) {
  switch (kindOf(AProperty, AValue)) {
  case TPropertyKind::Integer:
    ASerializer.AddInteger(AName, AValue.toInt());
    return;
  case TPropertyKind::Int64:
    ASerializer.AddInt64(AName, AProperty.metaType().id() == QMetaType::ULongLong
                                    ? std::int64_t(AValue.toULongLong())
                                    : std::int64_t(AValue.toLongLong()));
    return;
  case TPropertyKind::String:
    ASerializer.AddString(AName, AValue.toString());
    return;
  case TPropertyKind::Boolean:
    ASerializer.AddString(AName,
                          AValue.toBool() ? QStringLiteral("True") : QStringLiteral("False"));
    return;
  case TPropertyKind::Enum:
    ASerializer.AddEnum(AName, AProperty.enumerator(), AValue.toInt());
    return;
  case TPropertyKind::DateTime:
    ASerializer.AddDateTime(AName, AValue.value<TDateTime>().Value);
    return;
  case TPropertyKind::Float:
    ASerializer.AddFloat(AName, AValue.toDouble());
    return;
  case TPropertyKind::Set:
    ASerializer.AddEnumSet(AName, AProperty.enumerator(), std::uint64_t(AValue.toUInt()));
    return;
  case TPropertyKind::Strings:
    ASerializer.AddStrings(AName, AValue.toStringList());
    return;
  case TPropertyKind::Object:
    if (QObject* Object = AValue.value<QObject*>()) {
      if (auto* Serializable = dynamic_cast<ISerializable*>(Object)) {
        Serializable->Serialize(ASerializer);
      } else {
        ASerializer.BeginObjectWrite(AName);
        guarded([&] { ASerializer.Serialize(Object, false); });
        ASerializer.EndObjectWrite(AName);
      }
    }
    return;
  case TPropertyKind::ObjectList:
    ASerializer.BeginObjectWrite(AName);
    for (const QVariant& Item : AValue.value<QSequentialIterable>())
      if (QObject* Object = Item.value<QObject*>())
        ASerializer.Serialize(Object, true);
    ASerializer.EndObjectWrite(AName);
    return;
  case TPropertyKind::Unknown:
    GetLogger()->LogWarning(QStringLiteral("Property \"%1\" has unknown type").arg(AName));
    return;
  }
}

// The value read for a property, or an invalid variant when there is
// nothing to write back (objects are read in place).
QVariant deserializeProperty(TSerializer& ASerializer, const QMetaProperty& AProperty,
                             const QString& AName, const QVariant& ACurrent) {
  switch (kindOf(AProperty, ACurrent)) {
  case TPropertyKind::Integer:
    return ASerializer.GetInteger(AName, 0);
  case TPropertyKind::Int64:
    return int64Value(AProperty.metaType(), ASerializer.GetInt64(AName, 0));
  case TPropertyKind::String:
    return ASerializer.GetString(AName, QString());
  case TPropertyKind::Boolean: {
    const QString Name = ASerializer.GetString(AName, QStringLiteral("False"));
    if (Name.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
      return true;
    if (Name.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
      return false;
    throw EConvertError(QStringLiteral("Value for %1 does not exist in Enum").arg(AName));
  }
  case TPropertyKind::Enum: {
    // The first declared value stands where a missing element needs one.
    const QMetaEnum Type = AProperty.enumerator();
    return ASerializer.GetEnum(AName, Type, Type.keyCount() > 0 ? Type.value(0) : 0);
  }
  case TPropertyKind::DateTime:
    return QVariant::fromValue(TDateTime{ASerializer.GetDateTime(AName, 0)});
  case TPropertyKind::Float:
    return ASerializer.GetFloat(AName, 0);
  case TPropertyKind::Set:
    return uint(ASerializer.GetEnumSet(AName, AProperty.enumerator()));
  case TPropertyKind::Strings: {
    QStringList Lines;
    ASerializer.GetStrings(AName, &Lines);
    return Lines;
  }
  case TPropertyKind::Object:
    if (QObject* Object = ACurrent.value<QObject*>()) {
      if (auto* Serializable = dynamic_cast<ISerializable*>(Object)) {
        Serializable->Deserialize(ASerializer);
      } else {
        // The element is left even when reading inside it failed, so the
        // properties after it are read where they are.
        if (ASerializer.BeginObjectRead(AName)) {
          guarded([&] { ASerializer.Deserialize(Object, false); });
          ASerializer.EndObjectRead(AName);
        }
      }
    }
    return QVariant();
  case TPropertyKind::ObjectList: // written for other readers, not read back
  case TPropertyKind::Unknown:
    return QVariant();
  }
  return QVariant();
}
} // namespace

void TRttiSerializable::Serialize(TSerializer& ASerializer) {
  forEachProperty(FSerializedObject, [&](const QMetaProperty& AProperty, const QString& AName) {
    serializeProperty(ASerializer, AProperty, AName, AProperty.read(FSerializedObject));
  });
}

void TRttiSerializable::Deserialize(TSerializer& ASerializer) {
  forEachProperty(FSerializedObject, [&](const QMetaProperty& AProperty, const QString& AName) {
    const QVariant Value =
        deserializeProperty(ASerializer, AProperty, AName, AProperty.read(FSerializedObject));
    if (Value.isValid() && AProperty.isWritable())
      AProperty.write(FSerializedObject, Value);
  });
}
