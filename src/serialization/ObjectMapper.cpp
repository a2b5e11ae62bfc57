#include "serialization/ObjectMapper.h"

#include "common/Assert.h"
#include "common/DateTime.h"
#include "common/Exceptions.h"
#include "common/WinError.h"
#include "logging/MorvelDebug.h"
#include "serialization/ObjectMapperAttributes.h"
#include "serialization/PropertyKinds.h"

#include <QHash>
#include <QIODevice>
#include <QMetaProperty>

#include <bit>
#include <mutex>

// ---- the cipher library ------------------------------------------------------------

namespace {
std::mutex CipherLock;
// The library is a Windows one; on Linux there is nothing to load.
TStringCipherLoader CipherLoader = [](std::uint32_t* AError) -> std::unique_ptr<IStringCipher> {
  *AError = ERROR_MOD_NOT_FOUND;
  return nullptr;
};
} // namespace

TStringCipherLoader ReplaceStringCipherLoader(TStringCipherLoader ALoader) {
  std::lock_guard Guard(CipherLock);
  return std::exchange(CipherLoader, std::move(ALoader));
}

// ---- property access ------------------------------------------------------------------

namespace {
QLatin1String kindName(const QMetaProperty& AProperty) {
  return TypeKindName(PropertyTypeKind(AProperty));
}

int findPropertyIndex(const QMetaObject* AClass, const QString& AName) {
  const int Exact = AClass->indexOfProperty(AName.toLatin1().constData());
  if (Exact >= 0)
    return Exact;
  for (int I = 0; I < AClass->propertyCount(); ++I)
    if (AName.compare(QLatin1String(AClass->property(I).name()), Qt::CaseInsensitive) == 0)
      return I;
  throw EPropertyError(QStringLiteral("Property [%1] not found in class").arg(AName));
}

QMetaProperty findProperty(const QObject* AOwner, const QString& AName) {
  // A class answers a name the same way every time, and the passes ask for
  // every value they move: the answers are kept, one table per thread.
  thread_local std::unordered_map<const QMetaObject*, QHash<QString, int>> Known;
  const QMetaObject* Class = AOwner->metaObject();
  QHash<QString, int>& Names = Known[Class];
  auto Found = Names.constFind(AName);
  if (Found == Names.cend())
    Found = Names.insert(AName, findPropertyIndex(Class, AName));
  return Class->property(*Found);
}

// The property, checked to be of one of the kinds AAllowed names.
QMetaProperty accessProperty(const QObject* AOwner, const QString& AName,
                             std::initializer_list<const char*> AAllowed) {
  const QMetaProperty Property = findProperty(AOwner, AName);
  const QLatin1String Kind = kindName(Property);
  QStringList Allowed;
  for (const char* Name : AAllowed) {
    if (Kind == QLatin1String(Name))
      return Property;
    Allowed << QLatin1String(Name);
  }
  throw EInvalidCast(
      QStringLiteral("Property [%1] has the wrong data type %2.\r\nValid data types are: [%3]")
          .arg(AName, Kind, Allowed.join(u',')));
}

QVariant read(const QObject* AOwner, const QString& AName,
              std::initializer_list<const char*> AAllowed) {
  return accessProperty(AOwner, AName, AAllowed).read(AOwner);
}

void write(QObject* AOwner, const QString& AName, std::initializer_list<const char*> AAllowed,
           const QVariant& AValue) {
  const QMetaProperty Property = accessProperty(AOwner, AName, AAllowed);
  if (!Property.write(AOwner, AValue))
    throw EPropertyError(QStringLiteral("Property [%1] cannot be written").arg(AName));
}

qint64 readInt64(const QObject* AOwner, const QString& AName) {
  const QMetaProperty Property = accessProperty(AOwner, AName, {"tkInt64"});
  const QVariant Value = Property.read(AOwner);
  return Property.metaType().id() == QMetaType::ULongLong ? qint64(Value.toULongLong())
                                                          : Value.toLongLong();
}

void writeInt64(QObject* AOwner, const QString& AName, qint64 AValue) {
  const QMetaProperty Property = accessProperty(AOwner, AName, {"tkInt64"});
  QVariant Value;
  switch (Property.metaType().id()) {
  case QMetaType::ULongLong:
    Value = QVariant::fromValue(quint64(AValue));
    break;
  case QMetaType::UInt:
    if (AValue < 0 || AValue > qint64(UINT32_MAX))
      throw EConvertError(QStringLiteral("%1 is not a valid unsigned 32-bit value").arg(AValue));
    Value = QVariant::fromValue(uint(AValue));
    break;
  default:
    Value = QVariant::fromValue(AValue);
  }
  Property.write(AOwner, Value);
}

double readFloat(const QObject* AOwner, const QString& AName) {
  const QVariant Value = read(AOwner, AName, {"tkFloat"});
  return Value.metaType() == QMetaType::fromType<TDateTime>() ? Value.value<TDateTime>().Value
                                                              : Value.toDouble();
}

void writeFloat(QObject* AOwner, const QString& AName, double AValue) {
  const QMetaProperty Property = accessProperty(AOwner, AName, {"tkFloat"});
  Property.write(AOwner, Property.metaType() == QMetaType::fromType<TDateTime>()
                             ? QVariant::fromValue(TDateTime{AValue})
                             : QVariant(AValue));
}

QStringList readStrings(const QObject* AOwner, const QString& AName) {
  const QMetaProperty Property = accessProperty(AOwner, AName, {"tkClass"});
  if (Property.metaType().id() != QMetaType::QStringList)
    throw EInvalidCast(QStringLiteral("Property [%1] is not of type TStrings").arg(AName));
  return Property.read(AOwner).toStringList();
}

QIODevice* readStream(const QObject* AOwner, const QString& AName) {
  auto* Stream = qobject_cast<QIODevice*>(read(AOwner, AName, {"tkClass"}).value<QObject*>());
  if (!Stream)
    throw EInvalidCast(QStringLiteral("Property [%1] is not of type TStream").arg(AName));
  return Stream;
}

IInterfaceList* readInterface(const QObject* AOwner, const QString& AName) {
  return read(AOwner, AName, {"tkInterface"}).value<IInterfaceList*>();
}
} // namespace

