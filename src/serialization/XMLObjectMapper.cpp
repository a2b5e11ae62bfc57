#include "serialization/XMLObjectMapper.h"

#include "common/Exceptions.h"
#include "serialization/ObjectMapperAttributes.h"
#include "serialization/PropertyKinds.h"

#include <QBuffer>

#include <unordered_map>

namespace {
QString className(const QObject* AObject) {
  return QString::fromLatin1(AObject->metaObject()->className());
}

QString listName(const QMetaObject& AItemType) {
  return QString::fromLatin1(AItemType.className()) + QLatin1String("List");
}
} // namespace

TXmlObjectMapper::TXmlObjectMapper(QObject* AObject) : TObjectMapper(AObject) {}

TXmlObjectMapper::~TXmlObjectMapper() = default;

namespace {
// A list of thousands of records builds the same mapping thousands of
// times. Where the mapping follows from the class alone, a finished mapper
// is kept and pointed at the next object of its class instead. Not so where
// it also depends on the object (an object property is mapped only while it
// holds a stream) or on the cipher library, which a mapper loads once and
// keeps.
class TMapperPool {
public:
  std::unique_ptr<TXmlObjectMapper> Take(QObject* AObject, bool* AReusable) {
    TSlot& Slot = FSlots[AObject->metaObject()];
    if (!Slot.Known) {
      Slot.Reusable = reusable(AObject->metaObject());
      Slot.Known = true;
    }
    *AReusable = Slot.Reusable;
    if (!Slot.Reusable || Slot.Free.empty())
      return std::make_unique<TXmlObjectMapper>(AObject);
    std::unique_ptr<TXmlObjectMapper> Mapper = std::move(Slot.Free.back());
    Slot.Free.pop_back();
    Mapper->SetMappedObject(AObject);
    return Mapper;
  }
  void Give(const QMetaObject* AClass, std::unique_ptr<TXmlObjectMapper> AMapper) {
    AMapper->SetSerializer(nullptr);
    FSlots[AClass].Free.push_back(std::move(AMapper));
  }

private:
  struct TSlot {
    bool Known = false;
    bool Reusable = false;
    // More than one only while a record holds records of its own class.
    std::vector<std::unique_ptr<TXmlObjectMapper>> Free;
  };
  static bool reusable(const QMetaObject* AClass) {
    const TClassDescription& Description = DescribeClass(AClass);
    if (!Description.HasObjectMapping)
      return false;
    for (const TPropertyDescription& Property : Description.Properties)
      if (Property.Mapping && (Property.Mapping->IsCrypted() ||
                               (PropertyTypeKind(Property.Property) == TTypeKind::tkClass &&
                                Property.Property.metaType().id() != QMetaType::QStringList)))
        return false;
    return true;
  }
  std::unordered_map<const QMetaObject*, TSlot> FSlots;
};

TMapperPool& mapperPool() {
  thread_local TMapperPool Pool;
  return Pool;
}

// A mapper for one pass over AObject, given back afterwards when its class
// allows.
class TPooledMapper {
public:
  explicit TPooledMapper(QObject* AObject, TSerializer& ASerializer)
      : FClass(AObject->metaObject()), FMapper(mapperPool().Take(AObject, &FReusable)) {
    FMapper->SetSerializer(&ASerializer);
  }
  ~TPooledMapper() {
    if (FReusable)
      mapperPool().Give(FClass, std::move(FMapper));
  }
  TPooledMapper(const TPooledMapper&) = delete;
  TPooledMapper& operator=(const TPooledMapper&) = delete;
  TXmlObjectMapper* operator->() const { return FMapper.get(); }

private:
  const QMetaObject* FClass;
  bool FReusable = false;
  std::unique_ptr<TXmlObjectMapper> FMapper;
};
} // namespace

void TXmlObjectMapper::WriteToSerializer(QObject* AObject, TSerializer& ASerializer) {
  TPooledMapper(AObject, ASerializer)->UpdateDataSource();
}

