#pragma once
// Named, typed values in a tree of named objects, written to and read from
// one XML document. TSerializer is the contract; TXmlSerializer maps it onto
// TXmlDocument. Objects take part through ISerializable. The list functions
// write and read a whole list of such objects under one list element.
//
// Reading is forgiving where the files may lack something (a missing or
// empty element gives the caller's default) and strict where the text is
// wrong for its kind (a Boolean or integer that does not read raises
// EConvertError).
//
// Enumerations and sets are described by Qt's meta-enumerations. A set is a
// flag type (Q_FLAG): its members are the keys of a single bit, the member
// of ordinal n being the key of value 1 << n, and a set value holds the
// members as those bits.

#include "common/Assert.h"
#include "common/DateTime.h"
#include "common/Lists.h"
#include "serialization/XmlDocument.h"

#include <QByteArray>
#include <QMetaEnum>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;
class QObject;
class TSerializer;

class ISerializable {
public:
  virtual ~ISerializable() = default;
  virtual void Serialize(TSerializer& ASerializer) = 0;
  virtual void Deserialize(TSerializer& ASerializer) = 0;
};

// A cursor over the same-named children of one element.
class TSerializerIterator {
public:
  virtual ~TSerializerIterator() = default;
  virtual bool MoveNext() = 0;
  virtual int GetItemCount() const = 0;
  virtual bool AsBoolean() const = 0;
  virtual double AsFloat() const = 0;
  virtual std::int32_t AsInteger() const = 0;
  virtual std::int64_t AsInt64() const = 0;
  virtual QString AsString() const = 0;
};

class TSerializer {
public:
  virtual ~TSerializer() = default;

  virtual void BeginObjectWrite(const QString& ACaption) = 0;
  virtual void EndObjectWrite(const QString& ACaption) = 0;
  virtual bool BeginObjectRead(const QString& ACaption) = 0;
  // Enters the next element without naming it (the root at the start, the
  // first child otherwise) and sets *AName to its name; after
  // PrepareForIterator it only consumes the step and sets an empty name.
  virtual bool BeginObjectRead(QString* AName) = 0;
  virtual void EndObjectRead(const QString& ACaption) = 0;

  virtual void AddBoolean(const QString& ACaption, bool AValue) = 0;
  virtual void AddByte(const QString& ACaption, std::uint8_t AValue) = 0;
  virtual void AddInteger(const QString& ACaption, std::int32_t AValue) = 0;
  virtual void AddInt64(const QString& ACaption, std::int64_t AValue) = 0;
  virtual void AddFloat(const QString& ACaption, double AValue) = 0;
  virtual void AddDateTime(const QString& ACaption, double AValue) = 0;
  virtual void AddString(const QString& ACaption, const QString& AValue) = 0;
  virtual void AddStrings(const QString& ACaption, const QStringList& AValue) = 0;
  // The whole stream from its start; its position is restored afterwards.
  virtual void AddStream(const QString& ACaption, QIODevice* AValue) = 0;
  void AddStream(const QString& ACaption, const QByteArray& AValue);
  virtual void AddStringAttributeToCurrentNode(const QString& ACaption, const QString& AValue) = 0;
  virtual void AddIntegerAttributeToCurrentNode(const QString& ACaption, std::int32_t AValue) = 0;
  virtual void AddEnum(const QString& ACaption, const QMetaEnum& ATypeInfo, int AValue) = 0;
  virtual void AddEnumSet(const QString& ACaption, const QMetaEnum& ATypeInfo,
                          std::uint64_t AValue) = 0;
  template <class E> void AddEnum(const QString& ACaption, E AValue) {
    AddEnum(ACaption, QMetaEnum::fromType<E>(), int(AValue));
  }
  template <class E> void AddEnumSet(const QString& ACaption, QFlags<E> AValue) {
    AddEnumSet(ACaption, QMetaEnum::fromType<QFlags<E>>(), std::uint64_t(AValue.toInt()));
  }