QString SetToString(const QMetaEnum& ATypeInfo, int AValue) {
  QStringList Names;
  for (int Bit = 0; Bit < 32; ++Bit)
    if ((uint(AValue) >> Bit) & 1)
      if (const char* Key = ATypeInfo.valueToKey(int(1u << Bit)))
        Names << QLatin1String(Key);
  return Names.join(u',');
}

int StringToSet(const QMetaEnum& ATypeInfo, const QString& AText) {
  bool IsNumber = false;
  const int Bits = AText.trimmed().toInt(&IsNumber);
  if (IsNumber)
    return Bits;
  QString Names = AText.trimmed();
  if (Names.startsWith(u'[') && Names.endsWith(u']'))
    Names = Names.mid(1, Names.size() - 2);
  int Result = 0;
  for (const QString& Part : Names.split(u',', Qt::SkipEmptyParts)) {
    const QString Name = Part.trimmed();
    bool Found = false;
    for (int I = 0; I < ATypeInfo.keyCount() && !Found; ++I)
      if (std::has_single_bit(uint(ATypeInfo.value(I))) &&
          Name.compare(QLatin1String(ATypeInfo.key(I)), Qt::CaseInsensitive) == 0) {
        Result |= ATypeInfo.value(I);
        Found = true;
      }
    if (!Found)
      throw EConvertError(QStringLiteral("Invalid property element: %1").arg(Name));
  }
  return Result;
}

// ---- construction and the mapping ------------------------------------------------------

TObjectMapper::TObjectMapper(QObject* AObject) {
  SetMappedObject(AObject);
}

TObjectMapper::~TObjectMapper() = default;

void TObjectMapper::SetMappedObject(QObject* AValue) {
  if (AValue == FMappedObject)
    return;
  FMappedObject = AValue;
  if (!AValue)
    return;
  if (AValue->metaObject() == FCurrentObjectClass) {
    repoint(FMappedProperties, AValue);
    return;
  }
  FCurrentObjectClass = AValue->metaObject();
  BuildMapping();
}

