#include "serialization/ObjectMapperAttributes.h"

#include "common/Exceptions.h"

#include <QMetaEnum>

#include <map>
#include <memory>
#include <mutex>

MappingAttribute::MappingAttribute() : MappingAttribute(QString()) {}

MappingAttribute::MappingAttribute(const QString& AName)
    : NamedMappingAttribute(AName), FExistsInDatabase(true) {}

// The database flags these two leave false are those they do not take.
MappingAttribute::MappingAttribute(const QString& AName, bool AIsKeyField)
    : NamedMappingAttribute(AName), FIsKeyField(AIsKeyField) {}

MappingAttribute::MappingAttribute(const QString& AName, bool AIsKeyField,
                                   TMappedPropertyDbState ADbState)
    : NamedMappingAttribute(AName), FIsKeyField(AIsKeyField), FDBState(ADbState) {}

MappingAttribute::MappingAttribute(const QString& AName, bool AIsKeyField, bool AExistsInDatabase)
    : NamedMappingAttribute(AName), FIsKeyField(AIsKeyField), FExistsInDatabase(AExistsInDatabase) {
}

MappingAttribute::MappingAttribute(const QString& AName, bool AIsKeyField, bool AExistsInDatabase,
                                   bool AAddNullIfEmpty)
    : NamedMappingAttribute(AName), FIsKeyField(AIsKeyField), FExistsInDatabase(AExistsInDatabase),
      FAddNullIfEmpty(AAddNullIfEmpty) {}

MappingAttribute::MappingAttribute(const QString& AName, bool AIsKeyField, bool AExistsInDatabase,
                                   bool AAddNullIfEmpty, bool AIsCrypted)
    : NamedMappingAttribute(AName), FIsKeyField(AIsKeyField), FExistsInDatabase(AExistsInDatabase),
      FAddNullIfEmpty(AAddNullIfEmpty), FIsCrypted(AIsCrypted) {}

MappingAttribute MappingAttribute::FromText(const QString& AText) {
  const QStringList Arguments = AText.split(u',');
  const auto fail = [&]() -> MappingAttribute {
    throw EArgumentException(QStringLiteral("Invalid mapping attribute \"%1\"").arg(AText));
  };
  const auto flag = [&](qsizetype AIndex) {
    const QString Text = Arguments[AIndex].trimmed();
    if (Text == QLatin1String("true"))
      return true;
    if (Text != QLatin1String("false"))
      fail();
    return false;
  };
  const QString Name = Arguments[0].trimmed();
  switch (Arguments.size()) {
  case 1:
    return MappingAttribute(Name);
  case 2:
    return MappingAttribute(Name, flag(1));
  case 3: {
    const QString Third = Arguments[2].trimmed();
    if (Third.startsWith(QLatin1String("ds"))) {
      bool Ok = false;
      const int State = QMetaEnum::fromType<TMappedPropertyDbState>().keyToValue(
          Third.toLatin1().constData(), &Ok);
      if (!Ok)
        fail();
      return MappingAttribute(Name, flag(1), TMappedPropertyDbState(State));
    }
    return MappingAttribute(Name, flag(1), flag(2));
  }
  case 4:
    return MappingAttribute(Name, flag(1), flag(2), flag(3));
  case 5:
    return MappingAttribute(Name, flag(1), flag(2), flag(3), flag(4));
  default:
    return fail();
  }
}

namespace {
std::optional<QString> ownClassInfo(const QMetaObject* AClass, const char* AName) {
  for (int I = AClass->classInfoOffset(); I < AClass->classInfoCount(); ++I)
    if (qstrcmp(AClass->classInfo(I).name(), AName) == 0)
      return QString::fromUtf8(AClass->classInfo(I).value());
  return std::nullopt;
}

std::unique_ptr<TClassDescription> readClass(const QMetaObject* AClass) {
  auto Description = std::make_unique<TClassDescription>();
  Description->HasObjectMapping = ownClassInfo(AClass, "ObjectMapping").has_value();
  if (auto Table = ownClassInfo(AClass, "MappedTableName"))
    Description->TableName.emplace(*Table);
  if (auto Key = ownClassInfo(AClass, "MappedRegKey"))
    Description->RegKey.emplace(*Key);
  for (const QMetaObject* Class = AClass; Class && Class != &QObject::staticMetaObject;
       Class = Class->superClass())
    for (int I = Class->propertyOffset(); I < Class->propertyCount(); ++I) {
      const QMetaProperty Property = Class->property(I);
      TPropertyDescription Entry{Property, QString::fromLatin1(Property.name()), std::nullopt};
      if (auto Text = ownClassInfo(Class, ("map:" + QByteArray(Property.name())).constData()))
        Entry.Mapping = MappingAttribute::FromText(*Text);
      Description->Properties.push_back(std::move(Entry));
    }
  return Description;
}
} // namespace

const TClassDescription& DescribeClass(const QMetaObject* AClass) {
  static std::mutex Lock;
  static std::map<const QMetaObject*, std::unique_ptr<TClassDescription>> Known;
  std::lock_guard Guard(Lock);
  auto& Slot = Known[AClass];
  if (!Slot)
    Slot = readClass(AClass);
  return *Slot;
}

QObject* CreateMappedObject(const QString& AClassName) {
  const QMetaType Type = QMetaType::fromName((AClassName + u'*').toLatin1());
  const QMetaObject* Class = Type.isValid() ? Type.metaObject() : nullptr;
  return Class ? Class->newInstance() : nullptr;
}