  virtual bool GetBoolean(const QString& ACaption, bool ADefault) = 0;
  virtual std::uint8_t GetByte(const QString& ACaption, std::uint8_t ADefault) = 0;
  virtual std::int32_t GetInteger(const QString& ACaption, std::int32_t ADefault) = 0;
  virtual std::int64_t GetInt64(const QString& ACaption, std::int64_t ADefault) = 0;
  virtual double GetFloat(const QString& ACaption, double ADefault) = 0;
  virtual double GetDateTime(const QString& ACaption, double ADefault) = 0;
  virtual QString GetString(const QString& ACaption, const QString& ADefault) = 0;
  virtual void GetStrings(const QString& ACaption, QStringList* AValue) = 0;
  // Writes the bytes at the stream's position; an empty element writes none.
  virtual void GetStream(const QString& ACaption, QIODevice* AValue) = 0;
  // Appends the bytes to AValue; an empty element leaves it as it is.
  void GetStream(const QString& ACaption, QByteArray* AValue);
  virtual QString GetStringAttributeFromCurrentNode(const QString& AAttributeName,
                                                    const QString& ADefault) = 0;
  virtual std::int32_t GetIntegerAttributeFromCurrentNode(const QString& AAttributeName,
                                                          std::int32_t ADefault) = 0;
  // Enumerations whose values do not all fit 16 bits unsigned raise
  // EConvertError "... is too large"; a name not in the enumeration raises
  // "Value for ... does not exist in Enum".
  virtual int GetEnum(const QString& ACaption, const QMetaEnum& ATypeInfo, int ADefault) = 0;
  // Unknown member names are skipped; a missing element gives the empty set.
  virtual std::uint64_t GetEnumSet(const QString& ACaption, const QMetaEnum& ATypeInfo) = 0;
  template <class E> E GetEnum(const QString& ACaption, E ADefault) {
    return E(GetEnum(ACaption, QMetaEnum::fromType<E>(), int(ADefault)));
  }
  template <class E> QFlags<E> GetEnumSet(const QString& ACaption) {
    return QFlags<E>::fromInt(
        typename QFlags<E>::Int(GetEnumSet(ACaption, QMetaEnum::fromType<QFlags<E>>())));
  }

  virtual std::unique_ptr<TSerializerIterator> GetIterator(const QString& ACaption) = 0;
  virtual void PrepareForIterator(TSerializerIterator& AIterator) = 0;
  // A whole object: ISerializable when it supports it, else its Qt
  // properties; with the flag inside an element named after its class.
  virtual void Deserialize(QObject* AObject, bool AReadObjectNode) = 0;
  virtual void Serialize(QObject* AObject, bool AWriteObjectNode) = 0;
  virtual bool IsValueAvailable(const QString& AName) = 0;
};

// Writes and reads an object through its Qt properties (Q_PROPERTY), in
// declaration order, base classes first; QObject's own objectName is not
// one of them. What each kind of property becomes:
//   int and the smaller integers  AddInteger        unsigned int, qint64,
//   quint64                       AddInt64          (quint64 above the
//                                                    signed range as its
//                                                    two's complement)
//   QString                       AddString         bool, enumerations
//                                                    AddEnum ("False",
//                                                    "True" for bool)
//   TDateTime                     AddDateTime       double, float  AddFloat
//   flags                         AddEnumSet        QStringList AddStrings
//   QObject* that is ISerializable  its own Serialize, into the current element
//   other QObject*                an element holding its properties
//   a list of QObject*            an element holding each item, written only
// Anything else is logged as a warning and skipped; an object property that
// holds no object is skipped. Properties that cannot be written back are
// written but not read.
class TRttiSerializable : public ISerializable {
public:
  explicit TRttiSerializable(QObject* ASerializedObject) : FSerializedObject(ASerializedObject) {}
  void Serialize(TSerializer& ASerializer) override;
  void Deserialize(TSerializer& ASerializer) override;

private:
  QObject* FSerializedObject;
};

class TXmlSerializer : public TSerializer {
public:
  TXmlSerializer();
  ~TXmlSerializer() override;

  TXmlFormatType XmlFormatType() const;
  void SetXmlFormatType(TXmlFormatType AValue);
  TXmlDocument* XmlDocument() const { return FXmlDocument; }

  using TSerializer::AddEnum;
  using TSerializer::AddEnumSet;
  using TSerializer::AddStream;
  using TSerializer::BeginObjectRead;
  using TSerializer::GetEnum;
  using TSerializer::GetEnumSet;
  using TSerializer::GetStream;