void TObjectMapper::repoint(TMappedPropertyList& AList, QObject* AOwner) {
  for (TMappedProperty* Entry : AList) {
    Entry->SetOwner(AOwner);
    if (Entry->PropertyKind() == pkAggregation) {
      QObject* Held = read(AOwner, Entry->PropertyName(), {"tkClass"}).value<QObject*>();
      Entry->SetOwner(Held);
      for (TMappedProperty* Aggregated : Entry->AggregatedProperties())
        Aggregated->SetOwner(Held);
    }
  }
}

void TObjectMapper::BuildMapping() {
  const TClassDescription& Description = DescribeClass(FCurrentObjectClass);
  if (Description.HasObjectMapping) {
    FMappedProperties.Clear();
    FFirstByName.clear();
    FFirstByName.reserve(Description.Properties.size());
    FAggregatedProperties.clear();
    for (const TPropertyDescription& Property : Description.Properties)
      if (Property.Mapping)
        mapProperty(Property.Property, Property.Name, *Property.Mapping);
    SetTableName(Description.TableName ? Description.TableName->Name() : QString());
    SetRegistryKey(Description.RegKey ? Description.RegKey->Name() : QString());
    return;
  }
  auto* Mapping = dynamic_cast<IObjectMapping*>(FMappedObject);
  if (!Mapping) {
    const QString Text = QStringLiteral("Class [%1] does not implement \"IObjectMapping\"")
                             .arg(QLatin1String(FCurrentObjectClass->className()));
    GetLogger()->LogError(Text);
    throw ENotSupportedException(Text);
  }
  FMappedProperties.Clear();
  FFirstByName.clear();
  FAggregatedProperties.clear();
  Mapping->DefineObjectMapping(*this);
}

void TObjectMapper::mapProperty(const QMetaProperty& AProperty, const QString& AName,
                                const MappingAttribute& AAttribute) {
  if (FindProperty(AName))
    return;
  const QString Field = AAttribute.Name().trimmed().isEmpty() ? AName : AAttribute.Name();
  const bool Key = AAttribute.IsKeyField();
  const bool Exists = AAttribute.ExistsInDatabase();
  const QLatin1String Kind = kindName(AProperty);
  const QMetaType Type = AProperty.metaType();
  TMappedProperty* Entry = nullptr;
  if (Kind == QLatin1String("tkInteger")) {
    Entry = Key ? MapKeyIntegerProperty(AName, Field) : MapIntegerProperty(AName, Field, Exists);
  } else if (Type.id() == QMetaType::Bool) {
    Entry = Key ? MapKeyBooleanProperty(AName, Field) : MapBooleanProperty(AName, Field, Exists);
  } else if (Kind == QLatin1String("tkEnumeration")) {
    Entry = Key ? MapKeyEnumProperty(AName, Field) : MapEnumProperty(AName, Field, Exists);
  } else if (Type == QMetaType::fromType<TDateTime>()) {
    Entry = MapDateTimeProperty(AName, Field, Exists);
  } else if (Kind == QLatin1String("tkFloat")) {
    Entry = MapFloatProperty(AName, Field, Exists);
  } else if (Kind == QLatin1String("tkUString")) {
    Entry = Key ? MapKeyStringProperty(AName, Field)
                : MapStringProperty(AName, Field, Exists, AAttribute.AddNullIfEmpty());
    Entry->SetIsCrypted(AAttribute.IsCrypted());
  } else if (Kind == QLatin1String("tkSet")) {
    Entry = MapSetProperty(AName, Field, Exists);
  } else if (Type.id() == QMetaType::QStringList) {
    Entry = MapStringListProperty(AName, Field, Exists);
  } else if (Kind == QLatin1String("tkClass")) {
    // Only an object that is a stream at this moment is mapped.
    if (qobject_cast<QIODevice*>(AProperty.read(FMappedObject).value<QObject*>()))
      Entry = MapStreamProperty(AName, Field, Exists);
  } else if (Kind == QLatin1String("tkInterface")) {
    Entry = addKind(pkInterface, AName, Field, Exists);
  } else if (Kind == QLatin1String("tkInt64")) {
    Entry = MapInt64Property(AName, Field, Exists);
  }
  if (Entry && AAttribute.DbState() != dsAvailable)
    FindProperty(AName)->SetDbState(AAttribute.DbState());
}

