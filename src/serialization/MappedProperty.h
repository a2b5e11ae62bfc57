#pragma once
// One mapped property: which property of which object goes to which field
// of a data source, how its value moves, and what a database would make of
// it. Aggregated objects carry the entries of their own properties.

#include "common/Lists.h"
#include "common/Persistent.h"

#include <QObject>
#include <QString>

namespace MappedPropertyTypes {
Q_NAMESPACE
enum TMappedPropertyKind {
  pkUndefined,
  pkString,
  pkInteger,
  pkBoolean,
  pkEnum,
  pkSet,
  pkStringList,
  pkDateTime,
  pkFloat,
  pkInt64,
  pkStream,
  pkAggregation,
  pkInterface
};
Q_ENUM_NS(TMappedPropertyKind)
enum TMappedPropertyDbState { dsNotAvailable, dsReadOnly, dsAvailable, dsNullIfEmpty };
Q_ENUM_NS(TMappedPropertyDbState)
} // namespace MappedPropertyTypes
using namespace MappedPropertyTypes;

class TMappedProperty;
using TMappedPropertyList = TObjectList<TMappedProperty>;

// Getter Name() and setter SetName() over a field FName.
#define KELVANE_MAPPED_FIELD(Type, Name, Default)                                                  \
public:                                                                                            \
  Type const& Name() const {                                                                       \
    return F##Name;                                                                                \
  }                                                                                                \
  void Set##Name(Type const& AValue) {                                                             \
    F##Name = AValue;                                                                              \
  }                                                                                                \
                                                                                                   \
private:                                                                                           \
  Type F##Name = Default;

class TMappedProperty : public TPersistent {
  KELVANE_MAPPED_FIELD(QString, FieldName, {})
  KELVANE_MAPPED_FIELD(QString, PropertyName, {})
  KELVANE_MAPPED_FIELD(QObject*, Owner, nullptr)
  KELVANE_MAPPED_FIELD(TMappedPropertyKind, PropertyKind, pkUndefined)
  KELVANE_MAPPED_FIELD(bool, IsKeyProperty, false)
  KELVANE_MAPPED_FIELD(bool, IsCrypted, false)
  KELVANE_MAPPED_FIELD(QString, TableName, {})
  KELVANE_MAPPED_FIELD(TMappedPropertyDbState, DbState, dsAvailable)
  KELVANE_MAPPED_FIELD(QString, AggregationLink, {})
  KELVANE_MAPPED_FIELD(bool, UpdateAggregationFirst, false)
  KELVANE_MAPPED_FIELD(QString, EncryptionSaltOfOwnerObject, {})

public:
  TMappedPropertyList& AggregatedProperties() { return FAggregatedProperties; }
  const TMappedPropertyList& AggregatedProperties() const { return FAggregatedProperties; }
  // Copies every field and appends copies of ASource's aggregated entries;
  // anything that is not a mapped property is ignored.
  void Assign(const TPersistent* ASource);

private:
  TMappedPropertyList FAggregatedProperties;
};

#undef KELVANE_MAPPED_FIELD