void TXmlObjectMapper::ReadFromSerializer(QObject* AObject, TSerializer& ASerializer) {
  TPooledMapper(AObject, ASerializer)->ReadFromDatasource();
}

void TXmlObjectMapper::AddAdditionalSerializedObject(std::shared_ptr<ISerializable> AObject) {
  FAdditionalSerilizations.push_back(std::move(AObject));
}

bool TXmlObjectMapper::ReadFromDatasource() {
  const bool Result = TObjectMapper::ReadFromDatasource();
  FIsMainObjectNodeProcessed = false;
  return Result;
}

bool TXmlObjectMapper::UpdateDataSource() {
  const bool Result = TObjectMapper::UpdateDataSource();
  FIsMainObjectNodeProcessed = false;
  return Result;
}

TSerializer& TXmlObjectMapper::serializer() const {
  Assert(FSerializer != nullptr, QStringLiteral("The mapper has no serializer"));
  return *FSerializer;
}

QObject* TXmlObjectMapper::ownerOf(TMappedPropertyList& AList) const {
  return AList.IsEmpty() ? MappedObject() : AList.First()->Owner();
}

QString TXmlObjectMapper::linkOf(TMappedPropertyList& AList) const {
  return AList.IsEmpty() ? QString() : AList.First()->AggregationLink();
}

// ---- groups ----------------------------------------------------------------------

bool TXmlObjectMapper::BeginWriteGroup(TMappedPropertyList& AList) {
  if (!FIsMainObjectNodeProcessed) {
    serializer().BeginObjectWrite(className(MappedObject()));
    FIsMainObjectNodeProcessed = true;
    return true;
  }
  QObject* Owner = ownerOf(AList);
  if (Owner == MappedObject())
    return true;
  const QString Link = linkOf(AList);
  if (auto* Serializable = dynamic_cast<ISerializable*>(Owner)) {
    serializer().BeginObjectWrite(Link);
    Serializable->Serialize(serializer());
    serializer().EndObjectWrite(Link);
    return false;
  }
  serializer().BeginObjectWrite(Link);
  return true;
}

void TXmlObjectMapper::EndWriteGroup(TMappedPropertyList& AList) {
  QObject* Owner = ownerOf(AList);
  if (Owner != MappedObject()) {
    serializer().EndObjectWrite(linkOf(AList));
    return;
  }
  for (const auto& Additional : FAdditionalSerilizations)
    Additional->Serialize(serializer());
  serializer().EndObjectWrite(className(Owner));
}

bool TXmlObjectMapper::BeginReadGroup(TMappedPropertyList& AList) {
  if (!FIsMainObjectNodeProcessed) {
    FIsMainObjectNodeProcessed = true;
    return serializer().BeginObjectRead(className(MappedObject()));
  }
  QObject* Owner = ownerOf(AList);
  if (Owner == MappedObject())
    return false;
  const QString Link = linkOf(AList);
  if (auto* Serializable = dynamic_cast<ISerializable*>(Owner)) {
    if (serializer().BeginObjectRead(Link)) {
      Serializable->Deserialize(serializer());
      serializer().EndObjectRead(Link);
    }
    return false;
  }
  return serializer().BeginObjectRead(Link);
}

void TXmlObjectMapper::EndReadGroup(TMappedPropertyList& AList) {
  if (ownerOf(AList) == MappedObject())
    for (const auto& Additional : FAdditionalSerilizations)
      Additional->Deserialize(serializer());
  serializer().EndObjectRead(linkOf(AList));
}

// ---- values --------------------------------------------------------------------

bool TXmlObjectMapper::ReadBoolean(const QString& AFieldName, bool& AValue) {
  if (!serializer().IsValueAvailable(AFieldName))
    return false;
  AValue = serializer().GetBoolean(AFieldName, false);
  return true;
}

