#include "serialization/Serializers.h"

#include "common/Exceptions.h"
#include "common/StringRules.h"
#include "logging/MorvelDebug.h"
#include "serialization/XmlValues.h"

#include <QFile>

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
    FXmlDocument = std::make_unique<TXmlDocument>();
    FXmlDocument->SetFormat(FXmlFormatType);
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

void TXmlSerializer::AddStream(const QString& ACaption, const QByteArray& AValue) {
  if (AValue.size() > 10000) {
    GetTraceLogger()->SendInteger(QStringLiteral("Stream exceeds max size"), int(AValue.size()));
    GetTraceLogger()->SendWarning(QStringLiteral(
        "Add stream method in TXmlSerializer should only be used with small streams"));
    GetTraceLogger()->SendMsg(QStringLiteral("Stream will be added"));
  }
  AddString(ACaption, BytesToHex(AValue));
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

void TXmlSerializer::GetStream(const QString& ACaption, QByteArray* AValue) {
  const QString Text = GetString(ACaption, QString());
  Assert(AValue != nullptr, QStringLiteral("Parameter [ATargetStream] is not assigned"));
  if (Trim(Text).isEmpty())
    return;
  AValue->append(HexToBytes(Trim(Text)));
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
  if (!FXmlDocument)
    FXmlDocument = std::make_unique<TXmlDocument>();
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

void TXmlSerializer::loadDocument(const std::function<void(TXmlDocument&)>& ALoad) {
  FXmlFormatType = xfPreserve;
  if (!FXmlDocument)
    FXmlDocument = std::make_unique<TXmlDocument>();
  FCurrentNode = nullptr;
  FNodeStack.clear();
  FPreparedForIterator = false;
  ALoad(*FXmlDocument);
}

void TXmlSerializer::LoadFromFile(const QString& AFileName) {
  Assert(!Trim(AFileName).isEmpty(), QStringLiteral("Parameter [AFilename] can not be empty"));
  loadDocument([&](TXmlDocument& ADocument) { ADocument.LoadFromFile(AFileName); });
}

QString TXmlSerializer::GetXml() const {
  return FXmlDocument ? FXmlDocument->ToString() : QString();
}

void TXmlSerializer::SetXml(const QString& AXmlText) {
  loadDocument([&](TXmlDocument& ADocument) { ADocument.LoadFromBytes(AXmlText.toUtf8()); });
}
