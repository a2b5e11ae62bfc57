#pragma once
// A date-time as the files and the property-driven serializer know it: days
// since 1899-12-30, the fraction the time of day. It is a type of its own,
// not a bare double, so that a property of this type can be told from a
// float through Qt's meta-types.

#include <QMetaType>

struct TDateTime {
  double Value = 0;
  friend bool operator==(TDateTime A, TDateTime B) { return A.Value == B.Value; }
};
Q_DECLARE_METATYPE(TDateTime)
