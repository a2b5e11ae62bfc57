#pragma once
// The object mapper: the list of an object's mapped properties, built from
// the attributes of its class (or from the object itself through
// IObjectMapping), and two passes over it. The write pass hands every
// mapped value to the data source, the read pass sets every property from
// it. The data source is reached only through the hooks below, which a
// concrete mapper implements; key flags, database states, table names and
// encryption are carried for database mappers of the same design.

#include "common/StringRules.h"
#include "serialization/InterfaceList.h"
#include "serialization/MappedProperty.h"

#include <QMetaEnum>
#include <QStringList>

#include <functional>
#include <unordered_map>
#include <vector>

class QIODevice;

// The mapping operations an object that defines its own mapping calls.
class IObjectMapper {
public:
  virtual ~IObjectMapper() = default;
  virtual TMappedProperty* MapKeyStringProperty(const QString& APropertyName,
                                                const QString& AFieldName) = 0;
  virtual TMappedProperty* MapKeyIntegerProperty(const QString& APropertyName,
                                                 const QString& AFieldName) = 0;
  virtual TMappedProperty* MapKeyBooleanProperty(const QString& APropertyName,
                                                 const QString& AFieldName) = 0;
  virtual TMappedProperty* MapKeyEnumProperty(const QString& APropertyName,
                                              const QString& AFieldName) = 0;
  virtual TMappedProperty* MapStringProperty(const QString& APropertyName,
                                             const QString& AFieldName) = 0;
  virtual TMappedProperty* MapStringProperty(const QString& APropertyName,
                                             const QString& AFieldName, bool ANullIfEmpty) = 0;
  virtual TMappedProperty* MapStringProperty(const QString& APropertyName,
                                             const QString& AFieldName, bool AExistsInDatabase,
                                             bool ANullIfEmpty) = 0;
  virtual TMappedProperty* MapStringListProperty(const QString& APropertyName,
                                                 const QString& AFieldName,
                                                 bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapCryptedStringProperty(const QString& APropertyName,
                                                    const QString& AFieldName) = 0;
  virtual TMappedProperty* MapIntegerProperty(const QString& APropertyName,
                                              const QString& AFieldName,
                                              bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapFloatProperty(const QString& APropertyName, const QString& AFieldName,
                                            bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapInt64Property(const QString& APropertyName, const QString& AFieldName,
                                            bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapBooleanProperty(const QString& APropertyName,
                                              const QString& AFieldName,
                                              bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapEnumProperty(const QString& APropertyName, const QString& AFieldName,
                                           bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapSetProperty(const QString& APropertyName, const QString& AFieldName,
                                          bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapDateTimeProperty(const QString& APropertyName,
                                               const QString& AFieldName,
                                               bool AExistsInDatabase = true) = 0;
  virtual TMappedProperty* MapStreamProperty(const QString& APropertyName,
                                             const QString& AFieldName,
                                             bool AExistsInDatabase = true) = 0;
  virtual void SetTableName(const QString& AValue) = 0;
  virtual void SetEncryptionSalt(const QString& AValue) = 0;
  virtual TMappedProperty* AddAggregation(const QString& APropertyName, const QString& ALink,
                                          bool AUpdateFirst) = 0;
  virtual bool FlagPropertyReadOnlyInDatabase(const QString& APropertyName) = 0;
  virtual bool FlagPropertyNotAvailableInDatabase(const QString& APropertyName) = 0;
};

// Implemented by objects whose class carries no ObjectMapping attribute.
class IObjectMapping {
public:
  virtual ~IObjectMapping() = default;
  virtual void DefineObjectMapping(IObjectMapper& AMapper) = 0;
};

class TAbstractObjectMapper {
public:
  virtual ~TAbstractObjectMapper() = default;
  QObject* MappedObject() const { return GetMappedObject(); }
  virtual QObject* GetMappedObject() const = 0;
  virtual void SetMappedObject(QObject* AValue) = 0;
  virtual bool ReadFromDatasource() = 0;
  virtual bool UpdateDataSource() = 0;
  virtual bool DeleteFromDataSource() = 0;
  virtual bool FlagPropertyReadOnlyInDatabase(const QString& APropertyName) = 0;
  virtual bool FlagPropertyNotAvailableInDatabase(const QString& APropertyName) = 0;
};

// The string encryption the maker ships as a library of its own. Only
// encrypted properties ask for it; none of this system's are.
class IStringCipher {
public:
  virtual ~IStringCipher() = default;
  virtual QString EncryptString(const QString& AText) = 0;
  virtual QString DecryptString(const QString& AText) = 0;
};
// Finds the cipher library; null with the system error code in *AError
// when it cannot be loaded. On Linux there is none to find.
using TStringCipherLoader = std::function<std::unique_ptr<IStringCipher>(std::uint32_t* AError)>;
TStringCipherLoader ReplaceStringCipherLoader(TStringCipherLoader ALoader);

class TObjectMapper : public TAbstractObjectMapper, public IObjectMapper {
public:
  explicit TObjectMapper(QObject* AObject);
  ~TObjectMapper() override;
  TObjectMapper(const TObjectMapper&) = delete;
  TObjectMapper& operator=(const TObjectMapper&) = delete;

  QObject* GetMappedObject() const override { return FMappedObject; }
  void SetMappedObject(QObject* AValue) override;
  bool ReadFromDatasource() override;
  bool UpdateDataSource() override;
  bool DeleteFromDataSource() override { return false; }
  bool FlagPropertyReadOnlyInDatabase(const QString& APropertyName) override;
  bool FlagPropertyNotAvailableInDatabase(const QString& APropertyName) override;

  const QString& TableName() const { return FTableName; }
  void SetTableName(const QString& AValue) override;
  const QString& EncryptionSalt() const { return FEncryptionSalt; }
  void SetEncryptionSalt(const QString& AValue) override;
  TMappedPropertyList& MappedProperties() { return FMappedProperties; }
  const std::vector<TMappedProperty*>& AggregatedProperties() const {
    return FAggregatedProperties;
  }
  // The first entry for APropertyName, compared without regard to case.
  TMappedProperty* FindProperty(const QString& APropertyName) const;

  TMappedProperty* MapKeyStringProperty(const QString& APropertyName,
                                        const QString& AFieldName) override;
  TMappedProperty* MapKeyIntegerProperty(const QString& APropertyName,
                                         const QString& AFieldName) override;
  TMappedProperty* MapKeyBooleanProperty(const QString& APropertyName,
                                         const QString& AFieldName) override;
  TMappedProperty* MapKeyEnumProperty(const QString& APropertyName,
                                      const QString& AFieldName) override;
  TMappedProperty* MapStringProperty(const QString& APropertyName,
                                     const QString& AFieldName) override;
  TMappedProperty* MapStringProperty(const QString& APropertyName, const QString& AFieldName,
                                     bool ANullIfEmpty) override;
  TMappedProperty* MapStringProperty(const QString& APropertyName, const QString& AFieldName,
                                     bool AExistsInDatabase, bool ANullIfEmpty) override;
  TMappedProperty* MapStringListProperty(const QString& APropertyName, const QString& AFieldName,
                                         bool AExistsInDatabase = true) override;
  TMappedProperty* MapCryptedStringProperty(const QString& APropertyName,
                                            const QString& AFieldName) override;
  TMappedProperty* MapIntegerProperty(const QString& APropertyName, const QString& AFieldName,
                                      bool AExistsInDatabase = true) override;
  TMappedProperty* MapFloatProperty(const QString& APropertyName, const QString& AFieldName,
                                    bool AExistsInDatabase = true) override;
  TMappedProperty* MapInt64Property(const QString& APropertyName, const QString& AFieldName,
                                    bool AExistsInDatabase = true) override;
  TMappedProperty* MapBooleanProperty(const QString& APropertyName, const QString& AFieldName,
                                      bool AExistsInDatabase = true) override;
  TMappedProperty* MapEnumProperty(const QString& APropertyName, const QString& AFieldName,
                                   bool AExistsInDatabase = true) override;
  TMappedProperty* MapSetProperty(const QString& APropertyName, const QString& AFieldName,
                                  bool AExistsInDatabase = true) override;
  TMappedProperty* MapDateTimeProperty(const QString& APropertyName, const QString& AFieldName,
                                       bool AExistsInDatabase = true) override;
  TMappedProperty* MapStreamProperty(const QString& APropertyName, const QString& AFieldName,
                                     bool AExistsInDatabase = true) override;
  TMappedProperty* AddAggregation(const QString& APropertyName, const QString& ALink,
                                  bool AUpdateFirst) override;

protected:
  virtual void BuildMapping();
  virtual void SetRegistryKey(const QString&) {}

  // The data-source hooks. A read hook answers whether the source holds the
  // value; false leaves the property as it is.
  virtual bool BeginReadGroup(TMappedPropertyList&) { return true; }
  virtual bool BeginWriteGroup(TMappedPropertyList&) { return true; }
  virtual void EndReadGroup(TMappedPropertyList&) {}
  virtual void EndWriteGroup(TMappedPropertyList&) {}
  virtual QString GetFieldName(const TMappedProperty& AProperty) const;
  virtual bool ReadBoolean(const QString& AFieldName, bool& AValue) = 0;
  virtual bool ReadDateTime(const QString& AFieldName, double& AValue) = 0;
  virtual bool ReadFloat(const QString& AFieldName, double& AValue) = 0;
  virtual bool ReadInt64(const QString& AFieldName, qint64& AValue) = 0;
  virtual bool ReadInteger(const QString& AFieldName, int& AValue) = 0;
  virtual bool ReadStream(const QString& AFieldName, QIODevice* AValue) = 0;
  virtual bool ReadString(const QString& AFieldName, QString& AValue) = 0;
  virtual bool ReadStrings(const QString& AFieldName, QStringList& AValue) = 0;
  virtual void ReadInterface(const QString&, IInterfaceList*) {}
  virtual bool ReadSet(const QString& AFieldName, QString& AText, const QMetaEnum& ATypeInfo);
  virtual void WriteBoolean(const QString& AFieldName, bool AValue) = 0;
  virtual void WriteDateTime(const QString& AFieldName, double AValue) = 0;
  // AValue is the enumeration's value, ATypeInfo its type.
  virtual void WriteEnum(const QString& AFieldName, int AValue, const QMetaEnum& ATypeInfo) = 0;
  virtual void WriteFloat(const QString& AFieldName, double AValue) = 0;
  virtual void WriteInt64(const QString& AFieldName, qint64 AValue) = 0;
  virtual void WriteInteger(const QString& AFieldName, int AValue) = 0;
  virtual void WriteNull(const QString&) {}
  virtual void WriteSet(const QString& AFieldName, const QString& APropertyName,
                        QObject* AObject) = 0;
  virtual void WriteStream(const QString& AFieldName, QIODevice* AValue) = 0;
  virtual void WriteString(const QString& AFieldName, const QString& AValue) = 0;
  virtual void WriteStrings(const QString& AFieldName, const QStringList& AValue) = 0;
  virtual void WriteInterface(const QString&, IInterfaceList*) {}

  bool FIsDataSourceDb = false;

private:
  TMappedProperty* AddMappedProperty(const QString& APropertyName, const QString& AFieldName,
                                     bool AExistsInDatabase);
  TMappedProperty* addKind(TMappedPropertyKind AKind, const QString& APropertyName,
                           const QString& AFieldName, bool AExistsInDatabase);
  void mapFromAttributes();
  void mapProperty(const QMetaProperty& AProperty, const QString& AName,
                   const class MappingAttribute& AAttribute);
  void repoint(TMappedPropertyList& AList, QObject* AOwner);
  void writeGroup(TMappedPropertyList& AList);
  void writeEntry(TMappedProperty& AEntry);
  void readEntry(TMappedProperty& AEntry);
  QString encrypted(const TMappedProperty& AEntry, const QString& AValue);
  QString decrypted(const TMappedProperty& AEntry, const QString& AValue);
  IStringCipher* cipher();

  TMappedPropertyList FMappedProperties;
  // The first entry of each property name (any case), kept with the entries
  // the mapper adds: a mapping is built for every object it moves.
  std::unordered_map<QString, TMappedProperty*, TSameTextHash, TSameText> FFirstByName;
  std::vector<TMappedProperty*> FAggregatedProperties;
  QString FTableName;
  QObject* FMappedObject = nullptr;
  std::unique_ptr<IStringCipher> FVaultkeyHandle;
  QString FEncryptionSalt;
  const QMetaObject* FCurrentObjectClass = nullptr;
};

// Learns the mapping of an aggregated object; it moves no values.
class TAggregationMappingReader : public TObjectMapper {
public:
  using TObjectMapper::TObjectMapper;

protected:
  bool ReadBoolean(const QString&, bool&) override { return false; }
  bool ReadDateTime(const QString&, double&) override { return false; }
  bool ReadFloat(const QString&, double&) override { return false; }
  bool ReadInt64(const QString&, qint64&) override { return false; }
  bool ReadInteger(const QString&, int&) override { return false; }
  bool ReadStream(const QString&, QIODevice*) override { return false; }
  bool ReadString(const QString&, QString&) override { return false; }
  bool ReadStrings(const QString&, QStringList&) override { return false; }
  void WriteBoolean(const QString&, bool) override {}
  void WriteDateTime(const QString&, double) override {}
  void WriteEnum(const QString&, int, const QMetaEnum&) override {}
  void WriteFloat(const QString&, double) override {}
  void WriteInt64(const QString&, qint64) override {}
  void WriteInteger(const QString&, int) override {}
  void WriteSet(const QString&, const QString&, QObject*) override {}
  void WriteStream(const QString&, QIODevice*) override {}
  void WriteString(const QString&, const QString&) override {}
  void WriteStrings(const QString&, const QStringList&) override {}
};

// The member names of a set value, joined by commas, and back; "[...]"
// around the names is accepted on reading, a decimal number is the bits
// themselves.
QString SetToString(const QMetaEnum& ATypeInfo, int AValue);
int StringToSet(const QMetaEnum& ATypeInfo, const QString& AText);