bool TXmlObjectMapper::ReadDateTime(const QString& AFieldName, double& AValue) {
  if (!serializer().IsValueAvailable(AFieldName))
    return false;
  AValue = serializer().GetDateTime(AFieldName, 0);
  return true;
}

bool TXmlObjectMapper::ReadFloat(const QString& AFieldName, double& AValue) {
  if (!serializer().IsValueAvailable(AFieldName))
    return false;
  AValue = serializer().GetFloat(AFieldName, 0);
  return true;
}

bool TXmlObjectMapper::ReadInt64(const QString& AFieldName, qint64& AValue) {
  if (!serializer().IsValueAvailable(AFieldName))
    return false;
  bool Ok = false;
  AValue = serializer().GetString(AFieldName, QString()).trimmed().toLongLong(&Ok);
  if (!Ok)
    AValue = 0;
  return true;
}

bool TXmlObjectMapper::ReadInteger(const QString& AFieldName, int& AValue) {
  if (!serializer().IsValueAvailable(AFieldName))
    return false;
  AValue = serializer().GetInteger(AFieldName, 0);
  return true;
}

bool TXmlObjectMapper::ReadStream(const QString& AFieldName, QIODevice* AValue) {
  if (auto* Buffer = qobject_cast<QBuffer*>(AValue)) {
    Buffer->buffer().clear();
    Buffer->seek(0);
  }
  serializer().GetStream(AFieldName, AValue);
  return true;
}

bool TXmlObjectMapper::ReadString(const QString& AFieldName, QString& AValue) {
  if (!serializer().IsValueAvailable(AFieldName))
    return false;
  AValue = serializer().GetString(AFieldName, QString());
  return true;
}

bool TXmlObjectMapper::ReadStrings(const QString& AFieldName, QStringList& AValue) {
  serializer().GetStrings(AFieldName, &AValue);
  return true;
}

// An absent element empties the set.
bool TXmlObjectMapper::ReadSet(const QString& AFieldName, QString& AText,
                               const QMetaEnum& ATypeInfo) {
  AText = SetToString(ATypeInfo, int(serializer().GetEnumSet(AFieldName, ATypeInfo)));
  return true;
}

void TXmlObjectMapper::WriteBoolean(const QString& AFieldName, bool AValue) {
  serializer().AddBoolean(AFieldName, AValue);
}

void TXmlObjectMapper::WriteDateTime(const QString& AFieldName, double AValue) {
  serializer().AddDateTime(AFieldName, AValue);
}

void TXmlObjectMapper::WriteEnum(const QString& AFieldName, int AValue,
                                 const QMetaEnum& ATypeInfo) {
  serializer().AddString(AFieldName, QString::fromLatin1(ATypeInfo.valueToKey(AValue)));
}

void TXmlObjectMapper::WriteFloat(const QString& AFieldName, double AValue) {
  serializer().AddFloat(AFieldName, AValue);
}

void TXmlObjectMapper::WriteInt64(const QString& AFieldName, qint64 AValue) {
  serializer().AddString(AFieldName, QString::number(AValue));
}

void TXmlObjectMapper::WriteInteger(const QString& AFieldName, int AValue) {
  serializer().AddInteger(AFieldName, AValue);
}

void TXmlObjectMapper::WriteSet(const QString& AFieldName, const QString& APropertyName,
                                QObject* AObject) {
  const QMetaObject* Class = AObject->metaObject();
  QMetaProperty Property;
  for (int I = 0; I < Class->propertyCount() && !Property.isValid(); ++I)
    if (APropertyName.compare(QLatin1String(Class->property(I).name()), Qt::CaseInsensitive) == 0)
      Property = Class->property(I);
  const QMetaEnum Type = Property.enumerator();
  const int Value = StringToSet(Type, SetToString(Type, Property.read(AObject).toInt()));
  serializer().AddEnumSet(AFieldName, Type, std::uint64_t(uint(Value)));
}