TMappedProperty* TObjectMapper::AddMappedProperty(const QString& APropertyName,
                                                  const QString& AFieldName,
                                                  bool AExistsInDatabase) {
  Assert(!APropertyName.trimmed().isEmpty(), QStringLiteral("APropertyName can not be empty"));
  Assert(!AFieldName.trimmed().isEmpty(), QStringLiteral("AFieldName can not be empty"));
  TMappedProperty* Entry = FMappedProperties.AddNew();
  FFirstByName.try_emplace(APropertyName, Entry);
  Entry->SetPropertyName(APropertyName);
  Entry->SetFieldName(AFieldName);
  Entry->SetTableName(FTableName);
  Entry->SetOwner(FMappedObject);
  Entry->SetEncryptionSaltOfOwnerObject(FEncryptionSalt);
  if (!AExistsInDatabase)
    Entry->SetDbState(dsNotAvailable);
  return Entry;
}

TMappedProperty* TObjectMapper::addKind(TMappedPropertyKind AKind, const QString& APropertyName,
                                        const QString& AFieldName, bool AExistsInDatabase) {
  TMappedProperty* Entry = AddMappedProperty(APropertyName, AFieldName, AExistsInDatabase);
  Entry->SetPropertyKind(AKind);
  return Entry;
}

namespace {
TMappedProperty* key(TMappedProperty* AEntry) {
  AEntry->SetIsKeyProperty(true);
  return AEntry;
}
} // namespace

TMappedProperty* TObjectMapper::MapKeyStringProperty(const QString& P, const QString& F) {
  return key(addKind(pkString, P, F, true));
}
TMappedProperty* TObjectMapper::MapKeyIntegerProperty(const QString& P, const QString& F) {
  return key(addKind(pkInteger, P, F, true));
}
TMappedProperty* TObjectMapper::MapKeyBooleanProperty(const QString& P, const QString& F) {
  return key(addKind(pkBoolean, P, F, true));
}
TMappedProperty* TObjectMapper::MapKeyEnumProperty(const QString& P, const QString& F) {
  return key(addKind(pkEnum, P, F, true));
}
TMappedProperty* TObjectMapper::MapStringProperty(const QString& P, const QString& F) {
  return addKind(pkString, P, F, true);
}
TMappedProperty* TObjectMapper::MapStringProperty(const QString& P, const QString& F,
                                                  bool ANullIfEmpty) {
  TMappedProperty* Entry = addKind(pkString, P, F, true);
  if (ANullIfEmpty)
    Entry->SetDbState(dsNullIfEmpty);
  return Entry;
}
TMappedProperty* TObjectMapper::MapStringProperty(const QString& P, const QString& F,
                                                  bool AExistsInDatabase, bool ANullIfEmpty) {
  TMappedProperty* Entry = addKind(pkString, P, F, AExistsInDatabase);
  if (AExistsInDatabase && ANullIfEmpty)
    Entry->SetDbState(dsNullIfEmpty);
  return Entry;
}
TMappedProperty* TObjectMapper::MapStringListProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkStringList, P, F, E);
}
TMappedProperty* TObjectMapper::MapCryptedStringProperty(const QString& P, const QString& F) {
  TMappedProperty* Entry = addKind(pkString, P, F, true);
  Entry->SetIsCrypted(true);
  return Entry;
}
TMappedProperty* TObjectMapper::MapIntegerProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkInteger, P, F, E);
}
TMappedProperty* TObjectMapper::MapFloatProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkFloat, P, F, E);
}
TMappedProperty* TObjectMapper::MapInt64Property(const QString& P, const QString& F, bool E) {
  return addKind(pkInt64, P, F, E);
}
TMappedProperty* TObjectMapper::MapBooleanProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkBoolean, P, F, E);
}
TMappedProperty* TObjectMapper::MapEnumProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkEnum, P, F, E);
}
TMappedProperty* TObjectMapper::MapSetProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkSet, P, F, E);
}
TMappedProperty* TObjectMapper::MapDateTimeProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkDateTime, P, F, E);
}
TMappedProperty* TObjectMapper::MapStreamProperty(const QString& P, const QString& F, bool E) {
  return addKind(pkStream, P, F, E);
}

