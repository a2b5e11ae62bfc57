#pragma once
// The attributes that drive the object mapper, and the one reader that
// takes them from a class's Q_CLASSINFO entries.
//
// Class attributes, read from the class itself (not from its ancestors):
//   Q_CLASSINFO("ObjectMapping", "")                  the mapping comes from attributes
//   Q_CLASSINFO("MappedTableName", "CLT_HDW_NETCARDS") the table name
//   Q_CLASSINFO("MappedRegKey", "Software\\...")      a registry key
// Property attributes, read from the class that declares the property:
//   Q_CLASSINFO("map:<Property>", "<arguments>")
// The arguments are those of a MappingAttribute constructor, separated by
// commas, blanks around them ignored:
//   ""                                  Create
//   "Mac"                               Create(AName)
//   "CLTHDWNCID, true"                  Create(AName, AIsKeyField)
//   "Name, false, dsReadOnly"           Create(AName, AIsKeyField, ADbState)
//   "Name, false, false"                Create(AName, AIsKeyField, AExistsInDatabase)
//   "Name, false, true, true"           ... , AAddNullIfEmpty)
//   "Name, false, true, true, true"     ... , AIsCrypted)
// Flags are "true" or "false"; states are named as TMappedPropertyDbState.

#include "serialization/MappedProperty.h"

#include <QMetaProperty>
#include <QString>

#include <optional>
#include <vector>

class TCustomAttribute {
public:
  virtual ~TCustomAttribute() = default;
};

class ObjectMapping : public TCustomAttribute {};

class NamedMappingAttribute : public TCustomAttribute {
public:
  explicit NamedMappingAttribute(QString AName) : FName(std::move(AName)) {}
  const QString& Name() const { return FName; }

private:
  QString FName;
};

class MappedTableNameAttribute : public NamedMappingAttribute {
  using NamedMappingAttribute::NamedMappingAttribute;
};

class MappedRegKey : public NamedMappingAttribute {
  using NamedMappingAttribute::NamedMappingAttribute;
};

class MappingAttribute : public NamedMappingAttribute {
public:
  MappingAttribute();
  explicit MappingAttribute(const QString& AName);
  MappingAttribute(const QString& AName, bool AIsKeyField);
  MappingAttribute(const QString& AName, bool AIsKeyField, TMappedPropertyDbState ADbState);
  MappingAttribute(const QString& AName, bool AIsKeyField, bool AExistsInDatabase);
  MappingAttribute(const QString& AName, bool AIsKeyField, bool AExistsInDatabase,
                   bool AAddNullIfEmpty);
  MappingAttribute(const QString& AName, bool AIsKeyField, bool AExistsInDatabase,
                   bool AAddNullIfEmpty, bool AIsCrypted);

  // The attribute a Q_CLASSINFO value stands for; EArgumentException
  // naming the text when it does not read.
  static MappingAttribute FromText(const QString& AText);

  bool IsKeyField() const { return FIsKeyField; }
  bool ExistsInDatabase() const { return FExistsInDatabase; }
  bool AddNullIfEmpty() const { return FAddNullIfEmpty; }
  TMappedPropertyDbState DbState() const { return FDBState; }
  bool IsCrypted() const { return FIsCrypted; }

private:
  bool FIsKeyField = false;
  bool FExistsInDatabase = false;
  bool FAddNullIfEmpty = false;
  TMappedPropertyDbState FDBState = dsAvailable;
  bool FIsCrypted = false;
};

// What the mapper learns about a class. Read once per class and kept for
// the life of the process: classes do not change while it runs.
struct TPropertyDescription {
  QMetaProperty Property;
  QString Name;
  std::optional<MappingAttribute> Mapping;
};

struct TClassDescription {
  bool HasObjectMapping = false;
  std::optional<MappedTableNameAttribute> TableName;
  std::optional<MappedRegKey> RegKey;
  // The class's own properties first, then those of each ancestor upwards
  // (QObject's own excluded), each group in declaration order.
  std::vector<TPropertyDescription> Properties;
};

const TClassDescription& DescribeClass(const QMetaObject* AClass);

// Makes an object of a class registered under AClassName through its
// Q_INVOKABLE parameterless constructor; null when there is no such class.
QObject* CreateMappedObject(const QString& AClassName);

// A mapped class makes itself known by name once per process.
#define KELVANE_REGISTER_MAPPED_CLASS(Class)                                                       \
  [[maybe_unused]] static const int Class##Registration = qRegisterMetaType<Class*>();