  void BeginObjectWrite(const QString& ACaption) override;
  void EndObjectWrite(const QString& ACaption) override;
  bool BeginObjectRead(const QString& ACaption) override;
  bool BeginObjectRead(QString* AName) override;
  void EndObjectRead(const QString& ACaption) override;

  void AddBoolean(const QString& ACaption, bool AValue) override;
  void AddByte(const QString& ACaption, std::uint8_t AValue) override;
  void AddInteger(const QString& ACaption, std::int32_t AValue) override;
  void AddInt64(const QString& ACaption, std::int64_t AValue) override;
  void AddFloat(const QString& ACaption, double AValue) override;
  void AddDateTime(const QString& ACaption, double AValue) override;
  void AddString(const QString& ACaption, const QString& AValue) override;
  void AddStrings(const QString& ACaption, const QStringList& AValue) override;
  void AddStream(const QString& ACaption, QIODevice* AValue) override;
  void AddStringAttributeToCurrentNode(const QString& ACaption, const QString& AValue) override;
  void AddIntegerAttributeToCurrentNode(const QString& ACaption, std::int32_t AValue) override;
  void AddEnum(const QString& ACaption, const QMetaEnum& ATypeInfo, int AValue) override;
  void AddEnumSet(const QString& ACaption, const QMetaEnum& ATypeInfo,
                  std::uint64_t AValue) override;

  bool GetBoolean(const QString& ACaption, bool ADefault) override;
  std::uint8_t GetByte(const QString& ACaption, std::uint8_t ADefault) override;
  std::int32_t GetInteger(const QString& ACaption, std::int32_t ADefault) override;
  std::int64_t GetInt64(const QString& ACaption, std::int64_t ADefault) override;
  double GetFloat(const QString& ACaption, double ADefault) override;
  double GetDateTime(const QString& ACaption, double ADefault) override;
  QString GetString(const QString& ACaption, const QString& ADefault) override;
  void GetStrings(const QString& ACaption, QStringList* AValue) override;
  void GetStream(const QString& ACaption, QIODevice* AValue) override;
  QString GetStringAttributeFromCurrentNode(const QString& AAttributeName,
                                            const QString& ADefault) override;
  std::int32_t GetIntegerAttributeFromCurrentNode(const QString& AAttributeName,
                                                  std::int32_t ADefault) override;
  int GetEnum(const QString& ACaption, const QMetaEnum& ATypeInfo, int ADefault) override;
  std::uint64_t GetEnumSet(const QString& ACaption, const QMetaEnum& ATypeInfo) override;

  std::unique_ptr<TSerializerIterator> GetIterator(const QString& ACaption) override;
  void PrepareForIterator(TSerializerIterator& AIterator) override;
  void Deserialize(QObject* AObject, bool AReadObjectNode) override;
  void Serialize(QObject* AObject, bool AWriteObjectNode) override;
  bool IsValueAvailable(const QString& AName) override;

  // Always the readable layout; the format in use is restored afterwards.
  void SaveToFile(const QString& AFileName);
  void LoadFromFile(const QString& AFileName);
  // Loads AFileName one element below the root at a time (see
  // TXmlDocument::LoadFromFileInParts); APart reads each part from the root
  // on, as after LoadFromFile.
  void LoadFromFileInParts(const QString& AFileName, const std::function<void()>& APart);
  // Writes AFileName one element below the root at a time (see
  // TXmlDocument::SaveToFileInParts), in the layout of SaveToFile: APart
  // writes the next part into the root element ARootName, which is open
  // while it runs, and answers false when there is no more. The serializer
  // must own its document, whose tree is dropped first.
  void SaveToFileInParts(const QString& AFileName, const QString& ARootName,
                         const std::function<bool()>& APart);
  // Writes at the stream's position and leaves the document readable.
  void SaveToStream(QIODevice* AStream);
  // Reads the stream from its start.
  void LoadFromStream(QIODevice* AStream);
  // The whole document in its current format; with ARemoveEncoding the
  // declaration is written without its encoding attribute.
  QString GetXml(bool ARemoveEncoding = false) const;
  void SetXml(const QString& AXmlText);
  // "type=... href=..." of the style-sheet instruction, empty without one.
  QString GetStyleSheet() const;
  bool SetStyleSheet(const QString& AType, const QString& AHref);
  // False without a root, or when the root already names a schema.
  bool SetXsdSchemaFile(const QString& ASchemaFile);
  // Serializes into, or reads from, a part of a document the caller owns
  // and keeps owning.
  void SetXmlDocumentAndCurrentNode(TXmlDocument* AXmlDocument, TXmlNode* ANode);
  // The XML text of a string list element alone: no declaration, compact.
  static QString SerializeStrings(const QString& ACaption, const QStringList* AStrings);

protected:
  // The first child of the current element named AName without regard to
  // case, attributes included; null when there is none.
  virtual TXmlNode* FindValueNode(const QString& AName) const;

private:
  TXmlNode* addValue(const QString& ACaption, const QString& AText);
  // The element's text, or nullopt when it is missing or empty.
  std::optional<QString> valueText(const QString& ACaption) const;
  void loadDocument(const std::function<void(TXmlDocument&)>& ALoad);
  TXmlDocument& ownDocument();