TMappedProperty* TObjectMapper::AddAggregation(const QString& APropertyName, const QString& ALink,
                                               bool AUpdateFirst) {
  QObject* Held = read(FMappedObject, APropertyName, {"tkClass"}).value<QObject*>();
  if (!Held)
    return nullptr;
  TMappedProperty* Entry = FMappedProperties.AddNew();
  FFirstByName.try_emplace(APropertyName, Entry);
  Entry->SetPropertyName(APropertyName);
  Entry->SetFieldName(APropertyName);
  Entry->SetPropertyKind(pkAggregation);
  Entry->SetAggregationLink(ALink);
  Entry->SetOwner(Held);
  Entry->SetUpdateAggregationFirst(AUpdateFirst);
  FAggregatedProperties.push_back(Entry);
  TAggregationMappingReader Reader(Held);
  Entry->SetEncryptionSaltOfOwnerObject(Reader.EncryptionSalt());
  for (const TMappedProperty* Aggregated : Reader.MappedProperties()) {
    TMappedProperty* Copy = Entry->AggregatedProperties().AddNew();
    Copy->Assign(Aggregated);
    Copy->SetAggregationLink(APropertyName);
  }
  return Entry;
}

TMappedProperty* TObjectMapper::FindProperty(const QString& APropertyName) const {
  const auto Found = FFirstByName.find(APropertyName);
  return Found == FFirstByName.end() ? nullptr : Found->second;
}

namespace {
bool flagProperty(const TMappedPropertyList& AList, const QString& APropertyName,
                  TMappedPropertyDbState AState) {
  for (TMappedProperty* Entry : AList) {
    if (Entry->PropertyName().compare(APropertyName, Qt::CaseInsensitive) == 0) {
      Entry->SetDbState(AState);
      return true;
    }
    if (flagProperty(Entry->AggregatedProperties(), APropertyName, AState))
      return true;
  }
  return false;
}
} // namespace

bool TObjectMapper::FlagPropertyReadOnlyInDatabase(const QString& APropertyName) {
  return flagProperty(FMappedProperties, APropertyName, dsReadOnly);
}

bool TObjectMapper::FlagPropertyNotAvailableInDatabase(const QString& APropertyName) {
  return flagProperty(FMappedProperties, APropertyName, dsNotAvailable);
}

void TObjectMapper::SetTableName(const QString& AValue) {
  if (AValue.compare(FTableName, Qt::CaseInsensitive) == 0)
    return;
  FTableName = AValue;
  for (TMappedProperty* Entry : FMappedProperties)
    if (Entry->PropertyKind() != pkAggregation)
      Entry->SetTableName(AValue);
}

void TObjectMapper::SetEncryptionSalt(const QString& AValue) {
  if (AValue.compare(FEncryptionSalt, Qt::CaseInsensitive) == 0)
    return;
  FEncryptionSalt = AValue;
  for (TMappedProperty* Entry : FMappedProperties)
    if (Entry->PropertyKind() != pkAggregation)
      Entry->SetEncryptionSaltOfOwnerObject(AValue);
}

QString TObjectMapper::GetFieldName(const TMappedProperty& AProperty) const {
  return AProperty.FieldName();
}

bool TObjectMapper::ReadSet(const QString& AFieldName, QString& AText, const QMetaEnum&) {
  return ReadString(AFieldName, AText);
}

// ---- encryption ------------------------------------------------------------------

IStringCipher* TObjectMapper::cipher() {
  if (!FVaultkeyHandle) {
    TStringCipherLoader Loader;
    {
      std::lock_guard Guard(CipherLock);
      Loader = CipherLoader;
    }
    std::uint32_t Error = 0;
    FVaultkeyHandle = Loader ? Loader(&Error) : nullptr;
    if (!FVaultkeyHandle)
      GetLogger()->LogWin32Error(QStringLiteral("Failed to load \"vaultkey.dll\""), Error, 0);
  }
  return FVaultkeyHandle.get();
}

// Without the library the value passes unchanged; the next value tries again.
QString TObjectMapper::encrypted(const TMappedProperty& AEntry, const QString& AValue) {
  IStringCipher* Cipher = cipher();
  return Cipher ? Cipher->EncryptString(AEntry.EncryptionSaltOfOwnerObject() + AValue) : AValue;
}

