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

#include "common/Assert.h"
#include "common/Lists.h"
#include "serialization/XmlDocument.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
  virtual void EndObjectRead(const QString& ACaption) = 0;

  virtual void AddBoolean(const QString& ACaption, bool AValue) = 0;
  virtual void AddByte(const QString& ACaption, std::uint8_t AValue) = 0;
  virtual void AddInteger(const QString& ACaption, std::int32_t AValue) = 0;
  virtual void AddInt64(const QString& ACaption, std::int64_t AValue) = 0;
  virtual void AddFloat(const QString& ACaption, double AValue) = 0;
  virtual void AddDateTime(const QString& ACaption, double AValue) = 0;
  virtual void AddString(const QString& ACaption, const QString& AValue) = 0;
  virtual void AddStrings(const QString& ACaption, const QStringList& AValue) = 0;
  virtual void AddStream(const QString& ACaption, const QByteArray& AValue) = 0;
  virtual void AddStringAttributeToCurrentNode(const QString& ACaption, const QString& AValue) = 0;
  virtual void AddIntegerAttributeToCurrentNode(const QString& ACaption, std::int32_t AValue) = 0;

  virtual bool GetBoolean(const QString& ACaption, bool ADefault) = 0;
  virtual std::uint8_t GetByte(const QString& ACaption, std::uint8_t ADefault) = 0;
  virtual std::int32_t GetInteger(const QString& ACaption, std::int32_t ADefault) = 0;
  virtual std::int64_t GetInt64(const QString& ACaption, std::int64_t ADefault) = 0;
  virtual double GetFloat(const QString& ACaption, double ADefault) = 0;
  virtual double GetDateTime(const QString& ACaption, double ADefault) = 0;
  virtual QString GetString(const QString& ACaption, const QString& ADefault) = 0;
  virtual void GetStrings(const QString& ACaption, QStringList* AValue) = 0;
  // Appends the bytes to AValue; an empty element leaves it as it is.
  virtual void GetStream(const QString& ACaption, QByteArray* AValue) = 0;
  virtual QString GetStringAttributeFromCurrentNode(const QString& AAttributeName,
                                                    const QString& ADefault) = 0;
  virtual std::int32_t GetIntegerAttributeFromCurrentNode(const QString& AAttributeName,
                                                          std::int32_t ADefault) = 0;

  virtual std::unique_ptr<TSerializerIterator> GetIterator(const QString& ACaption) = 0;
  virtual void PrepareForIterator(TSerializerIterator& AIterator) = 0;
  virtual bool IsValueAvailable(const QString& AName) = 0;
};

class TXmlSerializer : public TSerializer {
public:
  TXmlSerializer();
  ~TXmlSerializer() override;

  TXmlFormatType XmlFormatType() const;
  void SetXmlFormatType(TXmlFormatType AValue);
  TXmlDocument* XmlDocument() const { return FXmlDocument.get(); }

  void BeginObjectWrite(const QString& ACaption) override;
  void EndObjectWrite(const QString& ACaption) override;
  bool BeginObjectRead(const QString& ACaption) override;
  void EndObjectRead(const QString& ACaption) override;

  void AddBoolean(const QString& ACaption, bool AValue) override;
  void AddByte(const QString& ACaption, std::uint8_t AValue) override;
  void AddInteger(const QString& ACaption, std::int32_t AValue) override;
  void AddInt64(const QString& ACaption, std::int64_t AValue) override;
  void AddFloat(const QString& ACaption, double AValue) override;
  void AddDateTime(const QString& ACaption, double AValue) override;
  void AddString(const QString& ACaption, const QString& AValue) override;
  void AddStrings(const QString& ACaption, const QStringList& AValue) override;
  void AddStream(const QString& ACaption, const QByteArray& AValue) override;
  void AddStringAttributeToCurrentNode(const QString& ACaption, const QString& AValue) override;
  void AddIntegerAttributeToCurrentNode(const QString& ACaption, std::int32_t AValue) override;

  bool GetBoolean(const QString& ACaption, bool ADefault) override;
  std::uint8_t GetByte(const QString& ACaption, std::uint8_t ADefault) override;
  std::int32_t GetInteger(const QString& ACaption, std::int32_t ADefault) override;
  std::int64_t GetInt64(const QString& ACaption, std::int64_t ADefault) override;
  double GetFloat(const QString& ACaption, double ADefault) override;
  double GetDateTime(const QString& ACaption, double ADefault) override;
  QString GetString(const QString& ACaption, const QString& ADefault) override;
  void GetStrings(const QString& ACaption, QStringList* AValue) override;
  void GetStream(const QString& ACaption, QByteArray* AValue) override;
  QString GetStringAttributeFromCurrentNode(const QString& AAttributeName,
                                            const QString& ADefault) override;
  std::int32_t GetIntegerAttributeFromCurrentNode(const QString& AAttributeName,
                                                  std::int32_t ADefault) override;

  std::unique_ptr<TSerializerIterator> GetIterator(const QString& ACaption) override;
  void PrepareForIterator(TSerializerIterator& AIterator) override;
  bool IsValueAvailable(const QString& AName) override;

  void SaveToFile(const QString& AFileName);
  void LoadFromFile(const QString& AFileName);
  QString GetXml() const;
  void SetXml(const QString& AXmlText);

protected:
  // The first child of the current element named AName without regard to
  // case, attributes included; null when there is none.
  virtual TXmlNode* FindValueNode(const QString& AName) const;

private:
  TXmlNode* addValue(const QString& ACaption, const QString& AText);
  // The element's text, or nullopt when it is missing or empty.
  std::optional<QString> valueText(const QString& ACaption) const;
  void loadDocument(const std::function<void(TXmlDocument&)>& ALoad);

  TXmlFormatType FXmlFormatType = xfCompact;
  std::unique_ptr<TXmlDocument> FXmlDocument;
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