void TXmlObjectMapper::WriteStream(const QString& AFieldName, QIODevice* AValue) {
  serializer().AddStream(AFieldName, AValue);
}

void TXmlObjectMapper::WriteString(const QString& AFieldName, const QString& AValue) {
  serializer().AddString(AFieldName, AValue);
}

void TXmlObjectMapper::WriteStrings(const QString& AFieldName, const QStringList& AValue) {
  serializer().AddStrings(AFieldName, AValue);
}

// ---- lists behind interfaces ------------------------------------------------------------

void TXmlObjectMapper::WriteInterface(const QString& AFieldName, IInterfaceList* AValue) {
  if (!AValue || !dynamic_cast<TXmlSerializer*>(FSerializer) || AValue->Count() == 0)
    return;
  if (const QMetaObject* ItemType = AValue->ItemClass()) {
    WriteObjectList(serializer(), *AValue, *ItemType);
    return;
  }
  serializer().BeginObjectWrite(AFieldName);
  for (qsizetype I = 0; I < AValue->Count(); ++I)
    serializer().AddString(QStringLiteral("Value"), AValue->Value(I).toString());
  serializer().EndObjectWrite(AFieldName);
}

void TXmlObjectMapper::ReadInterface(const QString& AFieldName, IInterfaceList* AValue) {
  if (!AValue || !dynamic_cast<TXmlSerializer*>(FSerializer))
    return;
  if (const QMetaObject* ItemType = AValue->ItemClass()) {
    ReadObjectList(serializer(), *AValue, *ItemType);
    return;
  }
  if (!serializer().BeginObjectRead(AFieldName))
    return;
  const int Kind = AValue->ItemType().id();
  if (Kind != QMetaType::Int && Kind != QMetaType::QString && Kind != QMetaType::LongLong) {
    serializer().EndObjectRead(AFieldName);
    throw EConvertError(QStringLiteral("Unsupported item kind"));
  }
  std::unique_ptr<TSerializerIterator> Values = serializer().GetIterator(QStringLiteral("Value"));
  while (Values->MoveNext()) {
    if (Kind == QMetaType::Int)
      AValue->AppendValue(Values->AsInteger());
    else if (Kind == QMetaType::LongLong)
      AValue->AppendValue(qint64(Values->AsInt64()));
    else
      AValue->AppendValue(Values->AsString());
  }
  serializer().EndObjectRead(AFieldName);
}

void WriteObjectList(TSerializer& ASerializer, IInterfaceList& AList,
                     const QMetaObject& AItemType) {
  const QString Name = listName(AItemType);
  ASerializer.BeginObjectWrite(Name);
  for (qsizetype I = 0; I < AList.Count(); ++I)
    if (auto* Serializable = dynamic_cast<ISerializable*>(AList.Object(I)))
      Serializable->Serialize(ASerializer);
  ASerializer.EndObjectWrite(Name);
}

void ReadObjectList(TSerializer& ASerializer, IInterfaceList& AList, const QMetaObject& AItemType) {
  const QString Name = listName(AItemType);
  if (!ASerializer.BeginObjectRead(Name))
    return;
  const QString ItemName = QString::fromLatin1(AItemType.className());
  std::unique_ptr<TSerializerIterator> Items = ASerializer.GetIterator(ItemName);
  AList.Clear();
  AList.Reserve(Items->GetItemCount());
  while (Items->MoveNext()) {
    ASerializer.PrepareForIterator(*Items);
    QObject* Item = AList.AddNewObject();
    if (auto* Serializable = dynamic_cast<ISerializable*>(Item)) {
      Serializable->Deserialize(ASerializer);
    } else if (ASerializer.BeginObjectRead(ItemName)) {
      // Steps over the element the iterator entered, so the next one lines up.
      ASerializer.EndObjectRead(ItemName);
    }
  }
  ASerializer.EndObjectRead(Name);
}