QString TObjectMapper::decrypted(const TMappedProperty& AEntry, const QString& AValue) {
  IStringCipher* Cipher = cipher();
  if (!Cipher)
    return AValue;
  const QString Plain = Cipher->DecryptString(AValue);
  const QString& Salt = AEntry.EncryptionSaltOfOwnerObject();
  return Plain.startsWith(Salt) ? Plain.mid(Salt.size()) : Plain;
}

// ---- the passes --------------------------------------------------------------------

bool TObjectMapper::UpdateDataSource() {
  try {
    if (FIsDataSourceDb)
      for (TMappedProperty* Aggregation : FAggregatedProperties)
        if (Aggregation->DbState() == dsAvailable && Aggregation->UpdateAggregationFirst())
          writeGroup(Aggregation->AggregatedProperties());
    writeGroup(FMappedProperties);
    if (FIsDataSourceDb)
      for (TMappedProperty* Aggregation : FAggregatedProperties)
        if (Aggregation->DbState() == dsAvailable && !Aggregation->UpdateAggregationFirst())
          writeGroup(Aggregation->AggregatedProperties());
  } catch (...) {
    GetLogger()->LogException(QString(), std::current_exception());
    GetLogger()->LogError(QStringLiteral("Failed to update data source"));
    return false;
  }
  return true;
}

void TObjectMapper::writeGroup(TMappedPropertyList& AList) {
  if (AList.IsEmpty() || !BeginWriteGroup(AList))
    return;
  try {
    for (TMappedProperty* Entry : AList)
      writeEntry(*Entry);
  } catch (...) {
    EndWriteGroup(AList);
    throw;
  }
  EndWriteGroup(AList);
}

void TObjectMapper::writeEntry(TMappedProperty& AEntry) {
  if (FIsDataSourceDb && (AEntry.DbState() == dsNotAvailable || AEntry.DbState() == dsReadOnly))
    return;
  QObject* Owner = AEntry.Owner();
  const QString& Name = AEntry.PropertyName();
  const QString Field = GetFieldName(AEntry);
  switch (AEntry.PropertyKind()) {
  case pkString: {
    QString Value = read(Owner, Name, {"tkUString"}).toString();
    if (FIsDataSourceDb && AEntry.DbState() == dsNullIfEmpty && Value.trimmed().isEmpty()) {
      WriteNull(Field);
      return;
    }
    if (AEntry.IsCrypted())
      Value = encrypted(AEntry, Value);
    WriteString(Field, Value);
    return;
  }
  case pkInteger:
    WriteInteger(Field, read(Owner, Name, {"tkInteger", "tkEnumeration", "tkSet"}).toInt());
    return;
  case pkBoolean:
    WriteBoolean(Field, read(Owner, Name, {"tkEnumeration"}).toBool());
    return;
  case pkEnum: {
    const QMetaProperty Property = accessProperty(Owner, Name, {"tkEnumeration"});
    WriteEnum(Field, Property.read(Owner).toInt(), Property.enumerator());
    return;
  }
  case pkSet:
    accessProperty(Owner, Name, {"tkSet"});
    WriteSet(Field, Name, Owner);
    return;
  case pkStringList:
    WriteStrings(Field, readStrings(Owner, Name));
    return;
  case pkDateTime:
    WriteDateTime(Field, readFloat(Owner, Name));
    return;
  case pkFloat:
    WriteFloat(Field, readFloat(Owner, Name));
    return;
  case pkInt64:
    WriteInt64(Field, readInt64(Owner, Name));
    return;
  case pkStream:
    WriteStream(Field, readStream(Owner, Name));
    return;
  case pkAggregation:
    if (!FIsDataSourceDb)
      writeGroup(AEntry.AggregatedProperties());
    return;
  case pkInterface:
    WriteInterface(Field, readInterface(Owner, Name));
    return;
  case pkUndefined:
    return;
  }
}

bool TObjectMapper::ReadFromDatasource() {
  try {
    if (!BeginReadGroup(FMappedProperties))
      return false;
    try {
      for (TMappedProperty* Entry : FMappedProperties)
        readEntry(*Entry);
    } catch (...) {
      EndReadGroup(FMappedProperties);
      throw;
    }
    EndReadGroup(FMappedProperties);
  } catch (...) {
    GetLogger()->LogException(QString(), std::current_exception());
    GetLogger()->LogError(QStringLiteral("Read from data source failed"));
    return false;
  }
  return true;
}