  TXmlFormatType FXmlFormatType = xfCompact;
  TXmlDocument* FXmlDocument = nullptr;
  std::unique_ptr<TXmlDocument> FOwnedDocument;
  bool FXmlDocumentExternal = false;
  TXmlNode* FCurrentNode = nullptr;
  std::vector<TXmlNode*> FNodeStack;
  bool FPreparedForIterator = false;
};

// Writes the items that are ISerializable under one element AListName.
template <class T>
void SerializeObjectList(TSerializer& ASerializer, const TObjectList<T>& AList,
                         const QString& AListName) {
  ASerializer.BeginObjectWrite(AListName);
  for (T* Item : AList)
    if (auto* Serializable = dynamic_cast<ISerializable*>(Item))
      Serializable->Serialize(ASerializer);
  ASerializer.EndObjectWrite(AListName);
}

// Reads the items named AItemName (the item class's name) of the element
// AListName into AList, which is emptied first.
template <class T>
void DeserializeObjectList(TSerializer& ASerializer, TObjectList<T>& AList,
                           const QString& AListName, const QString& AItemName) {
  if (!ASerializer.BeginObjectRead(AListName))
    return;
  std::unique_ptr<TSerializerIterator> Iterator = ASerializer.GetIterator(AItemName);
  AList.Clear();
  while (Iterator->MoveNext()) {
    ASerializer.PrepareForIterator(*Iterator);
    auto Item = std::make_unique<T>();
    if (auto* Serializable = dynamic_cast<ISerializable*>(Item.get())) {
      Serializable->Deserialize(ASerializer);
    } else if (ASerializer.BeginObjectRead(AItemName)) {
      // Steps over the element the iterator entered, so the next one lines up.
      ASerializer.EndObjectRead(AItemName);
    }
    AList.Add(std::move(Item));
  }
  ASerializer.EndObjectRead(AListName);
}

// Writes the list to the file AFileName as SerializeObjectList and SaveToFile
// write it, but one item's elements at a time, so memory holds the items and
// the file's text, not the file's whole tree.
template <class T>
void SerializeObjectListToFile(TXmlSerializer& ASerializer, const QString& AFileName,
                               const TObjectList<T>& AList, const QString& AListName) {
  qsizetype Next = 0;
  ASerializer.SaveToFileInParts(AFileName, AListName, [&] {
    while (Next < AList.Count())
      if (auto* Serializable = dynamic_cast<ISerializable*>(AList[Next++])) {
        Serializable->Serialize(ASerializer);
        return true;
      }
    return false;
  });
}

// Reads the list of the file AFileName as DeserializeObjectList reads it
// from a loaded document, but one item's elements at a time, so memory holds
// the items and the file, not the file's whole tree. AList is replaced only
// when the whole file has been read.
template <class T>
void DeserializeObjectListFromFile(TXmlSerializer& ASerializer, const QString& AFileName,
                                   TObjectList<T>& AList, const QString& AListName,
                                   const QString& AItemName) {
  TObjectList<T> Read;
  ASerializer.LoadFromFileInParts(AFileName, [&] {
    TObjectList<T> Part;
    DeserializeObjectList(ASerializer, Part, AListName, AItemName);
    while (!Part.IsEmpty())
      Read.Add(Part.Extract(0));
  });
  AList = std::move(Read);
}
