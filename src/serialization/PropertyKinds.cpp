#include "serialization/PropertyKinds.h"

#include "common/DateTime.h"
#include "serialization/InterfaceList.h"

TTypeKind PropertyTypeKind(const QMetaProperty& AProperty) {
  if (AProperty.isEnumType())
    return AProperty.isFlagType() ? TTypeKind::tkSet : TTypeKind::tkEnumeration;
  const QMetaType Type = AProperty.metaType();
  if (Type == QMetaType::fromType<TDateTime>())
    return TTypeKind::tkFloat;
  if (Type == QMetaType::fromType<IInterfaceList*>())
    return TTypeKind::tkInterface;
  switch (Type.id()) {
  case QMetaType::Int:
  case QMetaType::Short:
  case QMetaType::UShort:
  case QMetaType::SChar:
  case QMetaType::UChar:
    return TTypeKind::tkInteger;
  case QMetaType::UInt:
  case QMetaType::Long:
  case QMetaType::ULong:
  case QMetaType::LongLong:
  case QMetaType::ULongLong:
    return TTypeKind::tkInt64;
  case QMetaType::Bool:
    return TTypeKind::tkEnumeration;
  case QMetaType::Double:
  case QMetaType::Float:
    return TTypeKind::tkFloat;
  case QMetaType::QString:
    return TTypeKind::tkUString;
  case QMetaType::QChar:
    return TTypeKind::tkWChar;
  case QMetaType::QStringList:
    return TTypeKind::tkClass;
  case QMetaType::QVariant:
    return TTypeKind::tkVariant;
  default:
    break;
  }
  return Type.flags() & QMetaType::PointerToQObject ? TTypeKind::tkClass : TTypeKind::tkRecord;
}

QLatin1String TypeKindName(TTypeKind AKind) {
  switch (AKind) {
  case TTypeKind::tkInteger:
    return QLatin1String("tkInteger");
  case TTypeKind::tkInt64:
    return QLatin1String("tkInt64");
  case TTypeKind::tkEnumeration:
    return QLatin1String("tkEnumeration");
  case TTypeKind::tkSet:
    return QLatin1String("tkSet");
  case TTypeKind::tkFloat:
    return QLatin1String("tkFloat");
  case TTypeKind::tkUString:
    return QLatin1String("tkUString");
  case TTypeKind::tkWChar:
    return QLatin1String("tkWChar");
  case TTypeKind::tkClass:
    return QLatin1String("tkClass");
  case TTypeKind::tkInterface:
    return QLatin1String("tkInterface");
  case TTypeKind::tkVariant:
    return QLatin1String("tkVariant");
  case TTypeKind::tkRecord:
    break;
  }
  return QLatin1String("tkRecord");
}