void TObjectMapper::readEntry(TMappedProperty& AEntry) {
  if (FIsDataSourceDb && AEntry.DbState() == dsNotAvailable)
    return;
  QObject* Owner = AEntry.Owner();
  const QString& Name = AEntry.PropertyName();
  const QString Field = GetFieldName(AEntry);
  switch (AEntry.PropertyKind()) {
  case pkString: {
    QString Value;
    if (ReadString(Field, Value))
      write(Owner, Name, {"tkUString"}, AEntry.IsCrypted() ? decrypted(AEntry, Value) : Value);
    return;
  }
  case pkInteger: {
    int Value = 0;
    if (ReadInteger(Field, Value))
      write(Owner, Name, {"tkInteger", "tkEnumeration", "tkSet"}, Value);
    return;
  }
  case pkBoolean: {
    bool Value = false;
    if (ReadBoolean(Field, Value))
      write(Owner, Name, {"tkEnumeration"}, Value);
    return;
  }
  case pkEnum: {
    QString Text;
    if (!ReadString(Field, Text))
      return;
    // The ordinal is the position in the declaration, as in the files.
    const QMetaProperty Property = accessProperty(Owner, Name, {"tkEnumeration"});
    const QMetaEnum Type = Property.enumerator();
    for (int I = 0; I < Type.keyCount(); ++I)
      if (Type.value(I) < 0 || Type.value(I) > 0xFFFF)
        throw EConvertError(QStringLiteral("%1 is too large").arg(QLatin1String(Type.name())));
    bool IsNumber = false;
    const int Ordinal = Text.trimmed().toInt(&IsNumber);
    int Value = Type.keyCount() > 0 ? Type.value(0) : 0;
    if (IsNumber) {
      if (Ordinal < 0 || Ordinal >= Type.keyCount())
        throw EConvertError(QStringLiteral("%1 is not a valid ordinal of %2")
                                .arg(Ordinal)
                                .arg(QLatin1String(Type.name())));
      Value = Type.value(Ordinal);
    } else if (!Text.trimmed().isEmpty()) {
      bool Found = false;
      for (int I = 0; I < Type.keyCount() && !Found; ++I)
        if (Text.trimmed().compare(QLatin1String(Type.key(I)), Qt::CaseInsensitive) == 0) {
          Value = Type.value(I);
          Found = true;
        }
      if (!Found)
        throw EConvertError(QStringLiteral("Invalid property element: %1").arg(Text));
    }
    Property.write(Owner, Value);
    return;
  }
  case pkSet: {
    const QMetaProperty Property = accessProperty(Owner, Name, {"tkSet"});
    QString Text;
    if (ReadSet(Field, Text, Property.enumerator()))
      Property.write(Owner, StringToSet(Property.enumerator(), Text));
    return;
  }
  case pkStringList: {
    QStringList Value = readStrings(Owner, Name);
    if (ReadStrings(Field, Value))
      write(Owner, Name, {"tkClass"}, Value);
    return;
  }
  case pkDateTime:
  case pkFloat: {
    double Value = 0;
    if (AEntry.PropertyKind() == pkDateTime ? ReadDateTime(Field, Value) : ReadFloat(Field, Value))
      writeFloat(Owner, Name, Value);
    return;
  }
  case pkInt64: {
    qint64 Value = 0;
    if (ReadInt64(Field, Value))
      writeInt64(Owner, Name, Value);
    return;
  }
  case pkStream:
    ReadStream(Field, readStream(Owner, Name));
    return;
  case pkAggregation:
    if (FIsDataSourceDb) {
      for (TMappedProperty* Aggregated : AEntry.AggregatedProperties())
        readEntry(*Aggregated);
    } else if (BeginReadGroup(AEntry.AggregatedProperties())) {
      try {
        for (TMappedProperty* Aggregated : AEntry.AggregatedProperties())
          readEntry(*Aggregated);
      } catch (...) {
        EndReadGroup(AEntry.AggregatedProperties());
        throw;
      }
      EndReadGroup(AEntry.AggregatedProperties());
    }
    return;
  case pkInterface:
    ReadInterface(Field, readInterface(Owner, Name));
    return;
  case pkUndefined:
    return;
  }
}
