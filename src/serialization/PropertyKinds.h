#pragma once
// The kind of a Qt property's type, named as the original's type
// information names it (so that messages read the same). Both the
// property-driven serializer and the object mapper classify properties so.

#include <QLatin1String>
#include <QMetaProperty>

enum class TTypeKind {
  tkInteger,     // int and the smaller integers
  tkInt64,       // unsigned int (widened, so none turns negative), long, qint64, quint64
  tkEnumeration, // bool and enumerations
  tkSet,         // flags
  tkFloat,       // double, float, TDateTime
  tkUString,     // QString
  tkWChar,       // QChar
  tkClass,       // QObject pointers, and QStringList (a string-list object there)
  tkInterface,   // IInterfaceList*
  tkVariant,     // QVariant
  tkRecord       // anything else
};

TTypeKind PropertyTypeKind(const QMetaProperty& AProperty);
QLatin1String TypeKindName(TTypeKind AKind);
