#pragma once
// The object mapper whose data source is a serializer: an object's mapped
// properties become the elements of one element named after its class,
// in mapping order, and are read back from there. Lists behind interface
// properties are written as an element "<ItemClass>List" holding one
// element per item (objects) or as the field's element holding one
// "Value" per item (simple values).

#include "serialization/ObjectMapper.h"
#include "serialization/Serializers.h"

class TXmlObjectMapper : public TObjectMapper {
public:
  explicit TXmlObjectMapper(QObject* AObject);
  ~TXmlObjectMapper() override;

  // One write or read pass over AObject with a mapper of its own for the
  // pass (a fresh one, or one kept from an earlier object of the same class
  // when the mapping follows from the class alone). The answer of the pass
  // is not looked at: a failure is logged and the caller goes on with its
  // next object.
  static void WriteToSerializer(QObject* AObject, TSerializer& ASerializer);
  static void ReadFromSerializer(QObject* AObject, TSerializer& ASerializer);

  TSerializer* Serializer() const { return FSerializer; }
  void SetSerializer(TSerializer* AValue) { FSerializer = AValue; }
  // Written inside the object's element after its properties, and read
  // back there.
  void AddAdditionalSerializedObject(std::shared_ptr<ISerializable> AObject);

  bool ReadFromDatasource() override;
  bool UpdateDataSource() override;

protected:
  bool BeginReadGroup(TMappedPropertyList& AList) override;
  bool BeginWriteGroup(TMappedPropertyList& AList) override;
  void EndReadGroup(TMappedPropertyList& AList) override;
  void EndWriteGroup(TMappedPropertyList& AList) override;
  bool ReadBoolean(const QString& AFieldName, bool& AValue) override;
  bool ReadDateTime(const QString& AFieldName, double& AValue) override;
  bool ReadFloat(const QString& AFieldName, double& AValue) override;
  bool ReadInt64(const QString& AFieldName, qint64& AValue) override;
  bool ReadInteger(const QString& AFieldName, int& AValue) override;
  bool ReadStream(const QString& AFieldName, QIODevice* AValue) override;
  bool ReadString(const QString& AFieldName, QString& AValue) override;
  bool ReadStrings(const QString& AFieldName, QStringList& AValue) override;
  void ReadInterface(const QString& AFieldName, IInterfaceList* AValue) override;
  bool ReadSet(const QString& AFieldName, QString& AText, const QMetaEnum& ATypeInfo) override;
  void WriteBoolean(const QString& AFieldName, bool AValue) override;
  void WriteDateTime(const QString& AFieldName, double AValue) override;
  void WriteEnum(const QString& AFieldName, int AValue, const QMetaEnum& ATypeInfo) override;
  void WriteFloat(const QString& AFieldName, double AValue) override;
  void WriteInt64(const QString& AFieldName, qint64 AValue) override;
  void WriteInteger(const QString& AFieldName, int AValue) override;
  void WriteSet(const QString& AFieldName, const QString& APropertyName, QObject* AObject) override;
  void WriteStream(const QString& AFieldName, QIODevice* AValue) override;
  void WriteString(const QString& AFieldName, const QString& AValue) override;
  void WriteStrings(const QString& AFieldName, const QStringList& AValue) override;
  void WriteInterface(const QString& AFieldName, IInterfaceList* AValue) override;

private:
  TSerializer& serializer() const;
  // The first entry's owner and link; an empty list stands for the mapped
  // object.
  QObject* ownerOf(TMappedPropertyList& AList) const;
  QString linkOf(TMappedPropertyList& AList) const;

  std::vector<std::shared_ptr<ISerializable>> FAdditionalSerilizations;
  TSerializer* FSerializer = nullptr;
  bool FIsMainObjectNodeProcessed = false;
};

// The items of AList under "<ItemClass>List", each writing its own element.
void WriteObjectList(TSerializer& ASerializer, IInterfaceList& AList, const QMetaObject& AItemType);
// The items of "<ItemClass>List" into AList, which is emptied first; a
// missing list element leaves AList as it is.
void ReadObjectList(TSerializer& ASerializer, IInterfaceList& AList, const QMetaObject& AItemType);
